#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/tiff/tiff_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

Described DescribeAll(const Bytes& bytes, std::uint32_t limit = 64) {
  return test::DescribeAll(MakeTiffReader, bytes, limit);
}

// Builds little-endian classic TIFF files: IFDs of SHORT/LONG/RATIONAL/ASCII
// fields laid out one after another, each followed by its out-of-line values.
class TiffBuilder {
 public:
  struct Field {
    std::uint16_t tag;
    std::uint16_t type;
    std::vector<std::uint32_t> values;  // rationals as numerator, denominator pairs
    std::string text;                   // ASCII and UNDEFINED fields
  };
  using Ifd = std::vector<Field>;

  static Field Short(std::uint16_t tag, std::vector<std::uint32_t> v) { return {tag, 3, v, {}}; }
  static Field Long(std::uint16_t tag, std::vector<std::uint32_t> v) { return {tag, 4, v, {}}; }
  static Field Rational(std::uint16_t tag, std::uint32_t n, std::uint32_t d) {
    return {tag, 5, {n, d}, {}};
  }
  static Field Ascii(std::uint16_t tag, const std::string& s) { return {tag, 2, {}, s + '\0'}; }
  static Ifd Image(std::uint32_t w, std::uint32_t h, std::uint32_t subfile = 0) {
    return {Long(254, {subfile}), Long(256, {w}), Long(257, {h}), Short(258, {8}),
            Short(262, {1})};
  }

  // Lays out `ifds` as a chain; `nextOverride` replaces the last IFD's next
  // offset (to make loops).  Returns the offsets of the IFDs through `offsets`.
  std::vector<std::uint8_t> Build(const std::vector<Ifd>& ifds, std::uint32_t nextOverride = 0,
                                  std::vector<std::uint32_t>* offsets = nullptr) {
    std::vector<std::uint8_t> out = {'I', 'I', 42, 0, 8, 0, 0, 0};
    std::vector<std::uint32_t> starts;
    std::uint32_t pos = 8;
    for (const Ifd& ifd : ifds) {
      starts.push_back(pos);
      pos += 2 + 12 * ifd.size() + 4;
      for (const Field& f : ifd) pos += Extra(f);
    }
    for (std::size_t i = 0; i < ifds.size(); ++i) {
      const Ifd& ifd = ifds[i];
      std::uint32_t data = starts[i] + 2 + 12 * ifd.size() + 4;
      std::vector<std::uint8_t> extra;
      Put16(out, ifd.size());
      for (const Field& f : ifd) {
        Put16(out, f.tag);
        Put16(out, f.type);
        const std::vector<std::uint8_t> value = Value(f);
        Put32(out, f.type == 5 ? f.values.size() / 2 : (f.type == 2 || f.type == 7) ? f.text.size()
                                                                                     : f.values.size());
        if (value.size() <= 4) {
          std::vector<std::uint8_t> inline4 = value;
          inline4.resize(4, 0);
          out.insert(out.end(), inline4.begin(), inline4.end());
        } else {
          Put32(out, data + extra.size());
          extra.insert(extra.end(), value.begin(), value.end());
        }
      }
      const bool last = i + 1 == ifds.size();
      Put32(out, last ? nextOverride : starts[i + 1]);
      out.insert(out.end(), extra.begin(), extra.end());
    }
    if (offsets) *offsets = starts;
    return out;
  }

  static void Put16(std::vector<std::uint8_t>& o, std::uint32_t v) {
    o.push_back(v & 0xFF);
    o.push_back((v >> 8) & 0xFF);
  }
  static void Put32(std::vector<std::uint8_t>& o, std::uint32_t v) {
    Put16(o, v & 0xFFFF);
    Put16(o, v >> 16);
  }

 private:
  static std::vector<std::uint8_t> Value(const Field& f) {
    std::vector<std::uint8_t> v;
    if (f.type == 2 || f.type == 7) return {f.text.begin(), f.text.end()};
    for (std::uint32_t x : f.values) f.type == 3 ? Put16(v, x) : Put32(v, x);
    return v;
  }
  static std::uint32_t Extra(const Field& f) {
    const std::size_t n = Value(f).size();
    return n <= 4 ? 0 : static_cast<std::uint32_t>(n);
  }
};

