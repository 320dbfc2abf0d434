#include "formats/pdf/pdf_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
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

// Expected values from `identify -format '%w %h %x %y %n'` (pages = %n).
struct Sample {
  const char* path;
  const char* version;
  std::uint32_t columns, rows;
  std::int32_t pages;
  PXC_TImageRotation rotation;
};

TEST(PdfReader, SamplesAgreeWithIdentify) {
  const std::string data = std::string(IMR_TEST_DATA) + "/formats/pdf/";
  const std::string corpus = std::string(IMR_CORPUS) + "/exiftool/";
  const Sample samples[] = {
      {"a4_three_pages.pdf", "1.7", 595, 842, 3, PXC_IR_NONE},
      // identify turns a /Rotate page: its width and height are these swapped
      {"rotate90.pdf", "1.7", 200, 300, 1, PXC_IR_90},
      {"linearized.pdf", "1.7", 200, 300, 3, PXC_IR_NONE},
      {"encrypted.pdf", "1.7", 595, 842, 3, PXC_IR_NONE},
      {"pillow_150dpi.pdf", "1.4", 144, 72, 1, PXC_IR_NONE},
      {"xref_stream_update.pdf", "1.5", 420, 595, 2, PXC_IR_270},
      {"hybrid.pdf", "1.5", 420, 595, 2, PXC_IR_270},
  };
  for (const Sample& sample : samples) {
    SCOPED_TRACE(sample.path);
    std::string bytes = ReadFile(data + sample.path);
    ASSERT_FALSE(bytes.empty());
    ImageDescription image;
    ASSERT_TRUE(Describe(bytes, image));
    EXPECT_EQ(image.version, sample.version);
    EXPECT_EQ(image.format, "");
    EXPECT_EQ(image.type, PXC_IT_MAIN);
    EXPECT_EQ(image.columns, sample.columns);
    EXPECT_EQ(image.rows, sample.rows);
    EXPECT_EQ(image.pages, sample.pages);
    EXPECT_EQ(image.rotation, sample.rotation);
    EXPECT_EQ(image.hResolution, 72);
    EXPECT_EQ(image.vResolution, 72);
    EXPECT_EQ(image.units, PXC_MU_INCH);
    EXPECT_EQ(image.channelEncoding, PXC_CE_VECTOR);
    EXPECT_EQ(Detail(image, "Pages"), std::to_string(sample.pages));
  }
  for (const char* name : {"PDF.pdf", "PDF2.pdf"}) {
    std::string bytes = ReadFile(corpus + name);
    if (bytes.empty()) GTEST_SKIP() << "no corpus";
    ImageDescription image;
    ASSERT_TRUE(Describe(bytes, image)) << name;
    EXPECT_EQ(image.version, "1.3");
    EXPECT_EQ(image.pages, 1);
    if (std::string(name) == "PDF.pdf") {
      EXPECT_EQ(image.columns, 8u);
      EXPECT_EQ(image.rows, 8u);
      EXPECT_EQ(Detail(image, "Creator"), "Adobe Photoshop 7.0");
      EXPECT_EQ(Detail(image, "Software"), "Adobe Photoshop for Macintosh");
      EXPECT_EQ(Detail(image, "XMP"), "yes");
    } else {
      EXPECT_EQ(image.columns, 612u);
      EXPECT_EQ(image.rows, 792u);
    }
  }
}

