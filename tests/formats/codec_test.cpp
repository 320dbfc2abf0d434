// The still-image codec readers: JPEG XR, BPG, FLIF and PGF.
#include <gtest/gtest.h>

#include <string>

#include "formats/codec/codec_readers.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;
using namespace std::string_literals;

namespace jxr {

// identify (through JxrDecApp) reads the size and channels and ignores the
// stated resolution; exiftool gives the pixel format and the resolution.
TEST(JxrReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeJxrReader, {
      {"codec/rgb24.jxr", 24, 16, 149.987, 1, PXC_CE_RGB, PXC_AP_NONE, "inks=3|BitsPerSample=8|Compression=JPEG XR"},
      {"codec/gray8.jxr", 20, 12, 96, 1, PXC_CE_GRAY, PXC_AP_NONE, "inks=1|BitsPerSample=8"},
      {"codec/rgba.jxr", 18, 10, 96, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "inks=3"},
  });
}

// A directory of four entries: width, height, pixel format and `extra`.
std::string Jxr(std::uint8_t format, std::uint32_t width = 40, const std::string& guidStem =
                "\x24\xC3\xDD\x6F\x03\x4E\xFE\x4B\xB1\x85\x3D\x77\x76\x8D\xC9"s) {
  const std::string entries = Le16(0xBC01) + Le16(1) + Le32(16) + Le32(62) +  // the GUID after the directory
                              Le16(0xBC80) + Le16(4) + Le32(1) + Le32(width) + Le16(0xBC81) + Le16(3) + Le32(1) +
                              Le32(30) + Le16(0xBCC2) + Le16(4) + Le32(1) + Le32(0);
  return "II\xBC\x01"s + Le32(8) + Le16(4) + entries + Le32(0) + guidStem + char(format);
}

TEST(JxrReader, PixelFormats) {
  struct Case {
    std::uint8_t format;
    const char* checks;
  };
  const Case cases[] = {
      {0x05, "encoding=Bilevel|BitsPerSample=1|alpha=Unassociated"},  // alpha from the planar alpha tag
      {0x10, "encoding=RGB|alpha=Associated|BitsPerSample=8"},
      {0x1F, "encoding=CMYK|inks=4|BitsPerSample=16"},
      {0x2A, "encoding=Multichannel|inks=7|BitsPerSample=16"},
      {0x33, "encoding=Multichannel|inks=8|BitsPerSample=8|alpha=Unassociated"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.format));
    ImageDescription d;
    ASSERT_TRUE(DescribeSingle(MakeJxrReader, Jxr(c.format), d));
    Check(d, std::string("columns=40|rows=30|") + c.checks);
    EXPECT_EQ(d.units, PXC_MU_NONE);
  }
  EXPECT_EQ(Refusal(MakeJxrReader, Jxr(0x60)), "pixel format 96 is not known");
  EXPECT_EQ(Refusal(MakeJxrReader, Jxr(0x08, 0)), "the image size tags are missing or out of range");
  EXPECT_EQ(Refusal(MakeJxrReader, Jxr(0x08, 9, std::string(15, 'x'))), "the pixel format is missing or not a JPEG XR one");
  EXPECT_EQ(Refusal(MakeJxrReader, "II\xBC\x01"s + Le32(4000)), "the header's version or directory offset is not valid");
  EXPECT_EQ(Refusal(MakeJxrReader, "II\xBC\x01"s + Le32(8) + Le16(0) + Le32(0)), "the first directory cannot be read");
}

}  // namespace jxr

namespace bpg {

std::string Bpg(std::uint8_t a, std::uint8_t b, const std::string& size) { return "BPG\xFB"s + char(a) + char(b) + size + '\0'; }

TEST(BpgReader, Headers) {
  CheckSamples(MakeBpgReader, {
      // exiftool: 16 x 16, 8 bits, 4:2:2, no alpha
      {IMR_CORPUS "/exiftool/BPG.bpg", 16, 16, 0, 1, PXC_CE_YCBCR, PXC_AP_NONE,
       "inks=3|BitsPerSample=8|Subsampling=4:2:2|ColorSpace=YCbCr BT.601|Compression=HEVC"},
  });
  struct Case {
    std::uint8_t a, b;
    std::string size;
    const char* checks;
  };
  const Case cases[] = {
      // 4:4:4 RGB 10 bits with alpha, animated; 300 = 0x82 0x2C as ue7
      {0x72, 0x11, "\x82\x2C\x05"s, "columns=300|rows=5|encoding=RGB|alpha=Unassociated|BitsPerSample=10|Animation=yes"},
      {0x10, 0x04, "\x01\x01"s, "encoding=Gray|alpha=Associated|inks=1"},  // alpha1 and alpha2: premultiplied
      {0x20, 0x24, "\x01\x01"s, "encoding=CMYK|inks=4|alpha=None"},       // alpha2 alone: the black plane
  };
  for (const Case& c : cases) {
    ImageDescription d;
    ASSERT_TRUE(DescribeSingle(MakeBpgReader, Bpg(c.a, c.b, c.size), d));
    Check(d, c.checks);
  }
  EXPECT_EQ(Refusal(MakeBpgReader, Bpg(0xC0, 0, "\x01\x01")), "pixel format 6 is not defined");
  EXPECT_EQ(Refusal(MakeBpgReader, Bpg(0x0F, 0, "\x01\x01")), "bit depth 23 is out of range");
  EXPECT_EQ(Refusal(MakeBpgReader, Bpg(0x00, 0x60, "\x01\x01")), "colour space 6 is not defined");
  EXPECT_EQ(Refusal(MakeBpgReader, "BPG\xFB\x00\x00\x81\x81\x81\x81\x81\x01"s), "the file ends inside the picture size");
}

}  // namespace bpg

