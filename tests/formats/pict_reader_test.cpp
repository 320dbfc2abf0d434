#include "formats/pict/pict_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "formats/common/byte_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

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

TEST(PictReader, SamplesAgreeWithIdentify) {
  const std::string data = std::string(IMR_TEST_DATA) + "/formats/pict/";
  struct Sample {
    const char* path;
    std::uint32_t columns, rows;  // identify -format '%w %h'
    PXC_TChannelEnc encoding;
    const char* bits;
  } samples[] = {
      {"rgb_144dpi.pict", 40, 30, PXC_CE_RGB, "8"},
      {"palette.pict", 33, 21, PXC_CE_INDEXED, "8"},
  };
  for (const Sample& sample : samples) {
    SCOPED_TRACE(sample.path);
    ImageDescription image;
    ASSERT_TRUE(Describe(ReadFile(data + sample.path), image));
    EXPECT_EQ(image.type, PXC_IT_MAIN);
    EXPECT_EQ(image.version, "2");
    EXPECT_EQ(image.columns, sample.columns);
    EXPECT_EQ(image.rows, sample.rows);
    EXPECT_EQ(image.hResolution, 72);  // identify: 72 72, whatever the header says
    EXPECT_EQ(image.units, PXC_MU_INCH);
    EXPECT_DOUBLE_EQ(image.hRealSize, sample.columns / 72.0);
    EXPECT_EQ(image.channelEncoding, sample.encoding);
    EXPECT_EQ(Detail(image, "BitsPerSample"), sample.bits);
  }
  // no preamble; identify rejects it for its clip region, which is no rectangle
  ImageDescription image;
  std::string corpus = ReadFile(std::string(IMR_CORPUS) + "/exiftool/PICT.pict");
  if (corpus.empty()) GTEST_SKIP() << "no corpus";
  ASSERT_TRUE(Describe(corpus, image));
  EXPECT_EQ(image.columns, 8u);
  EXPECT_EQ(image.rows, 8u);
  EXPECT_EQ(image.channelEncoding, PXC_CE_RGB);
  EXPECT_EQ(image.alphaPlane, PXC_AP_UNSPECIFIED);  // four components
}

TEST(PictReader, ReadsPictureContents) {
  ImageDescription image;
  // version 1, after a preamble, with a one-bit bitmap
  std::string v1 = std::string(512, '\0') + Frame(10, 20, 60, 120) + "\x11\x01" + "\xA0" + Be16(5) + "\x90" +
                   Be16(16);
  ASSERT_TRUE(Describe(v1, image));
  EXPECT_EQ(image.version, "1");
  EXPECT_EQ(image.columns, 100u);
  EXPECT_EQ(image.rows, 50u);
  EXPECT_EQ(image.channelEncoding, PXC_CE_BILEVEL);

  // version 2: skipped comment, clip region and odd-length opcode data
  std::string v2 = Frame(0, 0, 72, 144) + Version2() + Be16(0x00A1) + Be16(100) + Be16(3) + "abc" +
                   std::string(1, '\0') + Be16(0x0001) + Be16(10) + std::string(8, '\0') + Be16(0x0098) +
                   Be16(0x8000 | 144) + PixMap(4, 1, 4);
  ASSERT_TRUE(Describe(v2, image));
  EXPECT_EQ(image.columns, 144u);
  EXPECT_EQ(image.rows, 72u);
  EXPECT_DOUBLE_EQ(image.hRealSize, 2.0);
  EXPECT_EQ(image.channelEncoding, PXC_CE_INDEXED);
  EXPECT_EQ(Detail(image, "BitsPerSample"), "4");

  // a drawing, a QuickTime-compressed picture, and an empty picture
  ASSERT_TRUE(Describe(Frame(0, 0, 10, 10) + Version2() + Be16(0x0030) + std::string(8, '\0'), image));
  EXPECT_EQ(image.channelEncoding, PXC_CE_VECTOR);
  ASSERT_TRUE(Describe(Frame(0, 0, 10, 10) + Version2() + Be16(0x8200) + Be32(4) + "jpeg", image));
  EXPECT_EQ(Detail(image, "Compression"), "QuickTime");
  ASSERT_TRUE(Describe(Frame(0, 0, 10, 10) + Version2() + Be16(0x00FF), image));
  EXPECT_EQ(image.channelEncoding, PXC_CE_VECTOR);
  // a frame with negative coordinates still has its size
  ASSERT_TRUE(Describe(Frame(-5, -10, 5, 10) + Version2(), image));
  EXPECT_EQ(image.columns, 20u);
}

TEST(PictReader, RejectsWhatIsNoPicture) {
  ImageDescription image;
  EXPECT_FALSE(Describe("", image));
  EXPECT_FALSE(Describe(Frame(0, 0, 10, 10), image));                          // no version
  EXPECT_FALSE(Describe(Frame(0, 0, 10, 10) + "\x11\x02", image));             // unknown version
  EXPECT_FALSE(Describe(Frame(10, 0, 10, 10) + "\x11\x01", image));            // empty frame
  EXPECT_FALSE(Describe(Frame(0, 20, 10, 10) + Be16(0x0011) + Be16(0x02FF), image));  // inverted
  EXPECT_FALSE(Describe(std::string(512, 'x') + Frame(0, 0, 1, 1) + "\x11", image));
  // opcodes whose lengths run past the end are harmless
  ASSERT_TRUE(Describe(Frame(0, 0, 10, 10) + Version2() + Be16(0x00A1) + Be16(1) + Be16(0xFFFF), image));
  ASSERT_TRUE(Describe(Frame(0, 0, 10, 10) + Version2() + Be16(0x9000) + Be32(0xFFFFFFFF), image));
  ASSERT_TRUE(Describe(Frame(0, 0, 10, 10) + Version2() + Be16(0x009A) + "\0\0", image));
  EXPECT_EQ(image.channelEncoding, PXC_CE_VECTOR);
}

}  // namespace
}  // namespace imr::formats
