#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/jpeg/jpeg_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

Described DescribeAll(const Bytes& bytes, std::uint32_t limit = 64) {
  return test::DescribeAll(MakeJpegReader, bytes, limit);
}

// Marker segments of a synthetic stream: only headers, no entropy-coded data.
Bytes Segment(std::uint8_t marker, const std::string& payload) {
  Bytes s(payload.size() + 4);
  s[0] = 0xFF;
  s[1] = marker;
  s[2] = static_cast<std::uint8_t>((payload.size() + 2) >> 8);
  s[3] = static_cast<std::uint8_t>(payload.size() + 2);
  std::copy(payload.begin(), payload.end(), s.begin() + 4);
  return s;
}
std::string Sof(std::uint16_t w, std::uint16_t h, std::uint8_t components, const char* ids = "\1\2\3\4") {
  std::string p = {8, char(h >> 8), char(h), char(w >> 8), char(w), char(components)};
  for (int i = 0; i < components; ++i) p += std::string{ids[i], 0x11, 0};
  return p;
}
std::string Jfif(std::uint8_t units, std::uint16_t x, std::uint16_t y) {
  return std::string("JFIF\0\1\2", 7) + char(units) + char(x >> 8) + char(x) + char(y >> 8) +
         char(y) + std::string(2, '\0');
}
std::string Adobe(std::uint8_t transform) {
  return std::string("Adobe\0\x64\0\0\0\0", 11) + char(transform);
}
// A little-endian EXIF block: IFD0 with resolution (and unit) and
// orientation, IFD1 with a thumbnail of `thumbLength` bytes at `thumbOffset`;
// `appended` follows the structure (at offset 108 when there is an IFD1).
std::string Exif(std::uint32_t res, std::uint16_t unit, std::uint16_t orientation,
                 std::uint32_t thumbOffset = 0, std::uint32_t thumbLength = 0,
                 const std::string& appended = {}) {
  std::string t("II*\0\x08\0\0\0", 8);
  auto u16 = [&](std::uint16_t v) { t += char(v); t += char(v >> 8); };
  auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
  auto entry = [&](std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t v) {
    u16(tag); u16(type); u32(count); u32(v);
  };
  // IFD0 at 8: 4 entries (2 + 48 + 4 bytes), rationals at 62 and 70, IFD1 at 78.
  u16(4);
  entry(282, 5, 1, 62);
  entry(283, 5, 1, 70);
  entry(296, 3, 1, unit);
  entry(274, 3, 1, orientation);
  u32(thumbLength ? 78 : 0);
  u32(res); u32(1); u32(res); u32(1);
  if (thumbLength) {
    u16(2);
    entry(513, 4, 1, thumbOffset);
    entry(514, 4, 1, thumbLength);
    u32(0);
  }
  return std::string("Exif\0\0", 6) + t + appended;
}
Bytes Stream(const std::vector<Bytes>& segments) {
  Bytes s = {0xFF, 0xD8};
  for (const Bytes& seg : segments) s.insert(s.end(), seg.begin(), seg.end());
  const Bytes tail = {0xFF, 0xDA, 0x00, 0x02, 0x12, 0x34, 0xFF, 0xD9};
  s.insert(s.end(), tail.begin(), tail.end());
  return s;
}

