#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/tiff/tiff_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

Described DescribeAll(const Bytes& bytes) { return test::DescribeAll(MakeTiffReader, bytes); }

// One IFD entry: SHORT (3), LONG (4) or RATIONAL (5: numerator and
// denominator pairs) values, or the bytes of an ASCII (2) or BYTE (1) one.
struct Field {
  std::uint16_t tag, type;
  std::vector<std::uint32_t> values;
  std::string text;

  std::string Value() const {
    if (!text.empty()) return text;
    std::string v;
    for (std::uint32_t x : values) v += type == 3 ? Le16(static_cast<std::uint16_t>(x)) : Le32(x);
    return v;
  }
  std::uint32_t Count() const {
    return static_cast<std::uint32_t>(type == 5 ? values.size() / 2 : text.empty() ? values.size() : text.size());
  }
};
using Ifd = std::vector<Field>;

Field Short(std::uint16_t tag, std::vector<std::uint32_t> v) { return {tag, 3, v, {}}; }
Field Long(std::uint16_t tag, std::vector<std::uint32_t> v) { return {tag, 4, v, {}}; }
Field Rational(std::uint16_t tag, std::uint32_t n, std::uint32_t d) { return {tag, 5, {n, d}, {}}; }
Ifd Image(std::uint32_t w, std::uint32_t h, std::uint32_t subfile = 0) {
  return {Long(254, {subfile}), Long(256, {w}), Long(257, {h}), Short(258, {8}), Short(262, {1})};
}

// LONG values the builder replaces: the offset of IFD n (kIfdAt + n), and
// of the bytes appended after the IFDs.
constexpr std::uint32_t kIfdAt = 0xFFFF0000;
constexpr std::uint32_t kTailAt = 0xFFFFFF00;

// A little-endian classic TIFF of `ifds`, each followed by its out-of-line
// values, then `tail`.  The first `chained` IFDs make the main chain (the
// last one's next offset is `lastNext`, to make loops); the others stand
// alone, for SubIFDs.
Bytes Tiff(std::vector<Ifd> ifds, std::uint32_t lastNext = 0, std::size_t chained = SIZE_MAX,
           const std::string& tail = "") {
  std::vector<std::uint32_t> starts;
  std::uint32_t pos = 8;
  for (const Ifd& ifd : ifds) {
    starts.push_back(pos);
    pos += 2 + 12 * ifd.size() + 4;
    for (const Field& f : ifd) pos += f.Value().size() > 4 ? f.Value().size() : 0;
  }
  for (Ifd& ifd : ifds) {
    for (Field& f : ifd) {
      for (std::uint32_t& v : f.values) {
        if (f.type == 4 && v == kTailAt) v = pos;
        if (f.type == 4 && v >= kIfdAt && v < kIfdAt + ifds.size()) v = starts[v - kIfdAt];
      }
    }
  }
  chained = std::min(chained, ifds.size());
  std::string out = std::string("II*\0", 4) + Le32(8);
  for (std::size_t i = 0; i < ifds.size(); ++i) {
    const std::uint32_t data = starts[i] + 2 + 12 * ifds[i].size() + 4;
    std::string extra;
    out += Le16(static_cast<std::uint16_t>(ifds[i].size()));
    for (const Field& f : ifds[i]) {
      const std::string value = f.Value();
      out += Le16(f.tag) + Le16(f.type) + Le32(f.Count());
      if (value.size() <= 4) {
        out += value + std::string(4 - value.size(), '\0');
      } else {
        out += Le32(data + extra.size());
        extra += value;
      }
    }
    const std::uint32_t next = i + 1 < chained ? starts[i + 1] : i + 1 == chained ? lastNext : 0;
    out += Le32(next) + extra;
  }
  return ToBytes(out + tail);
}

Field Ascii(std::uint16_t tag, const std::string& text) { return {tag, 2, {}, text + '\0'}; }
Field Bytes4(std::uint16_t tag, std::string bytes) { return {tag, 1, {}, bytes}; }

