#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/raster/raster_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

Bytes Sample(const std::string& name) { return ReadBytes(IMR_TEST_DATA "/formats/raster/" + name); }
Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

void Put(Bytes& b, std::uint64_t v, int n, bool big = false) {
  for (int i = 0; i < n; ++i) {
    const int shift = big ? 8 * (n - 1 - i) : 8 * i;
    b.push_back(static_cast<std::uint8_t>(v >> shift));
  }
}
void Set(Bytes& b, std::size_t at, std::uint64_t v, int n, bool big = false) {
  for (int i = 0; i < n; ++i) {
    const int shift = big ? 8 * (n - 1 - i) : 8 * i;
    b[at + i] = static_cast<std::uint8_t>(v >> shift);
  }
}

// What identify reports for a sample, and what else the reader should say.
struct Expect {
  const char* file;
  std::uint32_t columns, rows;
  double dpi;
  std::size_t images;
  PXC_TChannelEnc encoding;
  PXC_TAlphaPlane alpha;
  const char* compression;
  const char* bits;
};

void CheckSamples(const Factory& make, const std::vector<Expect>& cases) {
  for (const Expect& c : cases) {
    SCOPED_TRACE(c.file);
    const Bytes bytes = c.file[0] == '/' ? ReadBytes(c.file) : Sample(c.file);
    ASSERT_FALSE(bytes.empty());
    const Described r = DescribeAll(make, bytes);
    ASSERT_TRUE(r.opened);
    ASSERT_EQ(r.images.size(), c.images);
    const ImageDescription& d = r.images[0];
    EXPECT_EQ(d.type, PXC_IT_MAIN);
    EXPECT_EQ(d.columns, c.columns);
    EXPECT_EQ(d.rows, c.rows);
    EXPECT_EQ(d.hResolution, c.dpi);
    EXPECT_EQ(d.units, c.dpi > 0 ? PXC_MU_INCH : PXC_MU_NONE);
    EXPECT_EQ(d.channelEncoding, c.encoding);
    EXPECT_EQ(d.alphaPlane, c.alpha);
    EXPECT_EQ(Detail(d, "Compression"), c.compression);
    EXPECT_EQ(Detail(d, "BitsPerSample"), c.bits);
  }
}

// ------------------------------------------------------------------- TGA

Bytes MakeTga(std::uint8_t type, std::uint8_t depth, std::uint16_t w = 4, std::uint16_t h = 3,
              std::uint8_t descriptor = 0) {
  Bytes b;
  const bool mapped = (type & 7) == 1;
  b.insert(b.end(), {0, static_cast<std::uint8_t>(mapped ? 1 : 0), type});
  Put(b, 0, 2);
  Put(b, mapped ? 2 : 0, 2);  // two 24-bit map entries
  b.push_back(mapped ? 24 : 0);
  Put(b, 0, 4);
  Put(b, w, 2);
  Put(b, h, 2);
  b.insert(b.end(), {depth, descriptor});
  if (mapped) b.insert(b.end(), 6, 0x80);
  b.insert(b.end(), std::size_t{w} * h * ((depth + 7) / 8), 0);
  return b;
}

TEST(TgaReader, AgreesWithIdentifyOnSamples) {
  CheckSamples(MakeTgaReader, {
      {"rgb24.tga", 40, 30, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "None", "8"},
      {"rgb24_rle.tga", 40, 30, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "RLE", "8"},
      {"rgba32.tga", 20, 10, 0, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "None", "8"},
      {"gray.tga", 24, 16, 0, 1, PXC_CE_GRAY, PXC_AP_NONE, "None", "8"},
      {"indexed.tga", 24, 16, 0, 1, PXC_CE_INDEXED, PXC_AP_NONE, "None", "8"},
      {"pillow_rle.tga", 30, 20, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "RLE", "8"},
  });
  EXPECT_EQ(DescribeAll(MakeTgaReader, Sample("pillow_rle.tga")).images[0].version, "2.0");
}

