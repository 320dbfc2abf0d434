// The raster readers: BMP, the icons (ICO/CUR/ICNS, whose entries hold DIBs or PNGs),
// TGA, PCX/DCX, SGI, Netpbm, QOI and DDS.
#include <gtest/gtest.h>

#include <cstdlib>
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
  const Bytes bad[] = {MakePcx(3, 1, 10, 10), MakePcx(8, 5, 10, 10),
                       With(good, 4, 20, 2),  // xMin past xMax
                       With(good, 66, 4, 2),  // rows shorter than the width needs
                       Cut(good, 100)};
  for (const Bytes& b : bad) EXPECT_FALSE(Opens(MakePcxReader, b)) << &b - bad;

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

// ------------------------------------------------------------------- DDS

Bytes MakeDds(std::uint32_t w, std::uint32_t h, const std::string& fourCC, std::size_t size = 128) {
  Bytes b = ToBytes("DDS " + Le32(124) + Le32(0x1007) + Le32(h) + Le32(w));
  b.resize(size, 0);
  Set(b, 76, 32, 4);
  Set(b, 80, 4, 4);
  std::copy(fourCC.begin(), fourCC.end(), b.begin() + 84);
  return b;
}

// identify reports an alpha channel for rgb_none.dds, whose pixel format
// has neither the alpha flag nor an alpha mask.
TEST(DdsReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeDdsReader, {
      {"raster/dxt1.dds", 16, 8, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "Compression=DXT1|BitsPerSample=|Mipmaps="},
      {"raster/dxt5_mips.dds", 32, 32, 0, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "Compression=DXT5|Mipmaps=4"},
      {"raster/rgb_none.dds", 16, 8, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "Compression=None|BitsPerSample=8"},
  });
}

TEST(DdsReader, ReadsDx10HeadersCubesAndVolumes) {
  // DXGI format, 2D, cube, two cubes, premultiplied alpha.
  const auto dx10 = [](std::uint32_t format, std::uint32_t misc, std::uint32_t alpha) {
    Bytes b = MakeDds(64, 64, "DX10", 148);
    const std::string extra = Le32(format) + Le32(3) + Le32(misc) + Le32(2) + Le32(alpha);
    std::copy(extra.begin(), extra.end(), b.begin() + 128);
    return DescribeAll(MakeDdsReader, b);
  };
  Described r = dx10(99, 0x4, 2);  // BC7_UNORM_SRGB
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "Compression=BC7_UNORM_SRGB|CubeFaces=6|ArraySize=2|alpha=Associated");
  r = dx10(85, 0, 0);  // B5G6R5_UNORM
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "BitsPerSample=5,6,5|alpha=None");
  EXPECT_EQ(dx10(80, 0, 0).images.at(0).channelEncoding, PXC_CE_GRAY);  // BC4_UNORM
  EXPECT_FALSE(dx10(125, 0, 0).opened);                                 // no such format
  EXPECT_FALSE(Opens(MakeDdsReader, MakeDds(64, 64, "DX10", 140)));  // DX10 header cut short

  Bytes volume = With(With(MakeDds(8, 8, "DXT2"), 8, 0x1007 | 0x800000, 4), 24, 16, 4);
  r = DescribeAll(MakeDdsReader, With(volume, 112, 0x200000, 4));
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "Depth=16|alpha=Associated");
  r = DescribeAll(MakeDdsReader, With(MakeDds(8, 8, "ATI2"), 112, 0x200 | 0x400 | 0x800 | 0x1000, 4));
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "CubeFaces=3|inks=2");
  EXPECT_FALSE(Opens(MakeDdsReader, MakeDds(0, 8, "DXT1")));
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


}  // namespace
}  // namespace imr::formats
