#include "formats/heif/heif_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

// Every image of `bytes`; empty when the reader does not open them.
std::vector<ImageDescription> DescribeAll(const std::string& bytes) {
  return test::DescribeAll(MakeHeifReader, bytes).images;
}

std::string Box(const std::string& type, const std::string& content) {
  return Be32(static_cast<std::uint32_t>(8 + content.size())) + type + content;
}
std::string Full(const std::string& type, std::uint8_t version, const std::string& content) {
  return Box(type, std::string(1, static_cast<char>(version)) + std::string(3, '\0') + content);
}

// A minimal HEIF: item 1 of `type` with the given properties and associations.
std::string Heif(const std::string& brands, const std::string& type, const std::string& properties,
                 const std::string& associations, const std::string& references = "") {
  std::string infe = Full("infe", 2, Be16(1) + Be16(0) + type + std::string(1, '\0'));
  std::string meta = Full("pitm", 0, Be16(1)) + Full("iinf", 0, Be16(1) + infe) +
                     (references.empty() ? "" : Full("iref", 0, references)) +
                     Box("iprp", Box("ipco", properties) + Full("ipma", 0, Be32(1) + Be16(1) + associations));
  return Box("ftyp", brands.substr(0, 4) + Be32(0) + brands) + Full("meta", 0, meta);
}

std::string Ispe(std::uint32_t w, std::uint32_t h) { return Full("ispe", 0, Be32(w) + Be32(h)); }

TEST(HeifReader, SamplesAgreeWithIdentify) {
  const std::string data = std::string(IMR_TEST_DATA) + "/formats/heif/";
  struct Sample {
    const char* path;
    const char* format;
    std::uint32_t columns, rows;  // as coded; identify turns an irot image
    PXC_TImageRotation rotation;
    std::size_t images;           // identify counts 1; ours include thumbnails
  } samples[] = {
      {"im.heic", "HEIF", 64, 48, PXC_IR_NONE, 1},
      {"im.avif", "AVIF", 64, 48, PXC_IR_NONE, 1},
      {"rotated_thumb_alpha.heic", "HEIF", 640, 480, PXC_IR_MIRROR_90, 2},  // identify: 480 x 640
      {"avif_preview.avif", "AVIF", 1200, 800, PXC_IR_NONE, 2},
  };
  for (const Sample& sample : samples) {
    SCOPED_TRACE(sample.path);
    std::vector<ImageDescription> images = DescribeAll(ReadFile(data + sample.path));
    ASSERT_EQ(images.size(), sample.images);
    EXPECT_EQ(images[0].type, PXC_IT_MAIN);
    EXPECT_EQ(images[0].format, sample.format);
    EXPECT_EQ(images[0].columns, sample.columns);
    EXPECT_EQ(images[0].rows, sample.rows);
    EXPECT_EQ(images[0].rotation, sample.rotation);
    EXPECT_EQ(images[0].units, PXC_MU_NONE);  // identify: 72 72 Undefined
  }
  std::vector<ImageDescription> images = DescribeAll(ReadFile(std::string(IMR_CORPUS) + "/exiftool/QuickTime.heic"));
  if (images.empty()) GTEST_SKIP() << "no corpus";
  ASSERT_EQ(images.size(), 2u);
  EXPECT_EQ(images[0].format, "HEIF");
  EXPECT_EQ(images[0].columns, 1596u);
  EXPECT_EQ(images[0].rows, 1064u);
  EXPECT_EQ(images[0].channelEncoding, PXC_CE_YCBCR);
  EXPECT_EQ(Detail(images[0], "Compression"), "HEVC");
  EXPECT_EQ(Detail(images[0], "BitsPerSample"), "8");
  EXPECT_EQ(images[1].type, PXC_IT_PREVIEW);  // longer than 256
  EXPECT_EQ(images[1].columns, 320u);
  EXPECT_EQ(images[1].rows, 240u);
}

TEST(HeifReader, ReadsItemsPropertiesAndReferences) {
  const std::string data = std::string(IMR_TEST_DATA) + "/formats/heif/";
  std::vector<ImageDescription> images = DescribeAll(ReadFile(data + "rotated_thumb_alpha.heic"));
  ASSERT_EQ(images.size(), 2u);
  const ImageDescription& main = images[0];
  // a quarter turn anticlockwise, then mirrored left to right
  EXPECT_EQ(main.rotation, PXC_IR_MIRROR_90);
  EXPECT_EQ(main.alphaPlane, PXC_AP_ASSOCIATED);
  EXPECT_EQ(Detail(main, "ColorProfile"), "Artifex Software A98 ICC Profile");
  EXPECT_EQ(Detail(main, "Exif"), "yes");
  EXPECT_EQ(Detail(main, "XMP"), "yes");
  EXPECT_EQ(images[1].type, PXC_IT_THUMBNAIL);
  EXPECT_EQ(images[1].columns, 160u);
  EXPECT_EQ(images[1].rotation, PXC_IR_NONE);

  images = DescribeAll(ReadFile(data + "avif_preview.avif"));
  ASSERT_EQ(images.size(), 2u);
  EXPECT_EQ(images[0].channelEncoding, PXC_CE_RGB);  // identity matrix
  EXPECT_EQ(Detail(images[0], "Compression"), "AV1");
  EXPECT_EQ(Detail(images[0], "BitsPerSample"), "10");
  EXPECT_EQ(images[0].alphaPlane, PXC_AP_NONE);
  EXPECT_EQ(images[1].type, PXC_IT_PREVIEW);  // longer than 256
  EXPECT_EQ(images[1].rotation, PXC_IR_180);

  // the ImageMagick file's primary is a grid: coded by its tile
  images = DescribeAll(ReadFile(data + "im.heic"));
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(Detail(images[0], "Compression"), "HEVC");
}

