#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/gif/gif_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

Described DescribeAll(const Bytes& bytes, std::uint32_t limit = 64) {
  return test::DescribeAll(MakeGifReader, bytes, limit);
}

std::string Header(std::uint16_t w, std::uint16_t h, int globalBits, const char* version = "89a") {
  std::string s = std::string("GIF") + version + Le16(w) + Le16(h) +
                  char(globalBits ? 0x80 | (globalBits - 1) : 0) + '\0' + '\0';
  if (globalBits) s += std::string(3u << globalBits, '\0');
  return s;
}
std::string Gce(bool transparent) {
  return std::string("\x21\xF9\x04", 3) + char(transparent ? 1 : 0) + std::string(4, '\0');
}
// An image descriptor with a local palette of `localBits`, and `dataBlocks`
// data sub-blocks of 255 bytes.
std::string Image(std::uint16_t w, std::uint16_t h, int localBits = 0, bool interlaced = false,
                  int dataBlocks = 1) {
  std::string s = std::string(1, ',') + Le16(0) + Le16(0) + Le16(w) + Le16(h) +
                  char((localBits ? 0x80 | (localBits - 1) : 0) | (interlaced ? 0x40 : 0));
  if (localBits) s += std::string(3u << localBits, '\0');
  s += '\x02';
  for (int i = 0; i < dataBlocks; ++i) s += '\xFF' + std::string(255, '\x55');
  return s + '\0';
}
Bytes Gif(const std::string& body) {
  const std::string s = body + ';';
  return {s.begin(), s.end()};
}

TEST(GifReader, FilesAgreeWithImageMagick) {
  const std::string corpus = std::string(IMR_CORPUS) + "/exiftool/GIF.gif";
  if (std::filesystem::exists(corpus)) {
    // identify: GIF 8x8, 72 Undefined, 1 image.
    const Described r = DescribeAll(ReadBytes(corpus));
    ASSERT_EQ(r.images.size(), 1u);
    EXPECT_EQ(r.images[0].columns, 8u);
    EXPECT_EQ(r.images[0].rows, 8u);
    EXPECT_EQ(r.images[0].version, "89a");
    EXPECT_EQ(r.images[0].units, PXC_MU_NONE);
    EXPECT_EQ(Detail(r.images[0], "XMP"), "yes");
    EXPECT_EQ(Detail(r.images[0], "ColorProfile"), "embedded");
  }
  const std::string dir = std::string(IMR_TEST_DATA) + "/formats/gif/";
  // identify: 3 images 30x16, 12x7, 12x7, srgba.
  Described r = DescribeAll(ReadBytes(dir + "anim.gif"));
  ASSERT_EQ(r.images.size(), 3u);
  EXPECT_EQ(r.images[0].type, PXC_IT_MAIN);
  EXPECT_EQ(r.images[0].columns, 30u);
  EXPECT_EQ(r.images[0].rows, 16u);
  EXPECT_EQ(r.images[0].alphaPlane, PXC_AP_TRANSPARENT_INDEX);
  EXPECT_EQ(Detail(r.images[0], "Frames"), "3");
  for (int i = 1; i < 3; ++i) {
    EXPECT_EQ(r.images[i].type, PXC_IT_PAGE);
    EXPECT_EQ(r.images[i].columns, 12u);
    EXPECT_EQ(r.images[i].rows, 7u);
  }
  // identify: 25x17, 1 image, interlace GIF.
  r = DescribeAll(ReadBytes(dir + "interlaced87.gif"));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].version, "87a");
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_INDEXED);
  EXPECT_EQ(r.images[0].inks, 1);
  EXPECT_EQ(r.images[0].alphaPlane, PXC_AP_NONE);
  EXPECT_EQ(Detail(r.images[0], "Interlace"), "Interlaced");
  EXPECT_EQ(Detail(r.images[0], "Frames"), "");
}

TEST(GifReader, FramesPalettesAndTransparency) {
  const std::string app = std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\0\0\0", 19);
  const Described r = DescribeAll(Gif(Header(100, 80, 2) + app + Image(100, 80, 0, false, 3) +
                                   Gce(true) + Image(40, 30, 5, true) + Gce(false) + Image(10, 5)));
  ASSERT_EQ(r.images.size(), 3u);
  EXPECT_EQ(Detail(r.images[0], "Frames"), "3");
  EXPECT_EQ(r.images[0].alphaPlane, PXC_AP_NONE);
  EXPECT_EQ(Detail(r.images[0], "BitsPerSample"), "2");
  EXPECT_EQ(r.images[1].columns, 40u);
  EXPECT_EQ(r.images[1].alphaPlane, PXC_AP_TRANSPARENT_INDEX);
  EXPECT_EQ(Detail(r.images[1], "BitsPerSample"), "5");  // local palette
  EXPECT_EQ(Detail(r.images[1], "Interlace"), "Interlaced");
  EXPECT_EQ(r.images[2].alphaPlane, PXC_AP_NONE);

  // A zero logical screen takes the first frame's size.
  const Described zero = DescribeAll(Gif(Header(0, 0, 0) + Image(7, 3)));
  ASSERT_EQ(zero.images.size(), 1u);
  EXPECT_EQ(zero.images[0].columns, 7u);
}

TEST(GifReader, LaterFramesAreReadOnlyWhenAsked) {
  // Only image 0's descriptor is needed to open; a broken tail shows when
  // the frames are counted and does not lose the frames before it.
  const Bytes bytes = Gif(Header(20, 20, 1) + Image(20, 20) + Image(5, 5) + "garbage");
  MemorySource source(bytes.data(), bytes.size());
  auto reader = MakeGifReader();
  ASSERT_TRUE(reader->Open(source));
  ImageDescription d;
  ASSERT_TRUE(reader->Describe(1, d));
  EXPECT_EQ(d.columns, 5u);
  ASSERT_TRUE(reader->Describe(0, d));
  EXPECT_EQ(Detail(d, "Frames"), "2");
  EXPECT_FALSE(reader->Describe(2, d));
}

TEST(GifReader, TruncatedAndInvalidFiles) {
  EXPECT_FALSE(DescribeAll(Gif("GIF88a" + Header(1, 1, 0).substr(6) + Image(1, 1))).opened);
  EXPECT_FALSE(DescribeAll(Gif(Header(10, 10, 3))).opened);  // no image
  // Cut inside the first frame's data: still one frame.
  Bytes cut = Gif(Header(10, 10, 1) + Image(10, 10, 0, false, 4));
  cut.resize(cut.size() - 300);
  Described r = DescribeAll(cut);
  ASSERT_EQ(r.images.size(), 1u);
  // Cut inside the descriptor.
  cut = Gif(Header(10, 10, 0) + Image(10, 10));
  cut.resize(13 + 6);
  EXPECT_FALSE(DescribeAll(cut).opened);
}

}  // namespace
}  // namespace imr::formats
