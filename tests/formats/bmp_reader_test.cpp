#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/bmp/bmp_reader.h"
#include "formats/common/byte_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

Described DescribeAll(const Bytes& bytes, std::uint32_t limit = 64) {
  return test::DescribeAll(MakeBmpReader, bytes, limit);
}

void Put16(Bytes& b, std::size_t at, std::uint32_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = v & 0xFF;
  b[at + 1] = (v >> 8) & 0xFF;
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}

// A BMP with a BITMAPINFOHEADER and the given fields, pixel data zeroed.
Bytes MakeBmp(std::int32_t width, std::int32_t height, std::uint16_t bits,
              std::uint32_t compression = 0, std::uint32_t ppm = 0) {
  Bytes b(54);
  b[0] = 'B';
  b[1] = 'M';
  const std::uint32_t palette = bits <= 8 ? 4u << bits : 0;
  const std::uint32_t stride = ((std::abs(width) * bits + 31) / 32) * 4;
  Put32(b, 10, 54 + palette);
  Put32(b, 14, 40);
  Put32(b, 18, static_cast<std::uint32_t>(width));
  Put32(b, 22, static_cast<std::uint32_t>(height));
  Put16(b, 26, 1);
  Put16(b, 28, bits);
  Put32(b, 30, compression);
  Put32(b, 38, ppm);
  Put32(b, 42, ppm);
  b.resize(54 + palette + stride * std::abs(height));
  Put32(b, 2, static_cast<std::uint32_t>(b.size()));
  return b;
}

TEST(BmpReader, AgreesWithIdentifyOnSamples) {
  struct Case {
    const char* file;
    std::uint32_t columns, rows;
    double dpi;  // 0: no resolution stated
    PXC_TChannelEnc encoding;
    PXC_TAlphaPlane alpha;
    const char* bits;
    const char* compression;
    const char* version;
  };
  const Case cases[] = {
      {"rgb24_300dpi.bmp", 40, 30, 299.9994, PXC_CE_RGB, PXC_AP_NONE, "8", "None", "3"},
      {"alpha32.bmp", 20, 10, 71.9836, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "8", "Bitfields", "5"},
      {"mono.bmp", 33, 17, 0, PXC_CE_BILEVEL, PXC_AP_NONE, "1", "None", "3"},
      {"core4.bmp", 12, 9, 0, PXC_CE_INDEXED, PXC_AP_NONE, "4", "None", "2"},
      {"rle8.bmp", 64, 20, 0, PXC_CE_INDEXED, PXC_AP_NONE, "8", "RLE8", "3"},
      {"rgb565.bmp", 10, 7, 0, PXC_CE_RGB, PXC_AP_NONE, "5,6,5", "Bitfields", "5"},
      {"icc_v5.bmp", 8, 8, 0, PXC_CE_RGB, PXC_AP_NONE, "8", "None", "5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const Described r = DescribeAll(ReadBytes(std::string(IMR_TEST_DATA "/formats/bmp/") + c.file));
    ASSERT_TRUE(r.opened);
    ASSERT_EQ(r.images.size(), 1u);
    const ImageDescription& d = r.images[0];
    EXPECT_EQ(d.type, PXC_IT_MAIN);
    EXPECT_EQ(d.columns, c.columns);
    EXPECT_EQ(d.rows, c.rows);
    if (c.dpi == 0) {
      EXPECT_EQ(d.units, PXC_MU_NONE);
      EXPECT_EQ(d.hResolution, 0);
    } else {
      EXPECT_EQ(d.units, PXC_MU_INCH);
      EXPECT_NEAR(d.hResolution, c.dpi, 0.01);
      EXPECT_NEAR(d.vResolution, c.dpi, 0.01);
      EXPECT_NEAR(d.hRealSize, c.columns / c.dpi, 1e-6);
    }
    EXPECT_EQ(d.channelEncoding, c.encoding);
    EXPECT_EQ(d.inks, c.encoding == PXC_CE_RGB ? 3 : 1);
    EXPECT_EQ(d.alphaPlane, c.alpha);
    EXPECT_EQ(Detail(d, "BitsPerSample"), c.bits);
    EXPECT_EQ(Detail(d, "Compression"), c.compression);
    EXPECT_EQ(d.version, c.version);
  }
}

TEST(BmpReader, ReadsEmbeddedProfileDescription) {
  const Described r = DescribeAll(ReadBytes(IMR_TEST_DATA "/formats/bmp/icc_v5.bmp"));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(Detail(r.images[0], "ColorProfile"), "sRGB built-in");
}

TEST(BmpReader, CorpusFileAgreesWithIdentify) {
  // identify: BMP3 8 8, 28.35 pixels per centimetre, one image.
  const Described r = DescribeAll(ReadBytes(IMR_CORPUS "/exiftool/BMP.bmp"));
  ASSERT_TRUE(r.opened);
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].columns, 8u);
  EXPECT_EQ(r.images[0].rows, 8u);
  EXPECT_NEAR(r.images[0].hResolution, 28.35 * 2.54, 0.01);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_INDEXED);
}

