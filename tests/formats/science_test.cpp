// The science readers: FITS, DICOM, VICAR, VIFF, VIPS, MIFF/MPC and PGX.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/science/science_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;
using namespace std::string_literals;

Bytes Cut(Bytes b, std::size_t size) {
  b.resize(size);
  return b;
}

// ------------------------------------------------------------------ FITS

// A header of `cards` ("KEY = value"), each padded to 80 bytes, END, and
// the block padding.
std::string FitsHeader(const std::vector<std::string>& cards) {
  std::string text;
  for (std::string card : cards) {
    const std::size_t equals = card.find('=');
    if (equals != std::string::npos) {
      card = (card.substr(0, equals) + std::string(8, ' ')).substr(0, 8) + "= " + card.substr(equals + 1);
    }
    text += (card + std::string(80, ' ')).substr(0, 80);
  }
  text += "END" + std::string(77, ' ');
  text.resize((text.size() + 2879) / 2880 * 2880, ' ');
  return text;
}

TEST(FitsReader, SamplesAgreeWithIdentifyAndAstropy) {
  CheckSamples(MakeFitsReader, {
      {"science/gray16.fits", 20, 10, 0, 1, PXC_CE_GRAY, PXC_AP_NONE,
       "BitsPerSample=16|SampleFormat=signed integer|Dimensions=20x10|Compression=None|inks=1"},
      {"science/float_cube.fits", 20, 10, 0, 3, PXC_CE_GRAY, PXC_AP_NONE,
       "SampleFormat=float|Dimensions=20x10x3|Object=M31|Telescope=Test scope|1:type=Page|2:columns=20"},
      // an empty primary unit, then two IMAGE extensions
      {"science/extensions.fits", 9, 7, 0, 2, PXC_CE_GRAY, PXC_AP_NONE,
       "ExtensionName=FIRST|BitsPerSample=8|1:columns=6|1:rows=5|1:BitsPerSample=64"},
      {"science/primary_ext.fits", 20, 10, 0, 2, PXC_CE_GRAY, PXC_AP_NONE, "1:columns=9|1:SampleFormat=signed integer"},
      // a binary table between the images is skipped by its size
      {"science/table_image.fits", 20, 10, 0, 2, PXC_CE_GRAY, PXC_AP_NONE, "1:columns=4|1:rows=4"},
      {"science/tiled_rice.fits", 40, 30, 0, 1, PXC_CE_GRAY, PXC_AP_NONE, "Compression=RICE_1|BitsPerSample=16"},
  });
}

TEST(FitsReader, WalksUnitsWithinTheFileAndSaysWhyItRefuses) {
  const std::string image = FitsHeader({"SIMPLE = T", "BITPIX = 8", "NAXIS = 2", "NAXIS1 = 3", "NAXIS2 = 2"});
  const std::string data(2880, '\0');
  // A one-dimensional array is a single row; an extension whose data runs
  // past the end of the file ends the walk after it.
  const Bytes spectrum = ToBytes(FitsHeader({"SIMPLE = T", "BITPIX = -64", "NAXIS = 1", "NAXIS1 = 360"}) + data +
                                 FitsHeader({"XTENSION= 'IMAGE   '", "BITPIX = 16", "NAXIS = 2", "NAXIS1 = 9",
                                             "NAXIS2 = 99999", "PCOUNT = 0", "GCOUNT = 1"}) +
                                 data + image);
  Check(DescribeAll(MakeFitsReader, spectrum).images, "columns=360|rows=1|1:columns=9|1:rows=99999");
  EXPECT_EQ(DescribeAll(MakeFitsReader, spectrum).images.size(), 2u);

  // Random groups are not an image.
  const std::string groups = FitsHeader({"SIMPLE = T", "BITPIX = 8", "NAXIS = 2", "NAXIS1 = 0", "NAXIS2 = 4",
                                         "GROUPS = T", "PCOUNT = 1", "GCOUNT = 2"});
  CheckRefusals(MakeFitsReader, {
      {ToBytes(FitsHeader({"SIMPLE = T", "BITPIX = 12", "NAXIS = 0"})), "BITPIX 12 is not a sample size"},
      {ToBytes(FitsHeader({"SIMPLE = T", "BITPIX = 8", "NAXIS = 2", "NAXIS1 = 3"})), "NAXIS2 is missing or out of range"},
      {ToBytes(FitsHeader({"SIMPLE = T", "BITPIX = 8", "NAXIS = two"})), "a size card is not a number"},
      {ToBytes(image.substr(0, 400)), "a header is cut short"},
      {ToBytes("SIMPLE  =" + std::string(2880 * 300, ' ')), "a header does not end within 256 blocks"},
  });
  // Files of no image are read: image 0 is past their last.
  for (const Bytes& bytes : {ToBytes(groups + data), ReadBytes(IMR_CORPUS "/exiftool/FITS.fits")}) {
    const Described none = DescribeAll(MakeFitsReader, bytes);
    EXPECT_TRUE(none.opened);
    EXPECT_TRUE(none.images.empty());
    EXPECT_EQ(Refusal(MakeFitsReader, bytes), "");
  }
}

