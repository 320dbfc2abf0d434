// The film readers: DPX, Cineon, OpenEXR and Radiance HDR.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/film/film_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;
using namespace std::string_literals;

// `b` with the `n`-byte integer at `at` set to `v`, in either byte order.
void Put(Bytes& b, std::size_t at, std::uint64_t v, int n, bool little) {
  for (int i = 0; i < n; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (little ? 8 * i : 8 * (n - 1 - i)));
}
Bytes Cut(Bytes b, std::size_t size) {
  b.resize(size);
  return b;
}

// ------------------------------------------------------------------- DPX

// A DPX header of the given elements (descriptor codes), 10 bits each.
Bytes MakeDpx(bool little, std::uint32_t w, std::uint32_t h, const std::vector<std::uint8_t>& descriptors,
              std::uint16_t orientation = 0) {
  Bytes b(2048, 0);
  Put(b, 0, 0x53445058, 4, little);  // "SDPX" in the file's order
  std::copy_n("V1.0", 4, b.begin() + 8);
  Put(b, 768, orientation, 2, little);
  Put(b, 770, descriptors.size(), 2, little);
  Put(b, 772, w, 4, little);
  Put(b, 776, h, 4, little);
  for (std::size_t i = 0; i < descriptors.size(); ++i) {
    b[780 + 72 * i + 20] = descriptors[i];
    b[780 + 72 * i + 23] = 10;
  }
  Put(b, 1628, 0xFFFFFFFF, 4, little);  // pixel aspect ratio unset
  Put(b, 1724, 0xFFFFFFFF, 4, little);  // frame rates unset
  Put(b, 1940, 0xFFFFFFFF, 4, little);
  return b;
}

TEST(DpxReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeDpxReader, {
      {"film/rgb10.dpx", 20, 10, 0, 1, PXC_CE_RGB, PXC_AP_NONE,
       "version=2.0|inks=3|BitsPerSample=10|Packing=filled, method A|Descriptor=RGB|ByteOrder=big-endian"},
      {"film/gray8.dpx", 16, 9, 0, 1, PXC_CE_GRAY, PXC_AP_NONE, "Descriptor=Y|BitsPerSample=8|inks=1"},
      {"film/rgba8.dpx", 14, 8, 0, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "Descriptor=RGBA"},
      {"film/bottomleft.dpx", 15, 7, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "rotation=Mirror180|Orientation=BottomLeft"},
      {"film/oiio.dpx", 24, 16, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "ByteOrder=little-endian|BitsPerSample=16"},
      // a stub: the header of a 2048 x 1556 scan and a few bytes
      {IMR_CORPUS "/exiftool/DPX.dpx", 2048, 1556, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "version=1.0|Compression=None"},
  });
}

TEST(DpxReader, DescribesEveryElementAndEveryOrientation) {
  // Separate R, G, B and A elements: an RGB picture with alpha, then the
  // elements after the first as auxiliary images.
  for (bool little : {false, true}) {
    const Described r = DescribeAll(MakeDpxReader, MakeDpx(little, 8, 4, {1, 2, 3, 4}));
    ASSERT_EQ(r.images.size(), 4u);
    Check(r.images, "version=1.0|encoding=RGB|inks=3|alpha=Unassociated|Elements=4|Descriptor=R|"
                    "1:type=Auxiliary|1:Descriptor=G|3:Descriptor=A|3:inks=0|3:columns=8|3:rows=4");
    EXPECT_EQ(r.images[3].subtype, PXC_IS_ALPHA_CHANNEL);
    EXPECT_EQ(r.images[1].subtype, PXC_IS_OTHER);
  }
  // Luma and chroma elements make a YCbCr picture.
  Check(DescribeAll(MakeDpxReader, MakeDpx(false, 8, 4, {6, 7})).images, "encoding=YCbCr|inks=3|1:inks=2");
  // Lines running down the columns: the stored picture is transposed.
  const std::pair<std::uint16_t, const char*> orientations[] = {
      {1, "Mirror"}, {3, "R180"}, {4, "Mirror270"}, {5, "R90"}, {6, "R270"}, {7, "Mirror90"}, {9, "None"}};
  for (const auto& [code, rotation] : orientations) {
    Check(DescribeAll(MakeDpxReader, MakeDpx(true, 8, 4, {50}, code)).images, "rotation="s + rotation);
  }
}