// identify -format '%w %h %x %n'.
TEST(TiffReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeTiffReader, {
      {IMR_CORPUS "/exiftool/ExifTool.tif", 160, 120, 180, 1, PXC_CE_RGB, PXC_AP_NONE,
       "ColorProfile=sRGB IEC61966-2.1|Compression=LZW|Software=GraphicConverter"},
      {IMR_CORPUS "/exiftool/GeoTiff.tif", 25, 24, 72, 1, PXC_CE_INDEXED, PXC_AP_NONE, "format=TIFF|inks=1"},
      {IMR_CORPUS "/exiftool/BigTIFF.btf", 8, 8, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "format=BIGTIFF|inks=3"},
      {"tiff/cmyk_lzw.tif", 40, 30, 300, 1, PXC_CE_CMYK, PXC_AP_NONE, "inks=4|Compression=LZW"},
      // identify: 118 PixelsPerCentimeter graya
      {"tiff/rgba_cm.tif", 32, 20, 118 * 2.54, 1, PXC_CE_GRAY, PXC_AP_ASSOCIATED, "inks=1|Compression=Deflate"},
      // identify: 48x32, 20x10, 30x40
      {"tiff/pages.tif", 48, 32, -1, 3, PXC_CE_RGB, PXC_AP_NONE,
       "1:type=Page|1:columns=20|2:type=Page|2:rows=40|2:Compression=PackBits"},
      // big-endian, Orientation 6, no resolution tags (identify shows its default 72)
      {"tiff/gray_mm.tif", 24, 16, 0, 1, PXC_CE_GRAY, PXC_AP_NONE,
       "rotation=R90|Software=Sample Writer|Orientation=RightTop"},
      // ResolutionUnit 1: identify "200 Undefined", no physical resolution
      {"tiff/bilevel_g4.tif", 40, 30, 0, 1, PXC_CE_BILEVEL, PXC_AP_NONE, "Compression=CCITT Group 4"},
  });
}

// Raw files (identify has no delegate for them here): the sensor is the
// main image, as dcraw -i -v gives its "Full size" (for CR2, whose raw data
// are placeholders, exiftool's Canon SensorWidth and SensorHeight); every
// other IFD and JPEG stream follows in file order.  The corpus's stub
// previews ("<Dummy ... image data>") are no JPEG streams: not listed.
TEST(TiffReader, CameraRawFiles) {
  CheckSamples(MakeTiffReader, {
      // SubIFD 0 holds the raw data; IFD0 and two SubIFDs are renderings
      {IMR_CORPUS "/exiftool/DNG.dng", 3516, 2328, -1, 4, PXC_CE_RGB, PXC_AP_NONE,
       "format=DNG|inks=3|version=1.1.0.0|Exif=yes|XMP=yes|CFAPattern=RG/GB|DefaultCropSize=3456x2304|"
       "ActiveArea=14 42 2328 3516|1:type=Thumbnail|1:columns=8|2:type=Preview|2:columns=1024|"
       "3:type=Preview|3:columns=3456"},
      {IMR_CORPUS "/exiftool/Nikon.nef", 3040, 2014, -1, 2, PXC_CE_RGB, PXC_AP_NONE,
       "format=NEF|Compression=Nikon NEF Compressed|BitsPerSample=12|CFAPattern=BG/GR|"
       "ColorProfile=Nikon Adobe RGB 4.0.0.3000|1:type=Thumbnail|1:columns=160"},
      // IFD3 holds the raw data; IFD0 and IFD2 are unflagged renderings;
      // exiftool: SensorLeftBorder 52, TopBorder 19, RightBorder 3507, BottomBorder 2322
      {IMR_CORPUS "/exiftool/CanonRaw.cr2", 3516, 2328, 0, 3, PXC_CE_RGB, PXC_AP_NONE,
       "format=CR2|inks=3|ActiveArea=19 52 2323 3508|Exif=yes|1:type=Preview|1:columns=1536|"
       "1:encoding=YCbCr|2:type=Preview|2:columns=384"},
      // an "IIU\0" header; sensor borders 8..3656 x 6..2742
      {IMR_CORPUS "/exiftool/Panasonic.rw2", 3724, 2754, 0, 2, PXC_CE_RGB, PXC_AP_NONE,
       "format=RW2|ActiveArea=6 8 2742 3656|CFAPattern=BG/GR|Compression=Panasonic RAW 1|BitsPerSample=12|"
       "1:embedded=1536+10785"},
      // the Phase One directory gives the sensor; IFD0 lends its metadata
      // only (its 1x1 picture and 341 dpi are its own)
      {IMR_CORPUS "/exiftool/PhaseOne.iiq", 7372, 5536, 0, 3, PXC_CE_RGB, PXC_AP_NONE,
       "format=IIQ|ActiveArea=6 36 5490 7356|DefaultCropSize=7320x5484|Compression=|BitsPerSample=|Exif=yes|"
       "1:type=Thumbnail|1:columns=1|2:type=Thumbnail"},
  });
}

