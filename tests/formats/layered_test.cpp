// The layered-document readers: Photoshop PSD/PSB and GIMP XCF.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/layered/ora_reader.h"
#include "formats/layered/psd_reader.h"
#include "formats/layered/psp_reader.h"
#include "formats/layered/xcf_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;
using namespace std::string_literals;

namespace psd {

Described DescribeAll(const Bytes& bytes) { return test::DescribeAll(MakePsdReader, bytes); }

// Builds a document section by section; pixel data is left out.
struct PsdBuilder {
  std::uint16_t version = 1, channels = 3, depth = 8, mode = 3;
  std::uint32_t rows = 4, columns = 6;
  std::string resources, layerSection;  // without their lengths

  void AddResource(std::uint16_t id, const std::string& data) {  // with an empty name
    resources += "8BIM" + Be16(id) + Be16(0) + Be32(data.size()) + data + std::string(data.size() % 2, '\0');
  }
  std::string Wide(std::uint32_t v) const { return version == 2 ? Be64(v) : Be32(v); }  // PSB widens some lengths
  Bytes Build() const {
    return ToBytes("8BPS" + Be16(version) + std::string(6, '\0') + Be16(channels) + Be32(rows) + Be32(columns) +
                   Be16(depth) + Be16(mode) + Be32(0) + Be32(resources.size()) + resources +
                   Wide(layerSection.size()) + layerSection + Be16(1));
  }
};

std::string UnicodeNames(const std::vector<std::string>& names) {
  std::string b;
  for (const std::string& name : names) {
    b += Be32(name.size() + 1);
    for (char c : name) b += Be16(static_cast<std::uint8_t>(c));
    b += Be16(0);
  }
  return b;
}

// identify counts the merged image and each layer; it shows 1/65536 dpi,
// the writer's placeholder for none, where we report none.
TEST(PsdReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakePsdReader, {
      {"layered/rgb8.psd", 30, 20, 150, 1, PXC_CE_RGB, PXC_AP_NONE, "inks=3|BitsPerSample=8|Compression=None|Layers=1"},
      {"layered/rgb8_ppcm.psd", 30, 20, 127, 1, PXC_CE_RGB, PXC_AP_NONE, "Layers=1"},
      {"layered/layers.psd", 40, 24, 72, 1, PXC_CE_GRAY, PXC_AP_NONE, "inks=1|Compression=RLE|Layers=2"},
      {"layered/cmyk16.psd", 16, 12, 0, 1, PXC_CE_CMYK, PXC_AP_NONE, "inks=4|BitsPerSample=16"},
      {"layered/gray_alpha.psd", 16, 12, 0, 1, PXC_CE_GRAY, PXC_AP_UNSPECIFIED, "inks=1|BitsPerSample=8"},
      {"layered/bitmap.psd", 17, 9, 0, 1, PXC_CE_BILEVEL, PXC_AP_NONE, "BitsPerSample=1|Compression=None"},
      {"layered/rgb.psb", 20, 10, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "format=PSB|version=2|Layers=1"},
      {"layered/raw_icc.psd", 12, 8, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "ColorProfile=sRGB built-in"},
      // resources hold EXIF, XMP and a profile
      {IMR_CORPUS "/exiftool/Photoshop.psd", 8, 8, 72, 1, PXC_CE_RGB, PXC_AP_NONE,
       "format=|Exif=yes|XMP=yes|Compression=RLE|Layers=|ColorProfile=Apple RGB|Software=Adobe Photoshop"},
  });
}

