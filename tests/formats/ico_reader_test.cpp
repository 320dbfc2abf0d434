#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/ico/ico_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

Described DescribeAll(const Bytes& bytes, std::uint32_t limit = 64) {
  return test::DescribeAll(MakeIcoReader, bytes, limit);
}

Described DescribeSample(const std::string& name) {
  return DescribeAll(ReadBytes(IMR_TEST_DATA "/formats/ico/" + name));
}

void Put(Bytes& b, std::uint64_t v, int n, bool big) {
  for (int i = 0; i < n; ++i) {
    const int shift = big ? 8 * (n - 1 - i) : 8 * i;
    b.push_back(static_cast<std::uint8_t>(v >> shift));
  }
}
void PutText(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

// A PNG signature and IHDR chunk (CRC not checked by readers of headers).
Bytes PngHeader(std::uint32_t w, std::uint32_t h, std::uint8_t depth, std::uint8_t colourType) {
  Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Put(b, 13, 4, true);
  PutText(b, "IHDR");
  Put(b, w, 4, true);
  Put(b, h, 4, true);
  b.insert(b.end(), {depth, colourType, 0, 0, 0});
  Put(b, 0, 4, true);
  return b;
}

// An ICO directory whose entries point at the given payloads.
Bytes MakeIco(const std::vector<Bytes>& payloads, std::uint16_t type = 1) {
  Bytes b;
  Put(b, 0, 2, false);
  Put(b, type, 2, false);
  Put(b, payloads.size(), 2, false);
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * payloads.size());
  for (const Bytes& p : payloads) {
    b.insert(b.end(), {0, 0, 0, 0});  // 256 x 256 in the directory
    Put(b, 1, 2, false);
    Put(b, 32, 2, false);
    Put(b, p.size(), 4, false);
    Put(b, offset, 4, false);
    offset += static_cast<std::uint32_t>(p.size());
  }
  for (const Bytes& p : payloads) b.insert(b.end(), p.begin(), p.end());
  return b;
}

Bytes IcnsElement(const std::string& type, const Bytes& data) {
  Bytes b;
  PutText(b, type);
  Put(b, data.size() + 8, 4, true);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}
Bytes MakeIcns(const std::vector<Bytes>& elements) {
  Bytes body;
  for (const Bytes& e : elements) body.insert(body.end(), e.begin(), e.end());
  Bytes b;
  PutText(b, "icns");
  Put(b, body.size() + 8, 4, true);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

TEST(IcoReader, AgreesWithIdentifyOnIcoAndCur) {
  // identify: 16x16 (4-bit), 32x32 and 48x48; every icon has alpha.
  Described r = DescribeSample("multi.ico");
  ASSERT_EQ(r.images.size(), 3u);
  const std::uint32_t sizes[] = {16, 32, 48};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(r.images[i].columns, sizes[i]);
    EXPECT_EQ(r.images[i].rows, sizes[i]);
    EXPECT_EQ(r.images[i].type, PXC_IT_MAIN);
    EXPECT_EQ(r.images[i].format, "ICO");
    EXPECT_EQ(r.images[i].alphaPlane, PXC_AP_UNASSOCIATED);
    EXPECT_EQ(r.images[i].units, PXC_MU_NONE);
  }
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_INDEXED);
  EXPECT_EQ(Detail(r.images[0], "BitsPerSample"), "4");
  EXPECT_EQ(r.images[2].channelEncoding, PXC_CE_RGB);

  // PNG entries: sizes from their IHDR, 256 included.
  r = DescribeSample("png_entries.ico");
  ASSERT_EQ(r.images.size(), 3u);
  EXPECT_EQ(r.images[2].columns, 256u);
  EXPECT_EQ(Detail(r.images[2], "Compression"), "PNG");

  // A DIB entry whose resolution fields say 96 dpi: icons have none.
  r = DescribeSample("gray_bmp.ico");
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].columns, 24u);
  EXPECT_EQ(r.images[0].hResolution, 0);

  r = DescribeSample("pointer.cur");
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].format, "CUR");
  EXPECT_EQ(r.images[0].columns, 32u);
  EXPECT_EQ(Detail(r.images[0], "HotSpot"), "5,9");

  r = DescribeAll(ReadBytes(IMR_CORPUS "/exiftool/ICO.ico"));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].columns, 1u);
  EXPECT_EQ(r.images[0].rows, 1u);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_BILEVEL);
}

