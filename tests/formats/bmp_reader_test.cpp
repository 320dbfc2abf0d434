#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "formats/bmp/bmp_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

Described DescribeAll(const Bytes& bytes) { return test::DescribeAll(MakeBmpReader, bytes); }

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = v & 0xFF;
  b[at + 1] = v >> 8;
}

// A BMP with a BITMAPINFOHEADER and the given fields, pixel data zeroed.
Bytes MakeBmp(std::int32_t width, std::int32_t height, std::uint16_t bits, std::uint32_t compression = 0,
              std::uint32_t ppm = 0) {
  const std::uint32_t palette = bits <= 8 ? 4u << bits : 0;
  const std::uint32_t size = 54 + palette + ((std::abs(width) * bits + 31) / 32) * 4 * std::abs(height);
  std::string b = "BM" + Le32(size) + Le32(0) + Le32(54 + palette) + Le32(40) + Le32(width) + Le32(height) + Le16(1) +
                  Le16(bits) + Le32(compression) + Le32(0) + Le32(ppm) + Le32(ppm);
  b.resize(size, '\0');
  return ToBytes(b);
}

TEST(BmpReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeBmpReader, {
      {"bmp/rgb24_300dpi.bmp", 40, 30, 299.9994, 1, PXC_CE_RGB, PXC_AP_NONE,
       "BitsPerSample=8|Compression=None|version=3|inks=3"},
      {"bmp/alpha32.bmp", 20, 10, 71.9836, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED,
       "BitsPerSample=8|Compression=Bitfields|version=5"},
      {"bmp/mono.bmp", 33, 17, 0, 1, PXC_CE_BILEVEL, PXC_AP_NONE, "BitsPerSample=1|Compression=None|inks=1"},
      {"bmp/core4.bmp", 12, 9, 0, 1, PXC_CE_INDEXED, PXC_AP_NONE, "BitsPerSample=4|version=2"},
      {"bmp/rle8.bmp", 64, 20, 0, 1, PXC_CE_INDEXED, PXC_AP_NONE, "BitsPerSample=8|Compression=RLE8"},
      {"bmp/rgb565.bmp", 10, 7, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "BitsPerSample=5,6,5|Compression=Bitfields"},
      {"bmp/icc_v5.bmp", 8, 8, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "version=5|ColorProfile=sRGB built-in"},
      {IMR_CORPUS "/exiftool/BMP.bmp", 8, 8, 28.35 * 2.54, 1, PXC_CE_INDEXED, PXC_AP_NONE},
  });
}

TEST(BmpReader, HeaderVariantsArraysAndConcatenations) {
  Described r = DescribeAll(MakeBmp(5, -3, 24, 0, 3937));  // top-down rows, same geometry
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].rows, 3u);
  EXPECT_NEAR(r.images[0].hResolution, 100.0, 0.01);
  // 32-bit BI_RGB with a plain info header: the fourth byte is not alpha.
  EXPECT_EQ(DescribeAll(MakeBmp(4, 4, 32)).images.at(0).alphaPlane, PXC_AP_NONE);

  // OS/2 2.x header of 64 bytes, where code 3 is Huffman 1D, not bitfields.
  Bytes os2 = MakeBmp(1728, 100, 1, 3);
  Put32(os2, 14, 64);
  Put32(os2, 10, 14 + 64 + 8);
  Put32(os2, 14 + 64 + 4, 0xFFFFFF);  // a black and white palette
  r = DescribeAll(os2);
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "encoding=Bilevel|Compression=Huffman 1D|version=OS/2 2");

  // BI_ALPHABITFIELDS keeps four masks after the info header.
  Bytes fields = MakeBmp(4, 4, 16, 6);
  fields.insert(fields.begin() + 54, 16, 0);
  const std::uint32_t masks[] = {0x0F00, 0x00F0, 0x000F, 0xF000};
  for (int i = 0; i < 4; ++i) Put32(fields, 54 + 4 * i, masks[i]);
  r = DescribeAll(fields);
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "alpha=Unassociated|BitsPerSample=4");

  // Two bitmaps one after another: identify counts two images.
  Bytes two = MakeBmp(3, 2, 24);
  const Bytes second = MakeBmp(7, 5, 8);
  two.insert(two.end(), second.begin(), second.end());
  r = DescribeAll(two);
  ASSERT_EQ(r.images.size(), 2u);
  Check(r.images, "1:type=Page|1:columns=7");

  // An OS/2 bitmap array of two entries, offsets from the file start; an
  // entry pointing back at itself ends the walk.
  Bytes array = {'B', 'A'};
  array.resize(14);
  const Bytes a = MakeBmp(16, 16, 24), b = MakeBmp(32, 32, 24);
  array.insert(array.end(), a.begin(), a.end());
  const std::size_t entry2 = array.size();
  Put32(array, 6, static_cast<std::uint32_t>(entry2));
  array.resize(entry2 + 14);
  array[entry2] = 'B';
  array[entry2 + 1] = 'A';
  array.insert(array.end(), b.begin(), b.end());
  for (std::uint32_t next : {0u, static_cast<std::uint32_t>(entry2)}) {
    Put32(array, entry2 + 6, next);
    r = DescribeAll(array);
    ASSERT_EQ(r.images.size(), 2u);
    Check(r.images, "columns=16|1:columns=32|1:type=Main");
  }
}

TEST(BmpReader, RefusesBrokenHeaders) {
  const auto refused = [](Bytes b) { return !DescribeAll(b).opened; };
  EXPECT_FALSE(refused(MakeBmp(4, 4, 24)));
  for (const Bytes& b : {MakeBmp(0, 4, 24), MakeBmp(4, 0, 24), MakeBmp(-4, 4, 24), MakeBmp(4, 4, 3),
                         MakeBmp(4, 4, 24, 1) /* RLE8 needs 8 bits */, MakeBmp(4, 4, 24, 99)}) {
    EXPECT_TRUE(refused(b));
  }
  Bytes planes = MakeBmp(4, 4, 24);
  Put16(planes, 26, 0);
  EXPECT_TRUE(refused(planes));
  Bytes size = MakeBmp(4, 4, 24);
  Put32(size, 14, 41);
  EXPECT_TRUE(refused(size));
  size.resize(30);
  EXPECT_TRUE(refused(size));
  EXPECT_TRUE(refused(Bytes{'B', 'M'}));
  EXPECT_TRUE(refused(Bytes{}));

  // No image before Open, nor past the last one.
  const Bytes one = MakeBmp(2, 2, 8);
  MemorySource source(one.data(), one.size());
  auto reader = MakeBmpReader();
  ImageDescription d;
  EXPECT_FALSE(reader->Describe(0, d));
  ASSERT_TRUE(reader->Open(source));
  EXPECT_FALSE(reader->Describe(5, d));
  EXPECT_TRUE(reader->Describe(0, d));
}

}  // namespace
}  // namespace imr::formats
