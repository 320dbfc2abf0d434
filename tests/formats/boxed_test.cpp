// The ISO-box readers: JPEG 2000 (JP2, JPX, codestreams) and HEIF/AVIF/CR3.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/boxed/heif_reader.h"
#include "formats/boxed/jp2_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

std::string Box(const std::string& type, const std::string& content) {
  return Be32(static_cast<std::uint32_t>(8 + content.size())) + type + content;
}

namespace jp2 {

bool Describe(const std::string& bytes, ImageDescription& image) { return DescribeSingle(MakeJp2Reader, bytes, image); }

const std::string kSignature = Box("jP  ", "\x0D\x0A\x87\x0A");

std::string Ihdr(std::uint32_t width, std::uint32_t height, std::uint16_t components, std::uint8_t bpc) {
  return Box("ihdr",
             Be32(height) + Be32(width) + Be16(components) + static_cast<char>(bpc) + std::string("\x07\0\0", 3));
}
// A codestream's SIZ marker with 12-bit components.
std::string Siz(std::uint32_t width, std::uint32_t height, std::uint32_t x0, std::uint16_t components) {
  std::string siz = "\xFF\x4F\xFF\x51" + Be16(static_cast<std::uint16_t>(38 + 3 * components)) + Be16(0) +
                    Be32(width) + Be32(height) + Be32(x0) + Be32(0) + Be32(width) + Be32(height) + Be32(0) + Be32(0) +
                    Be16(components);
  for (int i = 0; i < components; ++i) siz += std::string("\x0B\x01\x01", 3);
  return siz;
}

// identify ignores the resolution boxes: we report the capture resolution.
TEST(Jp2Reader, SamplesAgreeWithIdentify) {
  const char* const jpeg2000 = "Compression=JPEG 2000|BitsPerSample=8";
  CheckSamples(MakeJp2Reader, {
      {"boxed/rgb.jp2", 40, 30, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "format=|inks=3|Compression=JPEG 2000|BitsPerSample=8"},
      {"boxed/rgba.jp2", 20, 10, 0, 1, PXC_CE_RGB, PXC_AP_UNSPECIFIED, jpeg2000},
      {"boxed/gray.j2k", 33, 17, 0, 1, PXC_CE_GRAY, PXC_AP_NONE, "format=J2K|inks=1|BitsPerSample=8"},
      {"boxed/jpx_icc_res.jpx", 40, 30, 300, 1, PXC_CE_RGB, PXC_AP_NONE,
       "format=JPX|ColorProfile=Artifex Software A98 ICC Profile|XMP=yes|Exif="},
      // a profile with a multilingual text tag
      {"boxed/icc_v4.jp2", 40, 30, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "ColorProfile=Artifex PS RGB Profile"},
      {IMR_CORPUS "/exiftool/Jpeg2000.jp2", 16, 16, 0, 1, PXC_CE_RGB, PXC_AP_NONE},
      {IMR_CORPUS "/exiftool/Jpeg2000.j2c", 8, 8, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "format=J2K|inks=3"},
  });
  ImageDescription image;
  ASSERT_TRUE(Describe(ReadFile(IMR_TEST_DATA "/formats/boxed/jpx_icc_res.jpx"), image));
  EXPECT_NEAR(image.hRealSize, 40 / (11811 * 0.0254), 1e-9);
}

TEST(Jp2Reader, ReadsHeaderBoxesAndCodestreams) {
  // display resolution only (in an exponent form), palette, alpha definition,
  // bits from the per-component box, and an unreadable profile
  const std::string header =
      Ihdr(100, 50, 2, 255) + Box("bpcc", "\x8F\x07") + Box("colr", std::string("\x02\0\0junk", 7)) +
      Box("pclr", std::string(8, '\0')) +
      Box("cdef", Be16(2) + Be16(0) + Be16(0) + Be16(1) + Be16(1) + Be16(2) + Be16(0)) +
      Box("res ", Box("resd", Be16(3937) + Be16(1) + Be16(3937) + Be16(10) + std::string("\0\x01", 2)));
  const std::pair<std::string, const char*> cases[] = {
      {kSignature + Box("ftyp", "jp2 " + Be32(0) + "jp2 ") + Box("jp2h", header),
       "columns=100|rows=50|encoding=Indexed|alpha=Associated|BitsPerSample=16|ColorProfile=embedded"},
      // a bare codestream: the image offset subtracted, 12-bit samples, four components
      {Siz(1000, 600, 200, 4), "columns=800|rows=600|BitsPerSample=12|alpha=Unspecified"},
      // a JP2 without a header box falls back on its codestream
      {kSignature + Box("jp2c", Siz(64, 32, 0, 1)), "columns=64|encoding=Gray"},
      // box sizes of 1 (64-bit) and 0 (to the end of the file)
      {kSignature + Be32(1) + "jp2h" + std::string(4, '\0') + Be32(16 + 22) + Ihdr(3, 4, 1, 7), "columns=3"},
      {kSignature + Be32(0) + "jp2h" + Ihdr(5, 6, 3, 7), "rows=6"},
  };
  for (const auto& [bytes, checks] : cases) {
    ImageDescription image;
    ASSERT_TRUE(Describe(bytes, image)) << checks;
    Check(image, checks);
  }
  ImageDescription image;
  ASSERT_TRUE(Describe(cases[0].first, image));
  EXPECT_NEAR(image.hResolution, 3937 * 0.0254, 1e-6);  // 3937/10 * 10^1
  EXPECT_NEAR(image.vResolution, 3937 * 0.0254, 1e-6);
}

TEST(Jp2Reader, RejectsBrokenBoxesAndCodestreams) {
  std::string wrongLength = Siz(10, 10, 0, 3);
  wrongLength[5] = 1;
  std::string nested = Ihdr(7, 7, 1, 7);  // deeply nested superboxes stop at the depth limit
  for (int i = 0; i < 50; ++i) nested = Box(i % 2 ? "jp2h" : "res ", nested);
  const std::string bad[] = {
      "", "\xFF\xD8\xFF\xE0", kSignature,
      kSignature + Be32(1000) + "jp2h" + Ihdr(1, 1, 1, 7),  // a box larger than the file
      kSignature + Box("jp2h", Ihdr(0, 5, 1, 7)),          // zero width
      kSignature + nested,
      // SIZ of the wrong length, without components, offset beyond the size, truncated
      wrongLength, Siz(10, 10, 0, 0), Siz(10, 10, 10, 1), Siz(10, 10, 0, 3).substr(0, 40),
  };
  for (const std::string& bytes : bad) {
    ImageDescription image;
    EXPECT_FALSE(Describe(bytes, image)) << &bytes - bad;
  }
}

}  // namespace jp2

