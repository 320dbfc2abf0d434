// The document readers: PDF, PostScript/EPS/DCS and PICT.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/document/eps_reader.h"
#include "formats/document/pdf_object_util.h"
#include "formats/document/pdf_reader.h"
#include "formats/document/pict_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;
using namespace std::string_literals;

namespace pdf_reader {

bool Describe(const std::string& bytes, ImageDescription& image) {
  return DescribeSingle(MakePdfReader, bytes, image);
}

// A classic PDF from numbered objects 1..n with a correct cross-reference table.
std::string BuildPdf(const std::vector<std::string>& objects, const std::string& trailer = "",
                     const std::string& prefix = "") {
  std::string pdf = prefix + "%PDF-1.4\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size() - prefix.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  std::size_t xref = pdf.size() - prefix.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (std::size_t offset : offsets) {
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
    pdf += entry;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R " + trailer + " >>\n";
  pdf += "startxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

const std::vector<std::string> kSimple = {
    "<< /Type /Catalog /Pages 2 0 R >>",
    "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
    "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300.5 200.4] >>",
};

// Sizes as identify gives them (%w %h %n), but for a /Rotate page, which it
// shows turned; resolution 72 dpi.
TEST(PdfReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakePdfReader, {
      {"document/a4_three_pages.pdf", 595, 842, 72, 1, PXC_CE_VECTOR, PXC_AP_NONE,
       "format=|version=1.7|pages=3|Pages=3|rotation=None|Title=Three A4 pages|Creator=IMR sample|"
       "Software=GPL Ghostscript 10.00.0|Encrypted="},
      {"document/rotate90.pdf", 200, 300, 72, 1, PXC_CE_VECTOR, PXC_AP_NONE, "version=1.7|pages=1|rotation=R90"},
      {"document/linearized.pdf", 200, 300, 72, 1, PXC_CE_VECTOR, PXC_AP_NONE, "pages=3|Linearized=yes"},
      // the information strings of an encrypted file are encrypted: not reported
      {"document/encrypted.pdf", 595, 842, 72, 1, PXC_CE_VECTOR, PXC_AP_NONE, "pages=3|Encrypted=yes|Title="},
      {"document/pillow_150dpi.pdf", 144, 72, 72, 1, PXC_CE_VECTOR, PXC_AP_NONE, "version=1.4|pages=1"},
      // object streams, a cross-reference stream and an update whose table
      // replaces the information dictionary
      {"document/xref_stream_update.pdf", 420, 595, 72, 1, PXC_CE_VECTOR, PXC_AP_NONE,
       "version=1.5|pages=2|rotation=R270|Title=Updated title|Software=make_samples.py|XMP=yes|CropBox=10 10 400 580"},
      // UTF-16 in the object stream
      {"document/hybrid.pdf", 420, 595, 72, 1, PXC_CE_VECTOR, PXC_AP_NONE, "pages=2|rotation=R270|Title=Original"},
      {IMR_CORPUS "/exiftool/PDF.pdf", 8, 8, 72, 1, PXC_CE_VECTOR, PXC_AP_NONE,
       "version=1.3|pages=1|Creator=Adobe Photoshop 7.0|Software=Adobe Photoshop for Macintosh|XMP=yes"},
  });
  // real sizes as stored, before any turn
  ImageDescription image;
  ASSERT_TRUE(Describe(ReadFile(IMR_TEST_DATA "/formats/document/xref_stream_update.pdf"), image));
  EXPECT_NEAR(image.hRealSize, 419.53 / 72, 1e-9);
  EXPECT_NEAR(image.vRealSize, 595.28 / 72, 1e-9);
}

TEST(PdfReader, PageSizesBoxesAndCounts) {
  const std::string catalog = kSimple[0];
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      // sizes round as Ghostscript has them: 300.5 up, 200.4 down
      {kSimple, "columns=301|rows=200|pages=1"},
      // a box inherited from the page tree's root, its origin elsewhere; the
      // page as stored, and how to turn it
      {{catalog, "<< /Type /Pages /Kids [3 0 R] /Count 4 /MediaBox [-10 -10 90.5 190.4] /Rotate -90 >>",
        "<< /Type /Page /Parent 2 0 R >>"},
       "columns=101|rows=200|rotation=R270|pages=4"},
      // no usable box anywhere: Ghostscript's letter page
      {{catalog, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>", "<< /Type /Page /Parent 2 0 R /MediaBox 4 0 R >>",
        "[0 0 0 0]"},
       "columns=612|rows=792"},
      // an indirect box value and count
      {{catalog, "<< /Type /Pages /Kids [3 0 R] /Count 4 0 R >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 5 5 0 R] >>", "7", "99.5"},
       "columns=5|rows=100|pages=7"},
  };
  for (const auto& [objects, checks] : cases) {
    ImageDescription image;
    ASSERT_TRUE(Describe(BuildPdf(objects), image)) << checks;
    Check(image, checks);
  }
  ImageDescription image;
  ASSERT_TRUE(Describe(BuildPdf(cases[1].first), image));
  EXPECT_NEAR(image.hRealSize, 100.5 / 72, 1e-9);
}