// ----------------------------------------------------------------- DICOM

// An explicit VR little-endian element.
std::string Element(std::uint16_t group, std::uint16_t element, const std::string& vr, const std::string& value) {
  return Le16(group) + Le16(element) + vr + Le16(static_cast<std::uint16_t>(value.size())) + value;
}
// A file of the given transfer syntax and data set elements.
Bytes Dicom(const std::string& syntax, const std::string& elements) {
  return ToBytes(std::string(128, '\0') + "DICM" + Element(2, 0x10, "UI", syntax) + elements);
}

TEST(DicomReader, SamplesAgreeWithDcmdump) {
  CheckSamples(MakeDicomReader, {
      {"science/jpeg_baseline.dcm", 20, 10, 0, 1, PXC_CE_YCBCR, PXC_AP_NONE,
       "Compression=JPEG baseline|TransferSyntax=1.2.840.10008.1.2.4.50|PhotometricInterpretation=YBR_FULL_422"},
      // Pixel Spacing 0.5 mm between rows, 0.25 mm between columns
      {"science/rgb_explicit.dcm", 20, 10, -1, 1, PXC_CE_RGB, PXC_AP_NONE, "Compression=None|BitsPerSample=8|inks=3"},
      {"science/rgb_implicit.dcm", 20, 10, -1, 1, PXC_CE_RGB, PXC_AP_NONE, "TransferSyntax=1.2.840.10008.1.2"},
      {"science/rgb_bigendian.dcm", 20, 10, -1, 1, PXC_CE_RGB, PXC_AP_NONE, "TransferSyntax=1.2.840.10008.1.2.2"},
      {"science/rgb_rle.dcm", 20, 10, -1, 1, PXC_CE_RGB, PXC_AP_NONE, "Compression=RLE"},
      {"science/mono12_frames.dcm", 16, 12, 50.8, 4, PXC_CE_GRAY, PXC_AP_NONE,
       "BitsPerSample=12|BitsAllocated=16|Modality=MR|Frames=4|3:type=Page|3:columns=16"},
      // the icon of the Icon Image Sequence, in both encodings of sequences
      {"science/icon_implicit.dcm", 32, 24, 0, 2, PXC_CE_GRAY, PXC_AP_NONE, "Modality=CT|1:type=Thumbnail|1:columns=8"},
      {"science/icon_undefined.dcm", 32, 24, 0, 2, PXC_CE_GRAY, PXC_AP_NONE, "1:type=Thumbnail|1:rows=8|Modality=CT"},
      {IMR_CORPUS "/exiftool/DICOM.dcm", 256, 256, 25.4 / 0.859375, 1, PXC_CE_GRAY, PXC_AP_NONE, "BitsPerSample=16"},
  });
  for (const char* file : {"rgb_explicit.dcm", "rgb_implicit.dcm", "rgb_bigendian.dcm", "rgb_rle.dcm"}) {
    const Described r = DescribeAll(MakeDicomReader, ReadBytes(IMR_TEST_DATA "/formats/science/"s + file));
    ASSERT_EQ(r.images.size(), 1u);
    EXPECT_NEAR(r.images[0].hResolution, 101.6, 0.01) << file;
    EXPECT_NEAR(r.images[0].vResolution, 50.8, 0.01) << file;
  }
}