TEST(JpegReader, CorpusFilesAgreeWithImageMagick) {
  struct Case {
    const char* file;
    std::uint32_t columns, rows;
    double dpi;  // identify %x in pixels per inch, 0 for "Undefined"
  };
  const Case cases[] = {
      {"AFCP.jpg", 8, 8, 0}, {"Apple.jpg", 8, 8, 72}, {"Canon.jpg", 8, 8, 180},
      {"Canon1DmkIII.jpg", 8, 8, 72}, {"Casio.jpg", 8, 8, 72}, {"Casio2.jpg", 8, 8, 72},
      {"CasioQVCI.jpg", 8, 8, 0}, {"ExifTool.jpg", 8, 8, 72}, {"ExtendedXMP.jpg", 8, 8, 0},
      {"FLIR.jpg", 8, 8, 72}, {"FotoStation.jpg", 8, 8, 0}, {"FujiFilm.jpg", 8, 8, 72},
      {"GE.jpg", 8, 8, 96}, {"GPS.jpg", 120, 80, 300}, {"GoPro.jpg", 8, 8, 72},
      {"Google.jpg", 8, 8, 72}, {"IPTC.jpg", 8, 8, 72}, {"InfiRay.jpg", 8, 8, 0},
      {"JVC.jpg", 8, 8, 72}, {"JVC2.jpg", 8, 8, 72}, {"Kodak.jpg", 8, 8, 230},
      {"MWG.jpg", 8, 8, 96}, {"Minolta.jpg", 8, 8, 72}, {"Motorola.jpg", 8, 8, 72},
      {"Nikon.jpg", 8, 8, 300}, {"NikonD2Hs.jpg", 8, 8, 300}, {"NikonD70.jpg", 71, 47, 300},
      {"Olympus.jpg", 8, 8, 72}, {"Olympus2.jpg", 8, 8, 314}, {"OlympusE1.jpg", 8, 8, 314},
      {"Panasonic.jpg", 8, 8, 72}, {"Pentax.jpg", 8, 8, 72}, {"PhotoMechanic.jpg", 8, 8, 200},
      {"Ricoh.jpg", 8, 8, 72}, {"Ricoh2.jpg", 8, 8, 72}, {"Sanyo.jpg", 8, 8, 72},
      {"Sigma.jpg", 8, 8, 180}, {"Sony.jpg", 8, 8, 72}, {"Unknown.jpg", 8, 8, 72},
      {"Writer.jpg", 8, 8, 0}, {"XMP.jpg", 8, 8, 72}, {"ExifTool.jps", 8, 8, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = std::string(IMR_CORPUS) + "/exiftool/" + c.file;
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no corpus";
    const Described r = DescribeAll(ReadBytes(path));
    ASSERT_TRUE(r.opened);
    ASSERT_GE(r.images.size(), 1u);
    EXPECT_EQ(r.images[0].columns, c.columns);
    EXPECT_EQ(r.images[0].rows, c.rows);
    EXPECT_NEAR(r.images[0].hResolution, c.dpi, 0.01);
    EXPECT_EQ(r.images[0].units, c.dpi > 0 ? PXC_MU_INCH : PXC_MU_NONE);
    // identify counts one image: the rest are EXIF thumbnails.
    for (std::size_t i = 1; i < r.images.size(); ++i) EXPECT_TRUE(r.images[i].embedded);
  }
}

TEST(JpegReader, CorpusMetadata) {
  const std::string dir = std::string(IMR_CORPUS) + "/exiftool/";
  if (!std::filesystem::exists(dir + "ExifTool.jpg")) GTEST_SKIP() << "no corpus";
  Described r = DescribeAll(ReadBytes(dir + "ExifTool.jpg"));
  EXPECT_EQ(r.images[0].version, "1.01");
  EXPECT_EQ(Detail(r.images[0], "ColorProfile"), "Adobe RGB (1998)");
  EXPECT_EQ(Detail(r.images[0], "XMP"), "yes");
  EXPECT_EQ(Detail(r.images[0], "Software"), "Adobe Photoshop 7.0");
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_YCBCR);  // Adobe transform 1

  r = DescribeAll(ReadBytes(dir + "Pentax.jpg"));
  EXPECT_EQ(r.images[0].rotation, PXC_IR_270);
  // Its IFD1 points to 28 bytes of text, not a JPEG stream: no thumbnail.
  EXPECT_EQ(r.images.size(), 1u);

  r = DescribeAll(ReadBytes(dir + "FLIR.jpg"));  // a real 2314-byte thumbnail
  ASSERT_EQ(r.images.size(), 2u);
  const Bytes file = ReadBytes(dir + "FLIR.jpg");
  EXPECT_EQ(file[r.images[1].embeddedOffset], 0xFF);
  EXPECT_EQ(file[r.images[1].embeddedOffset + 1], 0xD8);
}