// Damaged cross-references: the objects are found by scanning the file.
TEST(PdfReader, RecoversFromBrokenCrossReferences) {
  const std::string pdf = BuildPdf(kSimple);
  const std::size_t start = pdf.rfind("startxref\n") + 10;
  const std::string xref = pdf.substr(start, pdf.find('\n', start) - start);
  std::string wrongStart = pdf;  // startxref pointing nowhere useful
  wrongStart.replace(start, xref.size(), "12");
  std::string wrongOffsets = pdf;  // each lookup falls back to the scan
  for (std::size_t p = wrongOffsets.find(" 00000 n"); p != std::string::npos;
       p = wrongOffsets.find(" 00000 n", p + 1)) {
    wrongOffsets.replace(p - 10, 10, "0000000001");
  }
  std::string bare = "%PDF-1.3\n";  // no table, no trailer: the catalog is found by its /Type
  for (std::size_t i = 0; i < kSimple.size(); ++i) bare += std::to_string(i + 1) + " 0 obj " + kSimple[i] + " endobj\n";
  std::string loop = pdf;  // a /Prev chain that loops back on itself
  loop.replace(loop.find("/Root 1 0 R"), 11, "/Root 1 0 R /Prev " + xref);
  const std::string junk = BuildPdf(kSimple, "", "garbage\r\n");  // offsets count from "%PDF"
  for (const std::string& damaged : {wrongStart, wrongOffsets, bare, loop, junk}) {
    ImageDescription image;
    ASSERT_TRUE(Describe(damaged, image)) << damaged;
    EXPECT_EQ(image.columns, 301u);
    EXPECT_EQ(image.rows, 200u);
    EXPECT_EQ(image.pages, 1);
    EXPECT_EQ(image.version, damaged == bare ? "1.3" : "1.4");
  }
}

TEST(PdfReader, EncryptedFileWithCompressedPageTreeHasUnknownCount) {
  // The object stream holding the page tree is encrypted and cannot be read.
  std::string pdf = "%PDF-1.5\n";
  std::size_t catalog = pdf.size();
  pdf += "1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n";
  std::size_t stream = pdf.size();
  pdf += "3 0 obj << /Type /ObjStm /N 1 /First 4 /Filter /FlateDecode /Length 8 >>\n"
         "stream\n\x13\x88\x01\x02\x03\x04\x05\x06\nendstream endobj\n";
  std::size_t encrypt = pdf.size();
  pdf += "4 0 obj << /Filter /Standard /V 2 /R 3 >> endobj\n";
  std::size_t xref = pdf.size();
  char table[256];
  std::snprintf(table, sizeof table,
                "xref\n0 2\n0000000000 65535 f \n%010zu 00000 n \n3 2\n%010zu 00000 n \n%010zu 00000 n \n",
                catalog, stream, encrypt);
  pdf += table;
  pdf += "trailer << /Size 5 /Root 1 0 R /Encrypt 4 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  ImageDescription image;
  ASSERT_TRUE(Describe(pdf, image));
  EXPECT_EQ(image.pages, 0);
  EXPECT_EQ(image.columns, 0u);
  EXPECT_EQ(Detail(image, "Encrypted"), "yes");
  EXPECT_EQ(Detail(image, "Pages"), "");

  // the same without /Encrypt is simply broken
  std::string plain = pdf;
  plain.replace(plain.find(" /Encrypt 4 0 R"), 15, "");
  EXPECT_FALSE(Describe(plain, image));
}