// The corpus files given real previews by exiftool (see tiff/README), and
// libvips pyramids: reduced levels in the main chain or as SubIFDs of IFD0.
TEST(TiffReader, PreviewsAndReducedLevels) {
  CheckSamples(MakeTiffReader, {
      // JpgFromRaw of SubIFD 0, then the PreviewIFD of Nikon's maker note
      {"tiff/nef_previews.nef", 3040, 2014, -1, 4, PXC_CE_RGB, PXC_AP_NONE,
       "1:type=Thumbnail|2:type=Preview|2:embedded=1120+3541|3:type=Preview|3:embedded=9452+1010"},
      // IFD0's strip is the 1536x1024 preview, IFD1's JPEG the thumbnail
      {"tiff/cr2_previews.cr2", 3516, 2328, 0, 4, PXC_CE_RGB, PXC_AP_NONE,
       "1:type=Preview|1:columns=1536|2:type=Thumbnail|2:embedded=8622+654|3:columns=384"},
      {"tiff/rw2_jpgfromraw.rw2", 3724, 2754, 0, 2, PXC_CE_RGB, PXC_AP_NONE, "1:type=Preview|1:embedded=582+3541"},
      // identify: 400x300, 200x150, 100x75, 50x37
      {"tiff/pyramid_chain.tif", 400, 300, -1, 4, PXC_CE_YCBCR, PXC_AP_NONE,
       "format=TIFF|1:type=Thumbnail|1:columns=200|2:rows=75|3:type=Thumbnail|3:columns=50"},
      {"tiff/pyramid_subifd.tif", 400, 300, -1, 4, PXC_CE_YCBCR, PXC_AP_NONE,
       "1:type=Thumbnail|1:columns=200|2:rows=75|3:type=Thumbnail|3:columns=50"},
  });
}