namespace heif {

// Every image of `bytes`; empty when the reader does not open them.
std::vector<ImageDescription> DescribeAll(const std::string& bytes) {
  return test::DescribeAll(MakeHeifReader, bytes).images;
}

std::string Full(const std::string& type, std::uint8_t version, const std::string& content) {
  return Box(type, std::string(1, static_cast<char>(version)) + std::string(3, '\0') + content);
}
std::string Ispe(std::uint32_t w, std::uint32_t h) { return Full("ispe", 0, Be32(w) + Be32(h)); }

// A minimal HEIF: item 1 of `type` with the given properties and associations.
std::string Heif(const std::string& properties, const std::string& associations, const std::string& references = "",
                 const std::string& brands = "mif1") {
  std::string infe = Full("infe", 2, Be16(1) + Be16(0) + "hvc1" + std::string(1, '\0'));
  std::string meta = Full("pitm", 0, Be16(1)) + Full("iinf", 0, Be16(1) + infe) +
                     (references.empty() ? "" : Full("iref", 0, references)) +
                     Box("iprp", Box("ipco", properties) + Full("ipma", 0, Be32(1) + Be16(1) + associations));
  return Box("ftyp", brands.substr(0, 4) + Be32(0) + brands) + Full("meta", 0, meta);
}

// Sizes as coded: identify shows an irot image turned.  Its one image
// leaves out the thumbnails, and the previews (longer than 256).
TEST(HeifReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeHeifReader, {
      // the ImageMagick file's primary is a grid, coded by its tile
      {"boxed/im.heic", 64, 48, 0, 1, PXC_CE_YCBCR, PXC_AP_NONE, "format=HEIF|Compression=HEVC"},
      {"boxed/im.avif", 64, 48, 0, 1, PXC_CE_YCBCR, PXC_AP_NONE, "format=AVIF"},
      // a quarter turn anticlockwise, then mirrored; the thumbnail is not turned
      {"boxed/rotated_thumb_alpha.heic", 640, 480, 0, 2, PXC_CE_YCBCR, PXC_AP_ASSOCIATED,
       "rotation=Mirror90|ColorProfile=Artifex Software A98 ICC Profile|Exif=yes|XMP=yes|"
       "1:type=Thumbnail|1:columns=160|1:rotation=None"},
      // identity matrix: RGB
      {"boxed/avif_preview.avif", 1200, 800, 0, 2, PXC_CE_RGB, PXC_AP_NONE,
       "format=AVIF|Compression=AV1|BitsPerSample=10|1:type=Preview|1:rotation=R180"},
      {IMR_CORPUS "/exiftool/QuickTime.heic", 1596, 1064, 0, 2, PXC_CE_YCBCR, PXC_AP_NONE,
       "format=HEIF|Compression=HEVC|BitsPerSample=8|1:type=Preview|1:columns=320|1:rows=240"},
      // identify has no raw delegate here; dcraw -i -v: "Full size 6288 x 4056",
      // the third track; its previews' data are placeholders, so their
      // headers' sizes are all there is
      {IMR_CORPUS "/exiftool/CanonRaw.cr3", 6288, 4056, -1, 5, PXC_CE_RGB, PXC_AP_NONE,
       "format=CR3|Compression=Canon CRX|BitsPerSample=14|Exif=yes|1:type=Thumbnail|1:columns=160|"
       "2:type=Preview|2:columns=6000|2:Compression=JPEG|3:type=Preview|3:rows=1080|3:encoding=RGB|"
       "4:type=Preview|4:columns=1620"},
  });
}

