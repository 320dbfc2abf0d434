// The raster readers: BMP and headerless DIBs, the icons (ICO/CUR/ICNS, whose
// entries hold DIBs or PNGs), TGA, PCX/DCX, SGI, Netpbm, QOI, Sun raster, XBM,
// XPM, XWD, WBMP, CALS and Photo CD.
#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>
#include <string>
#include <vector>

#include "formats/raster/bmp_reader.h"
#include "formats/raster/ico_reader.h"
#include "formats/raster/raster_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;
using namespace std::string_literals;

bool Opens(Factory make, const Bytes& b) { return DescribeAll(make, b).opened; }

// `b` with the `n`-byte integer at `at` set to `v`.
void Set(Bytes& b, std::size_t at, std::uint64_t v, int n, bool big = false) {
  for (int i = 0; i < n; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (big ? 8 * (n - 1 - i) : 8 * i));
}
Bytes With(Bytes b, std::size_t at, std::uint64_t v, int n = 1, bool big = false) {
  Set(b, at, v, n, big);
  return b;
}
Bytes Cut(Bytes b, std::size_t size) {
  b.resize(size);
  return b;
}

// ------------------------------------------------------------------- TGA

Bytes MakeTga(char type, char depth, std::uint16_t w = 4, std::uint16_t h = 3, char descriptor = 0) {
  const bool mapped = (type & 7) == 1;  // then two 24-bit map entries
  const std::string head = std::string{0, mapped, type} + Le16(0) + Le16(mapped ? 2 : 0) + char(mapped ? 24 : 0) +
                           Le32(0) + Le16(w) + Le16(h) + depth + descriptor + std::string(mapped ? 6 : 0, '\x80');
  return ToBytes(head + std::string(std::size_t{w} * h * ((depth + 7) / 8), '\0'));
}

TEST(TgaReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeTgaReader, {
      {"raster/rgb24.tga", 40, 30, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "Compression=None|BitsPerSample=8"},
      {"raster/rgb24_rle.tga", 40, 30, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "Compression=RLE"},
      {"raster/rgba32.tga", 20, 10, 0, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "BitsPerSample=8"},
      {"raster/gray.tga", 24, 16, 0, 1, PXC_CE_GRAY, PXC_AP_NONE, "BitsPerSample=8"},
      {"raster/indexed.tga", 24, 16, 0, 1, PXC_CE_INDEXED, PXC_AP_NONE, "BitsPerSample=8"},
      {"raster/pillow_rle.tga", 30, 20, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "Compression=RLE|version=2.0"},
  });
}

// TGA has no magic: its header fields must make sense.
TEST(TgaReader, RefusesHeadersThatMakeNoSense) {
  EXPECT_TRUE(Opens(MakeTgaReader, MakeTga(2, 24)));
  EXPECT_TRUE(Opens(MakeTgaReader, MakeTga(1, 8)));
  EXPECT_TRUE(Opens(MakeTgaReader, MakeTga(3, 16, 4, 3, 8)));  // grey with alpha
  const Bytes bad[] = {
      MakeTga(4, 24), MakeTga(2, 13), MakeTga(2, 24, 0, 3),
      MakeTga(2, 24, 4, 3, '\xC0'),  // interleaving bits
      With(MakeTga(1, 8), 1, 0),     // a mapped type without a map
      Cut(MakeTga(2, 24), 4 * 3 * 3 + 17), ToBytes("Hello, this is a text file, not an image at all."),
  };
  for (const Bytes& b : bad) EXPECT_FALSE(Opens(MakeTgaReader, b)) << &b - bad;
}

