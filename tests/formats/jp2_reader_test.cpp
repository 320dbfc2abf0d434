#include "formats/jp2/jp2_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

bool Describe(const std::string& bytes, ImageDescription& image) { return DescribeSingle(MakeJp2Reader, bytes, image); }

std::string Box(const std::string& type, const std::string& content) {
  return Be32(static_cast<std::uint32_t>(8 + content.size())) + type + content;
}
const std::string kSignature = Box("jP  ", "\x0D\x0A\x87\x0A");

std::string Ihdr(std::uint32_t width, std::uint32_t height, std::uint16_t components, std::uint8_t bpc) {
  return Box("ihdr",
             Be32(height) + Be32(width) + Be16(components) + static_cast<char>(bpc) + std::string("\x07\0\0", 3));
}
// A codestream's SIZ marker with 12-bit components.
std::string Siz(std::uint32_t width, std::uint32_t height, std::uint32_t x0, std::uint16_t components) {
  std::string siz = "\xFF\x4F\xFF\x51" + Be16(static_cast<std::uint16_t>(38 + 3 * components)) + Be16(0) +
                    Be32(width) + Be32(height) + Be32(x0) + Be32(0) + Be32(width) + Be32(height) + Be32(0) + Be32(0) +
                    Be16(components);
  for (int i = 0; i < components; ++i) siz += std::string("\x0B\x01\x01", 3);
  return siz;
}

// identify ignores the resolution boxes: we report the capture resolution.
TEST(Jp2Reader, SamplesAgreeWithIdentify) {
  const char* const jpeg2000 = "Compression=JPEG 2000|BitsPerSample=8";
  CheckSamples(MakeJp2Reader, {
      {"jp2/rgb.jp2", 40, 30, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "format=|inks=3|Compression=JPEG 2000|BitsPerSample=8"},
      {"jp2/rgba.jp2", 20, 10, 0, 1, PXC_CE_RGB, PXC_AP_UNSPECIFIED, jpeg2000},
      {"jp2/gray.j2k", 33, 17, 0, 1, PXC_CE_GRAY, PXC_AP_NONE, "format=J2K|inks=1|BitsPerSample=8"},
      {"jp2/jpx_icc_res.jpx", 40, 30, 300, 1, PXC_CE_RGB, PXC_AP_NONE,
       "format=JPX|ColorProfile=Artifex Software A98 ICC Profile|XMP=yes|Exif="},
      // a profile with a multilingual text tag
      {"jp2/icc_v4.jp2", 40, 30, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "ColorProfile=Artifex PS RGB Profile"},
      {IMR_CORPUS "/exiftool/Jpeg2000.jp2", 16, 16, 0, 1, PXC_CE_RGB, PXC_AP_NONE},
      {IMR_CORPUS "/exiftool/Jpeg2000.j2c", 8, 8, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "format=J2K|inks=3"},
  });
  ImageDescription image;
  ASSERT_TRUE(Describe(ReadFile(IMR_TEST_DATA "/formats/jp2/jpx_icc_res.jpx"), image));
  EXPECT_NEAR(image.hRealSize, 40 / (11811 * 0.0254), 1e-9);
}

TEST(Jp2Reader, ReadsHeaderBoxesAndCodestreams) {
  // display resolution only (in an exponent form), palette, alpha definition,
  // bits from the per-component box, and an unreadable profile
  const std::string header =
      Ihdr(100, 50, 2, 255) + Box("bpcc", "\x8F\x07") + Box("colr", std::string("\x02\0\0junk", 7)) +
      Box("pclr", std::string(8, '\0')) +
      Box("cdef", Be16(2) + Be16(0) + Be16(0) + Be16(1) + Be16(1) + Be16(2) + Be16(0)) +
      Box("res ", Box("resd", Be16(3937) + Be16(1) + Be16(3937) + Be16(10) + std::string("\0\x01", 2)));
  const std::pair<std::string, const char*> cases[] = {
      {kSignature + Box("ftyp", "jp2 " + Be32(0) + "jp2 ") + Box("jp2h", header),
       "columns=100|rows=50|encoding=Indexed|alpha=Associated|BitsPerSample=16|ColorProfile=embedded"},
      // a bare codestream: the image offset subtracted, 12-bit samples, four components
      {Siz(1000, 600, 200, 4), "columns=800|rows=600|BitsPerSample=12|alpha=Unspecified"},
      // a JP2 without a header box falls back on its codestream
      {kSignature + Box("jp2c", Siz(64, 32, 0, 1)), "columns=64|encoding=Gray"},
      // box sizes of 1 (64-bit) and 0 (to the end of the file)
      {kSignature + Be32(1) + "jp2h" + std::string(4, '\0') + Be32(16 + 22) + Ihdr(3, 4, 1, 7), "columns=3"},
      {kSignature + Be32(0) + "jp2h" + Ihdr(5, 6, 3, 7), "rows=6"},
  };
  for (const auto& [bytes, checks] : cases) {
    ImageDescription image;
    ASSERT_TRUE(Describe(bytes, image)) << checks;
    Check(image, checks);
  }
  ImageDescription image;
  ASSERT_TRUE(Describe(cases[0].first, image));
  EXPECT_NEAR(image.hResolution, 3937 * 0.0254, 1e-6);  // 3937/10 * 10^1
  EXPECT_NEAR(image.vResolution, 3937 * 0.0254, 1e-6);
}

TEST(Jp2Reader, RejectsBrokenBoxesAndCodestreams) {
  std::string wrongLength = Siz(10, 10, 0, 3);
  wrongLength[5] = 1;
  std::string nested = Ihdr(7, 7, 1, 7);  // deeply nested superboxes stop at the depth limit
  for (int i = 0; i < 50; ++i) nested = Box(i % 2 ? "jp2h" : "res ", nested);
  const std::string bad[] = {
      "", "\xFF\xD8\xFF\xE0", kSignature,
      kSignature + Be32(1000) + "jp2h" + Ihdr(1, 1, 1, 7),  // a box larger than the file
      kSignature + Box("jp2h", Ihdr(0, 5, 1, 7)),          // zero width
      kSignature + nested,
      // SIZ of the wrong length, without components, offset beyond the size, truncated
      wrongLength, Siz(10, 10, 0, 0), Siz(10, 10, 10, 1), Siz(10, 10, 0, 3).substr(0, 40),
  };
  for (const std::string& bytes : bad) {
    ImageDescription image;
    EXPECT_FALSE(Describe(bytes, image)) << &bytes - bad;
  }
}

}  // namespace
}  // namespace imr::formats
