// The BMP reader and the icon readers (ICO/CUR/ICNS), whose entries hold DIBs or PNGs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "formats/bmp/bmp_reader.h"
#include "formats/ico/ico_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;
using namespace std::string_literals;

namespace bmp {

Described DescribeAll(const Bytes& bytes) { return test::DescribeAll(MakeBmpReader, bytes); }

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
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
  Bytes size = MakeBmp(4, 4, 24);
  Put32(size, 14, 41);  // no info header has 41 bytes
  for (const Bytes& b : {MakeBmp(0, 4, 24), MakeBmp(-4, 4, 24), MakeBmp(4, 4, 3),
                         MakeBmp(4, 4, 24, 1) /* RLE8 needs 8 bits */, size, Bytes(size.begin(), size.begin() + 30)}) {
    EXPECT_FALSE(DescribeAll(b).opened);
  }
}

}  // namespace bmp

namespace ico {

Described DescribeAll(const Bytes& bytes) { return test::DescribeAll(MakeIcoReader, bytes); }

// A PNG signature and IHDR chunk (CRC not checked by readers of headers).
std::string PngHeader(std::uint32_t w, std::uint32_t h, char depth, char colourType) {
  return std::string("\x89PNG\r\n\x1A\n", 8) + Be32(13) + "IHDR" + Be32(w) + Be32(h) + depth + colourType +
         std::string(3, '\0') + Be32(0);
}

// An ICO directory (256 x 256 entries) whose entries point at the payloads.
Bytes MakeIco(const std::vector<std::string>& payloads, std::uint16_t type = 1) {
  std::string head = Le16(0) + Le16(type) + Le16(static_cast<std::uint16_t>(payloads.size())), body;
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * payloads.size());
  for (const std::string& p : payloads) {
    head += std::string(4, '\0') + Le16(1) + Le16(32) + Le32(p.size()) + Le32(offset + body.size());
    body += p;
  }
  return ToBytes(head + body);
}

std::string Icns(const std::vector<std::pair<std::string, std::string>>& elements) {
  std::string body;
  for (const auto& [type, data] : elements) body += type + Be32(data.size() + 8) + data;
  return "icns" + Be32(body.size() + 8) + body;
}

TEST(IcoReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeIcoReader, {
      // 16x16 (4-bit), 32x32 and 48x48; every icon has alpha
      {"ico/multi.ico", 16, 16, 0, 3, PXC_CE_INDEXED, PXC_AP_UNASSOCIATED,
       "format=ICO|BitsPerSample=4|1:columns=32|2:rows=48|2:type=Main|2:encoding=RGB"},
      // sizes from the IHDR, where the directory says 0 for 256
      {"ico/png_entries.ico", 16, 16, 0, 3, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "2:columns=256|2:Compression=PNG"},
      // a DIB entry whose resolution fields say 96 dpi: icons have none
      {"ico/gray_bmp.ico", 24, 24, 0, 1, PXC_CE_INDEXED, PXC_AP_UNASSOCIATED},
      {"ico/pointer.cur", 32, 32, 0, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "format=CUR|HotSpot=5,9"},
      // eight PNG elements after a table of contents
      {"ico/pillow.icns", 128, 128, 0, 8, PXC_CE_RGB, PXC_AP_UNASSOCIATED,
       "format=ICNS|1:columns=256|2:columns=512|3:columns=1024|4:columns=32|5:columns=64|6:columns=256|7:columns=512"},
      {IMR_CORPUS "/exiftool/ICO.ico", 1, 1, 0, 1, PXC_CE_BILEVEL, PXC_AP_UNASSOCIATED},
  });
}

TEST(IcoReader, ChecksTheFirstEntryAndToleratesLaterBrokenOnes) {
  const std::string png = PngHeader(20, 10, 8, 3), junk(40, '\xEE');
  Described r = DescribeAll(MakeIco({png, junk}));
  ASSERT_EQ(r.images.size(), 2u);
  // the broken entry keeps the directory's size
  Check(r.images, "columns=20|encoding=Indexed|1:columns=256|1:encoding=Unknown");

  // Weak magic: garbage in the first entry, a wrong type, no entries, a
  // broken IHDR, or a directory longer than the file is no icon.
  for (const Bytes& bad : {MakeIco({junk, png}), MakeIco({png}, 3), MakeIco({}), MakeIco({PngHeader(0, 10, 8, 3)}),
                           MakeIco({PngHeader(10, 10, 16, 3)})}) {
    EXPECT_FALSE(DescribeAll(bad).opened);
  }
  Bytes shortDir = MakeIco({png});
  shortDir[4] = 200;
  EXPECT_FALSE(DescribeAll(shortDir).opened);
}

TEST(IcoReader, ReadsClassicIcnsElementsWithMasksLast) {
  // A JPEG 2000 codestream whose SIZ says 256 x 200 (300 - 44), four components.
  std::string codestream = "\xFF\x4F\xFF\x51"s + Be16(50) + Be16(0) + Be32(300) + Be32(200) + Be32(44) + Be32(0);
  codestream.resize(40, '\0');
  codestream += Be16(4);
  for (int i = 0; i < 4; ++i) codestream += "\x07\x01\x01";
  const Described r = DescribeAll(ToBytes(Icns({
      {"s8mk", std::string(256, '\xFF')}, {"ICN#", std::string(256, '\0')}, {"is32", std::string(700, '\0')},
      {"TOC ", std::string(16, '\0')}, {"it32", std::string(4 + 3 * 128 * 128, '\0')}, {"ic09", codestream},
      {"ic04", "ARGB\x01\x02"},
  })));
  ASSERT_EQ(r.images.size(), 6u);
  // the JPEG 2000 icon's size comes from its codestream, not its type
  Check(r.images, "encoding=Bilevel|1:columns=16|1:Compression=RLE|2:Compression=None|3:columns=256|"
                  "3:Compression=JPEG 2000|4:alpha=Unassociated|5:type=Auxiliary");
  EXPECT_EQ(r.images[5].subtype, PXC_IS_MASK);

  // Only non-icon elements, or an element overrunning the file: nothing.
  EXPECT_FALSE(DescribeAll(ToBytes(Icns({{"TOC ", std::string(8, '\0')}}))).opened);
  Bytes overrun = ToBytes(Icns({{"is32", std::string(10, '\0')}}));
  overrun[15] = 0x7F;
  EXPECT_FALSE(DescribeAll(overrun).opened);
}

}  // namespace ico

}  // namespace
}  // namespace imr::formats