TEST(TgaReader, ReadsFooterExtensionAndPostageStamp) {
  Bytes b = MakeTga(2, 32, 4, 3, 8);
  const std::size_t stamp = b.size(), extension = stamp + 2 + 2 * 4;
  b.insert(b.end(), {2, 1});  // a 2 x 1 stamp
  b.resize(extension + 495, 0);
  Set(b, extension, 495, 2);
  const std::string software = "Paint Tool";
  std::copy(software.begin(), software.end(), b.begin() + extension + 426);
  Set(b, extension + 467, 210, 2);  // 2.10
  b[extension + 469] = 'b';
  Set(b, extension + 486, stamp, 4);
  b[extension + 494] = 4;  // premultiplied alpha
  const std::string footer = Le32(extension) + Le32(0) + "TRUEVISION-XFILE." + '\0';
  b.insert(b.end(), footer.begin(), footer.end());
  const Described r = DescribeAll(MakeTgaReader, b);
  ASSERT_EQ(r.images.size(), 2u);
  Check(r.images, "alpha=Associated|Software=Paint Tool 2.10b|1:type=Thumbnail|1:columns=2|1:rows=1");

  // An extension offset past the footer is ignored, not followed.
  const Described bad = DescribeAll(MakeTgaReader, With(b, b.size() - 26, 0xFFFFFF, 4));
  ASSERT_EQ(bad.images.size(), 1u);
  EXPECT_EQ(bad.images[0].version, "2.0");
}

// ------------------------------------------------------------- PCX / DCX

Bytes MakePcx(std::uint8_t bits, std::uint8_t planes, std::uint16_t w, std::uint16_t h) {
  Bytes b(160, 0);
  b[0] = 0x0A;
  b[1] = 5;
  b[2] = 1;
  b[3] = bits;
  Set(b, 8, w - 1, 2);
  Set(b, 10, h - 1, 2);
  b[65] = planes;
  Set(b, 66, (w * bits + 15) / 16 * 2, 2);
  return b;
}

TEST(PcxReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakePcxReader, {
      {"raster/rgb.pcx", 33, 21, 150, 1, PXC_CE_RGB, PXC_AP_NONE, "format=|Compression=RLE|BitsPerSample=8"},
      {"raster/mono.pcx", 33, 21, 100, 1, PXC_CE_BILEVEL, PXC_AP_NONE, "BitsPerSample=1"},
      {"raster/pal8.pcx", 33, 21, 100, 1, PXC_CE_INDEXED, PXC_AP_NONE, "BitsPerSample=8"},
      // identify shows 72 ppi for these pages: its default, the file says 0.
      {"raster/pages.dcx", 16, 16, 0, 3, PXC_CE_RGB, PXC_AP_NONE,
       "format=DCX|pages=3|1:type=Page|1:columns=20|2:rows=30"},
  });
}

TEST(PcxReader, RefusesBadHeadersAndStopsAtBrokenPages) {
  EXPECT_EQ(DescribeAll(MakePcxReader, MakePcx(8, 4, 10, 10)).images.at(0).alphaPlane, PXC_AP_UNASSOCIATED);
  const Bytes good = MakePcx(8, 1, 10, 10);
  EXPECT_TRUE(Opens(MakePcxReader, good));
  const std::pair<Bytes, const char*> bad[] = {
      {MakePcx(3, 1, 10, 10), "3 bits per pixel and plane"},
      {MakePcx(8, 5, 10, 10), "5 planes"},
      {With(good, 4, 20, 2), "the image window is empty"},  // xMin past xMax
      {With(good, 2, 7), "an unknown encoding 7"},
      {Cut(good, 100), "the header is cut short"},
      {With(good, 0, 0x0B), ""},  // not a PCX at all
  };
  for (const auto& [b, why] : bad) EXPECT_EQ(Refusal(MakePcxReader, b), why);

  // Lines too short for the window: the window still gives the size.
  const Described shortLines = DescribeAll(MakePcxReader, With(good, 66, 4, 2));
  ASSERT_EQ(shortLines.images.size(), 1u);
  Check(shortLines.images, "columns=10|rows=10|BytesPerLine=4, fewer than the width needs");
  EXPECT_EQ(Detail(DescribeAll(MakePcxReader, good).images.at(0), "BytesPerLine"), "");

  // DCX: the second offset points at garbage; the walk ends after page 0.
  const Bytes page = MakePcx(1, 1, 64, 2);
  Bytes dcx = ToBytes(Le32(987654321) + Le32(16) + Le32(8) + Le32(0));
  dcx.insert(dcx.end(), page.begin(), page.end());
  const Described r = DescribeAll(MakePcxReader, dcx);
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].pages, 2);
}

// ------------------------------------------------------------------- SGI

