#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
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

TEST(PngReader, FilesAgreeWithImageMagick) {
  const std::string corpus = std::string(IMR_CORPUS) + "/exiftool/PNG.png";
  if (std::filesystem::exists(corpus)) {
    // identify: 16x16, 72 Undefined, Gray (1 bit).
    const Described r = DescribeAll(ReadBytes(corpus));
    ASSERT_EQ(r.images.size(), 1u);
    EXPECT_EQ(r.images[0].columns, 16u);
    EXPECT_EQ(r.images[0].rows, 16u);
    EXPECT_EQ(r.images[0].units, PXC_MU_NONE);
    EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_BILEVEL);
  }
  const std::string dir = std::string(IMR_TEST_DATA) + "/formats/png/";
  // identify: 20x12, Undefined, srgba: palette with tRNS.
  Described r = DescribeAll(ReadBytes(dir + "palette_trns.png"));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].columns, 20u);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_INDEXED);
  EXPECT_EQ(r.images[0].alphaPlane, PXC_AP_TRANSPARENT_INDEX);
  EXPECT_EQ(r.images[0].inks, 1);

  // identify: 30x20, 50 PixelsPerCentimeter, srgba, interlace PNG.
  r = DescribeAll(ReadBytes(dir + "rgba_adam7.png"));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_NEAR(r.images[0].hResolution, 127, 1e-9);
  EXPECT_EQ(r.images[0].units, PXC_MU_INCH);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_RGB);
  EXPECT_EQ(r.images[0].alphaPlane, PXC_AP_UNASSOCIATED);
  EXPECT_EQ(Detail(r.images[0], "Interlace"), "Adam7");

  // identify: 10x7, 118.11 PixelsPerCentimeter, Gray; Software text, eXIf orientation 6.
  r = DescribeAll(ReadBytes(dir + "gray_text.png"));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_NEAR(r.images[0].hResolution, 118.11 * 2.54, 0.001);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_GRAY);
  EXPECT_EQ(r.images[0].rotation, PXC_IR_90);
  EXPECT_EQ(Detail(r.images[0], "Software"), "Sample Writer");
  EXPECT_EQ(Detail(r.images[0], "Exif"), "yes");

  // identify reads one image (no APNG support); the file has three frames.
  r = DescribeAll(ReadBytes(dir + "anim.png"));
  ASSERT_EQ(r.images.size(), 3u);
  EXPECT_EQ(r.images[0].format, "APNG");
  EXPECT_EQ(Detail(r.images[0], "Frames"), "3");
  EXPECT_EQ(r.images[1].type, PXC_IT_PAGE);
  EXPECT_EQ(r.images[2].columns, 24u);
}

TEST(PngReader, ColourTypes) {
  struct Case {
    std::uint8_t depth, colour;
    bool trns;
    PXC_TChannelEnc encoding;
    PXC_TAlphaPlane alpha;
    std::uint16_t inks;
  };
  const Case cases[] = {
      {1, 0, false, PXC_CE_BILEVEL, PXC_AP_NONE, 1},
      {16, 0, true, PXC_CE_GRAY, PXC_AP_TRANSPARENT_INDEX, 1},
      {8, 2, true, PXC_CE_RGB, PXC_AP_TRANSPARENT_INDEX, 3},  // colour key
      {4, 3, false, PXC_CE_INDEXED, PXC_AP_NONE, 1},
      {8, 4, false, PXC_CE_GRAY, PXC_AP_UNASSOCIATED, 1},
      {16, 6, false, PXC_CE_RGB, PXC_AP_UNASSOCIATED, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.colour));
    std::vector<std::string> chunks = {Ihdr(5, 4, c.depth, c.colour)};
    if (c.colour == 3) chunks.push_back(Chunk("PLTE", std::string(6, '\0')));
    if (c.trns) chunks.push_back(Chunk("tRNS", std::string(6, '\0')));
    chunks.push_back(Chunk("IDAT", "x"));
    const Described r = DescribeAll(Png(chunks));
    ASSERT_EQ(r.images.size(), 1u);
    EXPECT_EQ(r.images[0].channelEncoding, c.encoding);
    EXPECT_EQ(r.images[0].alphaPlane, c.alpha);
    EXPECT_EQ(r.images[0].inks, c.inks);
    EXPECT_EQ(Detail(r.images[0], "BitsPerSample"), std::to_string(c.depth));
  }
}