TEST(IcoReader, ChecksTheFirstEntryAndToleratesLaterBrokenOnes) {
  const Bytes png = PngHeader(20, 10, 8, 3);
  Described r = DescribeAll(MakeIco({png, Bytes(40, 0xEE)}));
  ASSERT_EQ(r.images.size(), 2u);
  EXPECT_EQ(r.images[0].columns, 20u);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_INDEXED);
  // The broken second entry keeps the directory's 256 x 256.
  EXPECT_EQ(r.images[1].columns, 256u);
  EXPECT_EQ(r.images[1].channelEncoding, PXC_CE_UNKNOWN);

  // Weak magic: a file whose first entry holds garbage is no icon.
  EXPECT_FALSE(DescribeAll(MakeIco({Bytes(40, 0xEE), png})).opened);
  EXPECT_FALSE(DescribeAll(MakeIco({png}, 3)).opened);
  EXPECT_FALSE(DescribeAll(MakeIco({})).opened);
  EXPECT_FALSE(DescribeAll(MakeIco({PngHeader(0, 10, 8, 3)})).opened);
  EXPECT_FALSE(DescribeAll(MakeIco({PngHeader(10, 10, 16, 3)})).opened);
  // A directory longer than the file.
  Bytes shortDir = MakeIco({png});
  shortDir[4] = 200;
  EXPECT_FALSE(DescribeAll(shortDir).opened);
}

TEST(IcoReader, ReadsIcnsElementsWithMasksLast) {
  // Pillow's file: eight PNG elements after a table of contents.
  Described r = DescribeSample("pillow.icns");
  ASSERT_EQ(r.images.size(), 8u);
  const std::uint32_t sizes[] = {128, 256, 512, 1024, 32, 64, 256, 512};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(r.images[i].columns, sizes[i]);
  EXPECT_EQ(r.images[0].format, "");
  EXPECT_EQ(r.images[0].alphaPlane, PXC_AP_UNASSOCIATED);

  // Classic elements: mask before its icon still lists after every icon.
  Bytes codestream = {0xFF, 0x4F, 0xFF, 0x51, 0, 50, 0, 0};
  Put(codestream, 300, 4, true);  // Xsiz
  Put(codestream, 200, 4, true);  // Ysiz
  Put(codestream, 44, 4, true);   // XOsiz
  Put(codestream, 0, 4, true);    // YOsiz
  codestream.resize(40, 0);
  Put(codestream, 4, 2, true);    // components
  for (int i = 0; i < 4; ++i) codestream.insert(codestream.end(), {7, 1, 1});
  const Bytes file = MakeIcns({
      IcnsElement("s8mk", Bytes(256, 0xFF)),
      IcnsElement("ICN#", Bytes(256, 0)),
      IcnsElement("is32", Bytes(700, 0)),
      IcnsElement("TOC ", Bytes(16, 0)),
      IcnsElement("it32", Bytes(4 + 3 * 128 * 128, 0)),
      IcnsElement("ic09", codestream),
      IcnsElement("ic04", Bytes{'A', 'R', 'G', 'B', 1, 2}),
  });
  r = DescribeAll(file);
  ASSERT_EQ(r.images.size(), 6u);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_BILEVEL);
  EXPECT_EQ(r.images[1].columns, 16u);
  EXPECT_EQ(Detail(r.images[1], "Compression"), "RLE");
  EXPECT_EQ(Detail(r.images[2], "Compression"), "None");
  EXPECT_EQ(r.images[3].columns, 256u);  // from the codestream, not the type
  EXPECT_EQ(Detail(r.images[3], "Compression"), "JPEG 2000");
  EXPECT_EQ(r.images[4].alphaPlane, PXC_AP_UNASSOCIATED);
  EXPECT_EQ(r.images[5].type, PXC_IT_AUXILIARY);
  EXPECT_EQ(r.images[5].subtype, PXC_IS_MASK);

  // Only non-icon elements, or an element overrunning the file: nothing.
  EXPECT_FALSE(DescribeAll(MakeIcns({IcnsElement("TOC ", Bytes(8, 0))})).opened);
  Bytes overrun = MakeIcns({IcnsElement("is32", Bytes(10, 0))});
  overrun[15] = 0x7F;
  EXPECT_FALSE(DescribeAll(overrun).opened);
}

}  // namespace
}  // namespace imr::formats