TEST(SgiReader, SamplesAgreeWithIdentifyAndBadHeadersAreRefused) {
  CheckSamples(MakeSgiReader, {
      {"raster/rgb.sgi", 30, 20, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "Compression=RLE|BitsPerSample=8"},
      {"raster/rgba.sgi", 12, 10, 0, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "Compression=RLE"},
      {"raster/gray16_rle.sgi", 30, 20, 0, 1, PXC_CE_GRAY, PXC_AP_NONE, "Compression=None|BitsPerSample=16"},
  });
  // One dimension: a single row, the sizes after x unused.
  const Bytes row = With(With(With(With(Bytes(512, 0), 0, 474, 2, true), 3, 1), 4, 1, 2, true), 6, 99, 2, true);
  const Described r = DescribeAll(MakeSgiReader, row);
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "columns=99|rows=1|encoding=Gray");
  for (const Bytes& b : {With(row, 3, 3), With(row, 4, 4, 2, true), With(row, 6, 0, 2, true), With(row, 1, 0xDB)}) {
    EXPECT_FALSE(Opens(MakeSgiReader, b));
  }
}

// ---------------------------------------------------------------- Netpbm

TEST(PnmReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakePnmReader, {
      {"raster/p1.pbm", 5, 3, 0, 1, PXC_CE_BILEVEL, PXC_AP_NONE, "BitsPerSample=1"},
      {"raster/p2.pgm", 7, 3, 0, 1, PXC_CE_GRAY, PXC_AP_NONE, "BitsPerSample=8"},
      {"raster/p4.pbm", 17, 9, 0, 1, PXC_CE_BILEVEL, PXC_AP_NONE, "BitsPerSample=1"},
      {"raster/p5_16.pgm", 10, 6, 0, 1, PXC_CE_GRAY, PXC_AP_NONE, "BitsPerSample=16"},
      {"raster/p6.ppm", 9, 6, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "BitsPerSample=8"},
      {"raster/rgba.pam", 10, 6, 0, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "format=PAM|BitsPerSample=8"},
      {"raster/rgb.pfm", 10, 6, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "format=PFM|BitsPerSample=32"},
      {"raster/gray.pfm", 10, 6, 0, 1, PXC_CE_GRAY, PXC_AP_NONE, "BitsPerSample=32"},
      {"raster/multi.pnm", 9, 6, 0, 3, PXC_CE_RGB, PXC_AP_NONE, "1:format=PGM|1:type=Page|1:columns=20"},
  });
  // "PF 512 768 -1.0" and a few bytes of text: a stub, not an image
  // (identify: insufficient image data).
  EXPECT_FALSE(Opens(MakePnmReader, ReadBytes(IMR_CORPUS "/exiftool/PFM.pfm")));
}

TEST(PnmReader, ParsesHeadersStrictly) {
  // `header` and `data` zero bytes of pixels.
  const auto open = [](const std::string& header, std::size_t data) {
    return DescribeAll(MakePnmReader, ToBytes(header + std::string(data, '\0')));
  };
  EXPECT_TRUE(open("P5 # comment\n#another\n 3 2 255\n", 6).opened);
  const std::pair<const char*, std::size_t> bad[] = {
      {"P5 3 2 255\n", 5},  // one byte short
      {"P5 3 2 65536\n", 12}, {"P5 3 0 255\n", 6}, {"P5 9999999999 2 255\n", 6}, {"PF\n3 2\nnan\n", 72},
      {"P6 999999999 999999999 65535\n", 16},  // compared with the file, never allocated
      {"P7\nWIDTH 2\nHEIGHT 2\nMAXVAL 255\nENDHDR\n", 16},  // no DEPTH
  };
  for (const auto& [header, data] : bad) EXPECT_FALSE(open(header, data).opened) << header;

  Described r = open("Pf\n3 2\n-1.0\n", 3 * 2 * 4);
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "ByteOrder=little-endian");
  r = open("P7\nWIDTH 2\nHEIGHT 2\nDEPTH 4\nMAXVAL 255\nTUPLTYPE CMYK\nENDHDR\n", 16);
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "encoding=CMYK|inks=4|alpha=None");
  r = open("P7\nWIDTH 2\nHEIGHT 2\nDEPTH 2\nMAXVAL 1\nTUPLTYPE GRAYSCALE_ALPHA\nENDHDR\n", 8);
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "encoding=Gray|alpha=Unassociated");
}

// ------------------------------------------------------------------- QOI