TEST(PdfReader, RefusesOrSurvivesHostileFiles) {
  const std::string refused[] = {
      "%!PS-Adobe-3.0\n", std::string(1100, ' ') + BuildPdf(kSimple),  // header too far in
      "%PDF-1.4\n%%EOF\n",                        // no objects at all
      BuildPdf({"<< /Type /Catalog >>"}),          // no page tree
      BuildPdf({"<< /Type /Catalog /Pages 2 0 R >>", "3 0 R", "2 0 R"}),  // references to each other
      // nesting far deeper than any document needs
      BuildPdf({"<< /Type /Catalog /Pages 2 0 R /X " + std::string(100000, '[') + " >>", kSimple[1], kSimple[2]}),
      "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R",  // an unterminated dictionary
  };
  ImageDescription image;
  for (const std::string& pdf : refused) EXPECT_FALSE(Describe(pdf, image)) << &pdf - refused;

  // a page tree whose kid is the tree itself
  ASSERT_TRUE(
      Describe(BuildPdf({kSimple[0], "<< /Type /Pages /Kids [2 0 R] /Count 1 /MediaBox [0 0 10 20] >>"}), image));
  EXPECT_EQ(image.columns, 10u);
  // absurd counts and sizes
  ASSERT_TRUE(Describe(BuildPdf({kSimple[0], "<< /Type /Pages /Kids [3 0 R] /Count 99999999999 >>",
                                 "<< /Type /Page /MediaBox [0 0 99999999 1] >>"}),
                       image));
  EXPECT_EQ(image.pages, 0);
  EXPECT_EQ(image.columns, 612u);
  // a table whose subsection claims more entries than the file can hold
  std::string pdf = BuildPdf(kSimple);
  pdf.replace(pdf.find("xref\n0 4"), 8, "xref\n0 4000000000");
  ASSERT_TRUE(Describe(pdf, image));
  EXPECT_EQ(image.columns, 301u);
  // every truncation of a sample with object and cross-reference streams
  const std::string bytes = ReadFile(IMR_TEST_DATA "/formats/document/xref_stream_update.pdf");
  ASSERT_FALSE(bytes.empty());
  for (std::size_t length = 0; length <= bytes.size(); length += 7) {
    if (Describe(bytes.substr(0, length), image)) {
      EXPECT_LE(image.pages, 2);
    }
  }
}

TEST(PdfObjects, ParsesTheObjectSyntax) {
  using pdf::PdfLexer;
  using pdf::PdfObject;
  const std::string text =
      "<< /Name#20x /N#31 /Str (a\\(b\\)c\\101\\\n) /Hex <48 49 5> /Num -1.5 /Ref 12 0 R /Arr [1 2 (R) true null] >>";
  MemorySource source(text.data(), text.size());
  PdfLexer lexer(source, 0);
  PdfObject object;
  ASSERT_TRUE(pdf::ParsePdfObject(lexer, object));
  ASSERT_TRUE(object.IsDictionary());
  ASSERT_NE(object.Get("Name x"), nullptr);
  EXPECT_TRUE(object.Get("Name x")->IsName("N1"));
  EXPECT_EQ(object.Get("Str")->text, "a(b)cA");
  EXPECT_EQ(object.Get("Hex")->text, "HIP");
  EXPECT_DOUBLE_EQ(object.Get("Num")->Number(), -1.5);
  EXPECT_TRUE(object.Get("Ref")->IsReference());
  EXPECT_EQ(object.Get("Ref")->integer, 12);
  const PdfObject* array = object.Get("Arr");
  ASSERT_EQ(array->items.size(), 5u);
  EXPECT_EQ(array->items[1].integer, 2);

  EXPECT_EQ(pdf::PdfTextToUtf8(std::string("\xFE\xFF\x00\x41\xD8\x3D\xDE\x00", 8)), "A\xF0\x9F\x98\x80");
  EXPECT_EQ(pdf::PdfTextToUtf8("caf\xE9 \x84"), "caf\xC3\xA9 \xE2\x80\x94");
}

}  // namespace pdf_reader

