#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/jpeg/jpeg_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

Described DescribeAll(const Bytes& bytes) { return test::DescribeAll(MakeJpegReader, bytes); }

// Marker segments of a synthetic stream: only headers, no entropy-coded data.
Bytes Segment(std::uint8_t marker, const std::string& payload) {
  return ToBytes(std::string{'\xFF', static_cast<char>(marker)} + Be16(static_cast<std::uint16_t>(payload.size() + 2)) +
                 payload);
}
std::string Sof(std::uint16_t w, std::uint16_t h, std::uint8_t components, const char* ids = "\1\2\3\4") {
  std::string p = '\x08' + Be16(h) + Be16(w) + char(components);
  for (int i = 0; i < components; ++i) p += std::string{ids[i], 0x11, 0};
  return p;
}
std::string Jfif(std::uint8_t units, std::uint16_t x, std::uint16_t y) {
  return std::string("JFIF\0\1\2", 7) + char(units) + Be16(x) + Be16(y) + std::string(2, '\0');
}
std::string Adobe(std::uint8_t transform) { return std::string("Adobe\0\x64\0\0\0\0", 11) + char(transform); }
// A little-endian EXIF block: IFD0 with resolution, unit and orientation,
// IFD1 with a thumbnail of `thumbLength` bytes at `thumbOffset`; `appended`
// follows the structure (at offset 108 when there is an IFD1).
std::string Exif(std::uint32_t res, std::uint16_t unit, std::uint16_t orientation, std::uint32_t thumbOffset = 0,
                 std::uint32_t thumbLength = 0, const std::string& appended = {}) {
  const auto entry = [](std::uint16_t tag, std::uint16_t type, std::uint32_t v) {
    return Le16(tag) + Le16(type) + Le32(1) + Le32(v);
  };
  // IFD0 at 8: 4 entries, rationals at 62 and 70, IFD1 at 78.
  std::string t = std::string("II*\0\x08\0\0\0", 8) + Le16(4) + entry(282, 5, 62) + entry(283, 5, 70) +
                  entry(296, 3, unit) + entry(274, 3, orientation) + Le32(thumbLength ? 78 : 0) + Le32(res) +
                  Le32(1) + Le32(res) + Le32(1);
  if (thumbLength) t += Le16(2) + entry(513, 4, thumbOffset) + entry(514, 4, thumbLength) + Le32(0);
  return std::string("Exif\0\0", 6) + t + appended;
}
Bytes Stream(const std::vector<Bytes>& segments) {
  Bytes s = {0xFF, 0xD8};
  for (const Bytes& seg : segments) s.insert(s.end(), seg.begin(), seg.end());
  s.insert(s.end(), {0xFF, 0xDA, 0x00, 0x02, 0x12, 0x34, 0xFF, 0xD9});
  return s;
}

// The end-to-end accuracy test compares the size and resolution of every
// corpus JPEG with identify; these are the files with details to check.
TEST(JpegReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeJpegReader, {
      // Adobe transform 1
      {IMR_CORPUS "/exiftool/ExifTool.jpg", 8, 8, 72, 1, PXC_CE_YCBCR, PXC_AP_NONE,
       "version=1.01|ColorProfile=Adobe RGB (1998)|XMP=yes|Software=Adobe Photoshop 7.0"},
      // its IFD1 points to 28 bytes of text, not a JPEG stream: no thumbnail
      {IMR_CORPUS "/exiftool/Pentax.jpg", 8, 8, 72, 1, PXC_CE_YCBCR, PXC_AP_NONE, "rotation=R270"},
      {IMR_CORPUS "/exiftool/FLIR.jpg", 8, 8, 72, 2, PXC_CE_YCBCR, PXC_AP_NONE, "1:type=Thumbnail"},
      // Adobe transform 2
      {"jpeg/cmyk_progressive.jpg", 40, 30, 0, 1, PXC_CE_YCCK, PXC_AP_NONE, "inks=4|Compression=Progressive"},
      {"jpeg/gray_dpcm.jpg", 33, 21, 101.6, 1, PXC_CE_GRAY, PXC_AP_NONE, "inks=1|version=1.01"},
      {"jpeg/exif_orient8.jpg", 36, 24, 240, 1, PXC_CE_YCBCR, PXC_AP_NONE,
       "Software=Sample Writer|Exif=yes|rotation=R270"},
  });
}