TEST(TgaReader, ChecksEveryHeaderFieldForWantOfMagic) {
  const auto opens = [](const Bytes& b) { return DescribeAll(MakeTgaReader, b).opened; };
  EXPECT_TRUE(opens(MakeTga(2, 24)));
  EXPECT_TRUE(opens(MakeTga(1, 8)));
  EXPECT_TRUE(opens(MakeTga(3, 16, 4, 3, 8)));  // grey with alpha
  EXPECT_FALSE(opens(MakeTga(4, 24)));
  EXPECT_FALSE(opens(MakeTga(0, 24)));
  EXPECT_FALSE(opens(MakeTga(2, 13)));
  EXPECT_FALSE(opens(MakeTga(3, 24)));
  EXPECT_FALSE(opens(MakeTga(2, 24, 0, 3)));
  EXPECT_FALSE(opens(MakeTga(2, 24, 4, 3, 0xC0)));  // interleaving bits
  EXPECT_FALSE(opens(MakeTga(2, 24, 4, 3, 9)));     // more alpha bits than a byte
  Bytes noMap = MakeTga(1, 8);
  noMap[1] = 0;
  EXPECT_FALSE(opens(noMap));
  Bytes strayMap = MakeTga(2, 24);
  strayMap[5] = 3;  // map length without a map
  EXPECT_FALSE(opens(strayMap));
  Bytes cut = MakeTga(2, 24);
  cut.pop_back();
  EXPECT_FALSE(opens(cut));
  EXPECT_FALSE(opens(Text("Hello, this is a text file, not an image at all.")));
}

TEST(TgaReader, ReadsFooterExtensionAndPostageStamp) {
  Bytes b = MakeTga(2, 32, 4, 3, 8);
  const std::size_t stamp = b.size();
  b.insert(b.end(), {2, 1});
  b.insert(b.end(), 2 * 4, 0);
  const std::size_t extension = b.size();
  b.resize(extension + 495, 0);
  Set(b, extension, 495, 2);
  const std::string software = "Paint Tool";
  std::copy(software.begin(), software.end(), b.begin() + extension + 426);
  Set(b, extension + 467, 210, 2);  // 2.10
  b[extension + 469] = 'b';
  Set(b, extension + 486, stamp, 4);
  b[extension + 494] = 4;  // premultiplied alpha
  Put(b, extension, 4);
  Put(b, 0, 4);
  const std::string signature = "TRUEVISION-XFILE.";
  b.insert(b.end(), signature.begin(), signature.end());
  b.push_back(0);

  const Described r = DescribeAll(MakeTgaReader, b);
  ASSERT_EQ(r.images.size(), 2u);
  EXPECT_EQ(r.images[0].alphaPlane, PXC_AP_ASSOCIATED);
  EXPECT_EQ(Detail(r.images[0], "Software"), "Paint Tool 2.10b");
  EXPECT_EQ(r.images[1].type, PXC_IT_THUMBNAIL);
  EXPECT_EQ(r.images[1].columns, 2u);
  EXPECT_EQ(r.images[1].rows, 1u);

  // An extension offset past the footer is ignored, not followed.
  Set(b, b.size() - 26, 0xFFFFFF, 4);
  const Described bad = DescribeAll(MakeTgaReader, b);
  ASSERT_EQ(bad.images.size(), 1u);
  EXPECT_EQ(bad.images[0].version, "2.0");
}

// ------------------------------------------------------------- PCX / DCX

Bytes MakePcx(std::uint8_t bits, std::uint8_t planes, std::uint16_t w, std::uint16_t h) {
  Bytes b(128, 0);
  b[0] = 0x0A;
  b[1] = 5;
  b[2] = 1;
  b[3] = bits;
  Set(b, 8, w - 1, 2);
  Set(b, 10, h - 1, 2);
  b[65] = planes;
  Set(b, 66, (w * bits + 15) / 16 * 2, 2);
  b.insert(b.end(), 32, 0);
  return b;
}