TEST(QoiReader, ReadsHeaderAndRefusesBadOnes) {
  const auto make = [](std::uint32_t w, std::uint32_t h, char channels, char space) {
    return ToBytes("qoif" + Be32(w) + Be32(h) + channels + space + std::string(7, '\0') + '\1');
  };
  const Described r = DescribeAll(MakeQoiReader, make(640, 480, 4, 1));
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "columns=640|rows=480|alpha=Unassociated|ColorSpace=linear");
  EXPECT_EQ(DescribeAll(MakeQoiReader, make(2, 2, 3, 0)).images.at(0).alphaPlane, PXC_AP_NONE);
  for (const Bytes& b : {make(0, 480, 4, 0), make(640, 480, 2, 0), make(640, 480, 3, 2), make(100000, 100000, 3, 0),
                         Cut(make(1, 1, 3, 0), 13)}) {
    EXPECT_FALSE(Opens(MakeQoiReader, b));
  }
}

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
      {"raster/rgb24_300dpi.bmp", 40, 30, 299.9994, 1, PXC_CE_RGB, PXC_AP_NONE,
       "BitsPerSample=8|Compression=None|version=3|inks=3"},
      {"raster/alpha32.bmp", 20, 10, 71.9836, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED,
       "BitsPerSample=8|Compression=Bitfields|version=5"},
      {"raster/mono.bmp", 33, 17, 0, 1, PXC_CE_BILEVEL, PXC_AP_NONE, "BitsPerSample=1|Compression=None|inks=1"},
      {"raster/core4.bmp", 12, 9, 0, 1, PXC_CE_INDEXED, PXC_AP_NONE, "BitsPerSample=4|version=2"},
      {"raster/rle8.bmp", 64, 20, 0, 1, PXC_CE_INDEXED, PXC_AP_NONE, "BitsPerSample=8|Compression=RLE8"},
      {"raster/rgb565.bmp", 10, 7, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "BitsPerSample=5,6,5|Compression=Bitfields"},
      {"raster/icc_v5.bmp", 8, 8, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "version=5|ColorProfile=sRGB built-in"},
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
      {"raster/multi.ico", 16, 16, 0, 3, PXC_CE_INDEXED, PXC_AP_UNASSOCIATED,
       "format=ICO|BitsPerSample=4|1:columns=32|2:rows=48|2:type=Main|2:encoding=RGB"},
      // sizes from the IHDR, where the directory says 0 for 256
      {"raster/png_entries.ico", 16, 16, 0, 3, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "2:columns=256|2:Compression=PNG"},
      // a DIB entry whose resolution fields say 96 dpi: icons have none
      {"raster/gray_bmp.ico", 24, 24, 0, 1, PXC_CE_INDEXED, PXC_AP_UNASSOCIATED},
      {"raster/pointer.cur", 32, 32, 0, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "format=CUR|HotSpot=5,9"},
      // eight PNG elements after a table of contents
      {"raster/pillow.icns", 128, 128, 0, 8, PXC_CE_RGB, PXC_AP_UNASSOCIATED,
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

// ------------------------------------------------------------- Sun raster

Bytes MakeSun(std::uint32_t w, std::uint32_t h, std::uint32_t depth, std::uint32_t type = 1,
              std::uint32_t mapType = 0, std::uint32_t mapLength = 0) {
  return ToBytes("\x59\xA6\x6A\x95"s + Be32(w) + Be32(h) + Be32(depth) + Be32(0) + Be32(type) + Be32(mapType) +
                 Be32(mapLength) + std::string(mapLength + 16, '\0'));
}

TEST(SunReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeSunReader, {
      {"raster/rgb.ras", 33, 21, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "Compression=None|BitsPerSample=8|PixelOrder=RGB"},
      {"raster/pal8.ras", 33, 21, 0, 1, PXC_CE_INDEXED, PXC_AP_NONE, "inks=1|BitsPerSample=8"},
      {"raster/rgba.ras", 12, 10, 0, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "inks=3"},
      {"raster/mono.ras", 17, 9, 0, 1, PXC_CE_BILEVEL, PXC_AP_NONE, "BitsPerSample=1"},
      {"raster/rle.ras", 7, 5, 0, 1, PXC_CE_INDEXED, PXC_AP_NONE, "Compression=RLE"},
  });
}

