#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/tiff/tiff_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

Described DescribeAll(const Bytes& bytes) { return test::DescribeAll(MakeTiffReader, bytes); }

// One IFD entry: SHORT (3), LONG (4) or RATIONAL (5: numerator and
// denominator pairs) values, or the bytes of an ASCII (2) one.
struct Field {
  std::uint16_t tag, type;
  std::vector<std::uint32_t> values;
  std::string text;

  std::string Value() const {
    if (type == 2) return text;
    std::string v;
    for (std::uint32_t x : values) v += type == 3 ? Le16(static_cast<std::uint16_t>(x)) : Le32(x);
    return v;
  }
  std::uint32_t Count() const {
    return static_cast<std::uint32_t>(type == 5 ? values.size() / 2 : text.empty() ? values.size() : text.size());
  }
};
using Ifd = std::vector<Field>;

Field Short(std::uint16_t tag, std::vector<std::uint32_t> v) { return {tag, 3, v, {}}; }
Field Long(std::uint16_t tag, std::vector<std::uint32_t> v) { return {tag, 4, v, {}}; }
Field Rational(std::uint16_t tag, std::uint32_t n, std::uint32_t d) { return {tag, 5, {n, d}, {}}; }
Ifd Image(std::uint32_t w, std::uint32_t h, std::uint32_t subfile = 0) {
  return {Long(254, {subfile}), Long(256, {w}), Long(257, {h}), Short(258, {8}), Short(262, {1})};
}

// A little-endian classic TIFF of `ifds` chained in order, each followed by
// its out-of-line values; the last one's next offset is `lastNext` (to make
// loops).
Bytes Tiff(const std::vector<Ifd>& ifds, std::uint32_t lastNext = 0) {
  std::vector<std::uint32_t> starts;
  std::uint32_t pos = 8;
  for (const Ifd& ifd : ifds) {
    starts.push_back(pos);
    pos += 2 + 12 * ifd.size() + 4;
    for (const Field& f : ifd) pos += f.Value().size() > 4 ? f.Value().size() : 0;
  }
  std::string out = std::string("II*\0", 4) + Le32(8);
  for (std::size_t i = 0; i < ifds.size(); ++i) {
    const std::uint32_t data = starts[i] + 2 + 12 * ifds[i].size() + 4;
    std::string extra;
    out += Le16(static_cast<std::uint16_t>(ifds[i].size()));
    for (const Field& f : ifds[i]) {
      const std::string value = f.Value();
      out += Le16(f.tag) + Le16(f.type) + Le32(f.Count());
      if (value.size() <= 4) {
        out += value + std::string(4 - value.size(), '\0');
      } else {
        out += Le32(data + extra.size());
        extra += value;
      }
    }
    out += Le32(i + 1 == ifds.size() ? lastNext : starts[i + 1]) + extra;
  }
  return ToBytes(out);
}

// identify -format '%w %h %x %n'.
TEST(TiffReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeTiffReader, {
      {IMR_CORPUS "/exiftool/ExifTool.tif", 160, 120, 180, 1, PXC_CE_RGB, PXC_AP_NONE,
       "ColorProfile=sRGB IEC61966-2.1|Compression=LZW|Software=GraphicConverter"},
      {IMR_CORPUS "/exiftool/GeoTiff.tif", 25, 24, 72, 1, PXC_CE_INDEXED, PXC_AP_NONE, "format=TIFF|inks=1"},
      {IMR_CORPUS "/exiftool/BigTIFF.btf", 8, 8, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "format=BIGTIFF|inks=3"},
      {"tiff/cmyk_lzw.tif", 40, 30, 300, 1, PXC_CE_CMYK, PXC_AP_NONE, "inks=4|Compression=LZW"},
      // identify: 118 PixelsPerCentimeter graya
      {"tiff/rgba_cm.tif", 32, 20, 118 * 2.54, 1, PXC_CE_GRAY, PXC_AP_ASSOCIATED, "inks=1|Compression=Deflate"},
      // identify: 48x32, 20x10, 30x40
      {"tiff/pages.tif", 48, 32, -1, 3, PXC_CE_RGB, PXC_AP_NONE,
       "1:type=Page|1:columns=20|2:type=Page|2:rows=40|2:Compression=PackBits"},
      // big-endian, Orientation 6, no resolution tags (identify shows its default 72)
      {"tiff/gray_mm.tif", 24, 16, 0, 1, PXC_CE_GRAY, PXC_AP_NONE,
       "rotation=R90|Software=Sample Writer|Orientation=RightTop"},
      // ResolutionUnit 1: identify "200 Undefined", no physical resolution
      {"tiff/bilevel_g4.tif", 40, 30, 0, 1, PXC_CE_BILEVEL, PXC_AP_NONE, "Compression=CCITT Group 4"},
  });
}