TEST(PsdReader, SplitsExtraChannelsIntoSpotInksAndAlpha) {
  PsdBuilder b;
  b.mode = 4;
  b.channels = 7;  // CMYK, a spot colour, an alpha, another spot colour
  b.AddResource(0x0415, UnicodeNames({"PANTONE 185 C", "Mask", "Varnish"}));
  std::string display = Be32(1);  // display info: a version, then records of 13 bytes, the kind last
  for (char kind : {2, 0, 2}) display += std::string(12, '\0') + kind;
  b.AddResource(0x0435, display);
  Described r = DescribeAll(b.Build());
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "inks=6|alpha=Unspecified|inkNames=Cyan,Magenta,Yellow,Black,PANTONE 185 C,Varnish");

  // Without display info every extra channel counts as alpha; Pascal names
  // alone do not make inks.
  PsdBuilder plain;
  plain.channels = 4;
  plain.AddResource(0x03EE, "\x05" "Alpha");
  r = DescribeAll(plain.Build());
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "inks=3|inkNames=|alpha=Unspecified");

  // Multichannel: every channel is an ink with its name.
  PsdBuilder multi;
  multi.mode = 7;
  multi.channels = 2;
  multi.AddResource(0x03EE, "\x03One\x03Two");
  r = DescribeAll(multi.Build());
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "encoding=Multichannel|inks=2|inkNames=One,Two|alpha=None");
}

TEST(PsdReader, ReportsJpegThumbnailAsEmbeddedImage) {
  // JPEG format, 160 x 120, row bytes, total and compressed sizes, 24 bits, 1 plane.
  const std::string head = Be32(1) + Be32(160) + Be32(120) + Be32(480) + Be32(57600) + Be32(6) + Be16(24) + Be16(1);
  PsdBuilder b;
  b.AddResource(0x03ED, Be32(44 << 16) + Be16(1) + Be16(1) + Be32(44 << 16) + Be16(1) + Be16(1));  // 44 dpi
  b.AddResource(0x040C, head + "\xFF\xD8\xFF\xD9"s + std::string(4, '\0'));
  b.layerSection = Be32(2) + Be16(static_cast<std::uint16_t>(-3)) + Be32(0);  // negative: merged transparency
  const Bytes file = b.Build();
  const Described r = DescribeAll(file);
  ASSERT_EQ(r.images.size(), 2u);
  EXPECT_NEAR(r.images[0].hResolution, 44, 1e-9);
  EXPECT_EQ(Detail(r.images[0], "Layers"), "3");
  const ImageDescription& t = r.images[1];
  EXPECT_TRUE(t.embedded);
  EXPECT_EQ(t.type, PXC_IT_THUMBNAIL);
  EXPECT_EQ(t.embeddedLength, 6u);
  ASSERT_LT(t.embeddedOffset + 1, file.size());
  EXPECT_EQ(file[t.embeddedOffset], 0xFF);
  EXPECT_EQ(file[t.embeddedOffset + 1], 0xD8);

  // A JPEG thumbnail resource whose data is no JFIF stream is left out.
  PsdBuilder stub;
  stub.AddResource(0x040C, head + "<thumbnail>");
  EXPECT_EQ(DescribeAll(stub.Build()).images.size(), 1u);
}

TEST(PsdReader, CountsLayersOfDeepDocumentsInTaggedBlocks) {
  for (std::uint16_t version : {1, 2}) {
    SCOPED_TRACE(version);
    PsdBuilder b;
    b.version = version;
    b.depth = 16;
    // empty layer info, global layer mask info, then a tagged block of 5 layers
    b.layerSection = b.Wide(0) + Be32(0) + "8BIMLr16" + b.Wide(4) + Be16(5) + Be16(0);
    const Described r = DescribeAll(b.Build());
    ASSERT_EQ(r.images.size(), 1u);
    EXPECT_EQ(Detail(r.images[0], "Layers"), "5");
  }
}

