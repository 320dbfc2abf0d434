#include "formats/jp2/jp2_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "formats/common/byte_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

bool Describe(const std::string& bytes, ImageDescription& image) {
  return DescribeSingle(MakeJp2Reader, bytes, image);
}

std::string Box(const std::string& type, const std::string& content) {
  return Be32(static_cast<std::uint32_t>(8 + content.size())) + type + content;
}

const std::string kSignature = Box("jP  ", "\x0D\x0A\x87\x0A");

std::string Ihdr(std::uint32_t width, std::uint32_t height, std::uint16_t components, std::uint8_t bpc) {
  return Box("ihdr", Be32(height) + Be32(width) + Be16(components) + std::string(1, static_cast<char>(bpc)) +
                         std::string("\x07\x00\x00", 3));
}

std::string Siz(std::uint32_t width, std::uint32_t height, std::uint32_t x0, std::uint16_t components) {
  std::string siz = "\xFF\x4F\xFF\x51" + Be16(static_cast<std::uint16_t>(38 + 3 * components)) + Be16(0) +
                    Be32(width) + Be32(height) + Be32(x0) + Be32(0) + Be32(width) + Be32(height) + Be32(0) + Be32(0) +
                    Be16(components);
  for (int i = 0; i < components; ++i) siz += std::string("\x0B\x01\x01", 3);  // 12 bits
  return siz;
}

struct Sample {
  const char* path;
  const char* format;
  std::uint32_t columns, rows;  // identify -format '%w %h'
  PXC_TChannelEnc encoding;
  std::uint16_t inks;
  PXC_TAlphaPlane alpha;
};

TEST(Jp2Reader, SamplesAgreeWithIdentify) {
  const std::string data = std::string(IMR_TEST_DATA) + "/formats/jp2/";
  const std::string corpus = std::string(IMR_CORPUS) + "/exiftool/";
  const Sample samples[] = {
      {"rgb.jp2", "", 40, 30, PXC_CE_RGB, 3, PXC_AP_NONE},
      {"rgba.jp2", "", 20, 10, PXC_CE_RGB, 3, PXC_AP_UNSPECIFIED},
      {"gray.j2k", "J2K", 33, 17, PXC_CE_GRAY, 1, PXC_AP_NONE},
      {"jpx_icc_res.jpx", "JPX", 40, 30, PXC_CE_RGB, 3, PXC_AP_NONE},
      {"icc_v4.jp2", "", 40, 30, PXC_CE_RGB, 3, PXC_AP_NONE},
  };
  for (const Sample& sample : samples) {
    SCOPED_TRACE(sample.path);
    ImageDescription image;
    ASSERT_TRUE(Describe(ReadFile(data + sample.path), image));
    EXPECT_EQ(image.type, PXC_IT_MAIN);
    EXPECT_EQ(image.format, sample.format);
    EXPECT_EQ(image.columns, sample.columns);
    EXPECT_EQ(image.rows, sample.rows);
    EXPECT_EQ(image.channelEncoding, sample.encoding);
    EXPECT_EQ(image.inks, sample.inks);
    EXPECT_EQ(image.alphaPlane, sample.alpha);
    EXPECT_EQ(Detail(image, "Compression"), "JPEG 2000");
    EXPECT_EQ(Detail(image, "BitsPerSample"), "8");
  }
  ImageDescription image;
  std::string bytes = ReadFile(corpus + "Jpeg2000.jp2");
  if (bytes.empty()) GTEST_SKIP() << "no corpus";
  ASSERT_TRUE(Describe(bytes, image));
  EXPECT_EQ(image.columns, 16u);
  EXPECT_EQ(image.rows, 16u);
  EXPECT_EQ(image.channelEncoding, PXC_CE_RGB);
  EXPECT_EQ(image.units, PXC_MU_NONE);  // identify: 72 72 Undefined, its default
  ASSERT_TRUE(Describe(ReadFile(corpus + "Jpeg2000.j2c"), image));
  EXPECT_EQ(image.format, "J2K");
  EXPECT_EQ(image.columns, 8u);
  EXPECT_EQ(image.rows, 8u);
  EXPECT_EQ(image.inks, 3u);
}