TEST(HeifReader, ComposesRotationMirroringAndCropping) {
  struct Case {
    std::string transforms;  // properties 2 and 3, in order
    PXC_TImageRotation rotation;
  } cases[] = {
      {Box("irot", "\x03"), PXC_IR_90},
      {Box("irot", "\x02"), PXC_IR_180},
      {Box("imir", std::string(1, '\0')), PXC_IR_MIRROR},
      {Box("imir", std::string(1, '\0')) + Box("irot", "\x01"), PXC_IR_MIRROR_270},
      {Box("irot", "\x01") + Box("imir", "\x01"), PXC_IR_MIRROR_270},
  };
  for (const Case& c : cases) {
    const bool two = c.transforms.size() > 9;
    std::vector<ImageDescription> images =
        DescribeAll(Heif(Ispe(10, 20) + c.transforms, two ? std::string("\x03\x01\x02\x03", 4) : "\x02\x01\x02"));
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].rotation, c.rotation);
    EXPECT_EQ(images[0].columns, 10u);  // the coded size whatever the turn
    EXPECT_EQ(images[0].rows, 20u);
  }
  // a clean aperture crops the coded picture before it turns, or the turned
  // picture after: either way the size reported is of the coded picture
  const std::string clap = Box("clap", Be32(7) + Be32(1) + Be32(5) + Be32(1) + std::string(16, '\0'));
  const std::string three("\x03\x01\x02\x03", 4);
  std::vector<ImageDescription> images = DescribeAll(Heif(Ispe(10, 20) + clap + Box("irot", "\x01"), three));
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].columns, 7u);
  EXPECT_EQ(images[0].rows, 5u);
  EXPECT_EQ(images[0].rotation, PXC_IR_270);
  images = DescribeAll(Heif(Ispe(10, 20) + Box("irot", "\x01") + clap, three));
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].columns, 5u);
  EXPECT_EQ(images[0].rows, 7u);
}

TEST(HeifReader, RejectsOtherAndBrokenFiles) {
  const std::string size = Ispe(10, 20), one("\x01\x01", 2);
  std::string nested = size;  // property boxes nested into each other do not nest the walk
  for (int i = 0; i < 200; ++i) nested = Box("ipco", nested);
  const std::string bad[] = {
      "", Box("ftyp", "isom" + Be32(0) + "isommp41") /* a movie */, Box("ftyp", "heic") /* short ftyp */,
      Box("ftyp", "mif1" + Be32(0) + "mif1") /* no meta */,
      Heif(Box("irot", "\x01"), one),              // no size for the primary item
      Heif(size, std::string("\x01\x09", 2)),      // a property index out of range
      Heif(size, std::string("\xFF\x01", 2)),      // an association count running past its box
      Heif(nested, one),
  };
  for (const std::string& bytes : bad) EXPECT_TRUE(DescribeAll(bytes).empty()) << &bytes - bad;

  // a thumbnail that refers to itself, and a reference count past its box
  const std::string references =
      Box("thmb", Be16(1) + Be16(1) + Be16(1)) + Box("auxl", Be16(2) + Be16(50000) + Be16(1));
  const std::vector<ImageDescription> images = DescribeAll(Heif(size, one, references));
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].columns, 10u);
}