TEST(PngReader, ResolutionProfileAndText) {
  const Described r = DescribeAll(Png({Ihdr(100, 50, 8, 2), Chunk("pHYs", Be32(3937) + Be32(3937) + '\1'),
                                    Chunk("iCCP", std::string("ICC\0\0x", 6)),
                                    Chunk("iTXt", std::string("Software\0\0\0\0\0Écrit", 19)),
                                    Chunk("IDAT", "x")}));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_NEAR(r.images[0].hResolution, 3937 * 0.0254, 1e-9);
  EXPECT_NEAR(r.images[0].hRealSize, 100 / (3937 * 0.0254), 1e-9);
  EXPECT_EQ(Detail(r.images[0], "ColorProfile"), "embedded");
  EXPECT_EQ(Detail(r.images[0], "Software"), "Écrit");

  // pHYs unit 0 is an aspect ratio; tEXt is Latin-1.
  const Described aspect = DescribeAll(Png({Ihdr(10, 10, 8, 2), Chunk("pHYs", Be32(2) + Be32(1) + '\0'),
                                         Chunk("tEXt", std::string("Software\0\xC9", 10)),
                                         Chunk("sRGB", "\0"), Chunk("IDAT", "x")}));
  ASSERT_EQ(aspect.images.size(), 1u);
  EXPECT_EQ(aspect.images[0].units, PXC_MU_NONE);
  EXPECT_EQ(aspect.images[0].hResolution, 0);
  EXPECT_EQ(Detail(aspect.images[0], "Software"), "É");
  EXPECT_EQ(Detail(aspect.images[0], "ColorProfile"), "sRGB IEC61966-2.1");
}

TEST(PngReader, ApngFrames) {
  // IDAT is not part of the animation: two frames follow it, of their own sizes.
  Described r = DescribeAll(Png({Ihdr(64, 48, 8, 6), Chunk("acTL", Be32(2) + Be32(0)), Chunk("IDAT", "x"),
                              Fctl(32, 16), Chunk("fdAT", Be32(1) + "x"), Fctl(8, 4),
                              Chunk("fdAT", Be32(3) + "x")}));
  ASSERT_EQ(r.images.size(), 3u);
  EXPECT_EQ(r.images[0].format, "APNG");
  EXPECT_EQ(Detail(r.images[0], "Frames"), "2");
  EXPECT_EQ(r.images[1].columns, 32u);
  EXPECT_EQ(r.images[1].rows, 16u);
  EXPECT_EQ(r.images[1].alphaPlane, PXC_AP_UNASSOCIATED);
  EXPECT_EQ(r.images[2].columns, 8u);

  // acTL claims more frames than there are; frames past acTL's count are ignored.
  r = DescribeAll(Png({Ihdr(64, 48, 8, 2), Chunk("acTL", Be32(5) + Be32(0)), Fctl(64, 48),
                       Chunk("IDAT", "x"), Fctl(10, 10), Chunk("fdAT", Be32(1) + "x")}));
  EXPECT_EQ(r.images.size(), 2u);
  r = DescribeAll(Png({Ihdr(64, 48, 8, 2), Chunk("acTL", Be32(1) + Be32(0)), Fctl(64, 48),
                       Chunk("IDAT", "x"), Fctl(10, 10)}));
  EXPECT_EQ(r.images.size(), 1u);
}

TEST(PngReader, RejectsBrokenHeaders) {
  EXPECT_FALSE(DescribeAll(Png({Ihdr(0, 10, 8, 2)})).opened);
  EXPECT_FALSE(DescribeAll(Png({Ihdr(10, 10, 8, 5)})).opened);
  EXPECT_FALSE(DescribeAll(Png({Chunk("IDAT", "x")})).opened);
  Bytes cut = Png({Ihdr(10, 10, 8, 2)});
  cut.resize(20);
  EXPECT_FALSE(DescribeAll(cut).opened);
  // A chunk length past the end stops the walk without losing the image.
  Bytes longChunk = Png({Ihdr(10, 10, 8, 2), Chunk("tEXt", "Software\0x")});
  longChunk[33] = 0x7F;
  EXPECT_EQ(DescribeAll(longChunk).images.size(), 1u);
}

}  // namespace
}  // namespace imr::formats
