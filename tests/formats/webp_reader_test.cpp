#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/webp/webp_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

Described DescribeAll(const Bytes& bytes, std::uint32_t limit = 64) {
  return test::DescribeAll(MakeWebpReader, bytes, limit);
}

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
  std::string data(1, '\x2F');
  data += Le32(bits);
  data += 'x';
  return Chunk("VP8L", data);
}
std::string Vp8x(std::uint8_t flags, std::uint32_t w, std::uint32_t h) {
  return Chunk("VP8X", std::string(1, char(flags)) + std::string(3, '\0') + U24(w - 1) + U24(h - 1));
}
std::string Anmf(std::uint32_t w, std::uint32_t h, const std::string& frame) {
  return Chunk("ANMF", U24(0) + U24(0) + U24(w - 1) + U24(h - 1) + U24(100) + '\0' + frame);
}
Bytes Riff(const std::string& chunks) {
  const std::string s = "RIFF" + Le32(4 + chunks.size()) + "WEBP" + chunks;
  return {s.begin(), s.end()};
}

TEST(WebpReader, FilesAgreeWithImageMagick) {
  const std::string corpus = std::string(IMR_CORPUS) + "/exiftool/RIFF.webp";
  if (std::filesystem::exists(corpus)) {
    // identify: 1x1, 72 Undefined, srgba (ALPH chunk); EXIF resolution ignored.
    const Described r = DescribeAll(ReadBytes(corpus));
    ASSERT_EQ(r.images.size(), 1u);
    EXPECT_EQ(r.images[0].columns, 1u);
    EXPECT_EQ(r.images[0].rows, 1u);
    EXPECT_EQ(r.images[0].units, PXC_MU_NONE);
    EXPECT_EQ(r.images[0].alphaPlane, PXC_AP_UNASSOCIATED);
    EXPECT_EQ(Detail(r.images[0], "Exif"), "yes");
    EXPECT_EQ(Detail(r.images[0], "XMP"), "yes");
  }
  const std::string dir = std::string(IMR_TEST_DATA) + "/formats/webp/";
  struct Case {
    const char* file;
    std::uint32_t columns, rows;
    std::size_t images;
    PXC_TAlphaPlane alpha;
    const char* compression;
  };
  // identify %w %h %n %[channels]
  const Case cases[] = {
      {"lossy.webp", 40, 30, 1, PXC_AP_NONE, "VP8 lossy"},
      {"lossless_alpha.webp", 21, 13, 1, PXC_AP_UNASSOCIATED, "VP8L lossless"},
      {"anim.webp", 32, 24, 3, PXC_AP_UNASSOCIATED, "VP8 lossy"},
      {"extended.webp", 16, 9, 1, PXC_AP_NONE, "VP8 lossy"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const Described r = DescribeAll(ReadBytes(dir + c.file));
    ASSERT_EQ(r.images.size(), c.images);
    EXPECT_EQ(r.images[0].columns, c.columns);
    EXPECT_EQ(r.images[0].rows, c.rows);
    EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_RGB);
    EXPECT_EQ(r.images[0].alphaPlane, c.alpha);
    EXPECT_EQ(Detail(r.images[0], "Compression"), c.compression);
    for (std::size_t i = 1; i < r.images.size(); ++i) EXPECT_EQ(r.images[i].type, PXC_IT_PAGE);
  }
  const Described ext = DescribeAll(ReadBytes(dir + "extended.webp"));
  EXPECT_EQ(ext.images[0].rotation, PXC_IR_180);
  EXPECT_EQ(Detail(ext.images[0], "ColorProfile"), "sRGB built-in");
  EXPECT_EQ(Detail(DescribeAll(ReadBytes(dir + "anim.webp")).images[0], "Frames"), "3");
}

TEST(WebpReader, SimpleAndExtendedHeaders) {
  Described r = DescribeAll(Riff(Vp8(300, 200)));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].columns, 300u);
  EXPECT_EQ(r.images[0].alphaPlane, PXC_AP_NONE);

  r = DescribeAll(Riff(Vp8l(16384, 1, true)));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].columns, 16384u);
  EXPECT_EQ(r.images[0].alphaPlane, PXC_AP_UNASSOCIATED);

  // Canvas of VP8X, alpha from its flag, EXIF with "Exif\0\0" in front.
  const std::string exif = std::string("Exif\0\0MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 32);
  r = DescribeAll(Riff(Vp8x(0x18, 5000, 4000) + Chunk("ALPH", "a") + Vp8(5000, 4000) + Chunk("EXIF", exif)));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].columns, 5000u);
  EXPECT_EQ(r.images[0].rows, 4000u);
  EXPECT_EQ(r.images[0].alphaPlane, PXC_AP_UNASSOCIATED);
  EXPECT_EQ(r.images[0].rotation, PXC_IR_90);
}

TEST(WebpReader, AnimationFrames) {
  const std::string frames = Anmf(64, 64, Vp8(64, 64)) + Anmf(20, 10, Vp8l(20, 10, true)) +
                             Anmf(8, 8, Chunk("ALPH", "a") + Vp8(8, 8));
  Described r = DescribeAll(Riff(Vp8x(0x12, 64, 64) + Chunk("ANIM", std::string(6, '\0')) + frames));
  ASSERT_EQ(r.images.size(), 3u);
  EXPECT_EQ(Detail(r.images[0], "Frames"), "3");
  EXPECT_EQ(r.images[1].columns, 20u);
  EXPECT_EQ(r.images[1].rows, 10u);
  EXPECT_EQ(Detail(r.images[1], "Compression"), "VP8L lossless");
  EXPECT_EQ(r.images[1].alphaPlane, PXC_AP_UNASSOCIATED);
  EXPECT_EQ(r.images[2].alphaPlane, PXC_AP_UNASSOCIATED);

  // A RIFF size past the end of the file: the frames that are there count.
  Bytes cut = Riff(Vp8x(0x02, 64, 64) + frames);
  cut.resize(cut.size() - 10);
  r = DescribeAll(cut);
  EXPECT_EQ(r.images.size(), 2u);
  // An animation without frames is not readable.
  EXPECT_FALSE(DescribeAll(Riff(Vp8x(0x02, 64, 64))).opened);
}

TEST(WebpReader, RejectsOtherRiffAndBrokenBitstreams) {
  std::string avi = "RIFF" + Le32(12) + "AVI " + Vp8(1, 1);
  EXPECT_FALSE(DescribeAll({avi.begin(), avi.end()}).opened);
  EXPECT_FALSE(DescribeAll(Riff(Chunk("VP8 ", std::string("\x10\x02\x00\x9D\x01\x2B\1\0\1\0", 10)))).opened);
  EXPECT_FALSE(DescribeAll(Riff(Chunk("VP8L", "\x2E\0\0\0\0"))).opened);
  EXPECT_FALSE(DescribeAll(Riff(Vp8x(0, 10, 10))).opened);  // no bitstream
  EXPECT_FALSE(DescribeAll(Riff("")).opened);
}

}  // namespace
}  // namespace imr::formats