namespace eps {

// Every image of `bytes`; empty when the reader does not open them.
std::vector<ImageDescription> DescribeAll(const std::string& bytes) {
  return test::DescribeAll(MakeEpsReader, bytes).images;
}

std::string DosHeader(std::uint32_t psOffset, std::uint32_t psLength, std::uint32_t wmfOffset,
                      std::uint32_t wmfLength, std::uint32_t tiffOffset, std::uint32_t tiffLength) {
  return "\xC5\xD0\xD3\xC6"s + Le32(psOffset) + Le32(psLength) + Le32(wmfOffset) + Le32(wmfLength) +
         Le32(tiffOffset) + Le32(tiffLength) + "\xFF\xFF";
}

// Sizes as identify gives them (%w %h); our image counts include previews.
TEST(EpsReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeEpsReader, {
      {"document/im_144dpi.eps", 10, 5, 72, 1, PXC_CE_VECTOR, PXC_AP_NONE, "format=EPS|version=3.0|pages=1"},
      {"document/pillow_cmyk.eps", 30, 20, 72, 1, PXC_CE_CMYK, PXC_AP_NONE,
       "pages=1|inks=4|BitsPerSample=8|Creator=PIL 0.1 EpsEncode"},
      {"document/dos_tiff_preview.eps", 40, 30, 72, 2, PXC_CE_VECTOR, PXC_AP_NONE, "format=EPS"},
      // single-file DCS 2.0: the plates are in the file, only their names count
      {"document/dcs2_single.eps", 40, 30, 72, 1, PXC_CE_MULTICHANNEL, PXC_AP_NONE,
       "format=DCS|version=2.0|inks=5|inkNames=Cyan,Magenta,Yellow,Black,PANTONE 185 C"},
      // an EPSI preview is described directly
      {"document/epsi_preview.epsi", 16, 8, 72, 2, PXC_CE_VECTOR, PXC_AP_NONE,
       "format=EPS|1:type=Thumbnail|1:columns=16|1:embedded="},
      // comments deferred to the trailer; 299.5 points round up (identify: 299)
      {"document/multipage_atend.ps", 300, 201, 72, 1, PXC_CE_VECTOR, PXC_AP_NONE,
       "format=PS|pages=3|Pages=3|Title=Deferred|inkNames=Spot Orange,Spot Green"},
      // the nested documents' larger boxes are not the file's; %ImageData mode 3
      {IMR_CORPUS "/exiftool/PostScript.eps", 8, 8, 72, 1, PXC_CE_RGB, PXC_AP_NONE,
       "inks=3|inkNames=|Creator=Adobe Photoshop Version 7.0.1|Title=c.eps|XMP=yes"},
  });

  // The TIFF preview of a DOS EPS is embedded, to the end of the file.
  const std::string dos = ReadFile(IMR_TEST_DATA "/formats/document/dos_tiff_preview.eps");
  std::vector<ImageDescription> images = DescribeAll(dos);
  ASSERT_EQ(images.size(), 2u);
  EXPECT_NEAR(images[0].hRealSize, 39.6 / 72, 1e-9);
  EXPECT_TRUE(images[1].embedded);
  EXPECT_EQ(images[1].type, PXC_IT_PREVIEW);
  EXPECT_EQ(dos.substr(images[1].embeddedOffset, 4), "II*\0"s);
  EXPECT_EQ(images[1].embeddedOffset + images[1].embeddedLength, dos.size());
}