TEST(DpxReader, SaysWhyItRefusesBrokenHeaders) {
  const Bytes good = MakeDpx(false, 8, 4, {50});
  Bytes noBits = good;
  noBits[780 + 23] = 0;
  CheckRefusals(MakeDpxReader, {
      {Cut(good, 1000), "the file ends inside the image information header"},
      {MakeDpx(false, 8, 4, {}), "the header lists 0 image elements"},
      {MakeDpx(true, 0, 4, {50}), "the image size 0 x 4 is out of range"},
      {MakeDpx(false, 8, 0xFFFFFFFF, {50}), "the image size 8 x 4294967295 is out of range"},
      {noBits, "image element 1 has 0 bits per sample"},
      {ToBytes("SDPY and more"), ""},
  });
}

// ---------------------------------------------------------------- Cineon

Bytes MakeCineon(bool little, std::uint8_t channels, std::uint8_t bits, std::uint32_t w, std::uint32_t h,
                 std::uint8_t orientation = 0) {
  Bytes b(1024, 0);
  Put(b, 0, 0x802A5FD7, 4, little);
  std::copy_n("V4.5", 4, b.begin() + 24);
  b[192] = orientation;
  b[193] = channels;
  b[198] = bits;
  Put(b, 200, w, 4, little);
  Put(b, 204, h, 4, little);
  b[681] = 5;
  return b;
}

TEST(CineonReader, ReadsBothByteOrders) {
  CheckSamples(MakeCineonReader, {
      {"film/rgb.cin", 20, 10, 0, 1, PXC_CE_RGB, PXC_AP_NONE,
       "version=4.5|BitsPerSample=10|Packing=32-bit words, left-justified|Interleave=pixel|ByteOrder=big-endian"},
  });
  const Described r = DescribeAll(MakeCineonReader, MakeCineon(true, 1, 10, 64, 48, 1));
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "columns=64|rows=48|encoding=Gray|inks=1|ByteOrder=little-endian|rotation=Mirror180|Interleave=");
  CheckRefusals(MakeCineonReader, {
      {Cut(MakeCineon(false, 3, 10, 4, 4), 700), "the file ends inside the image information header"},
      {MakeCineon(false, 0, 10, 4, 4), "the header lists 0 channels"},
      {MakeCineon(true, 3, 10, 4, 0), "the image size 4 x 0 is out of range"},
      {MakeCineon(false, 3, 33, 4, 4), "the first channel has 33 bits per sample"},
  });
}

// --------------------------------------------------------------- OpenEXR

std::string Attribute(const std::string& name, const std::string& type, const std::string& value) {
  return name + '\0' + type + '\0' + Le32(static_cast<std::uint32_t>(value.size())) + value;
}
std::string Box(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
  return Le32(x0) + Le32(y0) + Le32(x1) + Le32(y1);
}
// A channel list of half channels.
std::string Channels(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) list += name + '\0' + Le32(1) + std::string(4, '\0') + Le32(1) + Le32(1);
  return Attribute("channels", "chlist", list + '\0');
}
std::string Header(const std::vector<std::string>& channels, const std::string& extra = "") {
  return Channels(channels) + Attribute("compression", "compression", "\x03"s) +
         Attribute("dataWindow", "box2i", Box(0, 0, 9, 4)) + Attribute("displayWindow", "box2i", Box(0, 0, 9, 4)) +
         extra + '\0';
}
Bytes Exr(std::uint32_t flags, const std::string& headers) {
  return ToBytes("v/1\x01"s + Le32(2 | flags) + headers + std::string(16, '\0'));
}

