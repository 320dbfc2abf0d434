#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/png/png_reader.h"

namespace imr::formats {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Result {
  bool opened = false;
  std::vector<ImageDescription> images;
};

Result DescribeAll(const Bytes& bytes) {
  Result result;
  MemorySource source(bytes.data(), bytes.size());
  auto reader = MakePngReader();
  result.opened = reader->Open(source);
  for (std::uint32_t i = 0; result.opened && i < 64; ++i) {
    ImageDescription d;
    if (!reader->Describe(i, d)) break;
    result.images.push_back(d);
  }
  return result;
}

std::string Extended(const ImageDescription& d, const std::string& key) {
  for (const auto& [k, v] : d.extended) {
    if (k == key) return v;
  }
  return {};
}

std::string U32(std::uint32_t v) {
  return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
// A chunk with a zero CRC: the reader does not check it.
std::string Chunk(const char* type, const std::string& data) {
  return U32(data.size()) + type + data + U32(0);
}
std::string Ihdr(std::uint32_t w, std::uint32_t h, std::uint8_t depth, std::uint8_t colour,
                 std::uint8_t interlace = 0) {
  return Chunk("IHDR", U32(w) + U32(h) + char(depth) + char(colour) + '\0' + '\0' + char(interlace));
}
std::string Fctl(std::uint32_t w, std::uint32_t h) {
  return Chunk("fcTL", U32(0) + U32(w) + U32(h) + std::string(14, '\0'));
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
    const Result r = DescribeAll(ReadFile(corpus));
    ASSERT_EQ(r.images.size(), 1u);
    EXPECT_EQ(r.images[0].columns, 16u);
    EXPECT_EQ(r.images[0].rows, 16u);
    EXPECT_EQ(r.images[0].units, PXC_MU_NONE);
    EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_BILEVEL);
  }
  const std::string dir = std::string(IMR_TEST_DATA) + "/formats/png/";
  // identify: 20x12, Undefined, srgba: palette with tRNS.
  Result r = DescribeAll(ReadFile(dir + "palette_trns.png"));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].columns, 20u);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_INDEXED);
  EXPECT_EQ(r.images[0].alphaPlane, PXC_AP_TRANSPARENT_INDEX);
  EXPECT_EQ(r.images[0].inks, 1);

  // identify: 30x20, 50 PixelsPerCentimeter, srgba, interlace PNG.
  r = DescribeAll(ReadFile(dir + "rgba_adam7.png"));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_NEAR(r.images[0].hResolution, 127, 1e-9);
  EXPECT_EQ(r.images[0].units, PXC_MU_INCH);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_RGB);
  EXPECT_EQ(r.images[0].alphaPlane, PXC_AP_UNASSOCIATED);
  EXPECT_EQ(Extended(r.images[0], "Interlace"), "Adam7");

  // identify: 10x7, 118.11 PixelsPerCentimeter, Gray; Software text, eXIf orientation 6.
  r = DescribeAll(ReadFile(dir + "gray_text.png"));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_NEAR(r.images[0].hResolution, 118.11 * 2.54, 0.001);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_GRAY);
  EXPECT_EQ(r.images[0].rotation, PXC_IR_90);
  EXPECT_EQ(Extended(r.images[0], "Software"), "Sample Writer");
  EXPECT_EQ(Extended(r.images[0], "Exif"), "yes");

  // identify reads one image (no APNG support); the file has three frames.
  r = DescribeAll(ReadFile(dir + "anim.png"));
  ASSERT_EQ(r.images.size(), 3u);
  EXPECT_EQ(r.images[0].format, "APNG");
  EXPECT_EQ(Extended(r.images[0], "Frames"), "3");
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
    const Result r = DescribeAll(Png(chunks));
    ASSERT_EQ(r.images.size(), 1u);
    EXPECT_EQ(r.images[0].channelEncoding, c.encoding);
    EXPECT_EQ(r.images[0].alphaPlane, c.alpha);
    EXPECT_EQ(r.images[0].inks, c.inks);
    EXPECT_EQ(Extended(r.images[0], "BitsPerSample"), std::to_string(c.depth));
  }
}

TEST(PngReader, ResolutionProfileAndText) {
  const Result r = DescribeAll(Png({Ihdr(100, 50, 8, 2), Chunk("pHYs", U32(3937) + U32(3937) + '\1'),
                                    Chunk("iCCP", std::string("ICC\0\0x", 6)),
                                    Chunk("iTXt", std::string("Software\0\0\0\0\0Écrit", 19)),
                                    Chunk("IDAT", "x")}));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_NEAR(r.images[0].hResolution, 3937 * 0.0254, 1e-9);
  EXPECT_NEAR(r.images[0].hRealSize, 100 / (3937 * 0.0254), 1e-9);
  EXPECT_EQ(Extended(r.images[0], "ColorProfile"), "embedded");
  EXPECT_EQ(Extended(r.images[0], "Software"), "Écrit");

  // pHYs unit 0 is an aspect ratio; tEXt is Latin-1.
  const Result aspect = DescribeAll(Png({Ihdr(10, 10, 8, 2), Chunk("pHYs", U32(2) + U32(1) + '\0'),
                                         Chunk("tEXt", std::string("Software\0\xC9", 10)),
                                         Chunk("sRGB", "\0"), Chunk("IDAT", "x")}));
  ASSERT_EQ(aspect.images.size(), 1u);
  EXPECT_EQ(aspect.images[0].units, PXC_MU_NONE);
  EXPECT_EQ(aspect.images[0].hResolution, 0);
  EXPECT_EQ(Extended(aspect.images[0], "Software"), "É");
  EXPECT_EQ(Extended(aspect.images[0], "ColorProfile"), "sRGB IEC61966-2.1");
}

TEST(PngReader, ApngFrames) {
  // IDAT is not part of the animation: two frames follow it, of their own sizes.
  Result r = DescribeAll(Png({Ihdr(64, 48, 8, 6), Chunk("acTL", U32(2) + U32(0)), Chunk("IDAT", "x"),
                              Fctl(32, 16), Chunk("fdAT", U32(1) + "x"), Fctl(8, 4),
                              Chunk("fdAT", U32(3) + "x")}));
  ASSERT_EQ(r.images.size(), 3u);
  EXPECT_EQ(r.images[0].format, "APNG");
  EXPECT_EQ(Extended(r.images[0], "Frames"), "2");
  EXPECT_EQ(r.images[1].columns, 32u);
  EXPECT_EQ(r.images[1].rows, 16u);
  EXPECT_EQ(r.images[1].alphaPlane, PXC_AP_UNASSOCIATED);
  EXPECT_EQ(r.images[2].columns, 8u);

  // acTL claims more frames than there are; frames past acTL's count are ignored.
  r = DescribeAll(Png({Ihdr(64, 48, 8, 2), Chunk("acTL", U32(5) + U32(0)), Fctl(64, 48),
                       Chunk("IDAT", "x"), Fctl(10, 10), Chunk("fdAT", U32(1) + "x")}));
  EXPECT_EQ(r.images.size(), 2u);
  r = DescribeAll(Png({Ihdr(64, 48, 8, 2), Chunk("acTL", U32(1) + U32(0)), Fctl(64, 48),
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

TEST(PngReader, RegressionInputsDoNotCrash) {
  const std::string dir = std::string(IMR_TEST_DATA) + "/formats/png/regress";
  if (!std::filesystem::exists(dir)) GTEST_SKIP() << "no regression inputs";
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    DescribeAll(ReadFile(entry.path().string()));
  }
}

}  // namespace
}  // namespace imr::formats