using B = TiffBuilder;

TEST(TiffReader, CorpusFilesAgreeWithImageMagick) {
  struct Case {
    const char* file;
    std::uint32_t columns, rows;
    double dpi;
    PXC_TChannelEnc encoding;
    std::size_t images;
  };
  // identify -format '%w %h %x %n' (TIFF: prefix for the raw files whose
  // IFD0 it reads: PhaseOne.iiq 2 IFDs at 341.33 dpi).
  const Case cases[] = {
      {"ExifTool.tif", 160, 120, 180, PXC_CE_RGB, 1},
      {"GeoTiff.tif", 25, 24, 72, PXC_CE_INDEXED, 1},
      {"BigTIFF.btf", 8, 8, 0, PXC_CE_RGB, 1},
      {"PhaseOne.iiq", 1, 1, 341.3333, PXC_CE_RGB, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = std::string(IMR_CORPUS) + "/exiftool/" + c.file;
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no corpus";
    const Described r = DescribeAll(ReadBytes(path));
    ASSERT_TRUE(r.opened);
    ASSERT_EQ(r.images.size(), c.images);
    const ImageDescription& d = r.images[0];
    EXPECT_EQ(d.type, PXC_IT_MAIN);
    EXPECT_EQ(d.columns, c.columns);
    EXPECT_EQ(d.rows, c.rows);
    EXPECT_NEAR(d.hResolution, c.dpi, 0.001);
    EXPECT_NEAR(d.vResolution, c.dpi, 0.001);
    EXPECT_EQ(d.units, c.dpi > 0 ? PXC_MU_INCH : PXC_MU_NONE);
    EXPECT_EQ(d.channelEncoding, c.encoding);
  }
}

TEST(TiffReader, CorpusDetails) {
  const std::string dir = std::string(IMR_CORPUS) + "/exiftool/";
  if (!std::filesystem::exists(dir + "ExifTool.tif")) GTEST_SKIP() << "no corpus";
  Described r = DescribeAll(ReadBytes(dir + "ExifTool.tif"));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(Detail(r.images[0], "ColorProfile"), "sRGB IEC61966-2.1");
  EXPECT_EQ(Detail(r.images[0], "Compression"), "LZW");
  EXPECT_EQ(Detail(r.images[0], "Software"), "GraphicConverter");
  EXPECT_NEAR(r.images[0].hRealSize, 160 / 180.0, 1e-9);

  r = DescribeAll(ReadBytes(dir + "BigTIFF.btf"));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].format, "BIGTIFF");
  EXPECT_EQ(r.images[0].inks, 3);

  r = DescribeAll(ReadBytes(dir + "GeoTiff.tif"));
  EXPECT_EQ(r.images[0].format, "");
  EXPECT_EQ(r.images[0].inks, 1);
}