TEST(EpsReader, ReadsHeaderCommentsAndDcsPlates) {
  const std::pair<std::string, const char*> cases[] = {
      // DCS 1.0: four plate files beside the composite
      {"%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 100 50\n%%CyanPlate: Photo.C\n%%MagentaPlate: Photo.M\n"
       "%%YellowPlate: Photo.Y\n%%BlackPlate: Photo.K\n%%EndComments\n",
       "format=DCS|version=1.0|externalRefs=Photo.C,Photo.M,Photo.Y,Photo.K|inkNames=Cyan,Magenta,Yellow,Black|"
       "encoding=CMYK"},
      // multi-file DCS 2.0 with CR line ends, a spot plate, names with
      // spaces, and a composite plate that is no ink
      {"%!PS-Adobe-3.0 EPSF-3.0\r%%BoundingBox: 0 0 100 50\r%%PlateFile: (Cyan) EPS Local My Photo.C\r"
       "%%PlateFile: (Black) EPS Local My Photo.K\r%%PlateFile: (Gold) EPSF Local HD:Art:My Photo.1\r"
       "%%PlateFile: (Composite) EPS Local My Photo.comp\r%%EndComments\r",
       "version=2.0|externalRefs=My Photo.C,My Photo.K,HD:Art:My Photo.1,My Photo.comp|inkNames=Cyan,Black,Gold|"
       "encoding=Multichannel"},
      // the first box of the header wins, a HiRes box beats the integer one
      // (90.5 rounds up, as PDF pages do); colours continue on %%+ lines
      {"%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 101 201\n%%HiResBoundingBox: 0 0 90.5 90.51\n"
       "%%BoundingBox: 0 0 5 5\n%%DocumentProcessColors: Cyan Black\n%%DocumentCustomColors: Orange\n"
       "%%+ (Deep Blue)\n%%CMYKCustomColor: 0 0.5 1 0 (Orange)\n%%+ 1 1 0 0 (Violet)\n%%EndComments\n"
       "%%BoundingBox: 0 0 999 999\n",
       "columns=91|rows=91|inkNames=Cyan,Black,Orange,Deep Blue,Violet|inks=5|pages=0"},
      // plain PostScript without a box: Ghostscript's letter page
      {"%!PS\n/x 1 def\nshowpage\n", "format=PS|version=|columns=612|rows=792"},
      // an EPS that says "%%Pages: 0" still has its one page
      {"\x04%!PS-Adobe-2.0 EPSF-1.2\n%%Pages: 0\n%%BoundingBox: 10 10 20 30\n", "version=1.2|pages=1|columns=10"},
      // a trailer beyond the first 64 KiB
      {"%!PS-Adobe-3.0\n%%BoundingBox: (atend)\n%%Pages: (atend)\n%%EndComments\n" + std::string(300000, ' ') +
           "\n%%Trailer\n%%BoundingBox: 0 0 400 300\n%%Pages: 12\n%%EOF\n",
       "columns=400|pages=12"},
  };
  for (const auto& [text, checks] : cases) {
    const std::vector<ImageDescription> images = DescribeAll(text);
    ASSERT_EQ(images.size(), 1u) << checks;
    Check(images, checks);
  }
}

// A Photoshop EPS gives its pixels in %ImageData (columns rows depth mode
// ...): they are the image, at the resolution they have over the box
// (hand-made: no tool of ours writes one at other than 72 dpi).
TEST(EpsReader, PhotoshopImageDataGivesPixelsAndResolution) {
  const std::string header = "%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: Adobe Photoshop Version 7.0\n";
  const struct {
    std::string comments;
    std::uint32_t columns, rows;
    double dpi, width;
  } cases[] = {
      {"%%BoundingBox: 0 0 144 72\n%%EndComments\n%ImageData: 600 300 8 3 1 600 1 \"beginimage\"\n", 600, 300, 300, 2},
      // the HiRes box, as Photoshop rounds the integer one
      {"%%BoundingBox: 0 0 435 283\n%%HiResBoundingBox: 0 0 434.88 283.2\n%%EndComments\n"
       "%ImageData: 1812 1180 8 4 1 1812 1 \"beginimage\"\n",
       1812, 1180, 300, 434.88 / 72},
      // no box: 72 dpi
      {"%%EndComments\n%ImageData: 50 40 8 1 0 50 1 \"beginimage\"\n", 50, 40, 72, 50.0 / 72},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.comments);
    const std::vector<ImageDescription> images = DescribeAll(header + c.comments);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].columns, c.columns);
    EXPECT_EQ(images[0].rows, c.rows);
    EXPECT_NEAR(images[0].hResolution, c.dpi, 1e-9);
    EXPECT_NEAR(images[0].vResolution, c.dpi, 1e-9);
    EXPECT_NEAR(images[0].hRealSize, c.width, 1e-9);
  }
}