TEST(PsdReader, RefusesBadHeadersAndSurvivesTruncation) {
  const auto opens = [](void (*change)(PsdBuilder&)) {
    PsdBuilder b;
    change(b);
    return DescribeAll(b.Build()).opened;
  };
  EXPECT_TRUE(opens([](PsdBuilder&) {}));
  EXPECT_FALSE(opens([](PsdBuilder& b) { b.version = 3; }));
  EXPECT_FALSE(opens([](PsdBuilder& b) { b.channels = 57; }));
  EXPECT_FALSE(opens([](PsdBuilder& b) { b.depth = 7; }));
  EXPECT_FALSE(opens([](PsdBuilder& b) { b.mode = 5; }));
  EXPECT_FALSE(opens([](PsdBuilder& b) { b.columns = 30001; }));  // only PSB goes past 30000
  EXPECT_TRUE(opens([](PsdBuilder& b) { b.columns = 30001, b.version = 2; }));

  // A file cut inside its resources still describes its header; one cut
  // inside the header is refused.
  PsdBuilder withResources;
  withResources.AddResource(0x0424, std::string(100, 'x'));
  Bytes cut = withResources.Build();
  cut.resize(60);
  const Described r = DescribeAll(cut);
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "columns=6|Compression=|XMP=");
  cut.resize(20);
  EXPECT_FALSE(DescribeAll(cut).opened);
  EXPECT_EQ(Refusal(MakePsdReader, cut), "the file ends inside the header");
  PsdBuilder mode;
  mode.mode = 5;
  EXPECT_EQ(Refusal(MakePsdReader, mode.Build()), "colour mode 5 is not known");
}

}  // namespace psd

namespace xcf {

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
      {"layered/two_layers_v0.xcf", 16, 12, -1, 1, PXC_CE_RGB, PXC_AP_NONE,
       "version=0|BitsPerSample=8|Compression=None|Layers=2"},
      {"layered/gray_v3.xcf", 10, 7, 0, 1, PXC_CE_GRAY, PXC_AP_NONE, "version=3|Compression=None|Layers=1"},
      {"layered/float_v11.xcf", 9, 5, 0, 1, PXC_CE_RGB, PXC_AP_NONE,
       "version=11|BitsPerSample=32|Compression=None|Layers=3|"
       "Precision=32-bit float non-linear"},
  });
  const Described r = DescribeAll(ReadBytes(IMR_TEST_DATA "/formats/layered/two_layers_v0.xcf"));
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
  XcfBuilder tag;
  tag.tag = "vABC";
  EXPECT_EQ(Refusal(MakeXcfReader, tag.Build()), "the version tag 'vABC' is not valid");
  EXPECT_EQ(Refusal(MakeXcfReader, header), "the file ends inside the header");
}

}  // namespace xcf

namespace psp {

// Paint Shop Pro 6 and later: a block header of 10 bytes, then the chunk's
// own length; Paint Shop Pro 5 (major 3): an initial length in the block
// header and no chunk length.
Bytes Psp(std::uint16_t major, std::uint32_t width, double resolution, std::uint8_t metric, std::uint16_t depth,
          std::uint8_t grey, std::uint32_t contents = 0) {
  std::uint64_t bits;
  std::memcpy(&bits, &resolution, 8);
  std::string fields = Le32(width) + Le32(20) + Le32(static_cast<std::uint32_t>(bits)) +
                       Le32(static_cast<std::uint32_t>(bits >> 32)) + char(metric) + Le16(1) + Le16(depth) + Le16(1) +
                       Le32(256) + char(grey) + Le32(0) + Le32(0) + Le16(3);
  if (major >= 4) fields = Le32(46) + fields + Le32(contents);
  const std::string block = "~BK\0"s + Le16(0) + (major >= 4 ? "" : Le32(fields.size())) + Le32(fields.size());
  return ToBytes("Paint Shop Pro Image File\n\x1A\0\0\0\0\0"s + Le16(major) + Le16(0) + block + fields);
}

TEST(PspReader, GeneralImageAttributes) {
  // exiftool: version 10.0, 8 x 8, 200 dpi, LZ77, 24 bits
  CheckSamples(MakePspReader, {
      {IMR_CORPUS "/exiftool/PSP.psp", 8, 8, 200, 1, PXC_CE_RGB, PXC_AP_NONE,
       "version=10.0|inks=3|Compression=LZ77|BitsPerSample=8|Layers=1"},
  });
  struct Case {
    Bytes bytes;
    double dpi;
    const char* checks;
  };
  const Case cases[] = {
      {Psp(5, 30, 40, 2, 8, 1, 0x10), 40 * 2.54, "version=5.0|encoding=Gray|alpha=Unspecified|BitsPerSample=8|Layers=3"},
      {Psp(3, 30, 300, 1, 4, 0), 300, "version=3.0|encoding=Indexed|inks=1|BitsPerSample=4|Compression=RLE"},
      {Psp(4, 30, 72, 0, 48, 0), 0, "encoding=RGB|BitsPerSample=16"},  // metric 0: no resolution
  };
  for (const Case& c : cases) {
    ImageDescription d;
    ASSERT_TRUE(DescribeSingle(MakePspReader, c.bytes, d));
    Check(d, std::string("columns=30|rows=20|") + c.checks);
    EXPECT_NEAR(d.hResolution, c.dpi, 1e-9);
  }
  EXPECT_EQ(Refusal(MakePspReader, Psp(10, 0, 72, 1, 24, 0)), "the image size 0 x 20 is out of range");
  EXPECT_EQ(Refusal(MakePspReader, Psp(10, 5, 72, 1, 16, 0)), "bit depth 16 is not valid");
  Bytes cut = Psp(10, 5, 72, 1, 24, 0);
  cut.resize(60);
  EXPECT_EQ(Refusal(MakePspReader, cut), "the general image attributes block is cut short");
  cut[38] = 1;
  EXPECT_EQ(Refusal(MakePspReader, cut), "the first block is not the general image attributes block");
}

}  // namespace psp