TEST(ExrReader, SamplesAgreeWithIdentifyAndExrheader) {
  CheckSamples(MakeExrReader, {
      {"film/rgb_half.exr", 20, 10, 0, 1, PXC_CE_RGB, PXC_AP_NONE,
       "version=2|Compression=None|BitsPerSample=16|SampleFormat=half float|Channels=B,G,R|Storage=scanline|"
       "LineOrder=increasing y|DataWindow=(0 0)-(19 9)"},
      {"film/rgba.exr", 14, 8, 0, 1, PXC_CE_RGB, PXC_AP_ASSOCIATED, "Channels=A,B,G,R"},
      {"film/float_zip.exr", 32, 24, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "Compression=ZIP|BitsPerSample=32|SampleFormat=float"},
      {"film/tiled_piz.exr", 40, 30, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "Compression=PIZ|Storage=tiled|TileSize=16x16"},
      {"film/mip.exr", 16, 16, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "TileSize=8x8, mipmap levels"},
      {"film/gray_y.exr", 20, 16, 0, 1, PXC_CE_GRAY, PXC_AP_NONE, "inks=1|Channels=Y"},
      // the display window is the picture; the data window lies within it
      {"film/windows.exr", 40, 30, 0, 1, PXC_CE_RGB, PXC_AP_ASSOCIATED,
       "DataWindow=(5 4)-(34 23)|DisplayWindow=(0 0)-(39 29)"},
      {"film/density.exr", 20, 10, 150, 1, PXC_CE_RGB, PXC_AP_NONE},
      {"film/multipart.exr", 20, 10, 0, 2, PXC_CE_RGB, PXC_AP_NONE,
       "Parts=2|PartName=rgb_half|1:type=Page|1:PartName=part2|1:Compression=ZIP|1:SampleFormat=float"},
      {IMR_CORPUS "/exiftool/OpenEXR.exr", 3, 2, 0, 1, PXC_CE_RGB, PXC_AP_ASSOCIATED, "Compression=PIZ"},
  });
}

TEST(ExrReader, ReadsChannelModelsAndDeepParts) {
  const auto describe = [](const std::vector<std::string>& channels, const std::string& extra = "") {
    return DescribeAll(MakeExrReader, Exr(0, Header(channels, extra))).images;
  };
  Check(describe({"BY", "RY", "Y"}), "encoding=YCbCr|inks=3");
  Check(describe({"left.B", "left.G", "left.R", "left.A"}), "encoding=RGB|alpha=Associated");
  Check(describe({"Z", "N.x", "N.y"}), "encoding=Multichannel|inks=3|inkNames=Z,x,y");
  // xDensity gives pixels per inch across, pixelAspectRatio the height of a pixel.
  const std::string density = Attribute("xDensity", "float", "\x00\x00\x48\x43"s) +  // 200
                              Attribute("pixelAspectRatio", "float", "\x00\x00\x00\x40"s);  // 2
  const std::vector<ImageDescription> images = describe({"R", "G", "B"}, density);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_DOUBLE_EQ(images[0].hResolution, 200);
  EXPECT_DOUBLE_EQ(images[0].vResolution, 400);

  // Multi-part: a deep part after a scanline one, the list ended by an empty header.
  const std::string deep = Attribute("type", "string", "deepscanline") + Attribute("name", "string", "depth");
  const Described r = DescribeAll(MakeExrReader, Exr(0x1000, Header({"R", "G", "B"}) + Header({"Z"}, deep) + '\0'));
  ASSERT_EQ(r.images.size(), 2u);
  Check(r.images, "Parts=2|1:type=Page|1:Storage=deep scanline|1:PartName=depth|1:encoding=Gray");
  // A single-part deep file says so in its version field.
  Check(DescribeAll(MakeExrReader, Exr(0x800, Header({"A"}))).images, "Storage=deep scanline|encoding=Unknown");
}

