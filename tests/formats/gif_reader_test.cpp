#include <gtest/gtest.h>

#include <string>

#include "formats/gif/gif_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

Described DescribeAll(const Bytes& bytes) { return test::DescribeAll(MakeGifReader, bytes); }

std::string Header(std::uint16_t w, std::uint16_t h, int globalBits, const char* version = "89a") {
  std::string s = std::string("GIF") + version + Le16(w) + Le16(h) + char(globalBits ? 0x80 | (globalBits - 1) : 0) +
                  '\0' + '\0';
  return s + std::string(globalBits ? 3u << globalBits : 0, '\0');
}
std::string Gce(bool transparent) { return std::string("\x21\xF9\x04", 3) + char(transparent) + std::string(4, '\0'); }
// An image descriptor with a local palette of `localBits`, and `dataBlocks`
// data sub-blocks of 255 bytes.
std::string Image(std::uint16_t w, std::uint16_t h, int localBits = 0, bool interlaced = false, int dataBlocks = 1) {
  std::string s = std::string(1, ',') + Le16(0) + Le16(0) + Le16(w) + Le16(h) +
                  char((localBits ? 0x80 | (localBits - 1) : 0) | (interlaced ? 0x40 : 0));
  s += std::string(localBits ? 3u << localBits : 0, '\0') + '\x02';
  for (int i = 0; i < dataBlocks; ++i) s += '\xFF' + std::string(255, '\x55');
  return s + '\0';
}
Bytes Gif(const std::string& body) { return ToBytes(body + ';'); }

TEST(GifReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeGifReader, {
      {"gif/anim.gif", 30, 16, 0, 3, PXC_CE_INDEXED, PXC_AP_TRANSPARENT_INDEX,
       "Frames=3|1:type=Page|1:columns=12|1:rows=7|2:type=Page|2:columns=12|2:rows=7"},
      {"gif/interlaced87.gif", 25, 17, 0, 1, PXC_CE_INDEXED, PXC_AP_NONE,
       "version=87a|inks=1|Interlace=Interlaced|Frames="},
      {IMR_CORPUS "/exiftool/GIF.gif", 8, 8, 0, 1, PXC_CE_INDEXED, PXC_AP_NONE,
       "version=89a|XMP=yes|ColorProfile=embedded"},
  });
}

TEST(GifReader, FramesPalettesAndTransparency) {
  const std::string app = std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\0\0\0", 19);
  Described r = DescribeAll(Gif(Header(100, 80, 2) + app + Image(100, 80, 0, false, 3) + Gce(true) +
                                Image(40, 30, 5, true) + Gce(false) + Image(10, 5)));
  ASSERT_EQ(r.images.size(), 3u);
  // the second frame has a local palette
  Check(r.images, "Frames=3|alpha=None|BitsPerSample=2|1:columns=40|1:alpha=TransparentIndex|1:BitsPerSample=5|"
                  "1:Interlace=Interlaced|2:alpha=None");

  // A zero logical screen takes the first frame's size.
  r = DescribeAll(Gif(Header(0, 0, 0) + Image(7, 3)));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].columns, 7u);

  // Later frames are read only when asked for: a broken tail shows when the
  // frames are counted and does not lose the frames before it.
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
  // Cut inside the first frame's data: still one frame; inside its descriptor: none.
  Bytes cut = Gif(Header(10, 10, 1) + Image(10, 10, 0, false, 4));
  cut.resize(cut.size() - 300);
  EXPECT_EQ(DescribeAll(cut).images.size(), 1u);
  cut = Gif(Header(10, 10, 0) + Image(10, 10));
  cut.resize(13 + 6);
  EXPECT_FALSE(DescribeAll(cut).opened);
}

}  // namespace
}  // namespace imr::formats
