#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/webp/webp_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

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
      {"webp/lossy.webp", 40, 30, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "Compression=VP8 lossy"},
      {"webp/lossless_alpha.webp", 21, 13, 0, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "Compression=VP8L lossless"},
      {"webp/anim.webp", 32, 24, 0, 3, PXC_CE_RGB, PXC_AP_UNASSOCIATED,
       "Compression=VP8 lossy|Frames=3|1:type=Page|2:type=Page"},
      {"webp/extended.webp", 16, 9, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "ColorProfile=sRGB built-in|rotation=R180"},
  });
}

TEST(WebpReader, SimpleExtendedAndAnimatedFiles) {
  Described r = DescribeAll(Riff(Vp8(300, 200)));
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "columns=300|rows=200|alpha=None");
  r = DescribeAll(Riff(Vp8l(16384, 1, true)));
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
}

}  // namespace
}  // namespace imr::formats
