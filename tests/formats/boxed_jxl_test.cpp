// The JPEG XL reader of the boxed family: bare codestreams and the box
// container (kept beside boxed_test.cpp, which covers JPEG 2000 and HEIF).
#include <gtest/gtest.h>

#include <string>

#include "formats/boxed/jxl_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;
using namespace std::string_literals;

// Bits least significant first, as the codestream has them.
struct BitWriter {
  std::string bytes;
  std::size_t at = 0;
  BitWriter& Put(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i, ++at) {
      if (at % 8 == 0) bytes += '\0';
      if ((value >> i) & 1) bytes.back() = static_cast<char>(bytes.back() | (1 << (at % 8)));
    }
    return *this;
  }
};

std::string Box(const char* type, const std::string& content) { return Be32(8 + content.size()) + type + content; }

// cjxl wrote the samples; jxlinfo gives their values (identify has no JPEG
// XL coder here).
TEST(JxlReader, SamplesAgreeWithJxlinfo) {
  CheckSamples(MakeJxlReader, {
      {"boxed/rgb.jxl", 40, 30, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "inks=3|BitsPerSample=16|Compression=JPEG XL"},
      {"boxed/gray16.jxl", 20, 15, 0, 1, PXC_CE_GRAY, PXC_AP_NONE, "BitsPerSample=16"},
      {"boxed/rgba.jxl", 33, 17, 0, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "ExtraChannels=1"},
      {"boxed/anim.jxl", 12, 9, 0, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "Animation=yes|BitsPerSample=8"},
      {"boxed/recompressed.jxl", 64, 48, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "JPEGReconstruction=yes|BitsPerSample=8"},
      // exiftool: 200 x 130, the codestream cut after its headers
      {IMR_CORPUS "/exiftool/JXL.jxl", 200, 130, 0, 1, PXC_CE_RGB, PXC_AP_NONE, ""},
      // Brotli-compressed Exif and XMP boxes before the codestream
      {IMR_CORPUS "/exiftool/JXL2.jxl", 200, 130, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "Exif=yes|XMP=yes"},
  });
}

TEST(JxlReader, SizeHeadersAndMetadata) {
  // Small sizes in eighths with a 16:9 ratio; all-default metadata.
  BitWriter small;
  small.Put(0x0AFF, 16).Put(1, 1).Put(8, 5).Put(5, 3).Put(1, 1);
  ImageDescription d;
  ASSERT_TRUE(DescribeSingle(MakeJxlReader, small.bytes, d));
  Check(d, "columns=128|rows=72|BitsPerSample=8");

  // Orientation 6, 32-bit float samples, a black channel named "K" and an
  // associated alpha, grey colour space, split over two jxlp boxes.
  BitWriter b;
  b.Put(0x0AFF, 16).Put(0, 1).Put(1, 2).Put(999, 13).Put(0, 3).Put(2, 2).Put(4999, 18);  // 5000 x 1000
  b.Put(0, 1).Put(1, 1).Put(5, 3).Put(0, 1).Put(0, 1).Put(0, 1);  // extra fields: orientation 6
  b.Put(1, 1).Put(0, 2).Put(3, 4);  // float, 32 bits, exponent bits
  b.Put(1, 1).Put(2, 2).Put(0, 4);  // 16-bit buffers, 2 extra channels
  b.Put(0, 1).Put(2, 2).Put(2, 4).Put(0, 1).Put(0, 2).Put(0, 2).Put(1, 2).Put(1, 4).Put('K', 8);  // black
  b.Put(0, 1).Put(0, 2).Put(0, 1).Put(0, 2).Put(0, 2).Put(0, 2).Put(1, 1);  // associated alpha
  b.Put(0, 1).Put(0, 1).Put(0, 1).Put(1, 2);  // not XYB, colour encoding: no ICC, grey
  const std::string codestream = b.bytes;
  const std::string container = "\0\0\0\x0CJXL \r\n\x87\n"s + Box("ftyp", "jxl "s + Be32(0) + "jxl ") +
                                Box("jxlp", Be32(0) + codestream.substr(0, 5)) + Box("Exif", "x") +
                                Box("jxlp", Be32(0x80000001) + codestream.substr(5));
  ASSERT_TRUE(DescribeSingle(MakeJxlReader, container, d));
  Check(d, "columns=5000|rows=1000|rotation=R90|Orientation=RightTop|BitsPerSample=32 float|encoding=CMYK|inks=4|"
           "alpha=Associated|ExtraChannels=2|Exif=yes");

  EXPECT_EQ(Refusal(MakeJxlReader, codestream.substr(0, 6)), "the codestream's headers are cut short or not valid");
  EXPECT_EQ(Refusal(MakeJxlReader, container.substr(0, 12 + 20)), "the container holds no codestream box");
  EXPECT_EQ(Refusal(MakeJxlReader, "\xFF\x0A"s), "the codestream's headers are cut short or not valid");
}

// Damaged files kept in boxed/regress.
TEST(JxlReader, DamagedFilesSayWhy) {
  CheckRegressionRefusals("boxed", {{"jxl_cut_headers.jxl", MakeJxlReader, "the codestream's headers are cut short or not valid"}});
}

}  // namespace
}  // namespace imr::formats
