#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/xcf/xcf_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

Described DescribeAll(const Bytes& bytes, std::uint32_t limit = 64) {
  return test::DescribeAll(MakeXcfReader, bytes, limit);
}

void Put(Bytes& b, std::uint64_t v, int n = 4) {
  for (int i = n - 1; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutText(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

// Header, properties (type, payload) and PROP_END, then layer pointers.
struct XcfBuilder {
  std::string tag = "v003";
  std::uint32_t width = 5, height = 4, base = 0, precision = 150;
  std::vector<std::pair<std::uint32_t, Bytes>> properties;
  std::vector<std::uint64_t> layers;
  bool end = true;

  Bytes Build() const {
    Bytes b;
    PutText(b, "gimp xcf " + tag);
    b.push_back(0);
    Put(b, width);
    Put(b, height);
    Put(b, base);
    int version = 0;
    for (char c : tag.substr(1)) version = c >= '0' && c <= '9' ? version * 10 + (c - '0') : 0;
    if (version >= 4) Put(b, precision);
    for (const auto& [type, data] : properties) {
      Put(b, type);
      Put(b, data.size());
      b.insert(b.end(), data.begin(), data.end());
    }
    if (!end) return b;
    Put(b, 0);
    Put(b, 0);
    const int pointer = version >= 11 ? 8 : 4;
    for (std::uint64_t layer : layers) Put(b, layer, pointer);
    Put(b, 0, pointer);
    Put(b, 0, pointer);
    b.resize(b.size() + 64, 0);  // room the layer pointers point into
    return b;
  }
};

Bytes Floats(float x, float y) {
  Bytes b;
  Put(b, std::bit_cast<std::uint32_t>(x));
  Put(b, std::bit_cast<std::uint32_t>(y));
  return b;
}

Bytes Parasite(const std::string& name, const std::string& data) {
  Bytes b;
  Put(b, name.size() + 1);
  PutText(b, name);
  b.push_back(0);
  Put(b, 1);
  Put(b, data.size());
  PutText(b, data);
  return b;
}

TEST(XcfReader, CorpusFileAgreesWithIdentify) {
  // identify: XCF 8 8, 72 (its default, units undefined), one image for its
  // one layer.  The file states 72 ppi itself.
  const Described r = DescribeAll(ReadBytes(IMR_CORPUS "/exiftool/GIMP.xcf"));
  ASSERT_TRUE(r.opened);
  ASSERT_EQ(r.images.size(), 1u);
  const ImageDescription& d = r.images[0];
  EXPECT_EQ(d.version, "0");
  EXPECT_EQ(d.columns, 8u);
  EXPECT_EQ(d.rows, 8u);
  EXPECT_EQ(d.hResolution, 72);
  EXPECT_EQ(d.units, PXC_MU_INCH);
  EXPECT_EQ(d.channelEncoding, PXC_CE_RGB);
  EXPECT_EQ(Detail(d, "Compression"), "RLE");
  EXPECT_EQ(Detail(d, "ColorProfile"), "Nikon Adobe RGB 4.0.0.3000");
  EXPECT_EQ(Detail(d, "Exif"), "yes");
  EXPECT_EQ(Detail(d, "XMP"), "yes");
  EXPECT_EQ(Detail(d, "Layers"), "1");
}

TEST(XcfReader, ReadsGeneratedSamples) {
  // identify (given tile padding it expects) counts one image per layer
  // and ignores the stated resolution.
  struct Case {
    const char* file;
    const char* version;
    std::uint32_t columns, rows;
    double hRes, vRes;
    PXC_TChannelEnc encoding;
    const char* bits;
    const char* layers;
  };
  const Case cases[] = {
      {"two_layers_v0.xcf", "0", 16, 12, 300, 150, PXC_CE_RGB, "8", "2"},
      {"gray_v3.xcf", "3", 10, 7, 0, 0, PXC_CE_GRAY, "8", "1"},
      {"float_v11.xcf", "11", 9, 5, 0, 0, PXC_CE_RGB, "32", "3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const Described r = DescribeAll(ReadBytes(std::string(IMR_TEST_DATA "/formats/xcf/") + c.file));
    ASSERT_EQ(r.images.size(), 1u);
    const ImageDescription& d = r.images[0];
    EXPECT_EQ(d.version, c.version);
    EXPECT_EQ(d.columns, c.columns);
    EXPECT_EQ(d.rows, c.rows);
    EXPECT_EQ(d.hResolution, c.hRes);
    EXPECT_EQ(d.vResolution, c.vRes);
    if (c.hRes > 0) {
      EXPECT_NEAR(d.vRealSize, c.rows / c.vRes, 1e-9);
    }
    EXPECT_EQ(d.channelEncoding, c.encoding);
    EXPECT_EQ(Detail(d, "BitsPerSample"), c.bits);
    EXPECT_EQ(Detail(d, "Compression"), "None");
    EXPECT_EQ(Detail(d, "Layers"), c.layers);
  }
  const Described f = DescribeAll(ReadBytes(IMR_TEST_DATA "/formats/xcf/float_v11.xcf"));
  EXPECT_EQ(Detail(f.images[0], "Precision"), "32-bit float non-linear");
}

TEST(XcfReader, DecodesPrecisionByVersion) {
  struct Case {
    const char* tag;
    std::uint32_t code;
    const char* precision;  // empty: refused
  };
  const Case cases[] = {
      {"v004", 3, "16-bit float linear"},  {"v004", 5, ""},
      {"v005", 400, "16-bit float linear"}, {"v006", 550, "32-bit float non-linear"},
      {"v006", 600, ""},                    {"v007", 500, "16-bit float linear"},
      {"v012", 775, "64-bit float perceptual"}, {"v012", 425, ""},
      {"v012", 175, "8-bit integer perceptual"}, {"v006", 175, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tag) + " " + std::to_string(c.code));
    XcfBuilder b;
    b.tag = c.tag;
    b.precision = c.code;
    const Described r = DescribeAll(b.Build());
    ASSERT_EQ(r.opened, c.precision[0] != '\0');
    if (r.opened) {
      EXPECT_EQ(Detail(r.images[0], "Precision"), c.precision);
    }
  }
}

TEST(XcfReader, ReadsPropertiesDefensively) {
  XcfBuilder b;
  b.base = 2;
  b.properties.emplace_back(19, Floats(-5, 72));  // unusable resolution
  b.properties.emplace_back(21, [] {
    Bytes p = Parasite("gimp-comment", "hello");
    const Bytes m = Parasite("gimp-image-metadata",
                             "<metadata><tag name=\"Exif.Image.Make\">X</tag></metadata>");
    p.insert(p.end(), m.begin(), m.end());
    return p;
  }());
  b.layers = {40, 50, 1u << 30, 60};  // the third points outside the file
  Described r = DescribeAll(b.Build());
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_INDEXED);
  EXPECT_EQ(r.images[0].units, PXC_MU_NONE);
  EXPECT_EQ(Detail(r.images[0], "Exif"), "yes");
  EXPECT_EQ(Detail(r.images[0], "XMP"), "");
  EXPECT_EQ(Detail(r.images[0], "Layers"), "2");

  // A property longer than the file ends the walk; no layer count follows.
  XcfBuilder cut;
  cut.properties.emplace_back(17, Bytes{1});
  Bytes bytes = cut.Build();
  bytes[14 + 12 + 4 + 3] = 0xFF;  // length of the first property
  r = DescribeAll(bytes);
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(Detail(r.images[0], "Layers"), "");
  EXPECT_EQ(Detail(r.images[0], "Compression"), "");
  // Parasite sizes past the property's end are not followed.
  XcfBuilder parasite;
  Bytes p = Parasite("icc-profile", "xx");
  p[p.size() - 3] = 0x7F;
  parasite.properties.emplace_back(21, p);
  r = DescribeAll(parasite.Build());
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(Detail(r.images[0], "ColorProfile"), "");
}

TEST(XcfReader, RefusesBadHeaders) {
  const auto opens = [](const XcfBuilder& b) { return DescribeAll(b.Build()).opened; };
  XcfBuilder good;
  EXPECT_TRUE(opens(good));
  XcfBuilder b = good;
  b.tag = "vABC";
  EXPECT_FALSE(opens(b));
  b.tag = "fil3";
  EXPECT_FALSE(opens(b));
  b = good;
  b.width = 0;
  EXPECT_FALSE(opens(b));
  b = good;
  b.height = 600000;
  EXPECT_FALSE(opens(b));
  b = good;
  b.base = 3;
  EXPECT_FALSE(opens(b));
  Bytes header = good.Build();
  header.resize(20);
  EXPECT_FALSE(DescribeAll(header).opened);
}

}  // namespace
}  // namespace imr::formats
