// The web image readers: PNG/APNG, GIF and WebP.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/web/gif_reader.h"
#include "formats/web/png_reader.h"
#include "formats/web/webp_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

namespace png {

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
      {"web/palette_trns.png", 20, 12, 0, 1, PXC_CE_INDEXED, PXC_AP_TRANSPARENT_INDEX, "inks=1"},
      // 50 PixelsPerCentimeter
      {"web/rgba_adam7.png", 30, 20, 127, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "Interlace=Adam7"},
      // Software text, eXIf orientation 6
      {"web/gray_text.png", 10, 7, 118.11 * 2.54, 1, PXC_CE_GRAY, PXC_AP_NONE,
       "Software=Sample Writer|Exif=yes|rotation=R90"},
      {"web/anim.png", 24, 16, -1, 3, PXC_CE_RGB, PXC_AP_NONE,
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
      {16, 0, true, "encoding=Gray|alpha=TransparentIndex|inks=1"},
      {8, 2, true, "encoding=RGB|alpha=TransparentIndex|inks=3"},  // colour key
      {4, 3, false, "encoding=Indexed|alpha=None|inks=1"},
      {8, 4, false, "encoding=Gray|alpha=Unassociated|inks=1"},
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
  EXPECT_EQ(Refusal(MakePngReader, Png({Ihdr(10, 10, 8, 5)})), "colour type 5 at bit depth 8 is not valid");
  // A chunk length past the end stops the walk without losing the image.
  Bytes longChunk = Png({Ihdr(10, 10, 8, 2), Chunk("tEXt", "Software")});
  longChunk[33] = 0x7F;
  EXPECT_EQ(DescribeAll(longChunk).images.size(), 1u);
}

}  // namespace png

namespace gif {

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
      {"web/anim.gif", 30, 16, 0, 3, PXC_CE_INDEXED, PXC_AP_TRANSPARENT_INDEX,
       "Frames=3|1:type=Page|1:columns=12|1:rows=7|2:type=Page|2:columns=12|2:rows=7"},
      {"web/interlaced87.gif", 25, 17, 0, 1, PXC_CE_INDEXED, PXC_AP_NONE,
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
  EXPECT_EQ(Refusal(MakeGifReader, cut), "no image descriptor follows the header");
  cut.resize(9);
  EXPECT_EQ(Refusal(MakeGifReader, cut), "the file ends inside the screen descriptor");
}

}  // namespace gif

namespace webp {

Described DescribeAll(const Bytes& bytes) { return test::DescribeAll(MakeWebpReader, bytes); }

std::string U24(std::uint32_t v) { return {char(v), char(v >> 8), char(v >> 16)}; }
std::string Chunk(const char* id, const std::string& data) {
  std::string s = id + Le32(data.size()) + data;
  if (data.size() & 1) s += '\0';
  return s;
}
std::string Vp8(std::uint16_t w, std::uint16_t h) {
  return Chunk("VP8 ", std::string("\x10\x02\x00\x9D\x01\x2A", 6) + Le16(w) + Le16(h) + "xx");
}
std::string Vp8l(std::uint32_t w, std::uint32_t h, bool alpha) {
  const std::uint32_t bits = (w - 1) | ((h - 1) << 14) | (alpha ? 1u << 28 : 0);
  return Chunk("VP8L", '\x2F' + Le32(bits) + 'x');
}
std::string Vp8x(std::uint8_t flags, std::uint32_t w, std::uint32_t h) {
  return Chunk("VP8X", std::string(1, char(flags)) + std::string(3, '\0') + U24(w - 1) + U24(h - 1));
}
std::string Anmf(std::uint32_t w, std::uint32_t h, const std::string& frame) {
  return Chunk("ANMF", U24(0) + U24(0) + U24(w - 1) + U24(h - 1) + U24(100) + '\0' + frame);
}
Bytes Riff(const std::string& chunks) { return ToBytes("RIFF" + Le32(4 + chunks.size()) + "WEBP" + chunks); }

// identify %w %h %n %[channels]; it ignores the EXIF resolution, as we do.
TEST(WebpReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeWebpReader, {
      // srgba for its ALPH chunk
      {IMR_CORPUS "/exiftool/RIFF.webp", 1, 1, 0, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "Exif=yes|XMP=yes"},
      {"web/lossy.webp", 40, 30, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "Compression=VP8 lossy"},
      {"web/lossless_alpha.webp", 21, 13, 0, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "Compression=VP8L lossless"},
      {"web/anim.webp", 32, 24, 0, 3, PXC_CE_RGB, PXC_AP_UNASSOCIATED,
       "Compression=VP8 lossy|Frames=3|1:type=Page|2:type=Page"},
      {"web/extended.webp", 16, 9, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "ColorProfile=sRGB built-in|rotation=R180"},
  });
}