// A CR3 (hand-made: no tool writes one): Canon's box in moov with the
// thumbnail, a track per picture (a CRAW sample entry coded as JPEG, or as
// 14-bit raw by CMP1; its one sample in mdat at the end), and the preview box.
std::string Cr3(const std::string& thumbnail, const std::string& preview, const std::string& full) {
  const std::string canon("\x85\xC0\xB6\x87\x82\x0F\x11\xE0\x81\x11\xF4\xCE\x46\x2B\x6A\x48", 16);
  const std::string previewId("\xEA\xF4\x2B\x5E\x1C\x98\x4B\x88\xB9\xFB\xB7\xDC\x40\x6E\x4D\x16", 16);
  struct Track {
    std::uint16_t columns, rows;
    std::string coding, data;
  };
  const Track tracks[] = {{6000, 4000, Box("JPEG", ""), full},
                          {1624, 1080, Box("CMP1", std::string(24, '\0') + "\x0E"), "raw"},
                          {6288, 4056, Box("CMP1", std::string(24, '\0') + "\x0E"), "raw"}};
  std::string file;
  for (std::uint64_t mdat = 0;;) {  // laid out twice: the samples' offsets follow the rest
    std::string moov = Box("uuid", canon + Full("THMB", 0, Be16(160) + Be16(120) + Be32(thumbnail.size()) +
                                                               Be32(0x10000) + thumbnail));
    std::uint64_t at = mdat + 8;
    for (const Track& t : tracks) {
      const std::string entry = Box("CRAW", std::string(24, '\0') + Be16(t.columns) + Be16(t.rows) +
                                                std::string(54, '\0') + t.coding);
      moov += Box("trak", Box("mdia", Box("minf", Box("stbl", Full("stsd", 0, Be32(1) + entry) +
                                                               Full("stsz", 0, Be32(t.data.size()) + Be32(1)) +
                                                               Full("co64", 0, Be32(1) + Be64(at))))));
      at += t.data.size();
    }
    const std::string prvw = Box("PRVW", Be32(0) + Be16(1) + Be16(1620) + Be16(1080) + Be16(1) +
                                             Be32(preview.size()) + preview);
    file = Box("ftyp", "crx " + Be32(1) + "crx isom") + Box("moov", moov) +
           Box("uuid", previewId + Be64(1) + prvw);
    if (mdat == file.size()) break;
    mdat = file.size();
  }
  std::string samples;
  for (const Track& t : tracks) samples += t.data;
  return file + Box("mdat", samples);
}

// The sensor is the largest raw track; the thumbnail, the full-size JPEG
// track, the small raw track and the preview follow in file order, as
// JPEG streams for the pipeline when their data are JPEG streams.
TEST(HeifReader, CanonRawPreviews) {
  const std::string thumbnail = JpegStream(160, 120), preview = JpegStream(1620, 1080), full = JpegStream(6000, 4000);
  const std::string cr3 = Cr3(thumbnail, preview, full);
  std::vector<ImageDescription> images = DescribeAll(cr3);
  ASSERT_EQ(images.size(), 5u);
  Check(images, "format=CR3|columns=6288|rows=4056|encoding=RGB|Compression=Canon CRX|BitsPerSample=14|"
                "1:type=Thumbnail|2:type=Preview|3:type=Preview|3:format=CR3|3:columns=1624|3:encoding=RGB|"
                "4:type=Preview");
  for (const auto& [index, stream] : {std::pair{1, thumbnail}, {2, full}, {4, preview}}) {
    ASSERT_TRUE(images[index].embedded) << index;
    EXPECT_EQ(cr3.substr(images[index].embeddedOffset, images[index].embeddedLength), stream);
  }
  // placeholders instead of JPEG streams: the sizes the headers give
  images = DescribeAll(Cr3("<thumbnail>", "<preview>", "<jpeg>"));
  ASSERT_EQ(images.size(), 5u);
  Check(images, "1:columns=160|1:embedded=|2:columns=6000|2:encoding=YCbCr|4:rows=1080|4:Compression=JPEG");
  // no raw track
  const std::string jpegOnly = Box("ftyp", "crx " + Be32(1) + "crx isom") + Box("moov", "");
  EXPECT_EQ(Refusal(MakeHeifReader, jpegOnly), "no raw track gives the sensor size");
}

}  // namespace heif

}  // namespace
}  // namespace imr::formats