// Raw files: the full image in a SubIFD comes first, IFD0 follows as a
// reduced image, JPEG streams the IFDs point to come last.
TEST(TiffReader, CameraRawFiles) {
  const std::string dir = std::string(IMR_CORPUS) + "/exiftool/";
  if (!std::filesystem::exists(dir + "DNG.dng")) GTEST_SKIP() << "no corpus";

  Described r = DescribeAll(ReadBytes(dir + "DNG.dng"));
  ASSERT_TRUE(r.opened);
  ASSERT_EQ(r.images.size(), 4u);
  EXPECT_EQ(r.images[0].type, PXC_IT_MAIN);
  EXPECT_EQ(r.images[0].columns, 3516u);
  EXPECT_EQ(r.images[0].rows, 2328u);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_RGB);  // CFA
  EXPECT_EQ(r.images[0].inks, 3);
  EXPECT_EQ(r.images[0].version, "1.1.0.0");
  EXPECT_EQ(Detail(r.images[0], "Exif"), "yes");  // from IFD0
  EXPECT_EQ(Detail(r.images[0], "XMP"), "yes");
  EXPECT_EQ(r.images[1].type, PXC_IT_THUMBNAIL);
  EXPECT_EQ(r.images[1].columns, 8u);
  EXPECT_EQ(r.images[2].type, PXC_IT_PREVIEW);
  EXPECT_EQ(r.images[2].columns, 1024u);
  EXPECT_EQ(r.images[3].type, PXC_IT_PREVIEW);

  // The corpus's stub previews ("<Dummy ... image data>") are no JPEG
  // streams: they are not listed.
  r = DescribeAll(ReadBytes(dir + "Nikon.nef"));
  ASSERT_EQ(r.images.size(), 2u);
  EXPECT_EQ(r.images[0].columns, 3040u);
  EXPECT_EQ(r.images[0].rows, 2014u);
  EXPECT_EQ(Detail(r.images[0], "Compression"), "Nikon NEF Compressed");
  EXPECT_EQ(Detail(r.images[0], "ColorProfile"), "Nikon Adobe RGB 4.0.0.3000");
  EXPECT_EQ(r.images[1].type, PXC_IT_THUMBNAIL);
  EXPECT_EQ(r.images[1].columns, 160u);
  EXPECT_NEAR(r.images[1].hResolution, 300, 1e-9);

  r = DescribeAll(ReadBytes(dir + "CanonRaw.cr2"));
  ASSERT_EQ(r.images.size(), 2u);
  EXPECT_EQ(r.images[0].columns, 1536u);
  EXPECT_EQ(r.images[0].rows, 1024u);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_YCBCR);  // old JPEG, no Photometric
  EXPECT_EQ(r.images[0].inks, 3);
  EXPECT_EQ(r.images[1].type, PXC_IT_PREVIEW);  // unflagged 384x256 rendering

  r = DescribeAll(ReadBytes(dir + "Panasonic.rw2"));  // "IIU\0" header
  ASSERT_EQ(r.images.size(), 2u);
  EXPECT_EQ(r.images[0].columns, 3648u);  // sensor borders 8..3656 x 6..2742
  EXPECT_EQ(r.images[0].rows, 2736u);
  EXPECT_EQ(r.images[0].units, PXC_MU_NONE);
  EXPECT_TRUE(r.images[1].embedded);
  EXPECT_EQ(r.images[1].embeddedOffset, 1536u);
  EXPECT_EQ(r.images[1].embeddedLength, 10785u);
}

TEST(TiffReader, SampleFiles) {
  const std::string dir = std::string(IMR_TEST_DATA) + "/formats/tiff/";
  // identify: 40x30 300 PixelsPerInch CMYK LZW
  Described r = DescribeAll(ReadBytes(dir + "cmyk_lzw.tif"));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_CMYK);
  EXPECT_EQ(r.images[0].inks, 4);
  EXPECT_EQ(r.images[0].columns, 40u);
  EXPECT_DOUBLE_EQ(r.images[0].hResolution, 300);
  EXPECT_EQ(Detail(r.images[0], "Compression"), "LZW");

  // identify: 32x20 118 PixelsPerCentimeter graya, Zip
  r = DescribeAll(ReadBytes(dir + "rgba_cm.tif"));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_NEAR(r.images[0].hResolution, 118 * 2.54, 0.01);
  EXPECT_EQ(r.images[0].units, PXC_MU_INCH);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_GRAY);
  EXPECT_EQ(r.images[0].inks, 1);
  EXPECT_EQ(r.images[0].alphaPlane, PXC_AP_ASSOCIATED);
  EXPECT_EQ(Detail(r.images[0], "Compression"), "Deflate");

  // identify: 3 images, 48x32, 20x10, 30x40
  r = DescribeAll(ReadBytes(dir + "pages.tif"));
  ASSERT_EQ(r.images.size(), 3u);
  EXPECT_EQ(r.images[0].type, PXC_IT_MAIN);
  EXPECT_EQ(r.images[1].type, PXC_IT_PAGE);
  EXPECT_EQ(r.images[1].columns, 20u);
  EXPECT_EQ(r.images[2].type, PXC_IT_PAGE);
  EXPECT_EQ(r.images[2].rows, 40u);
  EXPECT_EQ(Detail(r.images[2], "Compression"), "PackBits");

  // Big-endian, Orientation 6, no resolution tags (identify prints its default 72).
  r = DescribeAll(ReadBytes(dir + "gray_mm.tif"));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].columns, 24u);
  EXPECT_EQ(r.images[0].rotation, PXC_IR_90);
  EXPECT_EQ(r.images[0].units, PXC_MU_NONE);
  EXPECT_EQ(Detail(r.images[0], "Software"), "Sample Writer");
  EXPECT_EQ(Detail(r.images[0], "Orientation"), "RightTop");

  r = DescribeAll(ReadBytes(dir + "bigtiff.tif"));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].format, "BIGTIFF");
  EXPECT_EQ(r.images[0].columns, 16u);
  EXPECT_EQ(r.images[0].rows, 12u);

  // ResolutionUnit 1: identify "200 Undefined", no physical resolution.
  r = DescribeAll(ReadBytes(dir + "bilevel_g4.tif"));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_BILEVEL);
  EXPECT_EQ(r.images[0].hResolution, 0);
  EXPECT_EQ(r.images[0].units, PXC_MU_NONE);
  EXPECT_EQ(Detail(r.images[0], "Compression"), "CCITT Group 4");
}