TEST(JpegReader, SampleFiles) {
  const std::string dir = std::string(IMR_TEST_DATA) + "/formats/jpeg/";
  // identify: 40x30 Undefined CMYK, interlace JPEG.
  Described r = DescribeAll(ReadBytes(dir + "cmyk_progressive.jpg"));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_YCCK);  // Adobe transform 2
  EXPECT_EQ(r.images[0].inks, 4);
  EXPECT_EQ(r.images[0].units, PXC_MU_NONE);
  EXPECT_EQ(Detail(r.images[0], "Compression"), "Progressive");

  // identify: 33x21 40 PixelsPerCentimeter Gray.
  r = DescribeAll(ReadBytes(dir + "gray_dpcm.jpg"));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].columns, 33u);
  EXPECT_EQ(r.images[0].rows, 21u);
  EXPECT_NEAR(r.images[0].hResolution, 101.6, 1e-9);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_GRAY);
  EXPECT_EQ(r.images[0].inks, 1);
  EXPECT_EQ(r.images[0].version, "1.01");

  // identify: 36x24 240 PixelsPerInch; EXIF orientation 8.
  r = DescribeAll(ReadBytes(dir + "exif_orient8.jpg"));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_NEAR(r.images[0].hResolution, 240, 1e-9);
  EXPECT_NEAR(r.images[0].hRealSize, 0.15, 1e-9);
  EXPECT_EQ(r.images[0].rotation, PXC_IR_270);
  EXPECT_EQ(Detail(r.images[0], "Software"), "Sample Writer");
  EXPECT_EQ(Detail(r.images[0], "Exif"), "yes");
}

TEST(JpegReader, ColourFromComponentsAndAdobeTransform) {
  struct Case {
    std::vector<Bytes> segments;
    PXC_TChannelEnc encoding;
    std::uint16_t inks;
  };
  const Case cases[] = {
      {{Segment(0xC0, Sof(4, 4, 1))}, PXC_CE_GRAY, 1},
      {{Segment(0xE0, Jfif(1, 72, 72)), Segment(0xC0, Sof(4, 4, 3))}, PXC_CE_YCBCR, 3},
      {{Segment(0xEE, Adobe(0)), Segment(0xC0, Sof(4, 4, 3))}, PXC_CE_RGB, 3},
      {{Segment(0xEE, Adobe(1)), Segment(0xC0, Sof(4, 4, 3))}, PXC_CE_YCBCR, 3},
      {{Segment(0xC0, Sof(4, 4, 3, "RGB"))}, PXC_CE_RGB, 3},
      {{Segment(0xEE, Adobe(0)), Segment(0xC0, Sof(4, 4, 4))}, PXC_CE_CMYK, 4},
      {{Segment(0xC0, Sof(4, 4, 4))}, PXC_CE_CMYK, 4},
      {{Segment(0xEE, Adobe(2)), Segment(0xC2, Sof(4, 4, 4))}, PXC_CE_YCCK, 4},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const Described r = DescribeAll(Stream(cases[i].segments));
    ASSERT_EQ(r.images.size(), 1u);
    EXPECT_EQ(r.images[0].channelEncoding, cases[i].encoding);
    EXPECT_EQ(r.images[0].inks, cases[i].inks);
  }
}

