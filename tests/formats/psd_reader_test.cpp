#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/psd/psd_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

Described DescribeAll(const Bytes& bytes, std::uint32_t limit = 64) {
  return test::DescribeAll(MakePsdReader, bytes, limit);
}

void PutBE(Bytes& b, std::uint64_t v, int n) {
  for (int i = n - 1; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutText(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

// Builds a document section by section; pixel data is left out.
struct PsdBuilder {
  std::uint16_t version = 1, channels = 3, depth = 8, mode = 3;
  std::uint32_t rows = 4, columns = 6;
  std::vector<std::pair<std::uint16_t, Bytes>> resources;
  Bytes layerSection;  // without its length
  std::uint16_t compression = 1;

  void AddResource(std::uint16_t id, const Bytes& data) { resources.emplace_back(id, data); }
  void SetLayerCount(std::int16_t count) {
    layerSection.clear();
    const int n = version == 2 ? 8 : 4;
    PutBE(layerSection, 2, n);
    PutBE(layerSection, static_cast<std::uint16_t>(count), 2);
    PutBE(layerSection, 0, 4);  // global layer mask info
  }

  Bytes Build() const {
    Bytes b;
    PutText(b, "8BPS");
    PutBE(b, version, 2);
    PutBE(b, 0, 6);
    PutBE(b, channels, 2);
    PutBE(b, rows, 4);
    PutBE(b, columns, 4);
    PutBE(b, depth, 2);
    PutBE(b, mode, 2);
    PutBE(b, 0, 4);  // colour mode data
    Bytes res;
    for (const auto& [id, data] : resources) {
      PutText(res, "8BIM");
      PutBE(res, id, 2);
      PutBE(res, 0, 2);  // empty name, padded
      PutBE(res, data.size(), 4);
      res.insert(res.end(), data.begin(), data.end());
      if (data.size() % 2) res.push_back(0);
    }
    PutBE(b, res.size(), 4);
    b.insert(b.end(), res.begin(), res.end());
    PutBE(b, layerSection.size(), version == 2 ? 8 : 4);
    b.insert(b.end(), layerSection.begin(), layerSection.end());
    PutBE(b, compression, 2);
    return b;
  }
};

Bytes UnicodeNames(const std::vector<std::string>& names) {
  Bytes b;
  for (const std::string& name : names) {
    PutBE(b, name.size() + 1, 4);
    for (char c : name) PutBE(b, static_cast<std::uint8_t>(c), 2);
    PutBE(b, 0, 2);
  }
  return b;
}

// Display info records of 13 bytes after a version; kind at byte 12.
Bytes DisplayInfo(const std::vector<std::uint8_t>& kinds) {
  Bytes b;
  PutBE(b, 1, 4);
  for (std::uint8_t kind : kinds) {
    b.insert(b.end(), 12, 0);
    b.push_back(kind);
  }
  return b;
}

TEST(PsdReader, AgreesWithIdentifyOnSamples) {
  struct Case {
    const char* file;
    std::uint32_t columns, rows;
    double dpi;
    PXC_TChannelEnc encoding;
    std::uint16_t inks;
    PXC_TAlphaPlane alpha;
    const char* bits;
    const char* compression;
    const char* layers;  // identify counts the merged image and each layer
  };
  const Case cases[] = {
      {"rgb8.psd", 30, 20, 150, PXC_CE_RGB, 3, PXC_AP_NONE, "8", "None", "1"},
      {"rgb8_ppcm.psd", 30, 20, 127, PXC_CE_RGB, 3, PXC_AP_NONE, "8", "None", "1"},
      {"layers.psd", 40, 24, 72, PXC_CE_GRAY, 1, PXC_AP_NONE, "8", "RLE", "2"},
      {"cmyk16.psd", 16, 12, 0, PXC_CE_CMYK, 4, PXC_AP_NONE, "16", "None", "1"},
      {"gray_alpha.psd", 16, 12, 0, PXC_CE_GRAY, 1, PXC_AP_UNSPECIFIED, "8", "None", "1"},
      {"bitmap.psd", 17, 9, 0, PXC_CE_BILEVEL, 1, PXC_AP_NONE, "1", "None", "1"},
      {"rgb.psb", 20, 10, 0, PXC_CE_RGB, 3, PXC_AP_NONE, "8", "None", "1"},
      {"raw_icc.psd", 12, 8, 0, PXC_CE_RGB, 3, PXC_AP_NONE, "8", "None", "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const Described r = DescribeAll(ReadBytes(std::string(IMR_TEST_DATA "/formats/psd/") + c.file));
    ASSERT_TRUE(r.opened);
    ASSERT_EQ(r.images.size(), 1u);
    const ImageDescription& d = r.images[0];
    EXPECT_EQ(d.columns, c.columns);
    EXPECT_EQ(d.rows, c.rows);
    if (c.dpi == 0) {
      // identify shows 1/65536: the writer's placeholder for "none".
      EXPECT_EQ(d.units, PXC_MU_NONE);
    } else {
      EXPECT_EQ(d.units, PXC_MU_INCH);
      EXPECT_NEAR(d.hResolution, c.dpi, 0.001);
      EXPECT_NEAR(d.vRealSize, c.rows / c.dpi, 1e-6);
    }
    EXPECT_EQ(d.channelEncoding, c.encoding);
    EXPECT_EQ(d.inks, c.inks);
    EXPECT_EQ(d.alphaPlane, c.alpha);
    EXPECT_EQ(Detail(d, "BitsPerSample"), c.bits);
    EXPECT_EQ(Detail(d, "Compression"), c.compression);
    EXPECT_EQ(Detail(d, "Layers"), c.layers);
  }
  const Described psb = DescribeAll(ReadBytes(IMR_TEST_DATA "/formats/psd/rgb.psb"));
  EXPECT_EQ(psb.images[0].format, "PSB");
  EXPECT_EQ(psb.images[0].version, "2");
  const Described icc = DescribeAll(ReadBytes(IMR_TEST_DATA "/formats/psd/raw_icc.psd"));
  EXPECT_EQ(Detail(icc.images[0], "ColorProfile"), "sRGB built-in");
}

TEST(PsdReader, CorpusFileAgreesWithIdentify) {
  // identify: PSD 8 8, 72 ppi, one image; resources hold EXIF, XMP, ICC.
  const Described r = DescribeAll(ReadBytes(IMR_CORPUS "/exiftool/Photoshop.psd"));
  ASSERT_TRUE(r.opened);
  ASSERT_EQ(r.images.size(), 1u);
  const ImageDescription& d = r.images[0];
  EXPECT_EQ(d.columns, 8u);
  EXPECT_EQ(d.rows, 8u);
  EXPECT_NEAR(d.hResolution, 72, 0.001);
  EXPECT_EQ(d.channelEncoding, PXC_CE_RGB);
  EXPECT_EQ(d.format, "");
  EXPECT_EQ(Detail(d, "Exif"), "yes");
  EXPECT_EQ(Detail(d, "XMP"), "yes");
  EXPECT_EQ(Detail(d, "Compression"), "RLE");
  EXPECT_EQ(Detail(d, "Layers"), "");
  EXPECT_EQ(Detail(d, "ColorProfile"), "Apple RGB");
  EXPECT_EQ(Detail(d, "Software"), "Adobe Photoshop");
}

TEST(PsdReader, SplitsExtraChannelsIntoSpotInksAndAlpha) {
  PsdBuilder b;
  b.mode = 4;
  b.channels = 7;  // CMYK, a spot colour, an alpha, another spot colour
  b.AddResource(0x0415, UnicodeNames({"PANTONE 185 C", "Mask", "Varnish"}));
  b.AddResource(0x0435, DisplayInfo({2, 0, 2}));
  const Described r = DescribeAll(b.Build());
  ASSERT_EQ(r.images.size(), 1u);
  const ImageDescription& d = r.images[0];
  EXPECT_EQ(d.inks, 6);
  EXPECT_EQ(d.alphaPlane, PXC_AP_UNSPECIFIED);
  EXPECT_EQ(d.inkNames, (std::vector<std::string>{"Cyan", "Magenta", "Yellow", "Black",
                                                  "PANTONE 185 C", "Varnish"}));

  // Without display info every extra channel counts as alpha; Pascal names
  // alone do not make inks.
  PsdBuilder plain;
  plain.channels = 4;
  Bytes pascal = {5, 'A', 'l', 'p', 'h', 'a'};
  plain.AddResource(0x03EE, pascal);
  const Described p = DescribeAll(plain.Build());
  EXPECT_EQ(p.images[0].inks, 3);
  EXPECT_TRUE(p.images[0].inkNames.empty());
  EXPECT_EQ(p.images[0].alphaPlane, PXC_AP_UNSPECIFIED);

  // Multichannel: every channel is an ink with its name.
  PsdBuilder multi;
  multi.mode = 7;
  multi.channels = 2;
  multi.AddResource(0x03EE, Bytes{3, 'O', 'n', 'e', 3, 'T', 'w', 'o'});
  const Described m = DescribeAll(multi.Build());
  EXPECT_EQ(m.images[0].channelEncoding, PXC_CE_MULTICHANNEL);
  EXPECT_EQ(m.images[0].inks, 2);
  EXPECT_EQ(m.images[0].inkNames, (std::vector<std::string>{"One", "Two"}));
  EXPECT_EQ(m.images[0].alphaPlane, PXC_AP_NONE);
}

TEST(PsdReader, ReportsJpegThumbnailAsEmbeddedImage) {
  PsdBuilder b;
  Bytes thumb;
  PutBE(thumb, 1, 4);    // JPEG
  PutBE(thumb, 160, 4);  // width
  PutBE(thumb, 120, 4);  // height
  PutBE(thumb, 480, 4);  // bytes per row
  PutBE(thumb, 57600, 4);
  PutBE(thumb, 6, 4);    // compressed size
  PutBE(thumb, 24, 2);
  PutBE(thumb, 1, 2);
  const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xD9, 0, 0, 0, 0};
  thumb.insert(thumb.end(), jpeg.begin(), jpeg.end());
  b.AddResource(0x03ED, Bytes{0, 0x2C, 0, 0, 0, 1, 0, 1, 0, 0x2C, 0, 0, 0, 1, 0, 1});
  b.AddResource(0x040C, thumb);
  b.SetLayerCount(-3);  // negative: the first alpha holds merged transparency
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
  Bytes placeholder(thumb.begin(), thumb.begin() + 28);
  const std::string text = "<thumbnail>";
  placeholder.insert(placeholder.end(), text.begin(), text.end());
  stub.AddResource(0x040C, placeholder);
  EXPECT_EQ(DescribeAll(stub.Build()).images.size(), 1u);
}

TEST(PsdReader, CountsLayersOfDeepDocumentsInTaggedBlocks) {
  for (std::uint16_t version : {1, 2}) {
    SCOPED_TRACE(version);
    PsdBuilder b;
    b.version = version;
    b.depth = 16;
    const int n = version == 2 ? 8 : 4;
    PutBE(b.layerSection, 0, n);  // empty layer info
    PutBE(b.layerSection, 0, 4);  // global layer mask info
    PutText(b.layerSection, "8BIMLr16");
    PutBE(b.layerSection, 4, n);  // PSB widens this length
    PutBE(b.layerSection, 5, 2);
    PutBE(b.layerSection, 0, 2);
    const Described r = DescribeAll(b.Build());
    ASSERT_EQ(r.images.size(), 1u);
    EXPECT_EQ(Detail(r.images[0], "Layers"), "5");
  }
}

TEST(PsdReader, RefusesBadHeadersAndSurvivesTruncation) {
  const auto opens = [](const PsdBuilder& b) { return DescribeAll(b.Build()).opened; };
  PsdBuilder good;
  EXPECT_TRUE(opens(good));
  PsdBuilder b = good;
  b.version = 3;
  EXPECT_FALSE(opens(b));
  b = good;
  b.channels = 0;
  EXPECT_FALSE(opens(b));
  b.channels = 57;
  EXPECT_FALSE(opens(b));
  b = good;
  b.depth = 7;
  EXPECT_FALSE(opens(b));
  b = good;
  b.mode = 5;
  EXPECT_FALSE(opens(b));
  b = good;
  b.rows = 0;
  EXPECT_FALSE(opens(b));
  b = good;
  b.columns = 30001;  // only PSB goes past 30000
  EXPECT_FALSE(opens(b));
  b.version = 2;
  EXPECT_TRUE(opens(b));

  // A file cut inside its resources still describes its header.
  PsdBuilder withResources;
  withResources.AddResource(0x0424, Bytes(100, 'x'));
  Bytes cut = withResources.Build();
  cut.resize(60);
  const Described r = DescribeAll(cut);
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].columns, 6u);
  EXPECT_EQ(Detail(r.images[0], "Compression"), "");
  EXPECT_EQ(Detail(r.images[0], "XMP"), "");
  Bytes header = good.Build();
  header.resize(20);
  EXPECT_FALSE(DescribeAll(header).opened);
}

}  // namespace
}  // namespace imr::formats