TEST(DicomReader, SaysWhyItRefuses) {
  const std::string size = Element(0x28, 0x10, "US", Le16(4)) + Element(0x28, 0x11, "US", Le16(6));
  EXPECT_EQ(Refusal(MakeDicomReader, Dicom("1.2.840.10008.1.2.1", size)), "opened");
  Check(DescribeAll(MakeDicomReader, Dicom("1.2.840.10008.1.2.4.90", size + Element(0x28, 0x04, "CS", "CMYK "))).images,
        "encoding=CMYK|Compression=JPEG 2000 lossless");
  CheckRefusals(MakeDicomReader, {
      {Dicom("1.2.840.10008.1.2.1.99", size), "the data set is deflated"},
      {Dicom("1.2.840.10008.1.2.1", Element(0x08, 0x60, "CS", "OT")), "the data set holds no image (no Rows and Columns)"},
      {ToBytes(std::string(128, '\0') + "DICM" + Element(2, 0x13, "SH", "X")), "the file meta information names no transfer syntax"},
      // a sequence of undefined length that never ends
      {Dicom("1.2.840.10008.1.2.1", "\x08\x00\x15\x11SQ\0\0"s + Le32(0xFFFFFFFF) + "\xFE\xFF\x00\xE0"s + Le32(0xFFFFFFFF)),
       "the data set cannot be walked to its pixel data"},
      {ToBytes(std::string(128, '\0') + "DICN"), ""},
  });
}

// ----------------------------------------------------------------- VICAR

Bytes Vicar(const std::string& items, std::size_t size = 512) {
  std::string label = "LBLSIZE=" + std::to_string(size) + "  " + items;
  label.resize(size, '\0');
  return ToBytes(label + std::string(64, '\0'));
}

TEST(VicarReader, ReadsLabels) {
  CheckSamples(MakeVicarReader, {
      {"science/gray.vicar", 20, 10, 0, 1, PXC_CE_GRAY, PXC_AP_NONE,
       "BitsPerSample=8|SampleFormat=unsigned integer|Organization=BSQ|Type=IMAGE|Compression=None"},
  });
  const Described r = DescribeAll(
      MakeVicarReader, Vicar("FORMAT='HALF'  TYPE='IMAGE'  ORG='BIP'  NL=30  NS=40  NB=3  INTFMT='LOW'  "
                             "TASK='it''s here'  DAT_TIM=(1,2)  NL=99"));
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "columns=40|rows=30|encoding=Multichannel|inks=3|BitsPerSample=16|SampleFormat=signed integer|"
                  "Organization=BIP|ByteOrder=little-endian");
  CheckRefusals(MakeVicarReader, {
      {ToBytes("LBLSIZE=9x  FORMAT='BYTE'"s), "LBLSIZE is not a number"},
      {Cut(Vicar("NL=2  NS=2", 4096), 100), "the label is longer than the file"},
      {Vicar("FORMAT='BYTE'  NS=20"), "the label gives no image size (NL and NS)"},
      {Vicar("NL=2  NS=2  NB=0"), "the label gives no number of bands (NB)"},
      {Vicar("FORMAT='QUAD'  NL=2  NS=2"), "the sample format 'QUAD' is not known"},
  });
}

// ------------------------------------------------------------------ VIFF