TEST(EpsReader, ChecksTheDosBinaryHeader) {
  const std::string ps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n%%EndComments\n";
  const std::string wmf = "\xD7\xCD\xC6\x9A wmf bytes";
  const std::uint32_t at = 30 + ps.size();
  std::vector<ImageDescription> images = DescribeAll(DosHeader(30, ps.size(), at, wmf.size(), 0, 0) + ps + wmf);
  ASSERT_EQ(images.size(), 2u);
  EXPECT_TRUE(images[1].embedded);
  EXPECT_EQ(images[1].embeddedOffset, at);
  EXPECT_EQ(images[1].embeddedLength, wmf.size());

  // previews reaching past the end, inside the header, or whose bytes are
  // not what the header says (placeholders) are left out
  EXPECT_EQ(DescribeAll(DosHeader(30, ps.size(), at, 1000, 4, 8) + ps + wmf).size(), 1u);
  EXPECT_EQ(DescribeAll(DosHeader(30, ps.size(), at, 8, at + 8, 8) + ps + "<Dummy>!" + "NotATIFF").size(), 1u);
  // both kinds: the TIFF preview first
  const std::string tiff = "II*"s + '\0' + "\x08\0\0\0"s;
  const std::string standardWmf = "\x01\0\x09\0\0\x03"s + "records";
  images = DescribeAll(DosHeader(30, ps.size(), at + tiff.size(), standardWmf.size(), at, tiff.size()) + ps +
                       tiff + standardWmf);
  ASSERT_EQ(images.size(), 3u);
  EXPECT_EQ(images[1].embeddedOffset, at);
  EXPECT_EQ(images[2].embeddedOffset, at + tiff.size());
  // a PostScript length past the end is cut to the file
  images = DescribeAll(DosHeader(30, 0xFFFFFFFF, 0, 0, 0, 0) + ps);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].columns, 10u);
  // PostScript offset past the end, inside the header, or not PostScript
  EXPECT_TRUE(DescribeAll(DosHeader(5000, 10, 0, 0, 0, 0) + ps).empty());
  EXPECT_TRUE(DescribeAll(DosHeader(2, 10, 0, 0, 0, 0) + ps).empty());
  EXPECT_TRUE(DescribeAll(DosHeader(30, ps.size(), 0, 0, 0, 0) + "GIF89a" + ps).empty());
}

TEST(EpsReader, RejectsOtherFilesAndSurvivesJunk) {
  for (const char* other : {"", "%PDF-1.4\n", "%!FontType1-1.0: Foo\n", "%!PS-AdobeFont-1.0: Foo 001\n%%Title: Foo\n",
                            "%!PS-TrueTypeFont-65536-65536-1\n",
                            "%!PS-Adobe-3.0 Resource-ProcSet\n%%BoundingBox: 0 0 1 1\n", "\xC5\xD0\xD3\xC6"}) {
    EXPECT_TRUE(DescribeAll(other).empty()) << other;
  }
  // broken comments: no numbers, half a box, unbalanced parentheses, one long line
  std::vector<ImageDescription> images = DescribeAll(
      "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: a b c d\n%%HiResBoundingBox: 0 0 5\n"
      "%%DocumentCustomColors: (open\n%%PlateFile: (Cyan\n%%PlateFile: (Black) EPS\n%%Pages: -4\n"
      "%%BeginPreview: 0 0 0 0\n%ImageData: 1 1 99 99\n" + std::string(200000, '%'));
  ASSERT_EQ(images.size(), 1u);
  Check(images, "columns=612|pages=0|format=DCS|externalRefs=");  // the second plate comment is whole enough
}

}  // namespace eps