// EXIF resolution wins over JFIF density, which wins over Photoshop's
// ResolutionInfo, as identify has it.
TEST(JpegReader, ResolutionSources) {
  const std::string irb = std::string("Photoshop 3.0\0" "8BIM\x03\xED\0\0\0\0\0\x10", 26) +
                          std::string("\0\xC8\0\0\0\1\0\1\0\xC8\0\0\0\1\0\1", 16);  // 200 dpi
  struct Case {
    std::vector<Bytes> segments;
    double dpi;
  };
  const Case cases[] = {
      {{Segment(0xE0, Jfif(1, 150, 150))}, 150},
      {{Segment(0xE0, Jfif(2, 100, 100))}, 254},
      {{Segment(0xE0, Jfif(0, 1, 1))}, 0},
      {{Segment(0xE0, Jfif(1, 72, 72)), Segment(0xE1, Exif(300, 2, 1))}, 300},
      {{Segment(0xE0, Jfif(1, 72, 72)), Segment(0xE1, Exif(100, 3, 1))}, 254},
      {{Segment(0xE0, Jfif(1, 72, 72)), Segment(0xE1, Exif(300, 1, 1))}, 0},
      {{Segment(0xED, irb)}, 200},
      {{Segment(0xE0, Jfif(1, 72, 72)), Segment(0xED, irb)}, 72},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    auto segments = cases[i].segments;
    segments.push_back(Segment(0xC0, Sof(20, 10, 3)));
    const Described r = DescribeAll(Stream(segments));
    ASSERT_EQ(r.images.size(), 1u);
    EXPECT_NEAR(r.images[0].hResolution, cases[i].dpi, 1e-9);
    EXPECT_EQ(r.images[0].units, cases[i].dpi > 0 ? PXC_MU_INCH : PXC_MU_NONE);
  }
}

TEST(JpegReader, IccProfileFromChunksInAnyOrder) {
  // A version 2 profile whose 'desc' tag straddles the two chunks.
  std::string profile(132, '\0');
  profile.replace(36, 4, "acsp");
  profile[131] = 1;
  profile += std::string("desc\0\0\0\x90\0\0\0\x14", 12);
  profile += std::string("desc\0\0\0\0\0\0\0\x08" "Display\0", 20);
  const std::string first = profile.substr(0, 150), second = profile.substr(150);
  const auto chunk = [](int seq, const std::string& data) {
    return Segment(0xE2, std::string("ICC_PROFILE\0", 12) + char(seq) + char(2) + data);
  };
  const Described r = DescribeAll(Stream({chunk(2, second), chunk(1, first), Segment(0xC0, Sof(4, 4, 3))}));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(Detail(r.images[0], "ColorProfile"), "Display");
}