TEST(WebpReader, SimpleExtendedAndAnimatedFiles) {
  Described r = DescribeAll(Riff(Vp8l(16384, 1, true)));  // the widest a VP8L header holds
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "columns=16384|rows=1|alpha=Unassociated");

  // Canvas of VP8X, alpha from its flag, EXIF with "Exif\0\0" in front.
  const std::string exif = std::string("Exif\0\0MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 32);
  r = DescribeAll(Riff(Vp8x(0x18, 5000, 4000) + Chunk("ALPH", "a") + Vp8(5000, 4000) + Chunk("EXIF", exif)));
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "columns=5000|rows=4000|alpha=Unassociated|rotation=R90");

  const std::string frames =
      Anmf(64, 64, Vp8(64, 64)) + Anmf(20, 10, Vp8l(20, 10, true)) + Anmf(8, 8, Chunk("ALPH", "a") + Vp8(8, 8));
  r = DescribeAll(Riff(Vp8x(0x12, 64, 64) + Chunk("ANIM", std::string(6, '\0')) + frames));
  ASSERT_EQ(r.images.size(), 3u);
  Check(r.images, "Frames=3|1:columns=20|1:rows=10|1:Compression=VP8L lossless|1:alpha=Unassociated|"
                  "2:alpha=Unassociated");
  // A RIFF size past the end of the file: the frames that are there count.
  Bytes cut = Riff(Vp8x(0x02, 64, 64) + frames);
  cut.resize(cut.size() - 10);
  EXPECT_EQ(DescribeAll(cut).images.size(), 2u);
}

TEST(WebpReader, RejectsOtherRiffAndBrokenBitstreams) {
  const Bytes bad[] = {
      ToBytes("RIFF" + Le32(12) + "AVI " + Vp8(1, 1)),
      Riff(Chunk("VP8 ", std::string("\x10\x02\x00\x9D\x01\x2B\1\0\1\0", 10))),  // a wrong start code
      Riff(Chunk("VP8L", "\x2E\0\0\0\0")), Riff(Vp8x(0, 10, 10)) /* no bitstream */, Riff(""),
      Riff(Vp8x(0x02, 64, 64)),  // an animation without frames
  };
  for (const Bytes& b : bad) EXPECT_FALSE(DescribeAll(b).opened) << &b - bad;
  const char* const reasons[] = {"", "the VP8  bitstream header is not valid", "the VP8L bitstream header is not valid",
                                 "no valid bitstream chunk follows VP8X", "the RIFF data is too short to hold an image",
                                 "the animation has no frame"};
  for (std::size_t i = 0; i < std::size(bad); ++i) EXPECT_EQ(Refusal(MakeWebpReader, bad[i]), reasons[i]) << i;
}

}  // namespace webp