TEST(PcxReader, AgreesWithIdentifyOnSamples) {
  CheckSamples(MakePcxReader, {
      {"rgb.pcx", 33, 21, 150, 1, PXC_CE_RGB, PXC_AP_NONE, "RLE", "8"},
      {"mono.pcx", 33, 21, 100, 1, PXC_CE_BILEVEL, PXC_AP_NONE, "RLE", "1"},
      {"pal8.pcx", 33, 21, 100, 1, PXC_CE_INDEXED, PXC_AP_NONE, "RLE", "8"},
      // identify shows 72 ppi for these pages: its default, the file says 0.
      {"pages.dcx", 16, 16, 0, 3, PXC_CE_RGB, PXC_AP_NONE, "RLE", "8"},
      {IMR_CORPUS "/exiftool/PCX.pcx", 8, 8, 72, 1, PXC_CE_RGB, PXC_AP_NONE, "RLE", "8"},
  });
  const Described dcx = DescribeAll(MakePcxReader, Sample("pages.dcx"));
  ASSERT_EQ(dcx.images.size(), 3u);
  EXPECT_EQ(dcx.images[0].format, "DCX");
  EXPECT_EQ(dcx.images[0].pages, 3);
  EXPECT_EQ(dcx.images[1].type, PXC_IT_PAGE);
  EXPECT_EQ(dcx.images[1].columns, 20u);
  EXPECT_EQ(dcx.images[2].rows, 30u);
  EXPECT_EQ(DescribeAll(MakePcxReader, Sample("rgb.pcx")).images[0].format, "");
}

TEST(PcxReader, RefusesBadHeadersAndStopsAtBrokenPages) {
  const auto opens = [](const Bytes& b) { return DescribeAll(MakePcxReader, b).opened; };
  EXPECT_TRUE(opens(MakePcx(8, 4, 10, 10)));
  EXPECT_EQ(DescribeAll(MakePcxReader, MakePcx(8, 4, 10, 10)).images[0].alphaPlane,
            PXC_AP_UNASSOCIATED);
  EXPECT_FALSE(opens(MakePcx(3, 1, 10, 10)));
  EXPECT_FALSE(opens(MakePcx(8, 5, 10, 10)));
  Bytes b = MakePcx(8, 1, 10, 10);
  b[0] = 0x0B;
  EXPECT_FALSE(opens(b));
  b = MakePcx(8, 1, 10, 10);
  Set(b, 4, 20, 2);  // xMin past xMax
  EXPECT_FALSE(opens(b));
  b = MakePcx(8, 1, 10, 10);
  Set(b, 66, 4, 2);  // rows shorter than the width needs
  EXPECT_FALSE(opens(b));
  b.resize(100);
  EXPECT_FALSE(opens(b));

  // DCX: the second offset points at garbage; the walk ends after page 0.
  Bytes dcx;
  Put(dcx, 987654321, 4);
  Put(dcx, 16, 4);
  Put(dcx, 8, 4);
  Put(dcx, 0, 4);
  const Bytes page = MakePcx(1, 1, 64, 2);
  dcx.insert(dcx.end(), page.begin(), page.end());
  const Described r = DescribeAll(MakePcxReader, dcx);
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].pages, 2);
}

// ------------------------------------------------------------------- SGI

TEST(SgiReader, AgreesWithIdentifyAndRefusesBadHeaders) {
  CheckSamples(MakeSgiReader, {
      {"rgb.sgi", 30, 20, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "RLE", "8"},
      {"rgba.sgi", 12, 10, 0, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "RLE", "8"},
      {"gray16_rle.sgi", 30, 20, 0, 1, PXC_CE_GRAY, PXC_AP_NONE, "None", "16"},
  });
  Bytes b(512, 0);
  Set(b, 0, 474, 2, true);
  b[3] = 1;
  Set(b, 4, 1, 2, true);  // one dimension: a single row, sizes after x unused
  Set(b, 6, 99, 2, true);
  const Described row = DescribeAll(MakeSgiReader, b);
  ASSERT_EQ(row.images.size(), 1u);
  EXPECT_EQ(row.images[0].rows, 1u);
  EXPECT_EQ(row.images[0].channelEncoding, PXC_CE_GRAY);
  Bytes bad = b;
  bad[3] = 3;
  EXPECT_FALSE(DescribeAll(MakeSgiReader, bad).opened);
  bad = b;
  Set(bad, 4, 4, 2, true);
  EXPECT_FALSE(DescribeAll(MakeSgiReader, bad).opened);
  bad = b;
  Set(bad, 6, 0, 2, true);
  EXPECT_FALSE(DescribeAll(MakeSgiReader, bad).opened);
  bad = b;
  bad[1] = 0xDB;
  EXPECT_FALSE(DescribeAll(MakeSgiReader, bad).opened);
}

