// The simple raster readers: TGA, PCX/DCX, SGI, Netpbm, QOI and DDS.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/raster/raster_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

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

}  // namespace
}  // namespace imr::formats