TEST(TiffReader, SubfileTypesClassifyFurtherImages) {
  B b;
  const auto bytes = b.Build({B::Image(1000, 800), B::Image(200, 160, 1), B::Image(600, 480, 1),
                              B::Image(1000, 800, 4), B::Image(1000, 800, 0)});
  const Described r = DescribeAll(bytes);
  ASSERT_EQ(r.images.size(), 5u);
  EXPECT_EQ(r.images[0].type, PXC_IT_MAIN);
  EXPECT_EQ(r.images[1].type, PXC_IT_THUMBNAIL);
  EXPECT_EQ(r.images[2].type, PXC_IT_PREVIEW);
  EXPECT_EQ(r.images[3].type, PXC_IT_AUXILIARY);
  EXPECT_EQ(r.images[3].subtype, PXC_IS_MASK);
  EXPECT_EQ(r.images[4].type, PXC_IT_PAGE);
}

TEST(TiffReader, ReducedIfd0WithSubIfdsPutsTheFullImageFirst) {
  // IFD0 is a thumbnail pointing to two SubIFDs laid out as IFDs 1 and 2 of
  // the builder, which are then cut out of the chain by IFD0's next = 0.
  B b;
  std::vector<std::uint32_t> at;
  auto ifd0 = B::Image(160, 120, 1);
  ifd0.push_back(B::Long(330, {0, 0}));
  b.Build({ifd0, B::Image(1024, 768, 1), B::Image(4000, 3000, 0)}, 0, &at);
  ifd0.back() = B::Long(330, {at[1], at[2]});
  auto bytes = b.Build({ifd0, B::Image(1024, 768, 1), B::Image(4000, 3000, 0)}, 0, &at);
  // Unlink the SubIFDs from the chain: IFD0's next offset.
  const std::size_t next0 = at[0] + 2 + 12 * ifd0.size();
  std::fill(bytes.begin() + next0, bytes.begin() + next0 + 4, 0);
  const Described r = DescribeAll(bytes);
  ASSERT_EQ(r.images.size(), 3u);
  EXPECT_EQ(r.images[0].type, PXC_IT_MAIN);
  EXPECT_EQ(r.images[0].columns, 4000u);
  EXPECT_EQ(r.images[1].type, PXC_IT_THUMBNAIL);
  EXPECT_EQ(r.images[1].columns, 160u);
  EXPECT_EQ(r.images[2].type, PXC_IT_PREVIEW);
  EXPECT_EQ(r.images[2].columns, 1024u);
}