// ---------------------------------------------------------------- Netpbm

TEST(PnmReader, AgreesWithIdentifyOnSamples) {
  CheckSamples(MakePnmReader, {
      {"p1.pbm", 5, 3, 0, 1, PXC_CE_BILEVEL, PXC_AP_NONE, "", "1"},
      {"p2.pgm", 7, 3, 0, 1, PXC_CE_GRAY, PXC_AP_NONE, "", "8"},
      {"p3.ppm", 4, 2, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "", "8"},
      {"p4.pbm", 17, 9, 0, 1, PXC_CE_BILEVEL, PXC_AP_NONE, "", "1"},
      {"p5.pgm", 20, 10, 0, 1, PXC_CE_GRAY, PXC_AP_NONE, "", "8"},
      {"p5_16.pgm", 10, 6, 0, 1, PXC_CE_GRAY, PXC_AP_NONE, "", "16"},
      {"p6.ppm", 9, 6, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "", "8"},
      {"rgba.pam", 10, 6, 0, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "", "8"},
      {"rgb.pfm", 10, 6, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "", "32"},
      {"gray.pfm", 10, 6, 0, 1, PXC_CE_GRAY, PXC_AP_NONE, "", "32"},
      {"multi.pnm", 9, 6, 0, 3, PXC_CE_RGB, PXC_AP_NONE, "", "8"},
      {IMR_CORPUS "/exiftool/PPM.ppm", 8, 8, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "", "8"},
  });
  const Described multi = DescribeAll(MakePnmReader, Sample("multi.pnm"));
  ASSERT_EQ(multi.images.size(), 3u);
  EXPECT_EQ(multi.images[1].format, "PGM");
  EXPECT_EQ(multi.images[1].type, PXC_IT_PAGE);
  EXPECT_EQ(multi.images[1].columns, 20u);
  EXPECT_EQ(DescribeAll(MakePnmReader, Sample("rgba.pam")).images[0].format, "PAM");
  EXPECT_EQ(DescribeAll(MakePnmReader, Sample("rgb.pfm")).images[0].format, "PFM");
}

TEST(PnmReader, RefusesTheCorpusPfmWhoseDataIsMissing) {
  // "PF 512 768 -1.0" followed by a few bytes of text: a stub, not an image
  // (identify: insufficient image data).
  EXPECT_FALSE(DescribeAll(MakePnmReader, ReadBytes(IMR_CORPUS "/exiftool/PFM.pfm")).opened);
  // With all its data, the same header is a little-endian PFM.
  Bytes pfm = Text("Pf\n3 2\n-1.0\n");
  pfm.resize(pfm.size() + 3 * 2 * 4);
  const Described r = DescribeAll(MakePnmReader, pfm);
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(Detail(r.images[0], "ByteOrder"), "little-endian");
}