TEST(ExrReader, SaysWhyItRefusesBrokenHeaders) {
  const std::string good = Header({"R", "G", "B"});
  CheckRefusals(MakeExrReader, {
      {ToBytes("v/1\x01\x03\x00\x00\x00"s + good), "version 3 is not known"},
      {Exr(0, good.substr(0, 5)), "an attribute name is cut short or too long"},
      {Exr(0, Attribute(std::string(40, 'n'), "int", Le32(1)) + good), "an attribute name is cut short or too long"},
      {Exr(0, "channels\0chlist\0"s + Le32(1000) + "R"), "the attribute channels runs past the end of the file"},
      {Exr(0, Attribute("compression", "compression", "\x00"s) + Attribute("dataWindow", "box2i", Box(0, 0, 9, 4)) + '\0'),
       "a header has no channel list"},
      {Exr(0, Channels({"R"}) + '\0'), "a header has neither a display window nor a data window"},
      {Exr(0, Channels({"R"}) + Attribute("displayWindow", "box2i", Box(5, 0, 4, 4)) + '\0'),
       "the window (5 0)-(4 4) is empty"},
      {Exr(0x1000, "\0"s), "the file holds no part"},
  });
  // A damaged part after good ones ends the walk; the good ones stand.
  EXPECT_EQ(DescribeAll(MakeExrReader, Exr(0x1000, good + Channels({"R"}) + '\0')).images.size(), 1u);
}

// -------------------------------------------------------------- Radiance

TEST(HdrReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeHdrReader, {
      {"film/rgb_rle.hdr", 20, 10, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "Compression=RLE|PixelFormat=RGBE|Orientation=TopLeft"},
      {"film/oiio.hdr", 24, 12, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "Compression=RLE"},
      {"film/flipped.hdr", 6, 4, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "Compression=None|rotation=Mirror180"},
      // four scanlines down the picture's columns, six samples each
      {"film/transposed.hdr", 6, 4, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "rotation=Mirror270|Orientation=LeftTop"},
      {"film/xyze.hdr", 6, 4, 0, 1, PXC_CE_XYZ, PXC_AP_NONE, "PixelFormat=XYZE"},
      {IMR_CORPUS "/exiftool/Radiance.hdr", 1, 1, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "Exposure=0.351218|Software=RADIANCE 3.1.8 lastmod Thu Sep 17 20:49:56 PDT 1998 by droberts on escher"},
  });
}

TEST(HdrReader, ReadsHeaderVariablesAndSaysWhyItRefuses) {
  const auto read = [](const std::string& text) { return ToBytes(text + std::string(64, '\0')); };
  const Described r = DescribeAll(
      MakeHdrReader, read("#?RGBE\r\nEXPOSURE=2\r\n# a comment\r\nEXPOSURE=1.5\r\nPIXASPECT=0.5\r\n\r\n-X 3 +Y 5\n"));
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "columns=5|rows=3|Exposure=3|PixelAspectRatio=0.5|rotation=Mirror90|encoding=RGB");
  CheckRefusals(MakeHdrReader, {
      {ToBytes("#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n"), "the header is cut short"},
      {ToBytes("#?RADIANCE\nFORMAT=16-bit_rgb\n\n-Y 2 +X 2\n"), "the pixel format 16-bit_rgb is neither RGBE nor XYZE"},
      {ToBytes("#?RADIANCE\n\n-Y 2 +Y 2\n"), "the resolution string \"-Y 2 +Y 2\" cannot be read"},
      {ToBytes("#?RADIANCE\n\n-Y 0 +X 2\n"), "the resolution string \"-Y 0 +X 2\" cannot be read"},
      {ToBytes("#?RADIANCE\n\n-Y 2 +X 2"), "the resolution string \"-Y 2 +X 2\" cannot be read"},
      {ToBytes("#?RADIANCE\n" + std::string(70000, 'x')), "the header does not end within its first 64 KiB"},
  });
}

// ----------------------------------------------------- regression inputs

TEST(FilmRegressionInputs, AreRefusedForTheirReasons) {
  CheckRegressionRefusals("film", {
      {"cin_no_bits.cin", MakeCineonReader, "the first channel has 0 bits per sample"},
      {"dpx_cut_header.dpx", MakeDpxReader, "the file ends inside the image information header"},
      {"dpx_nine_elements.dpx", MakeDpxReader, "the header lists 9 image elements"},
      {"exr_attribute_past_end.exr", MakeExrReader, "the attribute channels runs past the end of the file"},
      {"hdr_cut_header.hdr", MakeHdrReader, "the header is cut short"},
  });
}

}  // namespace
}  // namespace imr::formats