TEST(SunReader, SaysWhyItRefusesAHeader) {
  EXPECT_EQ(Refusal(MakeSunReader, MakeSun(4, 4, 8)), "opened");
  EXPECT_EQ(DescribeAll(MakeSunReader, MakeSun(4, 4, 8)).images.at(0).channelEncoding, PXC_CE_GRAY);  // no map
  const std::pair<Bytes, const char*> bad[] = {
      {MakeSun(0, 4, 8), "the width or height is 0"},
      {MakeSun(4, 4, 16), "a depth of 16 bits per pixel"},
      {MakeSun(4, 4, 8, 4), "the pixels are held in TIFF or IFF form"},
      {MakeSun(4, 4, 8, 9), "an unknown raster type 9"},
      {MakeSun(4, 4, 8, 1, 3), "an unknown colour map type 3"},
      {With(MakeSun(4, 4, 8, 1, 1, 6), 31, 0xFF), "the colour map runs past the end of the file"},
      {Cut(MakeSun(4, 4, 8), 20), "the header is cut short"},
      {With(MakeSun(4, 4, 8), 0, 0x58), ""},
  };
  for (const auto& [b, why] : bad) EXPECT_EQ(Refusal(MakeSunReader, b), why);
}

// -------------------------------------------------------------- XBM / XPM

TEST(XbmReader, ReadsTheDefinesOfX11AndX10Bitmaps) {
  CheckSamples(MakeXbmReader, {
      {"raster/check.xbm", 19, 11, 0, 1, PXC_CE_BILEVEL, PXC_AP_NONE, "version=X11|BitsPerSample=1|HotSpot="},
      {"raster/x10.xbm", 10, 6, 0, 1, PXC_CE_BILEVEL, PXC_AP_NONE, "version=X10"},
  });
  const std::string hot = "#define c_width 16\n#define c_height 2\n#define c_x_hot 3\n#define c_y_hot 1\n"
                          "static unsigned char c_bits[] = { 0 };\n";
  const Described r = DescribeAll(MakeXbmReader, ToBytes(hot));
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "columns=16|rows=2|HotSpot=3,1|version=X11");
  const std::pair<std::string, const char*> bad[] = {
      {"#define c_width 16\nstatic char c_bits[] = {0};\n", "the _width or _height define is missing or not a number"},
      {"#define c_width 16\n#define c_height 99999999999\nstatic char c_bits[] = {0};\n",
       "the _width or _height define is missing or not a number"},
      {"#define c_width 0\n#define c_height 2\nstatic char c_bits[] = {0};\n", "the width or height is 0"},
      {"#define c_width 16\n#define c_height 2\n", "no _bits[] array follows the defines"},
      {"int main() { return 0; }\n", ""},
  };
  for (const auto& [text, why] : bad) EXPECT_EQ(Refusal(MakeXbmReader, text), why) << text;
}

TEST(XpmReader, ReadsValuesAndFindsTheTransparentColour) {
  CheckSamples(MakeXpmReader, {
      {"raster/pal.xpm", 13, 7, 0, 1, PXC_CE_INDEXED, PXC_AP_NONE, "version=3|Colors=4|CharsPerPixel=1"},
      {"raster/transparent.xpm", 13, 7, 0, 1, PXC_CE_INDEXED, PXC_AP_TRANSPARENT_INDEX, "Colors=5"},
  });
  // XPM2, a hot spot, and "None" under the mono key after a comment.
  const Described r = DescribeAll(MakeXpmReader, ToBytes("! XPM2\n4 2 2 2 1 0\naa c #FF0000\nbb m None\naabbaabb\n"));
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "version=2|columns=4|rows=2|HotSpot=1,0|alpha=TransparentIndex|CharsPerPixel=2");
  const std::string xpm3 = "/* XPM */\nstatic char *x[] = {\n/* \"9 9 9 9\" */\n\"3 1 1 1\",\n\"a c red\",\n\"aaa\"};\n";
  Check(DescribeAll(MakeXpmReader, ToBytes(xpm3)).images, "columns=3|alpha=None");
  const std::pair<std::string, const char*> bad[] = {
      {"/* XPM */\nstatic char *x[] = {\n\"3 1\",\n};\n",
       "the line of values does not hold width, height, colours and characters per pixel"},
      {"/* XPM */\nstatic char *x[] = {\n\"0 1 1 1\",\n};\n", "the width or height is 0"},
      {"/* XPM */\nstatic char *x[] = {\n\"3 1 0 1\",\n};\n", "no colours"},
      {"/* XPM */\nstatic char *x[] = {\n\"3 1 2 0\",\n};\n", "several colours of no characters each"},
      {"/* XPM */\nstatic char *x[] = {\n", "the line of values is missing"},
      {"/* XBM */\n", ""},
  };
  for (const auto& [text, why] : bad) EXPECT_EQ(Refusal(MakeXpmReader, text), why) << text;
}