// A 1024-byte VIFF header in the byte order of `order` (2 big-endian, 8 little-endian).
Bytes Viff(std::uint8_t order, std::uint32_t w, std::uint32_t h, std::uint32_t bands, std::uint32_t storage) {
  Bytes b(1024, 0);
  b[0] = 0xAB;
  b[1] = b[2] = 1;
  b[3] = 3;
  b[4] = order;
  const auto put = [&](std::size_t at, std::uint32_t v) {
    const std::string bytes = order == 2 ? Be32(v) : Le32(v);
    std::copy(bytes.begin(), bytes.end(), b.begin() + at);
  };
  put(520, w);
  put(524, h);
  put(540, 0x3F800000);  // pixel size 1 (metre), the writers' default
  put(544, 0x3F800000);
  put(548, 1);
  put(556, 1);
  put(560, bands);
  put(564, storage);
  const std::size_t data = std::size_t{w} * h * bands * (storage == 2 ? 2 : 1);
  if (data < 100000) b.resize(1024 + data, 0);
  return b;
}

TEST(ViffReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeViffReader, {
      {"science/rgb.viff", 20, 10, 0, 1, PXC_CE_RGB, PXC_AP_NONE,
       "BitsPerSample=8|SampleFormat=unsigned integer|Bands=3|ByteOrder=big-endian|Compression=None"},
      {"science/gray.viff", 16, 9, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "Bands=3"},
      {"science/rgba.viff", 14, 8, 0, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "Bands=4"},
      {"science/palette.viff", 12, 6, 0, 1, PXC_CE_INDEXED, PXC_AP_NONE, "Bands=1|inks=1"},
      {"science/two.viff", 8, 6, 0, 2, PXC_CE_RGB, PXC_AP_NONE, "1:type=Page|1:columns=5|1:rows=4"},
  });
}

TEST(ViffReader, ReadsBothByteOrdersAndSaysWhyItRefuses) {
  Bytes little = Viff(8, 6, 4, 1, 2);
  const Bytes second = Viff(8, 3, 3, 1, 1);
  little.insert(little.end(), second.begin(), second.end());
  for (std::size_t at : {540, 544}) {  // pixels of 1 mm (0x3A83126F): 25.4 dpi
    const std::string size = Le32(0x3A83126F);
    std::copy(size.begin(), size.end(), little.begin() + at);
  }
  const Described r = DescribeAll(MakeViffReader, little);
  ASSERT_EQ(r.images.size(), 2u);
  Check(r.images, "ByteOrder=little-endian|encoding=Gray|BitsPerSample=16|SampleFormat=signed integer|1:columns=3");
  EXPECT_NEAR(r.images[0].hResolution, 25.4, 0.01);
  EXPECT_NEAR(r.images[0].vResolution, 25.4, 0.01);
  EXPECT_EQ(r.images[1].units, PXC_MU_NONE);  // pixel sizes of 1 m: the default, no resolution
  CheckRefusals(MakeViffReader, {
      {Viff(3, 6, 4, 1, 1), "the machine dependency 3 is not a byte order"},
      {Viff(2, 0, 4, 1, 1), "the image size 0 x 4 is out of range"},
      {Viff(2, 6, 4, 0, 1), "the header gives 0 bands"},
      {Viff(2, 6, 4, 1, 7), "the data storage type 7 is not known"},
      {Viff(2, 70000, 70000, 1, 1), "the image data is larger than the file"},
      {Cut(Viff(2, 6, 4, 1, 1), 600), "the file ends inside the 1024-byte header"},
  });
}

// ------------------------------------------------------------------ VIPS