TEST(JpegReader, ColourFromComponentsAndAdobeTransform) {
  struct Case {
    std::vector<Bytes> segments;
    PXC_TChannelEnc encoding;
  };
  const Case cases[] = {
      {{Segment(0xEE, Adobe(0)), Segment(0xC0, Sof(4, 4, 3))}, PXC_CE_RGB},
      {{Segment(0xEE, Adobe(1)), Segment(0xC0, Sof(4, 4, 3))}, PXC_CE_YCBCR},
      {{Segment(0xC0, Sof(4, 4, 3, "RGB"))}, PXC_CE_RGB},
      {{Segment(0xEE, Adobe(0)), Segment(0xC0, Sof(4, 4, 4))}, PXC_CE_CMYK},
      {{Segment(0xC0, Sof(4, 4, 4))}, PXC_CE_CMYK},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const Described r = DescribeAll(Stream(cases[i].segments));
    ASSERT_EQ(r.images.size(), 1u);
    EXPECT_EQ(r.images[0].channelEncoding, cases[i].encoding);
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
  profile += std::string("desc\0\0\0\x90\0\0\0\x14", 12) + std::string("desc\0\0\0\0\0\0\0\x08" "Display\0", 20);
  const auto chunk = [](int seq, const std::string& data) {
    return Segment(0xE2, std::string("ICC_PROFILE\0", 12) + char(seq) + char(2) + data);
  };
  const Described r =
      DescribeAll(Stream({chunk(2, profile.substr(150)), chunk(1, profile.substr(0, 150)),
                          Segment(0xC0, Sof(4, 4, 3))}));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(Detail(r.images[0], "ColorProfile"), "Display");
}

// A file of a first stream (`segments` before its frame header) and the
// `further` streams after it, listed with their MP attributes by an MP index
// that comes after `segments` (none when `attributes` is empty).
Bytes MultiPicture(const std::vector<Bytes>& segments, const std::vector<Bytes>& further,
                   const std::vector<std::uint32_t>& attributes) {
  std::uint32_t mpHeaderAt = 2 + 4 + 4;  // SOI, the APP2 marker and length, "MPF\0"
  for (const Bytes& segment : segments) mpHeaderAt += static_cast<std::uint32_t>(segment.size());
  Bytes file;
  for (int pass = 0; pass < 2; ++pass) {  // laid out once to learn the first stream's size
    // IFD of two entries: the count, and 16 bytes per image (attribute, size,
    // offset from the MP header, two dependents)
    const std::uint32_t count = static_cast<std::uint32_t>(further.size() + 1);
    std::string index = std::string("MPF\0" "II*\0\x08\0\0\0", 12) + Le16(2) + Le16(0xB001) + Le16(4) + Le32(1) +
                        Le32(count) + Le16(0xB002) + Le16(7) + Le32(16 * count) + Le32(8 + 2 + 24 + 4) + Le32(0) +
                        Le32(0x20030000) + Le32(static_cast<std::uint32_t>(file.size())) + Le32(0) + Le32(0);
    std::uint32_t at = static_cast<std::uint32_t>(file.size()) - mpHeaderAt;
    for (std::size_t i = 0; i < further.size() && !attributes.empty(); ++i) {
      index += Le32(attributes[i]) + Le32(static_cast<std::uint32_t>(further[i].size())) + Le32(at) + Le32(0);
      at += static_cast<std::uint32_t>(further[i].size());
    }
    std::vector<Bytes> first = segments;
    if (!attributes.empty()) first.push_back(Segment(0xE2, index));
    first.push_back(Segment(0xC0, Sof(640, 480, 3)));
    file = Stream(first);
  }
  for (const Bytes& stream : further) file.insert(file.end(), stream.begin(), stream.end());
  return file;
}

std::string Xmp(const std::string& packet) { return std::string("http://ns.adobe.com/xap/1.0/\0", 29) + packet; }

TEST(JpegReader, MpoImagesThenExifThumbnail) {
  const Bytes second = Stream({Segment(0xE0, Jfif(1, 96, 96)), Segment(0xC0, Sof(640, 480, 3))});
  const Bytes third = Stream({Segment(0xC0, Sof(1920, 1080, 3))});
  const Bytes thumb = Stream({Segment(0xC0, Sof(160, 120, 3))});
  // the EXIF thumbnail follows the TIFF structure inside the APP1 segment
  const Bytes exif = Segment(0xE1, Exif(72, 2, 1, 108, thumb.size(), std::string(thumb.begin(), thumb.end())));
  const Bytes file = MultiPicture({exif}, {second, third}, {0x00010001, 0x00020002});

  const Described r = DescribeAll(file);
  ASSERT_EQ(r.images.size(), 4u);
  // the second image of the index is of the large thumbnail class
  Check(r.images, "format=MPO|type=Main|1:type=Preview|1:columns=640|2:type=Page|2:rows=1080|3:type=Thumbnail");
  EXPECT_NEAR(r.images[1].hResolution, 96, 1e-9);  // its own JFIF
  ASSERT_TRUE(r.images[3].embedded);
  ASSERT_EQ(r.images[3].embeddedLength, thumb.size());
  EXPECT_TRUE(std::equal(thumb.begin(), thumb.end(), file.begin() + r.images[3].embeddedOffset));

  // Pillow's MPO, and the same with its MP header's byte order mark gone:
  // the second stream is found after the first one's end
  CheckSamples(MakeJpegReader, {
      {"jpeg/stereo.mpo", 48, 32, 0, 2, PXC_CE_YCBCR, PXC_AP_NONE, "format=MPO|1:type=Page|1:columns=48"},
      {"jpeg/regress/mpo_broken_index.mpo", 48, 32, 0, 2, PXC_CE_YCBCR, PXC_AP_NONE, "format=MPO|1:type=Page"},
  });
}

// Ultra HDR: the gain map is a second stream, listed by the MP index or only
// announced by the first stream's XMP, and it says what it is in its XMP
// (hdrgm) or in ISO 21496-1 metadata.  Hand-made: no common tool writes one.
TEST(JpegReader, GainMapsAreAuxiliaryImages) {
  const Bytes hdrgm = Segment(0xE1, Xmp(R"(<rdf:Description hdrgm:Version="1.0" hdrgm:GainMapMax="3.0"/>)"));
  const Bytes directory = Segment(0xE1, Xmp(R"(<rdf:Description hdrgm:Version="1.0"><Container:Directory>)"
                                            R"(<Item:Semantic>Primary</Item:Semantic><Item Item:Semantic="GainMap"/>)"));
  const Bytes iso = Segment(0xE2, std::string("urn:iso:std:iso:ts:21496:-1\0", 28) + std::string(40, '\1'));
  const Bytes isoVersion = Segment(0xE2, std::string("urn:iso:std:iso:ts:21496:-1\0\0\0\0\0", 32));
  const Bytes gainMap = Stream({hdrgm, Segment(0xC0, Sof(320, 240, 1))});
  struct Case {
    Bytes file;
    const char* checks;
  };
  const Case cases[] = {
      {MultiPicture({directory}, {gainMap}, {0}), "format=MPO|1:type=Auxiliary|1:columns=320|1:GainMap=Ultra HDR"},
      // no MP index: after the first stream's end, past some padding
      {MultiPicture({directory}, {Bytes(7, 0), gainMap}, {}), "format=JPEG|1:type=Auxiliary|1:GainMap=Ultra HDR"},
      {MultiPicture({isoVersion}, {Stream({iso, Segment(0xC0, Sof(320, 240, 1))})}, {0}),
       "1:type=Auxiliary|1:GainMap=ISO 21496-1"},
      // a second view is no gain map
      {MultiPicture({}, {Stream({Segment(0xC0, Sof(640, 480, 3))})}, {0x00020002}), "1:type=Page|1:GainMap="},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.checks);
    const Described r = DescribeAll(c.file);
    ASSERT_EQ(r.images.size(), 2u);
    Check(r.images, c.checks);
    EXPECT_EQ(r.images[1].subtype, r.images[1].type == PXC_IT_AUXILIARY ? PXC_IS_OTHER : PXC_IS_NONE);
  }
}