// -------------------------------------------------------------------- XWD

// The 100 bytes of fields and a name, big-endian unless `little`.
Bytes MakeXwd(std::uint32_t w, std::uint32_t h, std::uint32_t depth, std::uint32_t visual, bool little = false,
              std::uint32_t version = 7) {
  const auto u32 = [little](std::uint32_t v) { return little ? Le32(v) : Be32(v); };
  std::string head = u32(104) + u32(version) + u32(2) + u32(depth) + u32(w) + u32(h) + u32(0) + u32(little ? 0 : 1);
  for (int i = 8; i < 25; ++i) head += u32(i == 11 ? depth : i == 13 ? visual : 0);
  return ToBytes(head + "win" + '\0');
}

TEST(XwdReader, SamplesAgreeWithIdentifyAndEitherByteOrderReads) {
  CheckSamples(MakeXwdReader, {
      {"raster/rgb.xwd", 21, 13, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "version=7|VisualClass=DirectColor|BitsPerPixel=24|BitsPerSample=8"},
      {"raster/mono.xwd", 9, 5, 0, 1, PXC_CE_BILEVEL, PXC_AP_NONE, "WindowName=stdin|ByteOrder=MSBFirst|BitsPerSample=1"},
      // identify cannot read netpbm's 8-bit grey dumps
      {"raster/gray.xwd", 9, 5, 0, 1, PXC_CE_GRAY, PXC_AP_NONE, "VisualClass=StaticGray|Colors=256"},
  });
  const Described r = DescribeAll(MakeXwdReader, MakeXwd(640, 480, 8, 3, true));
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "columns=640|rows=480|encoding=Indexed|ByteOrder=LSBFirst|WindowName=win");
  const std::pair<Bytes, const char*> bad[] = {
      {MakeXwd(0, 4, 8, 3), "the width or height is 0"},
      {MakeXwd(4, 4, 40, 3), "a depth of 40 bits in pixels of 40"},
      {MakeXwd(4, 4, 8, 6), "an unknown visual class 6"},
      {With(MakeXwd(4, 4, 8, 3), 3, 50), "a header size of 50"},
      {Cut(MakeXwd(4, 4, 8, 3), 60), "the header is cut short"},
      {MakeXwd(4, 4, 8, 3, false, 6), ""},  // X10 dumps
  };
  for (const auto& [b, why] : bad) EXPECT_EQ(Refusal(MakeXwdReader, b), why);
}

// ------------------------------------------------------------------- WBMP

TEST(WbmpReader, NeedsTheFileSizeTheHeaderImplies) {
  CheckSamples(MakeWbmpReader, {
      {"raster/check.wbmp", 20, 10, 0, 1, PXC_CE_BILEVEL, PXC_AP_NONE, "version=0|BitsPerSample=1"},
      {"raster/wide.wbmp", 200, 3, 0, 1, PXC_CE_BILEVEL, PXC_AP_NONE},  // a two-byte width
  });
  const Bytes good = ToBytes("\0\0\x81\x00\x02"s + std::string(32, '\0'));  // 128 x 2
  Check(DescribeAll(MakeWbmpReader, good).images, "columns=128|rows=2");
  const std::pair<Bytes, const char*> bad[] = {
      {Cut(good, good.size() - 1), "the file holds 36 bytes where the header implies 37"},
      {ToBytes("\0\0\x80\x81\x02"s + std::string(32, '\0')), "the width or height cannot be read"},
      {ToBytes("\0\0\x81\x80\x80\x80\x02"s), "the width or height cannot be read"},
      {ToBytes("\0\0\0\x02"s), "the width or height is 0"},
      {ToBytes("\0\x01\x08\x02"s + std::string(2, '\0')), ""},  // extension headers: not type 0
  };
  for (const auto& [b, why] : bad) EXPECT_EQ(Refusal(MakeWbmpReader, b), why);
}