TEST(VipsReader, SamplesAgreeWithIdentifyAndVipsheader) {
  CheckSamples(MakeVipsReader, {
      {"science/rgb_msb.vips", 20, 10, 0, 1, PXC_CE_RGB, PXC_AP_NONE,
       "ByteOrder=big-endian|BitsPerSample=16|Interpretation=srgb|Bands=3"},
      {"science/native_300dpi.vips", 24, 16, 300, 1, PXC_CE_RGB, PXC_AP_NONE, "ByteOrder=little-endian|BandFormat=uchar"},
      {"science/gray16.vips", 16, 12, 71.984, 1, PXC_CE_GRAY, PXC_AP_NONE, "Interpretation=grey16|inks=1"},
      {"science/rgba.vips", 14, 8, 71.984, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "Bands=4|inks=3"},
      {"science/labq.vips", 24, 16, 300, 1, PXC_CE_LAB, PXC_AP_NONE, "Compression=LABQ|Bands=4"},
      {"science/rad.vips", 24, 16, 300, 1, PXC_CE_RGB, PXC_AP_NONE, "Compression=RAD"},
  });
  const Bytes good = ReadBytes(IMR_TEST_DATA "/formats/science/rgb_msb.vips");
  // `good` with big-endian fields set: {offset, value}, ...
  const auto with = [&](std::initializer_list<std::pair<std::size_t, std::uint32_t>> fields) {
    Bytes b = good;
    for (const auto& [at, v] : fields) {
      const std::string bytes = Be32(v);
      std::copy(bytes.begin(), bytes.end(), b.begin() + at);
    }
    return b;
  };
  // No interpretation: two bands are grey and alpha, three colour, five just bands.
  Check(DescribeAll(MakeVipsReader, with({{28, 0}, {12, 2}})).images, "encoding=Gray|inks=1|alpha=Unassociated");
  Check(DescribeAll(MakeVipsReader, with({{28, 0}})).images, "encoding=RGB|inks=3|Interpretation=multiband");
  Check(DescribeAll(MakeVipsReader, with({{28, 0}, {12, 5}})).images, "encoding=Multichannel|inks=5|alpha=None");
  // More bands than the colour space has colours: alpha.
  Check(DescribeAll(MakeVipsReader, with({{28, 15}, {12, 5}})).images, "encoding=CMYK|inks=4|alpha=Unassociated");
  CheckRefusals(MakeVipsReader, {
      {with({{4, 0}}), "the image size 0 x 10 is out of range"},
      {with({{12, 0}}), "the header gives 0 bands"},
      {with({{20, 10}}), "the band format 10 is not known"},
      {with({{24, 3}}), "the coding 3 is not known"},
      {Cut(good, 30), "the file ends inside the 64-byte header"},
  });
}

// ------------------------------------------------------------ MIFF / MPC

TEST(MiffReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeMiffReader, {
      {"science/rgb_cm.miff", 20, 10, 101.6, 1, PXC_CE_RGB, PXC_AP_NONE,
       "format=MIFF|version=1.0|BitsPerSample=16|Compression=None|ColorSpace=sRGB"},
      // uncompressed images one after another, the last grey
      {"science/three.miff", 8, 6, 0, 3, PXC_CE_RGB, PXC_AP_NONE, "1:type=Page|1:columns=5|2:encoding=Gray|2:inks=1"},
      // a colour map, then rows of compressed bytes
      {"science/palette_zip.miff", 9, 5, 0, 2, PXC_CE_INDEXED, PXC_AP_NONE, "Colors=3|Compression=Zip|1:columns=3"},
      {"science/alpha_bzip.miff", 9, 5, 0, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "Compression=BZip|BitsPerSample=8"},
      {"science/cmyk.miff", 9, 5, 0, 1, PXC_CE_CMYK, PXC_AP_NONE, "inks=4"},
      {"science/righttop.miff", 12, 7, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "rotation=R90|Orientation=RightTop"},
      // identify reads two images; the second starts after runs of unknown length
      {"science/rle_two.miff", 9, 5, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "Compression=RLE"},
      // profiles between the header and the pixels; an older header
      {IMR_CORPUS "/exiftool/MIFF.miff", 8, 8, 72, 1, PXC_CE_RGB, PXC_AP_NONE, "version=|BitsPerSample=8"},
      {"science/single.mpc", 20, 10, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "format=MPC|PixelCache=separate file"},
      {"science/two.mpc", 8, 6, 0, 2, PXC_CE_RGB, PXC_AP_NONE, "1:format=MPC|1:encoding=Indexed|1:Colors=1"},
  });
}