TEST(PdfReader, ReportsDocumentDetails) {
  const std::string data = std::string(IMR_TEST_DATA) + "/formats/pdf/";
  ImageDescription image;
  ASSERT_TRUE(Describe(ReadFile(data + "a4_three_pages.pdf"), image));
  EXPECT_EQ(Detail(image, "Title"), "Three A4 pages");
  EXPECT_EQ(Detail(image, "Creator"), "IMR sample");
  EXPECT_EQ(Detail(image, "Software"), "GPL Ghostscript 10.00.0");
  EXPECT_NEAR(image.hRealSize, 595.3 / 72, 1e-9);
  EXPECT_NEAR(image.vRealSize, 841.9 / 72, 1e-9);
  EXPECT_EQ(Detail(image, "Encrypted"), "");

  // the information strings of an encrypted file are encrypted: not reported
  ASSERT_TRUE(Describe(ReadFile(data + "encrypted.pdf"), image));
  EXPECT_EQ(Detail(image, "Encrypted"), "yes");
  EXPECT_EQ(Detail(image, "Title"), "");

  ASSERT_TRUE(Describe(ReadFile(data + "linearized.pdf"), image));
  EXPECT_EQ(Detail(image, "Linearized"), "yes");

  // object streams, a cross-reference stream and an update whose table
  // replaces the information dictionary
  ASSERT_TRUE(Describe(ReadFile(data + "xref_stream_update.pdf"), image));
  EXPECT_EQ(Detail(image, "Title"), "Updated title");
  EXPECT_EQ(Detail(image, "Software"), "make_samples.py");
  EXPECT_EQ(Detail(image, "XMP"), "yes");
  EXPECT_EQ(Detail(image, "CropBox"), "10 10 400 580");
  EXPECT_NEAR(image.hRealSize, 419.53 / 72, 1e-9);  // as stored, to be turned a quarter
  EXPECT_NEAR(image.vRealSize, 595.28 / 72, 1e-9);

  ASSERT_TRUE(Describe(ReadFile(data + "hybrid.pdf"), image));
  EXPECT_EQ(Detail(image, "Title"), "Original");  // UTF-16 in the object stream
}

TEST(PdfReader, RoundsPageSizesAsGhostscript) {
  ImageDescription image;
  ASSERT_TRUE(Describe(BuildPdf(kSimple), image));
  EXPECT_EQ(image.columns, 301u);  // 300.5 rounds up, 200.4 down
  EXPECT_EQ(image.rows, 200u);
  EXPECT_EQ(image.pages, 1);

  // media box on the page tree root, inherited; a box with its origin elsewhere
  ASSERT_TRUE(Describe(BuildPdf({"<< /Type /Catalog /Pages 2 0 R >>",
                                 "<< /Type /Pages /Kids [3 0 R] /Count 4 /MediaBox [-10 -10 90.5 190.4] /Rotate -90 >>",
                                 "<< /Type /Page /Parent 2 0 R >>"}),
                       image));
  EXPECT_EQ(image.columns, 101u);  // the page as stored, and how to turn it
  EXPECT_EQ(image.rows, 200u);
  EXPECT_NEAR(image.hRealSize, 100.5 / 72, 1e-9);
  EXPECT_EQ(image.rotation, PXC_IR_270);
  EXPECT_EQ(image.pages, 4);

  // no media box anywhere: Ghostscript's letter page
  ASSERT_TRUE(Describe(BuildPdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                 "<< /Type /Page /Parent 2 0 R /MediaBox 4 0 R >>", "[0 0 0 0]"}),
                       image));
  EXPECT_EQ(image.columns, 612u);
  EXPECT_EQ(image.rows, 792u);

  // indirect box and count
  ASSERT_TRUE(Describe(BuildPdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 4 0 R >>",
                                 "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 5 5 0 R] >>", "7", "99.5"}),
                       image));
  EXPECT_EQ(image.columns, 5u);
  EXPECT_EQ(image.rows, 100u);
  EXPECT_EQ(image.pages, 7);
}

TEST(PdfReader, RejectsWhatIsNotAReadablePdf) {
  ImageDescription image;
  EXPECT_FALSE(Describe("", image));
  EXPECT_FALSE(Describe("%!PS-Adobe-3.0\n", image));
  EXPECT_FALSE(Describe(std::string(1100, ' ') + BuildPdf(kSimple), image));  // header too far in
  EXPECT_FALSE(Describe("%PDF-1.4\n%%EOF\n", image));                         // no objects at all
  // a catalog without a page tree
  EXPECT_FALSE(Describe(BuildPdf({"<< /Type /Catalog >>"}), image));
}