TEST(HeifReader, ComposesRotationAndMirroring) {
  struct Case {
    std::string transforms;  // properties 2 and 3, in order
    char count;
    PXC_TImageRotation rotation;
  } cases[] = {
      {Box("irot", "\x03"), 1, PXC_IR_90},
      {Box("irot", "\x02"), 1, PXC_IR_180},
      {Box("imir", std::string(1, '\0')), 1, PXC_IR_MIRROR},
      {Box("imir", "\x01"), 1, PXC_IR_MIRROR_180},
      {Box("imir", std::string(1, '\0')) + Box("irot", "\x01"), 2, PXC_IR_MIRROR_270},
      {Box("irot", "\x01") + Box("imir", "\x01"), 2, PXC_IR_MIRROR_270},
  };
  for (const Case& c : cases) {
    std::string associations = std::string(1, static_cast<char>(1 + c.count)) + "\x01\x02";
    if (c.count == 2) associations += "\x03";
    std::vector<ImageDescription> images = DescribeAll(Heif("mif1heic", "hvc1", Ispe(10, 20) + c.transforms, associations));
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].rotation, c.rotation);
    // the coded size whatever the turn
    EXPECT_EQ(images[0].columns, 10u);
    EXPECT_EQ(images[0].rows, 20u);
  }
  // a clean aperture crops the coded picture before it turns, or the turned
  // picture after: either way the size reported is of the coded picture
  std::string clap = Box("clap", Be32(7) + Be32(1) + Be32(5) + Be32(1) + std::string(16, '\0'));
  std::vector<ImageDescription> images =
      DescribeAll(Heif("mif1", "hvc1", Ispe(10, 20) + clap + Box("irot", "\x01"), std::string("\x03\x01\x02\x03", 4)));
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].columns, 7u);
  EXPECT_EQ(images[0].rows, 5u);
  EXPECT_EQ(images[0].rotation, PXC_IR_270);
  images = DescribeAll(Heif("mif1", "hvc1", Ispe(10, 20) + Box("irot", "\x01") + clap,
                            std::string("\x03\x01\x02\x03", 4)));
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].columns, 5u);
  EXPECT_EQ(images[0].rows, 7u);
}

TEST(HeifReader, ReadsCanonRaw) {
  std::vector<ImageDescription> images = DescribeAll(ReadFile(std::string(IMR_CORPUS) + "/exiftool/CanonRaw.cr3"));
  if (images.empty()) GTEST_SKIP() << "no corpus";
  // identify cannot read it here (no raw delegate); exiftool: 6000x4000
  ASSERT_EQ(images.size(), 3u);
  EXPECT_EQ(images[0].format, "");
  EXPECT_EQ(images[0].columns, 6000u);
  EXPECT_EQ(images[0].rows, 4000u);
  EXPECT_EQ(Detail(images[0], "Exif"), "yes");
  EXPECT_EQ(images[1].type, PXC_IT_THUMBNAIL);
  EXPECT_EQ(images[1].columns, 160u);
  EXPECT_EQ(images[1].rows, 120u);
  EXPECT_EQ(images[2].type, PXC_IT_PREVIEW);
  EXPECT_EQ(images[2].columns, 1620u);
  EXPECT_EQ(images[2].rows, 1080u);
}

TEST(HeifReader, RejectsOtherAndBrokenFiles) {
  const std::string properties = Ispe(10, 20);
  const std::string one = std::string("\x01\x01", 2);
  EXPECT_TRUE(DescribeAll("").empty());
  EXPECT_TRUE(DescribeAll(Box("ftyp", "isom" + Be32(0) + "isommp41")).empty());  // a movie
  EXPECT_TRUE(DescribeAll(Box("ftyp", "heic")).empty());                           // short ftyp
  EXPECT_TRUE(DescribeAll(Box("ftyp", "mif1" + Be32(0) + "mif1")).empty());        // no meta
  // no size for the primary item, or a property index out of range
  EXPECT_TRUE(DescribeAll(Heif("mif1", "hvc1", Box("irot", "\x01"), one)).empty());
  EXPECT_TRUE(DescribeAll(Heif("mif1", "hvc1", properties, std::string("\x01\x09", 2))).empty());
  // an association count running past its box
  EXPECT_TRUE(DescribeAll(Heif("mif1", "hvc1", properties, std::string("\xFF\x01", 2))).empty());
  // a thumbnail that refers to itself, and a reference count past its box
  std::string references = Box("thmb", Be16(1) + Be16(1) + Be16(1)) + Box("auxl", Be16(2) + Be16(50000) + Be16(1));
  std::vector<ImageDescription> images = DescribeAll(Heif("mif1", "hvc1", properties, one, references));
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].columns, 10u);
  // property boxes nested into each other do not nest the walk
  std::string nested = properties;
  for (int i = 0; i < 200; ++i) nested = Box("ipco", nested);
  EXPECT_TRUE(DescribeAll(Heif("mif1", "hvc1", nested, one)).empty());
}

}  // namespace
}  // namespace imr::formats