TEST(MiffReader, ParsesHeadersAndSaysWhyItRefuses) {
  const Described r = DescribeAll(
      MakeMiffReader, ToBytes("{ a comment }\nid=MagickCache class=DirectClass alpha-trait=Blend {note}\n"
                              "columns=4 rows=2 depth=8 comment={two words} colorspace=Gray\n"
                              "units=PixelsPerInch resolution=300x150\n\f\n:\x1A"s));
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "format=MPC|encoding=Gray|alpha=Unassociated|inks=1");
  EXPECT_DOUBLE_EQ(r.images[0].hResolution, 300);
  EXPECT_DOUBLE_EQ(r.images[0].vResolution, 150);
  CheckRefusals(MakeMiffReader, {
      {ToBytes("id=ImageMagick columns=4 rows=2\n"), "the header is cut short"},
      {ToBytes("id=ImageMagick columns=4 rows=2\n:\n"), "the header does not end with Ctrl-Z"},
      {ToBytes("id=ImageMagick columns=4 rows=2 {open\n:\x1A"), "a comment in the header does not end"},
      {ToBytes("id=ImageMagick columns=4 rows=2 comment={open\n:\x1A"), "a braced value in the header does not end"},
      {ToBytes("id=ImageMagick columns=4 rows 2\n:\x1A"), "the header holds a word that is not key=value"},
      {ToBytes("id=ImageMagick columns=4\n:\x1A"), "the header gives no image size"},
      {ToBytes("id=ImageMagickX columns=4 rows=2\n:\x1A"), "the header's id is not ImageMagick's"},
      {ToBytes("id=ImageMagick" + std::string(70000, ' ')), "the header does not end within 64 KiB"},
  });
}

// ------------------------------------------------------------------- PGX

TEST(PgxReader, ReadsTheHeaderLine) {
  CheckSamples(MakePgxReader, {
      {"science/gray16.pgx", 20, 10, 0, 1, PXC_CE_GRAY, PXC_AP_NONE,
       "BitsPerSample=16|SampleFormat=unsigned integer|ByteOrder=big-endian"},
      {"science/gray8.pgx", 20, 10, 0, 1, PXC_CE_GRAY, PXC_AP_NONE, "BitsPerSample=8"},
  });
  Check(DescribeAll(MakePgxReader, ToBytes("PG LM -12 100 50\n"s + std::string(10000, '\0'))).images,
        "columns=100|rows=50|BitsPerSample=12|SampleFormat=signed integer|ByteOrder=little-endian");
  CheckRefusals(MakePgxReader, {
      {ToBytes("PG ML +0 4 4\n"), "the bit depth 0 is out of range"},
      {ToBytes("PG ML 8 0 4\n"), "the image size 0 x 4 is out of range"},
      {ToBytes("PG ML 8 4\n"), "the header line \"PG ML 8 4\" cannot be read"},
      {ToBytes("PG XY 8 4 4\n"), ""},
  });
}

// ----------------------------------------------------- regression inputs

TEST(ScienceRegressionInputs, AreRefusedForTheirReasons) {
  CheckRegressionRefusals("science", {
      {"dicom_endless_sequence.dcm", MakeDicomReader, "the data set cannot be walked to its pixel data"},
      {"fits_bitpix_12.fits", MakeFitsReader, "BITPIX 12 is not a sample size"},
      {"fits_cut_header.fits", MakeFitsReader, "a header is cut short"},
      {"miff_unterminated.miff", MakeMiffReader, "a braced value in the header does not end"},
      {"pgx_bad_line.pgx", MakePgxReader, "the header line \"PG ML 8 4\" cannot be read"},
      {"vicar_label_past_end.vic", MakeVicarReader, "the label is longer than the file"},
      {"viff_data_past_end.viff", MakeViffReader, "the image data is larger than the file"},
      {"vips_band_format_10.vips", MakeVipsReader, "the band format 10 is not known"},
  });
}

}  // namespace
}  // namespace imr::formats
