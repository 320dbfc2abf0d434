#include "formats/pdf/pdf_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/pdf/pdf_object_util.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

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
      {"pdf/a4_three_pages.pdf", 595, 842, 72, 1, PXC_CE_VECTOR, PXC_AP_NONE,
       "format=|version=1.7|pages=3|Pages=3|rotation=None|Title=Three A4 pages|Creator=IMR sample|"
       "Software=GPL Ghostscript 10.00.0|Encrypted="},
      {"pdf/rotate90.pdf", 200, 300, 72, 1, PXC_CE_VECTOR, PXC_AP_NONE, "version=1.7|pages=1|rotation=R90"},
      {"pdf/linearized.pdf", 200, 300, 72, 1, PXC_CE_VECTOR, PXC_AP_NONE, "pages=3|Linearized=yes"},
      // the information strings of an encrypted file are encrypted: not reported
      {"pdf/encrypted.pdf", 595, 842, 72, 1, PXC_CE_VECTOR, PXC_AP_NONE, "pages=3|Encrypted=yes|Title="},
      {"pdf/pillow_150dpi.pdf", 144, 72, 72, 1, PXC_CE_VECTOR, PXC_AP_NONE, "version=1.4|pages=1"},
      // object streams, a cross-reference stream and an update whose table
      // replaces the information dictionary
      {"pdf/xref_stream_update.pdf", 420, 595, 72, 1, PXC_CE_VECTOR, PXC_AP_NONE,
       "version=1.5|pages=2|rotation=R270|Title=Updated title|Software=make_samples.py|XMP=yes|CropBox=10 10 400 580"},
      // UTF-16 in the object stream
      {"pdf/hybrid.pdf", 420, 595, 72, 1, PXC_CE_VECTOR, PXC_AP_NONE, "pages=2|rotation=R270|Title=Original"},
      {IMR_CORPUS "/exiftool/PDF.pdf", 8, 8, 72, 1, PXC_CE_VECTOR, PXC_AP_NONE,
       "version=1.3|pages=1|Creator=Adobe Photoshop 7.0|Software=Adobe Photoshop for Macintosh|XMP=yes"},
      {IMR_CORPUS "/exiftool/PDF2.pdf", 612, 792, 72, 1, PXC_CE_VECTOR, PXC_AP_NONE, "version=1.3|pages=1"},
  });
  // real sizes as stored, before any turn
  ImageDescription image;
  ASSERT_TRUE(Describe(ReadFile(IMR_TEST_DATA "/formats/pdf/xref_stream_update.pdf"), image));
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
      "", "%!PS-Adobe-3.0\n",
      std::string(1100, ' ') + BuildPdf(kSimple),  // header too far in
      "%PDF-1.4\n%%EOF\n",                        // no objects at all
      BuildPdf({"<< /Type /Catalog >>"}),          // no page tree
      BuildPdf({"<< /Type /Catalog /Pages 2 0 R >>", "3 0 R", "2 0 R"}),  // references to each other
      // nesting far deeper than any document needs
      BuildPdf({"<< /Type /Catalog /Pages 2 0 R /X " + std::string(100000, '[') + " >>", kSimple[1], kSimple[2]}),
      // an unterminated string and an unterminated dictionary
      BuildPdf({"<< /Type /Catalog /Pages (2 0 R >>"}), "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R",
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
  const std::string bytes = ReadFile(IMR_TEST_DATA "/formats/pdf/xref_stream_update.pdf");
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

TEST(PdfObjects, InflatesEveryBlockKind) {
  std::string text;
  for (int i = 0; i < 1000; ++i) {
    text += std::to_string(i) + " 0 obj << /Type /Page /N " + std::to_string(i * i % 977) + " >> endobj\n";
  }
  // dynamic codes, fixed codes, stored blocks (of the first 4000 bytes), raw deflate
  const std::string vectors = ReadFile(std::string(IMR_TEST_DATA) + "/formats/pdf/inflate_vectors.bin");
  ASSERT_FALSE(vectors.empty());
  MemorySource source(vectors.data(), vectors.size());
  ByteReader reader(source);
  std::uint64_t at = 0;
  for (int n = 0; n < 4; ++n) {
    SCOPED_TRACE(n);
    std::uint32_t length = reader.U32BE(at);
    std::string out;
    ASSERT_TRUE(pdf::PdfInflate(source, at + 4, length, 1 << 20, out));
    EXPECT_EQ(out, n == 2 ? text.substr(0, 4000) : text);
    // a limit stops early; a cut stream yields what came before the cut
    ASSERT_TRUE(pdf::PdfInflate(source, at + 4, length, 100, out));
    EXPECT_EQ(out, text.substr(0, 100));
    ASSERT_TRUE(pdf::PdfInflate(source, at + 4, length / 2, 1 << 20, out));
    EXPECT_GT(out.size(), 0u);
    EXPECT_LT(out.size(), text.size());
    EXPECT_EQ(out, text.substr(0, out.size()));
    at += 4 + length;
  }
  // not deflate at all
  const std::string junk = "\xFF\xFF\xFF\xFF junk";
  MemorySource bad(junk.data(), junk.size());
  std::string out;
  EXPECT_FALSE(pdf::PdfInflate(bad, 0, junk.size(), 1000, out));
}

}  // namespace
}  // namespace imr::formats