TEST(Jp2Reader, ReadsProfilesResolutionAndMetadata) {
  const std::string data = std::string(IMR_TEST_DATA) + "/formats/jp2/";
  ImageDescription image;
  // identify ignores the resolution boxes; the capture resolution is used
  ASSERT_TRUE(Describe(ReadFile(data + "jpx_icc_res.jpx"), image));
  EXPECT_EQ(image.units, PXC_MU_INCH);
  EXPECT_NEAR(image.hResolution, 300, 0.01);
  EXPECT_NEAR(image.vResolution, 300, 0.01);
  EXPECT_NEAR(image.hRealSize, 40 / (11811 * 0.0254), 1e-9);
  EXPECT_EQ(Detail(image, "ColorProfile"), "Artifex Software A98 ICC Profile");
  EXPECT_EQ(Detail(image, "XMP"), "yes");
  EXPECT_EQ(Detail(image, "Exif"), "");

  ASSERT_TRUE(Describe(ReadFile(data + "icc_v4.jp2"), image));
  EXPECT_EQ(Detail(image, "ColorProfile"), "Artifex PS RGB Profile");  // multilingual text tag
  EXPECT_EQ(image.units, PXC_MU_NONE);
  EXPECT_EQ(image.hResolution, 0);

  // display resolution only (in an exponent form), palette, alpha definition,
  // bits from the per-component box, and an unreadable profile
  std::string header = Ihdr(100, 50, 2, 255) + Box("bpcc", "\x8F\x07") + Box("colr", std::string("\x02\x00\x00junk", 7)) +
                       Box("pclr", std::string(8, '\0')) + Box("cdef", Be16(2) + Be16(0) + Be16(0) + Be16(1) +
                                                                           Be16(1) + Be16(2) + Be16(0)) +
                       Box("res ", Box("resd", Be16(3937) + Be16(1) + Be16(3937) + Be16(10) + std::string("\x00\x01", 2)));
  std::string file = kSignature + Box("ftyp", "jp2 " + Be32(0) + "jp2 ") + Box("jp2h", header);
  ASSERT_TRUE(Describe(file, image));
  EXPECT_EQ(image.columns, 100u);
  EXPECT_EQ(image.rows, 50u);
  EXPECT_EQ(image.channelEncoding, PXC_CE_INDEXED);
  EXPECT_EQ(image.alphaPlane, PXC_AP_ASSOCIATED);
  EXPECT_EQ(Detail(image, "BitsPerSample"), "16");
  EXPECT_EQ(Detail(image, "ColorProfile"), "embedded");
  EXPECT_NEAR(image.hResolution, 3937 * 0.0254, 1e-6);  // 3937/10 * 10^1
  EXPECT_NEAR(image.vResolution, 3937 * 0.0254, 1e-6);
}

TEST(Jp2Reader, ReadsCodestreams) {
  ImageDescription image;
  // image offset subtracted; 12-bit samples; four components
  ASSERT_TRUE(Describe(Siz(1000, 600, 200, 4), image));
  EXPECT_EQ(image.columns, 800u);
  EXPECT_EQ(image.rows, 600u);
  EXPECT_EQ(Detail(image, "BitsPerSample"), "12");
  EXPECT_EQ(image.alphaPlane, PXC_AP_UNSPECIFIED);

  // a JP2 without a header box falls back on its codestream
  ASSERT_TRUE(Describe(kSignature + Box("jp2c", Siz(64, 32, 0, 1)), image));
  EXPECT_EQ(image.columns, 64u);
  EXPECT_EQ(image.channelEncoding, PXC_CE_GRAY);
  EXPECT_EQ(Detail(image, "BitsPerSample"), "12");

  // broken SIZ: wrong length, no components, offset beyond the size, truncated
  std::string wrongLength = Siz(10, 10, 0, 3);
  wrongLength[5] = 1;
  EXPECT_FALSE(Describe(wrongLength, image));
  EXPECT_FALSE(Describe(Siz(10, 10, 0, 0), image));
  EXPECT_FALSE(Describe(Siz(10, 10, 10, 1), image));
  EXPECT_FALSE(Describe(Siz(10, 10, 0, 3).substr(0, 40), image));
}

TEST(Jp2Reader, RejectsBrokenBoxStructures) {
  ImageDescription image;
  EXPECT_FALSE(Describe("", image));
  EXPECT_FALSE(Describe("\xFF\xD8\xFF\xE0", image));
  EXPECT_FALSE(Describe(kSignature, image));
  // a box larger than the file, a zero-size header, a 64-bit size
  EXPECT_FALSE(Describe(kSignature + Be32(1000) + "jp2h" + Ihdr(1, 1, 1, 7), image));
  EXPECT_FALSE(Describe(kSignature + Box("jp2h", Ihdr(0, 5, 1, 7)), image));
  ASSERT_TRUE(Describe(kSignature + Be32(1) + "jp2h" + std::string(4, '\0') + Be32(16 + 22) + Ihdr(3, 4, 1, 7), image));
  EXPECT_EQ(image.columns, 3u);
  // a size-0 box runs to the end of the file
  ASSERT_TRUE(Describe(kSignature + Be32(0) + "jp2h" + Ihdr(5, 6, 3, 7), image));
  EXPECT_EQ(image.rows, 6u);
  // deeply nested superboxes stop at the depth limit
  std::string nested = Ihdr(7, 7, 1, 7);
  for (int i = 0; i < 50; ++i) nested = Box(i % 2 ? "jp2h" : "res ", nested);
  EXPECT_FALSE(Describe(kSignature + nested, image));
}

}  // namespace
}  // namespace imr::formats