TEST(PdfReader, RecoversFromBrokenCrossReferences) {
  ImageDescription image;
  std::string pdf = BuildPdf(kSimple);

  // startxref pointing nowhere useful: the objects are found by scanning
  std::string wrongStart = pdf;
  std::size_t at = wrongStart.rfind("startxref\n") + 10;
  wrongStart.replace(at, wrongStart.find('\n', at) - at, "12");
  ASSERT_TRUE(Describe(wrongStart, image));
  EXPECT_EQ(image.columns, 301u);

  // offsets in the table all wrong: each lookup falls back to the scan
  std::string wrongOffsets = pdf;
  for (std::size_t p = wrongOffsets.find(" 00000 n"); p != std::string::npos;
       p = wrongOffsets.find(" 00000 n", p + 1)) {
    wrongOffsets.replace(p - 10, 10, "0000000001");
  }
  ASSERT_TRUE(Describe(wrongOffsets, image));
  EXPECT_EQ(image.rows, 200u);

  // no table, no trailer: the catalog is found by its /Type
  std::string bare = "%PDF-1.3\n";
  for (std::size_t i = 0; i < kSimple.size(); ++i) {
    bare += std::to_string(i + 1) + " 0 obj " + kSimple[i] + " endobj\n";
  }
  ASSERT_TRUE(Describe(bare, image));
  EXPECT_EQ(image.version, "1.3");
  EXPECT_EQ(image.columns, 301u);

  // a /Prev chain that loops back on itself
  std::string loop = pdf;
  std::string xref = loop.substr(loop.rfind("startxref\n") + 10);
  xref = xref.substr(0, xref.find('\n'));
  loop.replace(loop.find("/Root 1 0 R"), 11, "/Root 1 0 R /Prev " + xref);
  ASSERT_TRUE(Describe(loop, image));
  EXPECT_EQ(image.pages, 1);

  // junk before the header: offsets count from "%PDF"
  ASSERT_TRUE(Describe(BuildPdf(kSimple, "", "garbage\r\n"), image));
  EXPECT_EQ(image.columns, 301u);
}

TEST(PdfReader, EncryptedFileWithCompressedPageTreeHasUnknownCount) {
  // The object stream holding the page tree is encrypted and cannot be read.
  std::string pdf = "%PDF-1.5\n";
  std::size_t catalog = pdf.size();
  pdf += "1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n";
  std::size_t stream = pdf.size();
  pdf += "3 0 obj << /Type /ObjStm /N 1 /First 4 /Filter /FlateDecode /Length 8 >>\nstream\n\x13\x88\x01\x02\x03\x04\x05\x06\nendstream endobj\n";
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

TEST(PdfReader, SurvivesHostileStructures) {
  ImageDescription image;
  // a page tree whose kid is the tree itself
  ASSERT_TRUE(Describe(BuildPdf({"<< /Type /Catalog /Pages 2 0 R >>",
                                 "<< /Type /Pages /Kids [2 0 R] /Count 1 /MediaBox [0 0 10 20] >>"}),
                       image));
  EXPECT_EQ(image.columns, 10u);
  // references that point at each other
  EXPECT_FALSE(Describe(BuildPdf({"<< /Type /Catalog /Pages 2 0 R >>", "3 0 R", "2 0 R"}), image));
  // nesting far deeper than any document needs
  std::string deep = "<< /Type /Catalog /Pages 2 0 R /X " + std::string(100000, '[') + " >>";
  EXPECT_FALSE(Describe(BuildPdf({deep, kSimple[1], kSimple[2]}), image));
  // absurd counts and sizes
  ASSERT_TRUE(Describe(BuildPdf({kSimple[0], "<< /Type /Pages /Kids [3 0 R] /Count 99999999999 >>",
                                 "<< /Type /Page /MediaBox [0 0 99999999 1] >>"}),
                       image));
  EXPECT_EQ(image.pages, 0);
  EXPECT_EQ(image.columns, 612u);
  // an unterminated string and an unterminated dictionary
  EXPECT_FALSE(Describe(BuildPdf({"<< /Type /Catalog /Pages (2 0 R >>"}), image));
  EXPECT_FALSE(Describe("%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R", image));
  // a table whose subsection claims more entries than the file can hold
  std::string pdf = BuildPdf(kSimple);
  pdf.replace(pdf.find("xref\n0 4"), 8, "xref\n0 4000000000");
  ASSERT_TRUE(Describe(pdf, image));
  EXPECT_EQ(image.columns, 301u);
}

TEST(PdfReader, EveryTruncationOfASampleIsSafe) {
  const std::string bytes = ReadFile(std::string(IMR_TEST_DATA) + "/formats/pdf/xref_stream_update.pdf");
  ASSERT_FALSE(bytes.empty());
  for (std::size_t length = 0; length <= bytes.size(); length += 7) {
    ImageDescription image;
    std::string prefix = bytes.substr(0, length);
    if (Describe(prefix, image)) {
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
