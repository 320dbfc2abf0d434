// The vector drawing readers: SVG (and .svgz), WMF, EMF and WPG.
#include <gtest/gtest.h>

#include <string>

#include "formats/vector/vector_readers.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;
using namespace std::string_literals;

namespace svg {

// identify (librsvg) draws at 96 per inch: a size in millimetres gives the
// same pixels and a resolution of 96 ppi; it shows 96 ppi for pixel lengths
// too, which state no physical size.
TEST(SvgReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeSvgReader, {
      {"vector/inkscape_mm.svg", 189, 113, 96, 1, PXC_CE_VECTOR, PXC_AP_NONE, "version=1.1|ViewBox=0 0 50 30"},
      {"vector/cairo_px.svg", 120, 80, 0, 1, PXC_CE_VECTOR, PXC_AP_NONE, "ViewBox=0 0 120 80"},
      // a DOCTYPE with an internal subset, a comment, a prefixed root, a percentage width
      {"vector/percent_viewbox.svg", 300, 150, 0, 1, PXC_CE_VECTOR, PXC_AP_NONE, "ViewBox=0,0,300,150"},
      {"vector/inkscape.svgz", 189, 113, 96, 1, PXC_CE_VECTOR, PXC_AP_NONE, "Compression=gzip"},
      {"vector/gzip_named.svgz", 189, 113, 96, 1, PXC_CE_VECTOR, PXC_AP_NONE, "Compression=gzip"},
      {IMR_CORPUS "/exiftool/XMP.svg", 384, 288, 96, 1, PXC_CE_VECTOR, PXC_AP_NONE, "version=1.1|ViewBox="},
  });
  // The real size is the stated one, not the rounded pixels'.
  ImageDescription d;
  ASSERT_TRUE(DescribeSingle(MakeSvgReader, ReadBytes(IMR_TEST_DATA "/formats/vector/inkscape_mm.svg"), d));
  EXPECT_NEAR(d.hRealSize, 50 / 25.4, 1e-9);
  EXPECT_NEAR(d.vRealSize, 30 / 25.4, 1e-9);
}

TEST(SvgReader, Lengths) {
  struct Case {
    const char* attributes;
    const char* checks;
    double dpi;
  };
  const Case cases[] = {
      {R"(width="1in" height="72pt")", "columns=96|rows=96", 96},
      {R"(width='2.54cm' height = "6pc")", "columns=96|rows=96", 96},
      {R"(width="10px" height="+7.6")", "columns=10|rows=8", 0},
      {R"(width="3em" height="2ex" viewBox="0 0 40 30")", "columns=40|rows=30", 0},  // font units: the viewBox
      {R"(width="1in" height="40")", "columns=96|rows=40", 0},  // one physical side: no resolution
      {R"(width="-5" viewBox="0 0 0 10")", "columns=0|rows=0|ViewBox=", 0},  // nothing usable
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attributes);
    ImageDescription d;
    ASSERT_TRUE(DescribeSingle(MakeSvgReader, "<svg "s + c.attributes + "/>", d));
    Check(d, c.checks);
    EXPECT_EQ(d.hResolution, c.dpi);
  }
}

TEST(SvgReader, RefusesWhatIsNotAnSvgRoot) {
  const std::pair<std::string, const char*> cases[] = {
      {"<?xml version='1.0'?><html><svg width='1'/></html>", "the root element is <html>, not <svg>"},
      {"<?xml version='1.0'?><!-- no end", "the markup before the root element does not end"},
      {"<svg width=\"10\" height=", "the <svg> start tag is cut short or malformed"},
      {"\xFF\xFE<\0s\0v\0g\0", "UTF-16 documents are not read"},
      {"\x1F\x8B\x08\x08\0\0\0\0\0\0x.svg\0garbage", "the compressed document cannot be inflated"},
  };
  for (const auto& [bytes, reason] : cases) EXPECT_EQ(Refusal(MakeSvgReader, bytes), reason) << bytes;
}

}  // namespace svg