TEST(PnmReader, ParsesHeadersStrictly) {
  const auto open = [](const std::string& header, std::size_t data) {
    Bytes b = Text(header);
    const Bytes pixels(data & 0xFFFF, 0);  // zero pixel data (the mask bounds it for the compiler)
    b.insert(b.end(), pixels.begin(), pixels.end());
    return DescribeAll(MakePnmReader, b);
  };
  EXPECT_TRUE(open("P5 # comment\n#another\n 3 2 255\n", 6).opened);
  EXPECT_FALSE(open("P5 3 2 255\n", 5).opened);  // one byte short
  EXPECT_FALSE(open("P5 3 2 65536\n", 12).opened);
  EXPECT_FALSE(open("P5 3 0 255\n", 6).opened);
  EXPECT_FALSE(open("P5 9999999999 2 255\n", 6).opened);
  EXPECT_FALSE(open("P5 3 2 255", 0).opened);
  EXPECT_FALSE(open("P8 3 2 255\n", 6).opened);
  EXPECT_FALSE(open("PF\n3 2\n0\n", 72).opened);
  EXPECT_FALSE(open("PF\n3 2\nnan\n", 72).opened);
  // Large sizes are compared with the file, never allocated.
  EXPECT_FALSE(open("P6 999999999 999999999 65535\n", 16).opened);

  Described r = open("P7\nWIDTH 2\nHEIGHT 2\nDEPTH 4\nMAXVAL 255\nTUPLTYPE CMYK\nENDHDR\n", 16);
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_CMYK);
  EXPECT_EQ(r.images[0].inks, 4);
  EXPECT_EQ(r.images[0].alphaPlane, PXC_AP_NONE);
  r = open("P7\nWIDTH 2\nHEIGHT 2\nDEPTH 2\nMAXVAL 1\nTUPLTYPE GRAYSCALE_ALPHA\nENDHDR\n", 8);
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_GRAY);
  EXPECT_EQ(r.images[0].alphaPlane, PXC_AP_UNASSOCIATED);
  EXPECT_FALSE(open("P7\nWIDTH 2\nHEIGHT 2\nMAXVAL 255\nENDHDR\n", 16).opened);  // no DEPTH
  EXPECT_FALSE(open("P7\nWIDTH 2\nHEIGHT 2\nDEPTH 1\nMAXVAL 255\nSIZE 4\nENDHDR\n", 4).opened);
}

// ------------------------------------------------------------------- QOI

TEST(QoiReader, ReadsHeaderAndRefusesBadOnes) {
  const auto make = [](std::uint32_t w, std::uint32_t h, std::uint8_t channels, std::uint8_t space) {
    Bytes b = Text("qoif");
    Put(b, w, 4, true);
    Put(b, h, 4, true);
    b.insert(b.end(), {channels, space, 0, 0, 0, 0, 0, 0, 0, 1});
    return b;
  };
  Described r = DescribeAll(MakeQoiReader, make(640, 480, 4, 1));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].columns, 640u);
  EXPECT_EQ(r.images[0].alphaPlane, PXC_AP_UNASSOCIATED);
  EXPECT_EQ(Detail(r.images[0], "ColorSpace"), "linear");
  EXPECT_EQ(DescribeAll(MakeQoiReader, make(2, 2, 3, 0)).images[0].alphaPlane, PXC_AP_NONE);
  EXPECT_FALSE(DescribeAll(MakeQoiReader, make(0, 480, 4, 0)).opened);
  EXPECT_FALSE(DescribeAll(MakeQoiReader, make(640, 480, 2, 0)).opened);
  EXPECT_FALSE(DescribeAll(MakeQoiReader, make(640, 480, 3, 2)).opened);
  EXPECT_FALSE(DescribeAll(MakeQoiReader, make(100000, 100000, 3, 0)).opened);
  Bytes cut = make(1, 1, 3, 0);
  cut.resize(13);
  EXPECT_FALSE(DescribeAll(MakeQoiReader, cut).opened);
}

// ------------------------------------------------------------------- DDS

Bytes MakeDds(std::uint32_t w, std::uint32_t h, const std::string& fourCC) {
  Bytes b = Text("DDS ");
  b.resize(128, 0);
  Set(b, 4, 124, 4);
  Set(b, 8, 0x1007, 4);
  Set(b, 12, h, 4);
  Set(b, 16, w, 4);
  Set(b, 76, 32, 4);
  Set(b, 80, 4, 4);
  std::copy(fourCC.begin(), fourCC.end(), b.begin() + 84);
  return b;
}