// Raw files (identify has no delegate for them here): the full image in a
// SubIFD comes first, IFD0 follows as a reduced image, the JPEG streams the
// IFDs point to come last.  The corpus's stub previews ("<Dummy ... image
// data>") are no JPEG streams: they are not listed.
TEST(TiffReader, CameraRawFiles) {
  CheckSamples(MakeTiffReader, {
      // CFA; the details of IFD0
      {IMR_CORPUS "/exiftool/DNG.dng", 3516, 2328, -1, 4, PXC_CE_RGB, PXC_AP_NONE,
       "format=DNG|inks=3|version=1.1.0.0|Exif=yes|XMP=yes|1:type=Thumbnail|1:columns=8|2:type=Preview|2:columns=1024|"
       "3:type=Preview"},
      {IMR_CORPUS "/exiftool/Nikon.nef", 3040, 2014, -1, 2, PXC_CE_RGB, PXC_AP_NONE,
       "format=NEF|Compression=Nikon NEF Compressed|ColorProfile=Nikon Adobe RGB 4.0.0.3000|1:type=Thumbnail|1:columns=160"},
      // old JPEG, no Photometric; an unflagged 384x256 rendering
      {IMR_CORPUS "/exiftool/CanonRaw.cr2", 1536, 1024, -1, 2, PXC_CE_YCBCR, PXC_AP_NONE, "format=CR2|inks=3|1:type=Preview"},
      // an "IIU\0" header; sensor borders 8..3656 x 6..2742
      {IMR_CORPUS "/exiftool/Panasonic.rw2", 3648, 2736, 0, 2, PXC_CE_RGB, PXC_AP_NONE, "format=RW2|1:embedded=1536+10785"},
  });
}

// Images after the first are pages, or what their subfile type says (the raw
// samples cover SubIFDs and the JPEG streams they point to).
TEST(TiffReader, SubfileTypesClassifyFurtherImages) {
  const Described r = DescribeAll(
      Tiff({Image(1000, 800), Image(200, 160, 1), Image(600, 480, 1), Image(1000, 800, 4), Image(1000, 800, 0)}));
  ASSERT_EQ(r.images.size(), 5u);
  Check(r.images, "type=Main|1:type=Thumbnail|2:type=Preview|3:type=Auxiliary|4:type=Page");
  EXPECT_EQ(r.images[3].subtype, PXC_IS_MASK);
}

TEST(TiffReader, ColourInterpretations) {
  struct Case {
    std::vector<Field> fields;
    PXC_TChannelEnc encoding;
    std::uint16_t inks;
    PXC_TAlphaPlane alpha;
  };
  const Case cases[] = {
      {{Short(262, {2}), Short(277, {4}), Short(338, {2})}, PXC_CE_RGB, 3, PXC_AP_UNASSOCIATED},
      {{Short(262, {2}), Short(277, {4})}, PXC_CE_RGB, 3, PXC_AP_UNSPECIFIED},
      {{Short(262, {1}), Short(277, {2}), Short(338, {0})}, PXC_CE_GRAY, 1, PXC_AP_UNSPECIFIED},
      {{Short(262, {5}), Short(277, {5}), Short(332, {1}), Short(338, {2})},
       PXC_CE_CMYK, 4, PXC_AP_UNASSOCIATED},
      {{Short(262, {6}), Short(277, {3})}, PXC_CE_YCBCR, 3, PXC_AP_NONE},
      {{Short(262, {8}), Short(277, {3})}, PXC_CE_LAB, 3, PXC_AP_NONE},
      {{Short(262, {4})}, PXC_CE_BILEVEL, 1, PXC_AP_NONE},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    Ifd ifd = {Long(256, {10}), Long(257, {10}), Short(258, {8})};
    ifd.insert(ifd.end(), cases[i].fields.begin(), cases[i].fields.end());
    const Described r = DescribeAll(Tiff({ifd}));
    ASSERT_EQ(r.images.size(), 1u);
    EXPECT_EQ(r.images[0].channelEncoding, cases[i].encoding);
    EXPECT_EQ(r.images[0].inks, cases[i].inks);
    EXPECT_EQ(r.images[0].alphaPlane, cases[i].alpha);
  }
  // Separated inks other than CMYK, with their names.
  const Described r = DescribeAll(Tiff({{Long(256, {10}), Long(257, {10}), Short(262, {5}), Short(277, {3}),
                                         Short(332, {2}), Short(334, {3}),
                                         {333, 2, {}, std::string("PANTONE 185 C\0Black\0Varnish\0", 28)}}}));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_MULTICHANNEL);
  EXPECT_EQ(r.images[0].inks, 3);
  EXPECT_EQ(r.images[0].inkNames, (std::vector<std::string>{"PANTONE 185 C", "Black", "Varnish"}));
}