namespace metafile {

std::string WmfHeader(std::uint16_t version = 0x0300) {
  return Le16(1) + Le16(9) + Le16(version) + Le32(100) + Le16(3) + Le32(20) + Le16(0);
}
std::string Placeable(std::int16_t left, std::int16_t top, std::int16_t right, std::int16_t bottom, std::uint16_t inch) {
  return "\xD7\xCD\xC6\x9A"s + Le16(0) + Le16(left) + Le16(top) + Le16(right) + Le16(bottom) + Le16(inch) + Le32(0) +
         Le16(0);
}
std::string Record(std::uint16_t function, const std::string& parameters) {
  return Le32(3 + parameters.size() / 2) + Le16(function) + parameters;
}

// identify (libwmf) draws at 72 per inch; the reader reports the bounding
// box in the file's own units per inch.  identify has no EMF coder here.
TEST(MetafileReaders, SamplesOfInkscape) {
  CheckSamples(MakeWmfReader, {
      {"vector/inkscape.wmf", 2361, 1416, 1200, 1, PXC_CE_VECTOR, PXC_AP_NONE, "version=3.0|UnitsPerInch=1200"},
  });
  CheckSamples(MakeEmfReader, {
      // frame 50.99 x 30.99 mm, reference device 10205 x 13181 pixels on 216 x 279 mm
      {"vector/inkscape.emf", 2409, 1464, -1, 1, PXC_CE_VECTOR, PXC_AP_NONE, "version=1|Software=Inkscape 1.2.2 (b0a8486541, 2022-12-01)"},
  });
  ImageDescription d;
  ASSERT_TRUE(DescribeSingle(MakeEmfReader, ReadBytes(IMR_TEST_DATA "/formats/vector/inkscape.emf"), d));
  EXPECT_NEAR(d.hResolution, 10205 * 25.4 / 216, 1e-9);
  EXPECT_NEAR(d.vResolution, 13181 * 25.4 / 279, 1e-9);
  EXPECT_NEAR(d.hRealSize, 5099 / 2540.0, 1e-9);
}

TEST(MetafileReaders, WmfSizes) {
  ImageDescription d;
  // A box drawn right to left, and 0 units per inch: no resolution.
  ASSERT_TRUE(DescribeSingle(MakeWmfReader, Placeable(100, 50, -300, 10, 0) + WmfHeader(), d));
  Check(d, "columns=400|rows=40|version=3.0");
  EXPECT_EQ(d.units, PXC_MU_NONE);
  // No placeable header: the window extent of the records (height first).
  ASSERT_TRUE(DescribeSingle(MakeWmfReader,
                             WmfHeader(0x0100) + Record(0x020B, Le16(0) + Le16(0)) + Record(0x020C, Le16(300) + Le16(500)) +
                                 Record(0, ""),
                             d));
  Check(d, "columns=500|rows=300|version=1.0");
  // Records that end or hold no extent leave the size unknown.
  ASSERT_TRUE(DescribeSingle(MakeWmfReader, WmfHeader() + Record(0x0103, Le16(8)) + Le32(1), d));
  Check(d, "columns=0|rows=0");

  EXPECT_EQ(Refusal(MakeWmfReader, Placeable(0, 0, 10, 10, 1440) + "xx"), "the file ends inside its headers");
  EXPECT_EQ(Refusal(MakeWmfReader, Placeable(0, 0, 10, 10, 1440) + WmfHeader(0x0200)),
            "no metafile header follows the placeable header");
  EXPECT_EQ(Refusal(MakeWmfReader, WmfHeader(0x0200)), "");
}

TEST(MetafileReaders, EmfWithoutDevice) {
  std::string emf = ReadFile(IMR_TEST_DATA "/formats/vector/inkscape.emf");
  emf.replace(80, 8, std::string(8, '\0'));  // no millimetres: the bounds, inclusive
  ImageDescription d;
  ASSERT_TRUE(DescribeSingle(MakeEmfReader, emf, d));
  Check(d, "columns=2409|rows=1465");
  EXPECT_EQ(d.units, PXC_MU_NONE);
  emf.replace(4, 4, Le32(40));
  EXPECT_EQ(Refusal(MakeEmfReader, emf), "the header record is cut short");
  EXPECT_EQ(Refusal(MakeEmfReader, emf.substr(0, 60)), "the header record is cut short");
}

}  // namespace metafile

namespace wpg {

std::string Header(std::uint8_t major) { return "\xFFWPC"s + Le32(16) + '\x01' + '\x16' + char(major) + '\0' + Le32(0); }

TEST(WpgReader, VersionOneAndTwo) {
  // 10617 x 4614 in 1/1200 inch; identify finds no bitmap and shows 1 x 1.
  CheckSamples(MakeWpgReader, {
      {IMR_CORPUS "/exiftool/WPG.wpg", 10617, 4614, 1200, 1, PXC_CE_VECTOR, PXC_AP_NONE, "version=1|Bitmaps="},
  });
  // Version 1: two bitmap records, one of them with a long length.
  const std::string v1 = Header(1) + "\x0F\x06\x01\x00"s + Le16(2400) + Le16(1200) + "\x0B\x02xx" + "\x14\xFF"s +
                         Le16(0x8000) + Le16(3) + "abc" + "\x10\x00"s;
  ImageDescription d;
  ASSERT_TRUE(DescribeSingle(MakeWpgReader, v1, d));
  Check(d, "columns=2400|rows=1200|Bitmaps=2");
  EXPECT_NEAR(d.hRealSize, 2.0, 1e-9);
  // Version 2: class, type, extension and length, then 600 units per inch
  // and a 32-bit viewport.
  const std::string v2 = Header(2) + "\x01\x01\x00\x19"s + Le16(600) + Le16(600) + '\x01' + Le32(-100) + Le32(0) +
                         Le32(500) + Le32(300);
  ASSERT_TRUE(DescribeSingle(MakeWpgReader, v2, d));
  Check(d, "version=2|columns=600|rows=300");
  EXPECT_NEAR(d.hResolution, 600, 1e-9);

  EXPECT_EQ(Refusal(MakeWpgReader, Header(3)), "version 3 is not read");
  EXPECT_EQ(Refusal(MakeWpgReader, Header(1) + "\x10\x00"s), "the first record is not the start record");
  EXPECT_EQ(Refusal(MakeWpgReader, Header(1) + "\x0F\x06\x01"s), "the start record is cut short");
  EXPECT_EQ(Refusal(MakeWpgReader, Header(1)), "the start record is missing");
  std::string encrypted = Header(1);
  encrypted[12] = 1;
  EXPECT_EQ(Refusal(MakeWpgReader, encrypted), "the file is encrypted");
}

}  // namespace wpg

// Damaged files kept in vector/regress.
TEST(VectorReaders, DamagedFilesSayWhy) {
  CheckRegressionRefusals("vector", {
      {"emf_short_header.emf", MakeEmfReader, "the header record is cut short"},
      {"svgz_cut.svgz", MakeSvgReader, "the compressed document cannot be inflated"},
      {"svg_cut_start_tag.svg", MakeSvgReader, "the <svg> start tag is cut short or malformed"},
      {"wpg_cut_start.wpg", MakeWpgReader, "the start record is cut short"},
      {"wmf_placeable_only.wmf", MakeWmfReader, "the file ends inside its headers"},
  });
}

}  // namespace
}  // namespace imr::formats
