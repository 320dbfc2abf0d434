#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/xcf/xcf_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

Described DescribeAll(const Bytes& bytes) { return test::DescribeAll(MakeXcfReader, bytes); }

// Header, properties and PROP_END, then layer pointers.
struct XcfBuilder {
  std::string tag = "v003";
  std::uint32_t width = 5, height = 4, base = 0, precision = 150;
  std::string properties;
  std::vector<std::uint64_t> layers;

  void Add(std::uint32_t type, const std::string& payload) {
    properties += Be32(type) + Be32(payload.size()) + payload;
  }
  Bytes Build() const {
    const int version = std::atoi(tag.c_str() + 1);
    const auto pointer = [&](std::uint64_t p) { return version >= 11 ? Be64(p) : Be32(static_cast<std::uint32_t>(p)); };
    std::string b = "gimp xcf " + tag + '\0' + Be32(width) + Be32(height) + Be32(base) +
                    (version >= 4 ? Be32(precision) : "") + properties + Be32(0) + Be32(0);
    for (std::uint64_t layer : layers) b += pointer(layer);
    return ToBytes(b + pointer(0) + pointer(0) + std::string(64, '\0'));  // room the pointers point into
  }
};

std::string Parasite(const std::string& name, const std::string& data) {
  return Be32(name.size() + 1) + name + '\0' + Be32(1) + Be32(data.size()) + data;
}

// identify (given the tile padding it expects) counts one image per layer
// and ignores the stated resolution, which we report.
TEST(XcfReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeXcfReader, {
      {IMR_CORPUS "/exiftool/GIMP.xcf", 8, 8, 72, 1, PXC_CE_RGB, PXC_AP_NONE,
       "version=0|Compression=RLE|ColorProfile=Nikon Adobe RGB 4.0.0.3000|Exif=yes|XMP=yes|Layers=1"},
      {"xcf/two_layers_v0.xcf", 16, 12, -1, 1, PXC_CE_RGB, PXC_AP_NONE,
       "version=0|BitsPerSample=8|Compression=None|Layers=2"},
      {"xcf/gray_v3.xcf", 10, 7, 0, 1, PXC_CE_GRAY, PXC_AP_NONE, "version=3|Compression=None|Layers=1"},
      {"xcf/float_v11.xcf", 9, 5, 0, 1, PXC_CE_RGB, PXC_AP_NONE,
       "version=11|BitsPerSample=32|Compression=None|Layers=3|"
       "Precision=32-bit float non-linear"},
  });
  const Described r = DescribeAll(ReadBytes(IMR_TEST_DATA "/formats/xcf/two_layers_v0.xcf"));
  EXPECT_EQ(r.images.at(0).hResolution, 300);  // different in each direction
  EXPECT_EQ(r.images[0].vResolution, 150);
  EXPECT_NEAR(r.images[0].vRealSize, 12 / 150.0, 1e-9);
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
  b.Add(19, Be32(std::bit_cast<std::uint32_t>(-5.0f)) + Be32(std::bit_cast<std::uint32_t>(72.0f)));  // unusable
  b.Add(21, Parasite("gimp-comment", "hello") +
                Parasite("gimp-image-metadata", "<metadata><tag name=\"Exif.Image.Make\">X</tag></metadata>"));
  b.layers = {40, 50, 1u << 30, 60};  // the third points outside the file
  Described r = DescribeAll(b.Build());
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].units, PXC_MU_NONE);
  Check(r.images, "encoding=Indexed|Exif=yes|XMP=|Layers=2");

  // A property longer than the file ends the walk; no layer count follows.
  XcfBuilder cut;
  cut.Add(17, "\x01");
  Bytes bytes = cut.Build();
  bytes[14 + 12 + 4 + 3] = 0xFF;  // length of the first property
  r = DescribeAll(bytes);
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "Layers=|Compression=");
  // Parasite sizes past the property's end are not followed.
  XcfBuilder parasite;
  std::string p = Parasite("icc-profile", "xx");
  p[p.size() - 3] = 0x7F;
  parasite.Add(21, p);
  r = DescribeAll(parasite.Build());
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(Detail(r.images[0], "ColorProfile"), "");
}

TEST(XcfReader, RefusesBadHeaders) {
  const auto opens = [](void (*change)(XcfBuilder&)) {
    XcfBuilder b;
    change(b);
    return DescribeAll(b.Build()).opened;
  };
  EXPECT_TRUE(opens([](XcfBuilder&) {}));
  EXPECT_FALSE(opens([](XcfBuilder& b) { b.tag = "vABC"; }));
  EXPECT_FALSE(opens([](XcfBuilder& b) { b.tag = "fil3"; }));
  EXPECT_FALSE(opens([](XcfBuilder& b) { b.width = 0; }));
  EXPECT_FALSE(opens([](XcfBuilder& b) { b.height = 600000; }));
  EXPECT_FALSE(opens([](XcfBuilder& b) { b.base = 3; }));
  Bytes header = XcfBuilder().Build();
  header.resize(20);
  EXPECT_FALSE(DescribeAll(header).opened);
}

}  // namespace
}  // namespace imr::formats