namespace flif {

TEST(FlifReader, Headers) {
  CheckSamples(MakeFlifReader, {
      // exiftool: 16 x 16, 8 bits (file(1) misreads the size)
      {IMR_CORPUS "/exiftool/FLIF.flif", 16, 16, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "BitsPerSample=8|Interlace=|Frames="},
  });
  ImageDescription d;
  // Interlaced and animated RGBA, 16 bits: 1000 x 2 in 3 frames.
  ASSERT_TRUE(DescribeSingle(MakeFlifReader, "FLIFd2\x87\x67\x01\x01"s, d));
  Check(d, "columns=1000|rows=2|alpha=Unassociated|BitsPerSample=16|Interlace=yes|Frames=3");
  ASSERT_TRUE(DescribeSingle(MakeFlifReader, "FLIFA0\x00\x00"s, d));
  Check(d, "encoding=Gray|BitsPerSample=|Interlace=yes");
  EXPECT_EQ(Refusal(MakeFlifReader, "FLIF22\x00\x00"s), "the header byte 50 is not a known kind of image");
  EXPECT_EQ(Refusal(MakeFlifReader, "FLIF35\x00\x00"s), "bytes per channel '5' is not known");
  EXPECT_EQ(Refusal(MakeFlifReader, "FLIFQ1\x00\x00"s), "the file ends inside the image size");
}

}  // namespace flif

namespace pgf {

std::string Pgf(std::uint8_t bpp, std::uint8_t channels, std::uint8_t mode) {
  return "PGF6"s + Le32(16) + Le32(640) + Le32(480) + '\x03' + '\x00' + char(bpp) + char(channels) + char(mode) +
         '\0' + Le16(0);
}

TEST(PgfReader, Headers) {
  CheckSamples(MakePgfReader, {
      {IMR_CORPUS "/exiftool/PGF.pgf", 8, 8, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "version=6|inks=3|BitsPerSample=8|Levels=0|Quality=0"},
  });
  ImageDescription d;
  ASSERT_TRUE(DescribeSingle(MakePgfReader, Pgf(32, 4, 17), d));
  Check(d, "columns=640|rows=480|encoding=RGB|alpha=Unassociated|inks=3|BitsPerSample=8|Levels=3");
  ASSERT_TRUE(DescribeSingle(MakePgfReader, Pgf(16, 1, 10), d));
  Check(d, "encoding=Gray|BitsPerSample=16");
  EXPECT_EQ(Refusal(MakePgfReader, Pgf(8, 1, 5)), "image mode 5 is not known");
  EXPECT_EQ(Refusal(MakePgfReader, Pgf(8, 0, 1)), "0 channels are out of range");
  EXPECT_EQ(Refusal(MakePgfReader, "PGF6"s + Le32(16)), "the file ends inside the header");
}

}  // namespace pgf

namespace fpx {

// make_fpx.py writes them (no tool on Debian writes FlashPix); exiftool
// reads their properties back.
TEST(FpxReader, ImageContents) {
  CheckSamples(MakeFpxReader, {
      {"codec/rgb_150dpi.fpx", 300, 200, 150, 1, PXC_CE_RGB, PXC_AP_NONE, "inks=3|BitsPerSample=8"},
      {"codec/ycc_alpha.fpx", 64, 48, 72, 1, PXC_CE_YCBCR, PXC_AP_UNASSOCIATED, "inks=3"},
  });
}

TEST(FpxReader, DamagedCompoundDocuments) {
  const std::string good = ReadFile(IMR_TEST_DATA "/formats/codec/rgb_150dpi.fpx");
  struct Case {
    std::size_t at;
    std::string bytes;
    const char* reason;
  };
  const Case cases[] = {
      {0x1E, Le16(10), "the compound document header is not valid"},
      {0x2C, Le32(200), "the sector allocation table does not lie within the file"},
      {0x30, Le32(4000), "the directory does not lie within the file"},
      {512 + 4, Le32(7), "the directory does not lie within the file"},  // its chain leads past the end
      {1024 + 66, "\x01", "the directory does not start with the root entry"},
      {1024 + 128, std::string(64, '\0'), "the file has no Image Contents property set"},
      {1024 + 128 + 120, Le32(5000), "the Image Contents property set is cut short"},
  };
  for (const Case& c : cases) {
    std::string bytes = good;
    bytes.replace(c.at, c.bytes.size(), c.bytes);
    EXPECT_EQ(Refusal(MakeFpxReader, bytes), c.reason) << c.at;
  }
  // A chain that loops ends when it has visited as many sectors as the file holds.
  std::string loop = good;
  loop.replace(512 + 4, 4, Le32(1));
  EXPECT_EQ(Refusal(MakeFpxReader, loop), "the directory does not lie within the file");
}

}  // namespace fpx

// Damaged files kept in codec/regress.
TEST(CodecReaders, DamagedFilesSayWhy) {
  CheckRegressionRefusals("codec", {
      {"fpx_directory_loop.fpx", MakeFpxReader, "the directory does not lie within the file"},
      {"jxr_directory_outside.jxr", MakeJxrReader, "the header's version or directory offset is not valid"},
      {"bpg_cut_size.bpg", MakeBpgReader, "the file ends inside the picture size"},
  });
}

}  // namespace
}  // namespace imr::formats