// ------------------------------------------------------------------- CALS

// The sixteen header records with `records` first, then the page's bytes.
Bytes MakeCals(const std::vector<std::string>& records) {
  std::string header;
  for (std::size_t i = 0; i < 16; ++i) {
    std::string record = i < records.size() ? records[i] : "";
    record.resize(128, ' ');
    header += record;
  }
  return ToBytes(header + std::string(16, '\0'));
}

TEST(CalsReader, ReadsSizeDensityAndOrientation) {
  CheckSamples(MakeCalsReader, {
      {"raster/check.cal", 40, 30, 300, 1, PXC_CE_BILEVEL, PXC_AP_NONE,
       "version=1|Compression=CCITT Group 4|rotation=None"},
  });
  const auto cals = [](const char* orient) {
    return MakeCals({"srcdocid: A", "rtype: 1", orient, "rpelcnt: 001728,002200", "rdensty: 0200"});
  };
  const std::pair<const char*, const char*> orientations[] = {
      {"rorient: 090,270", "Mirror270"}, {"rorient: 180,270", "R180"}, {"rorient: 270,090", "R270"},
      {"rorient: 000,090", "Mirror"},    {"rorient: nonsense", "None"},
  };
  for (const auto& [orient, rotation] : orientations) {
    const Described r = DescribeAll(MakeCalsReader, cals(orient));
    ASSERT_EQ(r.images.size(), 1u);
    Check(r.images, std::string("columns=1728|rows=2200|rotation=") + rotation);
    EXPECT_NEAR(r.images[0].hRealSize, 8.64, 0.001);
  }
  const std::pair<Bytes, const char*> bad[] = {
      {MakeCals({"srcdocid: A", "rtype: 2", "rpelcnt: 10,10"}), "raster type 2 (only type 1 is read)"},
      {MakeCals({"srcdocid: A", "rpelcnt: 10,10"}), "the rtype record is missing"},
      {MakeCals({"srcdocid: A", "rtype: 1", "rpelcnt: 10"}), "the rpelcnt record does not hold the width and height"},
      {MakeCals({"srcdocid: A", "rtype: 1", "rpelcnt: 0,10"}), "the width or height is 0"},
      {Cut(MakeCals({"srcdocid: A"}), 1000), "the header records are cut short"},
      {MakeCals({"title: something else"}), ""},
  };
  for (const auto& [b, why] : bad) EXPECT_EQ(Refusal(MakeCalsReader, b), why);
}

// --------------------------------------------------------------- Photo CD

TEST(PcdReader, ReportsTheBaseImageAndTheResolutionsHeld) {
  // ImageMagick writes Base/16, Base/4 and Base; identify reads the Base.
  CheckSamples(MakePcdReader, {
      {"raster/landscape.pcd", 768, 512, 0, 3, PXC_CE_YCBCR, PXC_AP_NONE,
       "rotation=None|Resolution=Base|version=6.0|1:type=Thumbnail|1:columns=192|2:type=Preview|2:rows=256"},
      // the image pack information alone: a portrait picture of up to 16Base
      {IMR_CORPUS "/exiftool/PhotoCD.pcd", 768, 512, 0, 1, PXC_CE_YCBCR, PXC_AP_NONE,
       "rotation=R270|version=0.6|ImageMedium=Color negative"},
  });
  // A pack of up to 4Base whose file goes on past the Base image.
  Bytes pack(0xC0000 + 16, 0);
  const std::string ipi = "PCD_IPI";
  std::copy(ipi.begin(), ipi.end(), pack.begin() + 0x800);
  pack[0xE02] = 0x04 | 0x02;
  const Described r = DescribeAll(MakePcdReader, pack);
  ASSERT_EQ(r.images.size(), 4u);
  Check(r.images, "rotation=R180|3:columns=1536|3:type=Main|3:Compression=Huffman");
  EXPECT_EQ(Refusal(MakePcdReader, With(pack, 0xE02, 0x0C)),
            "an unknown highest resolution in the image pack attributes");
  EXPECT_EQ(Refusal(MakePcdReader, Cut(pack, 0xE00)), "the image pack attributes are cut short");
}

// --------------------------------------------------------- headerless DIB