// The raw formats no sample of the corpus holds, as their makers lay them
// out (hand-made: no tool writes them), and the same makers' TIFF pictures,
// which stay TIFF.
TEST(TiffReader, NamesRawFilesByMakerAndRawData) {
  const std::string preview = JpegStream(1616, 1080), thumbnail = JpegStream(160, 120);
  const auto jpegLength = static_cast<std::uint32_t>(preview.size());
  const Field cfa[] = {Short(262, {32803}), Short(0x828D, {2, 2}), Bytes4(0x828E, std::string("\0\1\1\2", 4))};
  struct Case {
    std::vector<Ifd> ifds;
    std::size_t chained;
    std::string tail;
    const char* checks;
  };
  const Case cases[] = {
      // Sony: IFD0 points to the preview and to the raw SubIFD
      {{{Long(254, {1}), Ascii(271, "SONY"), Long(330, {kIfdAt + 1}), Long(513, {kTailAt}), Long(514, {jpegLength})},
        {Long(254, {0}), Long(256, {6000}), Long(257, {4000}), Short(258, {12}), Short(259, {32767}), cfa[0], cfa[1],
         cfa[2]}},
       1, preview,
       "format=ARW|columns=6000|rows=4000|encoding=RGB|inks=3|CFAPattern=RG/GB|Compression=Sony ARW Compressed|"
       "1:type=Preview"},
      // Pentax: the raw data in IFD0, under Pentax's compression; the
      // thumbnail in IFD1
      {{{Ascii(271, "PENTAX Corporation"), Long(256, {4928}), Long(257, {3264}), Short(259, {65535}), cfa[0]},
        {Long(513, {kTailAt}), Long(514, {jpegLength})}},
       2, thumbnail, "format=PEF|columns=4928|encoding=RGB|1:type=Thumbnail"},
      // Samsung: the raw data in IFD0
      {{{Ascii(271, "SAMSUNG"), Long(256, {5472}), Long(257, {3648}), Short(259, {32770}), cfa[0]}},
       1, "", "format=SRW|rows=3648|Compression=Samsung SRW Compressed"},
      // the same makers' RGB pictures, and a Nikon one without a reduced IFD0
      {{{Ascii(271, "SONY"), Long(256, {64}), Long(257, {48}), Short(262, {2})}}, 1, "", "format=TIFF|encoding=RGB"},
      {{{Ascii(271, "PENTAX"), Long(256, {64}), Long(257, {48}), Short(262, {2})}}, 1, "", "format=TIFF"},
      {{{Ascii(271, "NIKON CORPORATION"), Long(256, {64}), Long(257, {48}), Short(262, {2})}}, 1, "", "format=TIFF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.checks);
    const Described r = DescribeAll(Tiff(c.ifds, 0, c.chained, c.tail));
    ASSERT_TRUE(r.opened);
    EXPECT_EQ(r.images.size(), c.tail.empty() ? 1u : 2u);
    Check(r.images, c.checks);
  }
}

// Images after the first are pages, or what their subfile type says (the raw
// samples cover SubIFDs and the JPEG streams they point to).
TEST(TiffReader, SubfileTypesClassifyFurtherImages) {
  const Described r = DescribeAll(
      Tiff({Image(1000, 800), Image(200, 160, 1), Image(600, 480, 1), Image(1000, 800, 4), Image(1000, 800, 0)}));
  ASSERT_EQ(r.images.size(), 5u);
  Check(r.images, "type=Main|1:type=Thumbnail|2:type=Preview|3:type=Auxiliary|4:type=Page");
  EXPECT_EQ(r.images[3].subtype, PXC_IS_MASK);
}

TEST(TiffReader, ColourInterpretations) {
  struct Case {
    std::vector<Field> fields;
    PXC_TChannelEnc encoding;
    std::uint16_t inks;
    PXC_TAlphaPlane alpha;
  };
  const Case cases[] = {
      {{Short(262, {2}), Short(277, {4}), Short(338, {2})}, PXC_CE_RGB, 3, PXC_AP_UNASSOCIATED},
      {{Short(262, {2}), Short(277, {4})}, PXC_CE_RGB, 3, PXC_AP_UNSPECIFIED},
      {{Short(262, {1}), Short(277, {2}), Short(338, {0})}, PXC_CE_GRAY, 1, PXC_AP_UNSPECIFIED},
      {{Short(262, {5}), Short(277, {5}), Short(332, {1}), Short(338, {2})},
       PXC_CE_CMYK, 4, PXC_AP_UNASSOCIATED},
      {{Short(262, {6}), Short(277, {3})}, PXC_CE_YCBCR, 3, PXC_AP_NONE},
      {{Short(262, {8}), Short(277, {3})}, PXC_CE_LAB, 3, PXC_AP_NONE},
      {{Short(262, {4})}, PXC_CE_BILEVEL, 1, PXC_AP_NONE},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    Ifd ifd = {Long(256, {10}), Long(257, {10}), Short(258, {8})};
    ifd.insert(ifd.end(), cases[i].fields.begin(), cases[i].fields.end());
    const Described r = DescribeAll(Tiff({ifd}));
    ASSERT_EQ(r.images.size(), 1u);
    EXPECT_EQ(r.images[0].channelEncoding, cases[i].encoding);
    EXPECT_EQ(r.images[0].inks, cases[i].inks);
    EXPECT_EQ(r.images[0].alphaPlane, cases[i].alpha);
  }
  // Separated inks other than CMYK, with their names.
  const Described r = DescribeAll(Tiff({{Long(256, {10}), Long(257, {10}), Short(262, {5}), Short(277, {3}),
                                         Short(332, {2}), Short(334, {3}),
                                         {333, 2, {}, std::string("PANTONE 185 C\0Black\0Varnish\0", 28)}}}));
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].channelEncoding, PXC_CE_MULTICHANNEL);
  EXPECT_EQ(r.images[0].inks, 3);
  EXPECT_EQ(r.images[0].inkNames, (std::vector<std::string>{"PANTONE 185 C", "Black", "Varnish"}));
}

TEST(TiffReader, ResolutionUnitsAndOrientations) {
  struct Case {
    std::vector<Field> fields;
    double dpi;
  };
  const Case cases[] = {
      {{Rational(282, 300, 1), Rational(283, 300, 1)}, 300},  // unit absent: inch
      {{Rational(282, 72, 0), Rational(283, 72, 0)}, 0},     // zero denominator
  };
  for (const Case& c : cases) {
    Ifd ifd = Image(254, 127);
    ifd.insert(ifd.end(), c.fields.begin(), c.fields.end());
    const Described r = DescribeAll(Tiff({ifd}));
    ASSERT_EQ(r.images.size(), 1u);
    EXPECT_NEAR(r.images[0].hResolution, c.dpi, 1e-9);
    EXPECT_EQ(r.images[0].units, c.dpi > 0 ? PXC_MU_INCH : PXC_MU_NONE);
    if (c.dpi > 0) {
      EXPECT_NEAR(r.images[0].hRealSize, 254 / c.dpi, 1e-9);
    }
  }
  // Orientation 0 and 9 are not valid: no turn.
  const char* const rotations[] = {"None", "None", "Mirror",   "R180", "Mirror180",
                                   "Mirror270", "R90", "Mirror90", "R270", "None"};
  for (std::uint32_t o = 0; o <= 9; ++o) {
    Ifd ifd = Image(4, 4);
    ifd.push_back(Short(274, {o}));
    const Described r = DescribeAll(Tiff({ifd}));
    ASSERT_EQ(r.images.size(), 1u);
    Check(r.images, std::string("rotation=") + rotations[o]);
  }
}