namespace mng {

using png::Chunk;
Bytes Mng(std::uint32_t w, std::uint32_t h, const std::string& chunks) {
  const std::string mhdr = Chunk("MHDR", Be32(w) + Be32(h) + Be32(30) + Be32(0) + Be32(4) + Be32(0) + Be32(1));
  return ToBytes("\x8AMNG\r\n\x1A\n" + mhdr + chunks + Chunk("MEND", ""));
}
std::string Jhdr(std::uint32_t w, std::uint32_t h, char colour, char depth, char interlace = 0) {
  return Chunk("JHDR", Be32(w) + Be32(h) + colour + depth + '\x08' + interlace + '\x08' + '\0' + '\0' + '\0');
}

// identify lists every image an MNG embeds; it shows 72 ppi where a JNG
// states no pHYs.
TEST(MngReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeMngReader, {
      {"web/anim.mng", 20, 14, 0, 3, PXC_CE_INDEXED, PXC_AP_NONE,
       "TicksPerSecond=10|Frames=3|1:type=Page|1:columns=20|2:type=Page|2:encoding=Indexed"},
  });
  CheckSamples(MakeJngReader, {
      {"web/rgb.jng", 30, 20, 72.009, 1, PXC_CE_YCBCR, PXC_AP_NONE, "inks=3|Compression=JPEG|BitsPerSample=8"},
      {"web/rgba.jng", 25, 15, 0, 1, PXC_CE_YCBCR, PXC_AP_UNASSOCIATED,
       "AlphaCompression=Deflate|AlphaBitsPerSample=16|ColorProfile=sRGB IEC61966-2.1"},
      {"web/gray.jng", 16, 10, 0, 1, PXC_CE_GRAY, PXC_AP_NONE, "inks=1"},
  });
}

TEST(MngReader, EmbeddedImagesAndRefusals) {
  // A PNG image, a JNG image and an IHDR of no valid colour (left out).
  Described r = test::DescribeAll(MakeMngReader, Mng(0, 0, png::Ihdr(8, 6, 16, 6) + Chunk("IEND", "") +
                                                              png::Ihdr(3, 3, 8, 5) + Jhdr(9, 7, 12, 20, 8)));
  ASSERT_EQ(r.images.size(), 2u);
  Check(r.images, "columns=8|rows=6|alpha=Unassociated|BitsPerSample=16|FrameCount=4|Frames=2|"
                  "1:columns=9|1:encoding=Gray|1:alpha=Unassociated|1:BitsPerSample=8 and 12|1:Interlace=Progressive");
  // No embedded image: the frame alone.
  r = test::DescribeAll(MakeMngReader, Mng(64, 32, ""));
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "columns=64|rows=32|encoding=Unknown|Frames=0");

  EXPECT_EQ(Refusal(MakeMngReader, ToBytes("\x8AMNG\r\n\x1A\n" + Chunk("MHDR", Be32(1)))),
            "the first chunk is not a 28-byte MHDR");
  const auto jng = [](const std::string& chunk) { return ToBytes("\x8BJNG\r\n\x1A\n" + chunk); };
  EXPECT_EQ(Refusal(MakeJngReader, jng(png::Ihdr(1, 1, 8, 2))), "the first chunk is not JHDR");
  EXPECT_EQ(Refusal(MakeJngReader, jng(Jhdr(0, 5, 10, 8))), "the image size 0 x 5 is out of range");
  EXPECT_EQ(Refusal(MakeJngReader, jng(Jhdr(5, 5, 10, 16))), "colour type 10 at 16 bits is not a JNG one");
  EXPECT_EQ(Refusal(MakeJngReader, jng(Chunk("JHDR", Be32(5)))), "the JHDR chunk is shorter than 16 bytes");
}

}  // namespace mng

// Damaged files kept in web/regress.
TEST(WebReaders, DamagedFilesSayWhy) {
  CheckRegressionRefusals("web", {
      {"mng_cut_mhdr.mng", MakeMngReader, "the first chunk is not a 28-byte MHDR"},
      {"jng_zero_width.jng", MakeJngReader, "the image size 0 x 20 is out of range"},
  });
}

}  // namespace
}  // namespace imr::formats