namespace ora {

// Written by make_ora.py as painting programs lay the archive out; identify
// has no OpenRaster coder.
TEST(OraReader, StackMergedImageAndThumbnail) {
  const std::string folder = IMR_TEST_DATA "/formats/layered/";
  CheckSamples(MakeOraReader, {
      {"layered/stored.ora", 40, 30, 150, 3, PXC_CE_RGB, PXC_AP_UNASSOCIATED,
       "version=0.0.5|Layers=2|1:type=Preview|2:type=Thumbnail"},
      {"layered/deflated.ora", 40, 30, 0, 3, PXC_CE_RGB, PXC_AP_UNASSOCIATED,
       "Layers=2|1:type=Preview|1:format=PNG|1:columns=40|1:rows=30|1:alpha=Unassociated|"
       "2:type=Thumbnail|2:columns=32|2:rows=24|2:alpha=None|2:BitsPerSample=8"},
  });
  // Stored PNG files are handed on as embedded images.
  const Bytes stored = ReadBytes(folder + "stored.ora");
  const Described r = DescribeAll(MakeOraReader, stored);
  ASSERT_EQ(r.images.size(), 3u);
  for (std::size_t i : {1, 2}) {
    ASSERT_TRUE(r.images[i].embedded);
    EXPECT_EQ(std::string(stored.begin() + r.images[i].embeddedOffset, stored.begin() + r.images[i].embeddedOffset + 4),
              "\x89PNG");
  }
}

TEST(OraReader, RefusesBrokenArchives) {
  Bytes bytes = ReadBytes(IMR_TEST_DATA "/formats/layered/stored.ora");
  Bytes noEnd = bytes;
  noEnd.resize(noEnd.size() - 22);
  EXPECT_EQ(Refusal(MakeOraReader, noEnd), "the archive has no end of central directory record");
  Bytes far = bytes;
  far[far.size() - 3] = 0x7F;  // the directory's offset, its top byte
  EXPECT_EQ(Refusal(MakeOraReader, far), "the central directory lies outside the archive");
  Bytes renamed = bytes;
  const std::string name = "stack.xml";
  for (auto at = std::search(renamed.begin() + 30, renamed.end(), name.begin(), name.end()); at != renamed.end();
       at = std::search(at + 1, renamed.end(), name.begin(), name.end())) {
    *at = 'S';
  }
  EXPECT_EQ(Refusal(MakeOraReader, renamed), "the archive has no stack.xml");
}

}  // namespace ora

// Damaged files kept in layered/regress.
TEST(LayeredReaders, DamagedFilesSayWhy) {
  CheckRegressionRefusals("layered", {
      {"ora_no_directory.ora", MakeOraReader, "the archive has no end of central directory record"},
      {"psp_cut_attributes.psp", MakePspReader, "the general image attributes block is cut short"},
  });
}

}  // namespace
}  // namespace imr::formats