TEST(JpegReader, RejectsStreamsWithoutFrameHeaderAndStubThumbnails) {
  Bytes cut = Stream({Segment(0xC0, Sof(4, 4, 3))});
  cut[5] = 0x40;  // a segment length running past the end
  const std::pair<Bytes, std::string> bad[] = {
      {Stream({Segment(0xE0, Jfif(1, 72, 72))}), "no frame header (SOFn) comes before the first scan"},
      {Bytes{0xFF, 0xD8}, "the stream ends after its SOI"},
      {cut, "the FFC0 segment at byte 2 runs past the end of the file"},
      {ReadBytes(IMR_TEST_DATA "/formats/jpeg/regress/cut_in_frame_header.jpg"),
       "the FFC2 segment at byte 156 runs past the end of the file"},
      {ReadBytes(IMR_TEST_DATA "/formats/jpeg/regress/scan_before_frame.jpg"),
       "no frame header (SOFn) comes before the first scan"},
      {Bytes{0x89, 'P', 'N', 'G'}, ""},
  };
  for (const auto& [bytes, reason] : bad) {
    EXPECT_FALSE(DescribeAll(bytes).opened) << reason;
    EXPECT_EQ(Refusal(MakeJpegReader, bytes), reason);
  }
  // Stray bytes and fill bytes between segments are skipped.
  Bytes stray = {0xFF, 0xD8, 0x00, 0x00, 0xFF, 0xFF, 0xFF};
  const Bytes sof = Segment(0xC0, Sof(7, 5, 1));
  stray.insert(stray.end(), sof.begin() + 1, sof.end());
  const Described r = DescribeAll(stray);
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.images[0].columns, 7u);
  // An EXIF thumbnail pointing past the end, or at bytes that are no JPEG
  // stream (writers' placeholders), is not listed.
  const std::string stub = "<Dummy thumbnail image data>", soi = "\xFF\xD8\xFF\xDB" + stub;
  const auto images = [](const std::string& exif) {
    return DescribeAll(Stream({Segment(0xE1, exif), Segment(0xC0, Sof(4, 4, 3))})).images.size();
  };
  EXPECT_EQ(images(Exif(72, 2, 1, 5000, 100)), 1u);
  EXPECT_EQ(images(Exif(72, 2, 1, 108, stub.size(), stub)), 1u);
  EXPECT_EQ(images(Exif(72, 2, 1, 108, soi.size(), soi)), 2u);
}

}  // namespace
}  // namespace imr::formats
