#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/ico/ico_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;
using namespace std::string_literals;

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
       "format=|1:columns=256|2:columns=512|3:columns=1024|4:columns=32|5:columns=64|6:columns=256|7:columns=512"},
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

}  // namespace
}  // namespace imr::formats
