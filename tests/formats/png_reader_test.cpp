#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/png/png_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

Described DescribeAll(const Bytes& bytes, std::uint32_t limit = 64) {
  return test::DescribeAll(MakePngReader, bytes, limit);
}

// A chunk with a zero CRC: the reader does not check it.
std::string Chunk(const char* type, const std::string& data) {
  return Be32(data.size()) + type + data + Be32(0);
}
std::string Ihdr(std::uint32_t w, std::uint32_t h, std::uint8_t depth, std::uint8_t colour,
                 std::uint8_t interlace = 0) {
  return Chunk("IHDR", Be32(w) + Be32(h) + char(depth) + char(colour) + '\0' + '\0' + char(interlace));
}
std::string Fctl(std::uint32_t w, std::uint32_t h) {
  return Chunk("fcTL", Be32(0) + Be32(w) + Be32(h) + std::string(14, '\0'));
}
Bytes Png(const std::vector<std::string>& chunks) {
  std::string s("\x89PNG\r\n\x1a\n", 8);
  for (const std::string& c : chunks) s += c;
  s += Chunk("IEND", "");
  return {s.begin(), s.end()};
}

// identify reads one image of an APNG (it has no APNG support); the file
// has three frames.
TEST(PngReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakePngReader, {
      {IMR_CORPUS "/exiftool/PNG.png", 16, 16, 0, 1, PXC_CE_BILEVEL, PXC_AP_NONE},
      {"png/palette_trns.png", 20, 12, 0, 1, PXC_CE_INDEXED, PXC_AP_TRANSPARENT_INDEX, "inks=1"},
      // 50 PixelsPerCentimeter
      {"png/rgba_adam7.png", 30, 20, 127, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "Interlace=Adam7"},
      // Software text, eXIf orientation 6
      {"png/gray_text.png", 10, 7, 118.11 * 2.54, 1, PXC_CE_GRAY, PXC_AP_NONE,
       "Software=Sample Writer|Exif=yes|rotation=R90"},
      {"png/anim.png", 24, 16, -1, 3, PXC_CE_RGB, PXC_AP_NONE,
       "format=APNG|Frames=3|1:type=Page|2:type=Page|2:columns=24"},
  });
}

TEST(PngReader, ColourTypes) {
  struct Case {
    char depth, colour;
    bool trns;
    const char* checks;
  };
  const Case cases[] = {
      {1, 0, false, "encoding=Bilevel|alpha=None|inks=1"},
      {16, 0, true, "encoding=Gray|alpha=TransparentIndex|inks=1"},
      {8, 2, true, "encoding=RGB|alpha=TransparentIndex|inks=3"},  // colour key
      {4, 3, false, "encoding=Indexed|alpha=None|inks=1"},
      {8, 4, false, "encoding=Gray|alpha=Unassociated|inks=1"},
      {16, 6, false, "encoding=RGB|alpha=Unassociated|inks=3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.colour));
    const Described r = DescribeAll(Png({Ihdr(5, 4, c.depth, c.colour),
                                         c.colour == 3 ? Chunk("PLTE", std::string(6, '\0')) : "",
                                         c.trns ? Chunk("tRNS", std::string(6, '\0')) : "", Chunk("IDAT", "x")}));
    ASSERT_EQ(r.images.size(), 1u);
    Check(r.images, c.checks + ("|BitsPerSample=" + std::to_string(c.depth)));
  }
}

TEST(PngReader, ResolutionProfileAndText) {
  Described r = DescribeAll(Png({Ihdr(100, 50, 8, 2), Chunk("pHYs", Be32(3937) + Be32(3937) + '\1'),
                                 Chunk("iCCP", std::string("ICC\0\0x", 6)),
                                 Chunk("iTXt", std::string("Software\0\0\0\0\0Écrit", 19)), Chunk("IDAT", "x")}));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_NEAR(r.images[0].hResolution, 3937 * 0.0254, 1e-9);
  EXPECT_NEAR(r.images[0].hRealSize, 100 / (3937 * 0.0254), 1e-9);
  Check(r.images, "ColorProfile=embedded|Software=Écrit");

  // pHYs unit 0 is an aspect ratio; tEXt is Latin-1.
  r = DescribeAll(Png({Ihdr(10, 10, 8, 2), Chunk("pHYs", Be32(2) + Be32(1) + '\0'),
                       Chunk("tEXt", std::string("Software\0\xC9", 10)), Chunk("sRGB", "\0"), Chunk("IDAT", "x")}));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].units, PXC_MU_NONE);
  EXPECT_EQ(r.images[0].hResolution, 0);
  Check(r.images, "Software=É|ColorProfile=sRGB IEC61966-2.1");
}

TEST(PngReader, ApngFrames) {
  // IDAT is not part of the animation: two frames follow it, of their own sizes.
  Described r = DescribeAll(Png({Ihdr(64, 48, 8, 6), Chunk("acTL", Be32(2) + Be32(0)), Chunk("IDAT", "x"),
                                 Fctl(32, 16), Chunk("fdAT", Be32(1) + "x"), Fctl(8, 4),
                                 Chunk("fdAT", Be32(3) + "x")}));
  ASSERT_EQ(r.images.size(), 3u);
  Check(r.images, "format=APNG|Frames=2|1:columns=32|1:rows=16|1:alpha=Unassociated|2:columns=8");

  // acTL claims more frames than there are; frames past acTL's count are ignored.
  r = DescribeAll(Png({Ihdr(64, 48, 8, 2), Chunk("acTL", Be32(5) + Be32(0)), Fctl(64, 48), Chunk("IDAT", "x"),
                       Fctl(10, 10), Chunk("fdAT", Be32(1) + "x")}));
  EXPECT_EQ(r.images.size(), 2u);
  r = DescribeAll(Png({Ihdr(64, 48, 8, 2), Chunk("acTL", Be32(1) + Be32(0)), Fctl(64, 48), Chunk("IDAT", "x"),
                       Fctl(10, 10)}));
  EXPECT_EQ(r.images.size(), 1u);
}

TEST(PngReader, RejectsBrokenHeaders) {
  Bytes cut = Png({Ihdr(10, 10, 8, 2)});
  cut.resize(20);
  for (const Bytes& b : {Png({Ihdr(0, 10, 8, 2)}), Png({Ihdr(10, 10, 8, 5)}), Png({Chunk("IDAT", "x")}), cut}) {
    EXPECT_FALSE(DescribeAll(b).opened);
  }
  // A chunk length past the end stops the walk without losing the image.
  Bytes longChunk = Png({Ihdr(10, 10, 8, 2), Chunk("tEXt", "Software")});
  longChunk[33] = 0x7F;
  EXPECT_EQ(DescribeAll(longChunk).images.size(), 1u);
}

}  // namespace
}  // namespace imr::formats
