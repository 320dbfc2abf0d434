#include "formats/pict/pict_reader.h"

#include <gtest/gtest.h>

#include <string>

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

// identify: 72 dpi whatever the header says.  The corpus file has no
// preamble; identify rejects it for its clip region, which is no rectangle.
TEST(PictReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakePictReader, {
      {"pict/rgb_144dpi.pict", 40, 30, 72, 1, PXC_CE_RGB, PXC_AP_NONE, "version=2|BitsPerSample=8"},
      {"pict/palette.pict", 33, 21, 72, 1, PXC_CE_INDEXED, PXC_AP_NONE, "version=2|BitsPerSample=8"},
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
      {v2 + Be16(0x009A) + std::string(2, '\0'), "encoding=Vector"},
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

}  // namespace
}  // namespace imr::formats