TEST(DibReader, NeedsAPlausibleHeaderWhoseSizesMatchTheFile) {
  CheckSamples(MakeDibReader, {
      // identify shows 72 per centimetre where the header states none
      {"raster/rgb24.dib", 9, 6, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "format=|version=3|Compression=None"},
      {"raster/pal8.dib", 10, 7, 96.012, 1, PXC_CE_INDEXED, PXC_AP_NONE, "BitsPerSample=8"},
      {"raster/mono.dib", 11, 5, 150.0124, 1, PXC_CE_BILEVEL, PXC_AP_NONE, "BitsPerSample=1"},
  });
  const Bytes good = ReadBytes(IMR_TEST_DATA "/formats/raster/rgb24.dib");
  std::vector<std::uint8_t> padded = good;
  padded.resize(good.size() + 15, 0);  // clipboard blocks rounded up
  EXPECT_EQ(Refusal(MakeDibReader, padded), "opened");
  std::vector<std::uint8_t> longer = good;
  longer.resize(good.size() + 16, 0);
  const std::pair<Bytes, const char*> bad[] = {
      {Cut(good, good.size() - 1), "the file holds 207 bytes where the header implies 208"},
      {longer, "the file holds 224 bytes where the header implies 208"},
      {With(good, 12, 2), "the bitmap header's fields cannot describe a bitmap"},  // two planes
      {With(With(With(good, 16, 1), 14, 8), 20, 0, 4), "a compressed bitmap that does not state its size"},
      {With(good, 0, 12), ""},  // an OS/2 core header is no clipboard format
  };
  for (const auto& [b, why] : bad) EXPECT_EQ(Refusal(MakeDibReader, b), why);
}

// ------------------------------------------------- refusals of the others

TEST(RasterReaders, SayWhyTheyRefuseAFileOfTheirFormat) {
  const Bytes bmp = bmp::MakeBmp(4, 4, 24), tga = MakeTga(2, 24);
  const Bytes sgi = With(With(With(Bytes(512, 0), 0, 474, 2, true), 3, 1), 4, 1, 2, true);
  const std::tuple<Factory, Bytes, const char*> cases[] = {
      {MakeBmpReader, With(bmp, 14, 41), "the bitmap header's fields cannot describe a bitmap"},
      {MakeIcoReader, ToBytes(Le16(0) + Le16(1) + Le16(0)), "the directory lists no icons"},
      {MakeIcoReader, ToBytes(Le16(0) + Le16(1) + Le16(3) + std::string(20, '\0')),
       "the directory runs past the end of the file"},
      {MakeIcoReader, ico::MakeIco({std::string(40, '\xEE')}), "the first icon holds neither a PNG nor a readable bitmap"},
      {MakeIcoReader, ToBytes(ico::Icns({{"TOC ", std::string(8, '\0')}})), "no icon element"},
      {MakeTgaReader, MakeTga(4, 24), "an unknown image type 4"},
      {MakeTgaReader, MakeTga(2, 13), "13 bits per pixel for image type 2"},
      {MakeTgaReader, Cut(tga, 30), "the pixel data is cut short"},
      {MakeSgiReader, With(sgi, 3, 3), "3 bytes per channel"},
      {MakeSgiReader, With(sgi, 6, 0, 2, true), "the width, height or channel count is 0"},
      {MakePnmReader, ToBytes("P5 3 2 255\n\1\2\3"s), "the pixel data is cut short"},
      {MakePnmReader, ToBytes("P5 3 0 255\n\1\2\3"s), "the header is incomplete or holds values out of range"},
      {MakeQoiReader, ToBytes("qoif" + Be32(2) + Be32(2) + '\5' + '\0' + std::string(8, '\0')), "5 channels"},
  };
  for (const auto& [make, bytes, why] : cases) EXPECT_EQ(Refusal(make, bytes), why) << why;
}

// The damaged files kept as regression inputs, and what each gets.
TEST(RasterReaders, RegressionInputsGetTheirReasons) {
  CheckRegressionRefusals("raster", {
      {"cut_header.ras", MakeSunReader, "the header is cut short"},
      {"short_data.wbmp", MakeWbmpReader, "the file holds 30 bytes where the header implies 34"},
      {"wrong_size.dib", MakeDibReader, "the file holds 180 bytes where the header implies 208"},
      {"type2.cal", MakeCalsReader, "raster type 2 (only type 1 is read)"},
  });
}


}  // namespace
}  // namespace imr::formats