TEST(DdsReader, AgreesWithIdentifyOnSamples) {
  // identify reports an alpha channel for rgb_none.dds, whose pixel format
  // has neither the alpha flag nor an alpha mask.
  CheckSamples(MakeDdsReader, {
      {"dxt1.dds", 16, 8, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "DXT1", ""},
      {"dxt5_mips.dds", 32, 32, 0, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "DXT5", ""},
      {"rgb_none.dds", 16, 8, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "None", "8"},
  });
  EXPECT_EQ(Detail(DescribeAll(MakeDdsReader, Sample("dxt5_mips.dds")).images[0], "Mipmaps"), "4");
  EXPECT_EQ(Detail(DescribeAll(MakeDdsReader, Sample("dxt1.dds")).images[0], "Mipmaps"), "");
}

TEST(DdsReader, ReadsDx10HeadersCubesAndVolumes) {
  Bytes b = MakeDds(64, 64, "DX10");
  b.resize(148, 0);
  Set(b, 128, 99, 4);      // BC7_UNORM_SRGB
  Set(b, 132, 3, 4);       // 2D
  Set(b, 136, 0x4, 4);     // cube
  Set(b, 140, 2, 4);       // two cubes
  Set(b, 144, 2, 4);       // premultiplied alpha
  Described r = DescribeAll(MakeDdsReader, b);
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(Detail(r.images[0], "Compression"), "BC7_UNORM_SRGB");
  EXPECT_EQ(Detail(r.images[0], "CubeFaces"), "6");
  EXPECT_EQ(Detail(r.images[0], "ArraySize"), "2");
  EXPECT_EQ(r.images[0].alphaPlane, PXC_AP_ASSOCIATED);

  Set(b, 128, 85, 4);  // B5G6R5_UNORM
  Set(b, 136, 0, 4);
  Set(b, 144, 0, 4);
  r = DescribeAll(MakeDdsReader, b);
  EXPECT_EQ(Detail(r.images[0], "BitsPerSample"), "5,6,5");
  EXPECT_EQ(r.images[0].alphaPlane, PXC_AP_NONE);
  Set(b, 128, 80, 4);  // BC4_UNORM
  EXPECT_EQ(DescribeAll(MakeDdsReader, b).images[0].channelEncoding, PXC_CE_GRAY);
  Set(b, 128, 125, 4);  // no such format
  EXPECT_FALSE(DescribeAll(MakeDdsReader, b).opened);
  Set(b, 128, 1000, 4);
  EXPECT_FALSE(DescribeAll(MakeDdsReader, b).opened);
  b.resize(140);  // DX10 header cut short
  EXPECT_FALSE(DescribeAll(MakeDdsReader, b).opened);

  Bytes volume = MakeDds(8, 8, "DXT2");
  Set(volume, 8, 0x1007 | 0x800000, 4);
  Set(volume, 24, 16, 4);
  Set(volume, 112, 0x200000, 4);
  r = DescribeAll(MakeDdsReader, volume);
  EXPECT_EQ(Detail(r.images[0], "Depth"), "16");
  EXPECT_EQ(r.images[0].alphaPlane, PXC_AP_ASSOCIATED);

  Bytes cube = MakeDds(8, 8, "ATI2");
  Set(cube, 112, 0x200 | 0x400 | 0x800 | 0x1000, 4);
  r = DescribeAll(MakeDdsReader, cube);
  EXPECT_EQ(Detail(r.images[0], "CubeFaces"), "3");
  EXPECT_EQ(r.images[0].inks, 2);

  Bytes bad = MakeDds(8, 8, "DXT1");
  Set(bad, 4, 100, 4);
  EXPECT_FALSE(DescribeAll(MakeDdsReader, bad).opened);
  bad = MakeDds(0, 8, "DXT1");
  EXPECT_FALSE(DescribeAll(MakeDdsReader, bad).opened);
}

}  // namespace
}  // namespace imr::formats