TEST(TiffReader, JpegOnlySubIfdIsAnEmbeddedImage) {
  // IFD0 (reduced, no full-size SubIFD) points to a SubIFD that only holds a
  // JPEG stream (JPEGInterchangeFormat): it is listed after IFD0, embedded,
  // typed by the size in its frame header.
  const std::string jpeg("\xFF\xD8\xFF\xC0\x00\x0B\x08\x01\x2C\x01\x90\x01\x01\x11\x00\xFF\xD9", 17);
  B b;
  std::vector<std::uint32_t> at;
  auto build = [&](std::uint32_t subAt, std::uint32_t jpegAt) {
    auto ifd0 = B::Image(160, 120, 1);
    ifd0.push_back(B::Long(330, {subAt}));
    ifd0.push_back({700, 7, {}, jpeg});  // carries the stream's bytes
    const B::Ifd sub = {B::Long(254, {1}), B::Long(513, {jpegAt}), B::Long(514, {17})};
    return b.Build({ifd0, sub}, 0, &at);
  };
  auto bytes = build(0, 0);
  const std::size_t jpegAt = std::string(bytes.begin(), bytes.end()).find(jpeg);
  bytes = build(at[1], static_cast<std::uint32_t>(jpegAt));
  const Described r = DescribeAll(bytes);
  ASSERT_EQ(r.images.size(), 2u);
  EXPECT_EQ(r.images[0].type, PXC_IT_MAIN);
  EXPECT_EQ(r.images[0].columns, 160u);
  EXPECT_TRUE(r.images[1].embedded);
  EXPECT_EQ(r.images[1].type, PXC_IT_PREVIEW);  // 400x300
  EXPECT_EQ(r.images[1].embeddedOffset, jpegAt);
  EXPECT_EQ(r.images[1].embeddedLength, 17u);
}

TEST(TiffReader, ColourInterpretations) {
  struct Case {
    std::vector<B::Field> fields;
    PXC_TChannelEnc encoding;
    std::uint16_t inks;
    PXC_TAlphaPlane alpha;
  };
  const Case cases[] = {
      {{B::Short(262, {2}), B::Short(277, {4}), B::Short(338, {2})}, PXC_CE_RGB, 3, PXC_AP_UNASSOCIATED},
      {{B::Short(262, {2}), B::Short(277, {4})}, PXC_CE_RGB, 3, PXC_AP_UNSPECIFIED},
      {{B::Short(262, {1}), B::Short(277, {2}), B::Short(338, {0})}, PXC_CE_GRAY, 1, PXC_AP_UNSPECIFIED},
      {{B::Short(262, {3})}, PXC_CE_INDEXED, 1, PXC_AP_NONE},
      {{B::Short(262, {5}), B::Short(277, {4})}, PXC_CE_CMYK, 4, PXC_AP_NONE},
      {{B::Short(262, {5}), B::Short(277, {5}), B::Short(332, {1}), B::Short(338, {2})},
       PXC_CE_CMYK, 4, PXC_AP_UNASSOCIATED},
      {{B::Short(262, {6}), B::Short(277, {3})}, PXC_CE_YCBCR, 3, PXC_AP_NONE},
      {{B::Short(262, {8}), B::Short(277, {3})}, PXC_CE_LAB, 3, PXC_AP_NONE},
      {{B::Short(262, {32803})}, PXC_CE_RGB, 3, PXC_AP_NONE},
      {{B::Short(262, {4})}, PXC_CE_BILEVEL, 1, PXC_AP_NONE},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    B::Ifd ifd = {B::Long(256, {10}), B::Long(257, {10}), B::Short(258, {8})};
    ifd.insert(ifd.end(), cases[i].fields.begin(), cases[i].fields.end());
    B b;
    const Described r = DescribeAll(b.Build({ifd}));
    ASSERT_EQ(r.images.size(), 1u);
    EXPECT_EQ(r.images[0].channelEncoding, cases[i].encoding);
    EXPECT_EQ(r.images[0].inks, cases[i].inks);
    EXPECT_EQ(r.images[0].alphaPlane, cases[i].alpha);
  }
}

TEST(TiffReader, MultichannelInksAndNames) {
  B::Ifd ifd = {B::Long(256, {10}), B::Long(257, {10}), B::Short(262, {5}), B::Short(277, {3}),
                B::Short(332, {2}), B::Short(334, {3}),
                {333, 2, {}, std::string("PANTONE 185 C\0Black\0Varnish\0", 28)}};
  B b;
  const Described r = DescribeAll(b.Build({ifd}));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_MULTICHANNEL);
  EXPECT_EQ(r.images[0].inks, 3);
  EXPECT_EQ(r.images[0].inkNames, (std::vector<std::string>{"PANTONE 185 C", "Black", "Varnish"}));
}