TEST(TiffReader, RejectsOrSurvivesBrokenStructures) {
  // A chain whose last IFD points back to the first, or IFD0 to itself, ends there.
  EXPECT_EQ(DescribeAll(Tiff({Image(10, 10), Image(5, 5)}, 8)).images.size(), 2u);
  EXPECT_EQ(DescribeAll(Tiff({Image(10, 10)}, 8)).images.size(), 1u);

  const Bytes good = Tiff({Image(10, 10)});
  const auto with = [&](std::size_t at, std::uint8_t value) {
    Bytes b = good;
    b[at] = value;
    return b;
  };
  // An absurd entry count, the IFD offset past the end, truncation inside
  // the IFD, no image size: refused, saying why; bytes of no TIFF: no reason.
  const std::pair<Bytes, std::string> bad[] = {
      {with(9, 0xFF), "IFD0 at byte 8 has no entries, too many, or is cut short"},
      {with(7, 0x7F), "the header points to IFD0 outside the file, or its BigTIFF fields are wrong"},
      {{good.begin(), good.begin() + 30}, "IFD0 at byte 8 has no entries, too many, or is cut short"},
      {Tiff({{Short(262, {2})}}), "no IFD of the file states an image size"},
      {ToBytes(std::string("II+\0\x04\0\0\0", 8)), "the header points to IFD0 outside the file, or its BigTIFF fields are wrong"},
      {ToBytes(std::string("IX*\0\x08\0\0\0", 8)), ""},
  };
  for (const auto& [bytes, reason] : bad) {
    EXPECT_FALSE(DescribeAll(bytes).opened) << reason;
    EXPECT_EQ(Refusal(MakeTiffReader, bytes), reason);
  }

  // A value offset beyond the end leaves the field unread, not the file.
  Ifd resolution = Image(10, 10);
  resolution.push_back(Rational(282, 300, 1));
  Bytes cut = Tiff({resolution});
  cut.resize(cut.size() - 8);  // the rational lived at the end
  const Described r = DescribeAll(cut);
  ASSERT_EQ(r.images.size(), 1u);
  EXPECT_EQ(r.images[0].units, PXC_MU_NONE);

  // The headers of raw formats are TIFF too, and name them.
  for (const auto& [magic, format] : {std::pair{"IIRO", "ORF"}, {"IIRS", "ORF"}, {"IIU\0", "RW2"}}) {
    Bytes raw = good;
    std::copy(magic, magic + 4, raw.begin());
    const Described described = DescribeAll(raw);
    ASSERT_TRUE(described.opened) << magic;
    EXPECT_EQ(described.images[0].format, format);
  }
}

// Damaged files of tiff/regress: what each still gives, or why it is refused.
TEST(TiffReader, DamagedFilesInRegress) {
  const std::pair<const char*, const char*> cases[] = {
      // no maker note to give the sensor: the largest rendering is the main image
      {"cr2_exif_outside.cr2", "columns=1536|1:columns=384"},
      // every SubIFD points back to IFD0: IFD0 alone
      {"dng_subifd_loop.dng", "format=DNG|columns=8"},
      // no Phase One directory: IFD0 and IFD1 as they are
      {"iiq_directory_outside.iiq", "format=IIQ|columns=1|Compression=None|1:type=Thumbnail"},
  };
  for (const auto& [file, checks] : cases) {
    SCOPED_TRACE(file);
    const Described r = DescribeAll(ReadBytes(std::string(IMR_TEST_DATA "/formats/tiff/regress/") + file));
    ASSERT_TRUE(r.opened);
    Check(r.images, checks);
  }
  EXPECT_EQ(Refusal(MakeTiffReader, ReadBytes(IMR_TEST_DATA "/formats/tiff/regress/cut_in_ifd0.tif")),
            "IFD0 at byte 236 has no entries, too many, or is cut short");
}

}  // namespace
}  // namespace imr::formats