namespace pict {

bool Describe(const std::string& bytes, ImageDescription& image) {
  return DescribeSingle(MakePictReader, bytes, image);
}

// picSize and frame (top, left, bottom, right).
std::string Frame(std::int16_t top, std::int16_t left, std::int16_t bottom, std::int16_t right) {
  return Be16(0) + Be16(static_cast<std::uint16_t>(top)) + Be16(static_cast<std::uint16_t>(left)) +
         Be16(static_cast<std::uint16_t>(bottom)) + Be16(static_cast<std::uint16_t>(right));
}

// A version 2 picture start: version opcode and an extended header at 300 dpi.
std::string Version2() {
  return Be16(0x0011) + Be16(0x02FF) + Be16(0x0C00) + Be16(0xFFFE) + Be16(0) + Be32(300u << 16) + Be32(300u << 16) +
         std::string(8, '\0') + Be32(0);
}

// A pixel map after its row-bytes word (bounds, version, packing, resolution, pixel layout).
std::string PixMap(std::uint16_t pixelSize, std::uint16_t components, std::uint16_t componentSize) {
  return std::string(8, '\0') + Be16(0) + Be16(0) + Be32(0) + Be32(72u << 16) + Be32(72u << 16) + Be16(16) +
         Be16(pixelSize) + Be16(components) + Be16(componentSize) + std::string(12, '\0');
}

// identify: 72 dpi whatever the header says.  The corpus file has no
// preamble; identify rejects it for its clip region, which is no rectangle.
TEST(PictReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakePictReader, {
      {"document/rgb_144dpi.pict", 40, 30, 72, 1, PXC_CE_RGB, PXC_AP_NONE, "version=2|BitsPerSample=8"},
      {"document/palette.pict", 33, 21, 72, 1, PXC_CE_INDEXED, PXC_AP_NONE, "version=2|BitsPerSample=8"},
      // four components
      {IMR_CORPUS "/exiftool/PICT.pict", 8, 8, 72, 1, PXC_CE_RGB, PXC_AP_UNSPECIFIED},
  });
}

TEST(PictReader, ReadsPictureContents) {
  const std::string v2 = Frame(0, 0, 10, 10) + Version2();
  const std::pair<std::string, const char*> cases[] = {
      // version 1, after a preamble, with a one-bit bitmap
      {std::string(512, '\0') + Frame(10, 20, 60, 120) + "\x11\x01" + "\xA0" + Be16(5) + "\x90" + Be16(16),
       "version=1|columns=100|rows=50|encoding=Bilevel"},
      // version 2: a skipped comment, a clip region and odd-length opcode data
      {Frame(0, 0, 72, 144) + Version2() + Be16(0x00A1) + Be16(100) + Be16(3) + "abc" + std::string(1, '\0') +
           Be16(0x0001) + Be16(10) + std::string(8, '\0') + Be16(0x0098) + Be16(0x8000 | 144) + PixMap(4, 1, 4),
       "version=2|columns=144|rows=72|encoding=Indexed|BitsPerSample=4"},
      // a drawing, a QuickTime-compressed picture, and an empty picture
      {v2 + Be16(0x0030) + std::string(8, '\0'), "encoding=Vector"},
      {v2 + Be16(0x8200) + Be32(4) + "jpeg", "Compression=QuickTime"},
      {v2 + Be16(0x00FF), "encoding=Vector"},
      // a frame with negative coordinates still has its size
      {Frame(-5, -10, 5, 10) + Version2(), "columns=20|rows=10"},
      // opcodes whose lengths run past the end are harmless
      {v2 + Be16(0x00A1) + Be16(1) + Be16(0xFFFF), "columns=10"},
      {v2 + Be16(0x9000) + Be32(0xFFFFFFFF), "columns=10"},
  };
  for (const auto& [bytes, checks] : cases) {
    ImageDescription image;
    ASSERT_TRUE(Describe(bytes, image)) << checks;
    Check(image, checks);
  }
  ImageDescription image;
  ASSERT_TRUE(Describe(cases[1].first, image));
  EXPECT_DOUBLE_EQ(image.hRealSize, 2.0);
}

TEST(PictReader, RejectsWhatIsNoPicture) {
  const std::string bad[] = {
      "", Frame(0, 0, 10, 10) /* no version */, Frame(0, 0, 10, 10) + "\x11\x02" /* unknown version */,
      Frame(10, 0, 10, 10) + "\x11\x01" /* empty frame */,
      Frame(0, 20, 10, 10) + Be16(0x0011) + Be16(0x02FF) /* inverted */,
      std::string(512, 'x') + Frame(0, 0, 1, 1) + "\x11",
  };
  for (const std::string& bytes : bad) {
    ImageDescription image;
    EXPECT_FALSE(Describe(bytes, image)) << &bytes - bad;
  }
}

}  // namespace pict

}  // namespace
}  // namespace imr::formats