TEST(TiffReader, ResolutionUnitsAndOrientations) {
  struct Case {
    std::vector<B::Field> fields;
    double dpi;
  };
  const Case cases[] = {
      {{B::Rational(282, 300, 1), B::Rational(283, 300, 1)}, 300},               // unit absent: inch
      {{B::Rational(282, 100, 1), B::Rational(283, 100, 1), B::Short(296, {3})}, 254},  // cm
      {{B::Rational(282, 72, 1), B::Rational(283, 72, 1), B::Short(296, {1})}, 0},      // none
      {{B::Rational(282, 72, 0), B::Rational(283, 72, 0)}, 0},  // zero denominator
  };
  for (const Case& c : cases) {
    B::Ifd ifd = B::Image(254, 127);
    ifd.insert(ifd.end(), c.fields.begin(), c.fields.end());
    B b;
    const Described r = DescribeAll(b.Build({ifd}));
    ASSERT_EQ(r.images.size(), 1u);
    EXPECT_NEAR(r.images[0].hResolution, c.dpi, 1e-9);
    EXPECT_EQ(r.images[0].units, c.dpi > 0 ? PXC_MU_INCH : PXC_MU_NONE);
    if (c.dpi > 0) {
      EXPECT_NEAR(r.images[0].hRealSize, 254 / c.dpi, 1e-9);
    }
  }
  const PXC_TImageRotation rotations[] = {PXC_IR_NONE,   PXC_IR_NONE,       PXC_IR_MIRROR,
                                          PXC_IR_180,    PXC_IR_MIRROR_180, PXC_IR_MIRROR_270,
                                          PXC_IR_90,     PXC_IR_MIRROR_90,  PXC_IR_270,
                                          PXC_IR_NONE};
  for (std::uint32_t o = 0; o <= 9; ++o) {
    B::Ifd ifd = B::Image(4, 4);
    ifd.push_back(B::Short(274, {o}));
    B b;
    const Described r = DescribeAll(b.Build({ifd}));
    ASSERT_EQ(r.images.size(), 1u);
    EXPECT_EQ(r.images[0].rotation, rotations[o]) << o;
  }
}

TEST(TiffReader, RejectsOrSurvivesBrokenStructures) {
  B b;
  std::vector<std::uint32_t> at;
  // A chain whose last IFD points back to the first ends there.
  auto loop = b.Build({B::Image(10, 10), B::Image(5, 5)}, 8);
  EXPECT_EQ(DescribeAll(loop).images.size(), 2u);
  // A self-referencing IFD0.
  auto self = b.Build({B::Image(10, 10)}, 8);
  EXPECT_EQ(DescribeAll(self).images.size(), 1u);

  auto good = b.Build({B::Image(10, 10)}, 0, &at);
  // Absurd entry count.
  auto huge = good;
  huge[8] = 0xFF;
  huge[9] = 0xFF;
  EXPECT_FALSE(DescribeAll(huge).opened);
  // IFD offset past the end, wrong version, truncation inside the IFD.
  auto far = good;
  far[7] = 0x7F;
  EXPECT_FALSE(DescribeAll(far).opened);
  auto version = good;
  version[2] = 41;
  EXPECT_FALSE(DescribeAll(version).opened);
  EXPECT_FALSE(DescribeAll({good.begin(), good.begin() + 30}).opened);
  EXPECT_FALSE(DescribeAll({good.begin(), good.begin() + 7}).opened);
  // An IFD without image size is not an image.
  EXPECT_FALSE(DescribeAll(b.Build({{B::Short(262, {2})}})).opened);
  // A value offset beyond the end leaves the field unread, not the file.
  B::Ifd bad = B::Image(10, 10);
  bad.push_back(B::Rational(282, 300, 1));
  auto badValue = b.Build({bad});
  badValue.resize(badValue.size() - 8);  // the rational lived at the end
  const Described r = DescribeAll(badValue);
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].units, PXC_MU_NONE);
}

TEST(TiffReader, AcceptsRawHeaderVariants) {
  B b;
  const auto base = b.Build({B::Image(12, 8)});
  for (const char* magic : {"IIRO", "IIRS", "IIU\0"}) {
    auto bytes = base;
    std::copy(magic, magic + 4, bytes.begin());
    const Described r = DescribeAll(bytes);
    ASSERT_TRUE(r.opened) << magic;
    EXPECT_EQ(r.images[0].format, "");
  }
}

}  // namespace
}  // namespace imr::formats