TEST(JpegReader, MpoImagesThenExifThumbnail) {
  // First image: EXIF with a thumbnail, MPF index of three entries.
  const Bytes second = Stream({Segment(0xE0, Jfif(1, 96, 96)), Segment(0xC0, Sof(640, 480, 3))});
  const Bytes third = Stream({Segment(0xC0, Sof(1920, 1080, 3))});
  const Bytes thumb = Stream({Segment(0xC0, Sof(160, 120, 3))});

  auto mpf = [&](std::uint32_t firstSize, std::uint32_t mpHeaderAt) {
    std::string m("MPF\0" "II*\0\x08\0\0\0", 12);
    auto u16 = [&](std::uint16_t v) { m += char(v); m += char(v >> 8); };
    auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
    u16(2);
    u16(0xB001); u16(4); u32(1); u32(3);
    u16(0xB002); u16(7); u32(48); u32(8 + 2 + 24 + 4);
    u32(0);
    // Entries: attribute, size, offset from the MP header, dependents.
    const std::uint32_t secondAt = firstSize - mpHeaderAt;
    u32(0x20030000); u32(firstSize); u32(0); u32(0);
    u32(0x00010001); u32(second.size()); u32(secondAt); u32(0);
    u32(0x00020002); u32(third.size()); u32(secondAt + second.size()); u32(0);
    return m;
  };
  // Lay out once to learn the sizes, then with the real offsets.  The EXIF
  // thumbnail follows the TIFF structure inside the APP1 segment.
  const Bytes exif = Segment(0xE1, Exif(72, 2, 1, 108, thumb.size(), std::string(thumb.begin(), thumb.end())));
  const std::uint32_t mpHeaderAt = 2 + exif.size() + 4 + 4;
  Bytes first;
  for (int pass = 0; pass < 2; ++pass) {
    const std::uint32_t firstSize = static_cast<std::uint32_t>(first.size());
    first = Stream({exif, Segment(0xE2, mpf(firstSize, mpHeaderAt)), Segment(0xC0, Sof(640, 480, 3))});
  }
  Bytes file = first;
  file.insert(file.end(), second.begin(), second.end());
  file.insert(file.end(), third.begin(), third.end());

  const Described r = DescribeAll(file);
  ASSERT_EQ(r.images.size(), 4u);
  EXPECT_EQ(r.images[0].type, PXC_IT_MAIN);
  EXPECT_EQ(r.images[1].type, PXC_IT_PREVIEW);  // large thumbnail class
  EXPECT_EQ(r.images[1].columns, 640u);
  EXPECT_NEAR(r.images[1].hResolution, 96, 1e-9);  // its own JFIF
  EXPECT_EQ(r.images[2].type, PXC_IT_PAGE);
  EXPECT_EQ(r.images[2].columns, 1920u);
  EXPECT_EQ(r.images[2].rows, 1080u);
  EXPECT_TRUE(r.images[3].embedded);
  EXPECT_EQ(r.images[3].type, PXC_IT_THUMBNAIL);
  ASSERT_EQ(r.images[3].embeddedLength, thumb.size());
  EXPECT_TRUE(std::equal(thumb.begin(), thumb.end(), file.begin() + r.images[3].embeddedOffset));
}

TEST(JpegReader, RejectsStreamsWithoutFrameHeader) {
  EXPECT_FALSE(DescribeAll(Stream({Segment(0xE0, Jfif(1, 72, 72))})).opened);  // SOS first
  EXPECT_FALSE(DescribeAll({0xFF, 0xD8}).opened);
  EXPECT_FALSE(DescribeAll({0x89, 'P', 'N', 'G'}).opened);
  // A segment length running past the end.
  Bytes cut = Stream({Segment(0xC0, Sof(4, 4, 3))});
  cut[5] = 0x40;
  EXPECT_FALSE(DescribeAll(cut).opened);
  // Stray bytes and fill bytes between segments are skipped.
  Bytes stray = {0xFF, 0xD8, 0x00, 0x00, 0xFF, 0xFF, 0xFF};
  const Bytes sof = Segment(0xC0, Sof(7, 5, 1));
  stray.insert(stray.end(), sof.begin() + 1, sof.end());
  const Described r = DescribeAll(stray);
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.images[0].columns, 7u);
  // An EXIF thumbnail pointing past the end, or at bytes that are no JPEG
  // stream (writers' placeholders), is not listed.
  const Described t = DescribeAll(Stream({Segment(0xE1, Exif(72, 2, 1, 5000, 100)), Segment(0xC0, Sof(4, 4, 3))}));
  EXPECT_EQ(t.images.size(), 1u);
  const std::string stub = "<Dummy thumbnail image data>";
  const Described s = DescribeAll(Stream({Segment(0xE1, Exif(72, 2, 1, 108, stub.size(), stub)),
                                          Segment(0xC0, Sof(4, 4, 3))}));
  EXPECT_EQ(s.images.size(), 1u);
  const std::string soi = "\xFF\xD8\xFF\xDB" + stub;
  const Described j = DescribeAll(Stream({Segment(0xE1, Exif(72, 2, 1, 108, soi.size(), soi)),
                                          Segment(0xC0, Sof(4, 4, 3))}));
  ASSERT_EQ(j.images.size(), 2u);
  EXPECT_TRUE(j.images[1].embedded);
}

}  // namespace
}  // namespace imr::formats