TEST(TiffReader, ResolutionUnitsAndOrientations) {
  struct Case {
    std::vector<Field> fields;
    double dpi;
  };
  const Case cases[] = {
      {{Rational(282, 300, 1), Rational(283, 300, 1)}, 300},  // unit absent: inch
      {{Rational(282, 72, 0), Rational(283, 72, 0)}, 0},     // zero denominator
  };
  for (const Case& c : cases) {
    Ifd ifd = Image(254, 127);
    ifd.insert(ifd.end(), c.fields.begin(), c.fields.end());
    const Described r = DescribeAll(Tiff({ifd}));
    ASSERT_EQ(r.images.size(), 1u);
    EXPECT_NEAR(r.images[0].hResolution, c.dpi, 1e-9);
    EXPECT_EQ(r.images[0].units, c.dpi > 0 ? PXC_MU_INCH : PXC_MU_NONE);
    if (c.dpi > 0) {
      EXPECT_NEAR(r.images[0].hRealSize, 254 / c.dpi, 1e-9);
    }
  }
  // Orientation 0 and 9 are not valid: no turn.
  const char* const rotations[] = {"None", "None", "Mirror",   "R180", "Mirror180",
                                   "Mirror270", "R90", "Mirror90", "R270", "None"};
  for (std::uint32_t o = 0; o <= 9; ++o) {
    Ifd ifd = Image(4, 4);
    ifd.push_back(Short(274, {o}));
    const Described r = DescribeAll(Tiff({ifd}));
    ASSERT_EQ(r.images.size(), 1u);
    Check(r.images, std::string("rotation=") + rotations[o]);
  }
}

TEST(TiffReader, RejectsOrSurvivesBrokenStructures) {
  // A chain whose last IFD points back to the first, or IFD0 to itself, ends there.
  EXPECT_EQ(DescribeAll(Tiff({Image(10, 10), Image(5, 5)}, 8)).images.size(), 2u);
  EXPECT_EQ(DescribeAll(Tiff({Image(10, 10)}, 8)).images.size(), 1u);

  const Bytes good = Tiff({Image(10, 10)});
  const auto with = [&](std::size_t at, std::uint8_t value) {
    Bytes b = good;
    b[at] = value;
    return b;
  };
  // An absurd entry count, the IFD offset past the end, truncation inside
  // the IFD, no image size.
  const Bytes bad[] = {with(9, 0xFF), with(7, 0x7F), {good.begin(), good.begin() + 30}, Tiff({{Short(262, {2})}})};
  for (const Bytes& b : bad) EXPECT_FALSE(DescribeAll(b).opened) << &b - bad;

  // A value offset beyond the end leaves the field unread, not the file.
  Ifd resolution = Image(10, 10);
  resolution.push_back(Rational(282, 300, 1));
  Bytes cut = Tiff({resolution});
  cut.resize(cut.size() - 8);  // the rational lived at the end
  const Described r = DescribeAll(cut);
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].units, PXC_MU_NONE);

  // The headers of raw formats are TIFF too, and name them.
  for (const auto& [magic, format] : {std::pair{"IIRO", "ORF"}, {"IIRS", "ORF"}, {"IIU\0", "RW2"}}) {
    Bytes raw = good;
    std::copy(magic, magic + 4, raw.begin());
    const Described described = DescribeAll(raw);
    ASSERT_TRUE(described.opened) << magic;
    EXPECT_EQ(described.images[0].format, format);
  }
}

}  // namespace
}  // namespace imr::formats