TEST(BmpReader, HandlesHeaderVariants) {
  // Negative height: top-down rows, same geometry.
  Described r = DescribeAll(MakeBmp(5, -3, 24, 0, 3937));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].rows, 3u);
  EXPECT_NEAR(r.images[0].hResolution, 100.0, 0.01);

  // OS/2 2.x header of 64 bytes with Huffman 1D code 3 on a bilevel image.
  Bytes os2(14 + 64 + 8);
  os2[0] = 'B';
  os2[1] = 'M';
  Put32(os2, 10, 14 + 64 + 8);
  Put32(os2, 14, 64);
  Put32(os2, 18, 1728);
  Put32(os2, 22, 100);
  Put16(os2, 26, 1);
  Put16(os2, 28, 1);
  Put32(os2, 30, 3);
  Put32(os2, 14 + 64 + 4, 0xFFFFFF);
  r = DescribeAll(os2);
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].columns, 1728u);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_BILEVEL);
  EXPECT_EQ(Detail(r.images[0], "Compression"), "Huffman 1D");
  EXPECT_EQ(r.images[0].version, "OS/2 2");

  // 32-bit BI_RGB with a plain info header: the fourth byte is not alpha.
  r = DescribeAll(MakeBmp(4, 4, 32));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].alphaPlane, PXC_AP_NONE);

  // BI_ALPHABITFIELDS keeps four masks after the info header.
  Bytes fields = MakeBmp(4, 4, 16, 6);
  fields.insert(fields.begin() + 54, 16, 0);
  Put32(fields, 54, 0x0F00);
  Put32(fields, 58, 0x00F0);
  Put32(fields, 62, 0x000F);
  Put32(fields, 66, 0xF000);
  r = DescribeAll(fields);
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].alphaPlane, PXC_AP_UNASSOCIATED);
  EXPECT_EQ(Detail(r.images[0], "BitsPerSample"), "4");
}

TEST(BmpReader, WalksArraysAndConcatenatedBitmaps) {
  // Two bitmaps one after another: identify counts two images.
  Bytes two = MakeBmp(3, 2, 24);
  const Bytes second = MakeBmp(7, 5, 8);
  two.insert(two.end(), second.begin(), second.end());
  Described r = DescribeAll(two);
  ASSERT_EQ(r.images.size(), 2u);
  EXPECT_EQ(r.images[1].type, PXC_IT_PAGE);
  EXPECT_EQ(r.images[1].columns, 7u);
  EXPECT_EQ(r.images[1].channelEncoding, PXC_CE_INDEXED);

  // An OS/2 bitmap array of two entries; offsets count from the file start.
  const Bytes a = MakeBmp(16, 16, 24), b = MakeBmp(32, 32, 24);
  Bytes array(14);
  array[0] = 'B';
  array[1] = 'A';
  array.insert(array.end(), a.begin(), a.end());
  const std::size_t entry2 = array.size();
  Put32(array, 6, static_cast<std::uint32_t>(entry2));
  array.resize(entry2 + 14);
  array[entry2] = 'B';
  array[entry2 + 1] = 'A';
  array.insert(array.end(), b.begin(), b.end());
  // Pixel offsets inside an array are from the file start too; readers of
  // the header do not need them.
  r = DescribeAll(array);
  ASSERT_EQ(r.images.size(), 2u);
  EXPECT_EQ(r.images[0].columns, 16u);
  EXPECT_EQ(r.images[1].columns, 32u);
  EXPECT_EQ(r.images[1].type, PXC_IT_MAIN);

  // An array entry pointing back at itself ends the walk.
  Put32(array, entry2 + 6, static_cast<std::uint32_t>(entry2));
  r = DescribeAll(array);
  EXPECT_EQ(r.images.size(), 2u);
}

TEST(BmpReader, RefusesBrokenHeaders) {
  const auto refused = [](Bytes b) { return !DescribeAll(b).opened; };
  EXPECT_FALSE(refused(MakeBmp(4, 4, 24)));
  EXPECT_TRUE(refused(MakeBmp(0, 4, 24)));
  EXPECT_TRUE(refused(MakeBmp(4, 0, 24)));
  EXPECT_TRUE(refused(MakeBmp(-4, 4, 24)));
  EXPECT_TRUE(refused(MakeBmp(4, 4, 3)));
  EXPECT_TRUE(refused(MakeBmp(4, 4, 24, 1)));   // RLE8 needs 8 bits
  EXPECT_TRUE(refused(MakeBmp(4, 4, 24, 99)));  // unknown compression
  Bytes planes = MakeBmp(4, 4, 24);
  Put16(planes, 26, 0);
  EXPECT_TRUE(refused(planes));
  Bytes size = MakeBmp(4, 4, 24);
  Put32(size, 14, 41);
  EXPECT_TRUE(refused(size));
  Bytes shortHeader = MakeBmp(4, 4, 24);
  shortHeader.resize(30);
  EXPECT_TRUE(refused(shortHeader));
  EXPECT_TRUE(refused(Bytes{'B', 'M'}));
  EXPECT_TRUE(refused(Bytes{}));
}

TEST(BmpReader, NoIndexPastTheLastImage) {
  const Bytes b = MakeBmp(2, 2, 8);
  MemorySource source(b.data(), b.size());
  auto reader = MakeBmpReader();
  ImageDescription d;
  EXPECT_FALSE(reader->Describe(0, d));  // not opened
  ASSERT_TRUE(reader->Open(source));
  EXPECT_FALSE(reader->Describe(5, d));
  EXPECT_TRUE(reader->Describe(0, d));
  EXPECT_FALSE(reader->Describe(1, d));
}

}  // namespace
}  // namespace imr::formats
