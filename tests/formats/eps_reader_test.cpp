#include "formats/eps/eps_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;
using namespace std::string_literals;

// Every image of `bytes`; empty when the reader does not open them.
std::vector<ImageDescription> DescribeAll(const std::string& bytes) {
  return test::DescribeAll(MakeEpsReader, bytes).images;
}

std::string DosHeader(std::uint32_t psOffset, std::uint32_t psLength, std::uint32_t wmfOffset,
                      std::uint32_t wmfLength, std::uint32_t tiffOffset, std::uint32_t tiffLength) {
  return "\xC5\xD0\xD3\xC6"s + Le32(psOffset) + Le32(psLength) + Le32(wmfOffset) + Le32(wmfLength) +
         Le32(tiffOffset) + Le32(tiffLength) + "\xFF\xFF";
}

// Sizes as identify gives them (%w %h); our image counts include previews.
TEST(EpsReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeEpsReader, {
      {"eps/im_144dpi.eps", 10, 5, 72, 1, PXC_CE_VECTOR, PXC_AP_NONE, "format=EPS|version=3.0|pages=1"},
      {"eps/pillow_cmyk.eps", 30, 20, 72, 1, PXC_CE_CMYK, PXC_AP_NONE,
       "pages=1|inks=4|BitsPerSample=8|Creator=PIL 0.1 EpsEncode"},
      {"eps/dos_tiff_preview.eps", 40, 30, 72, 2, PXC_CE_VECTOR, PXC_AP_NONE, "format=EPS"},
      // single-file DCS 2.0: the plates are in the file, only their names count
      {"eps/dcs2_single.eps", 40, 30, 72, 1, PXC_CE_MULTICHANNEL, PXC_AP_NONE,
       "format=DCS|version=2.0|inks=5|inkNames=Cyan,Magenta,Yellow,Black,PANTONE 185 C"},
      // an EPSI preview is described directly
      {"eps/epsi_preview.epsi", 16, 8, 72, 2, PXC_CE_VECTOR, PXC_AP_NONE,
       "format=EPS|1:type=Thumbnail|1:columns=16|1:embedded="},
      // comments deferred to the trailer
      {"eps/multipage_atend.ps", 299, 201, 72, 1, PXC_CE_VECTOR, PXC_AP_NONE,
       "format=PS|pages=3|Pages=3|Title=Deferred|inkNames=Spot Orange,Spot Green"},
      // the nested documents' larger boxes are not the file's; %ImageData mode 3
      {IMR_CORPUS "/exiftool/PostScript.eps", 8, 8, 72, 1, PXC_CE_RGB, PXC_AP_NONE,
       "inks=3|inkNames=|Creator=Adobe Photoshop Version 7.0.1|Title=c.eps|XMP=yes"},
  });

  // The TIFF preview of a DOS EPS is embedded, to the end of the file.
  const std::string dos = ReadFile(IMR_TEST_DATA "/formats/eps/dos_tiff_preview.eps");
  std::vector<ImageDescription> images = DescribeAll(dos);
  ASSERT_EQ(images.size(), 2u);
  EXPECT_NEAR(images[0].hRealSize, 39.6 / 72, 1e-9);
  EXPECT_TRUE(images[1].embedded);
  EXPECT_EQ(images[1].type, PXC_IT_PREVIEW);
  EXPECT_EQ(dos.substr(images[1].embeddedOffset, 4), "II*\0"s);
  EXPECT_EQ(images[1].embeddedOffset + images[1].embeddedLength, dos.size());
  EXPECT_EQ(DescribeAll(ReadFile(IMR_TEST_DATA "/formats/eps/epsi_preview.epsi")).at(1).channelEncoding,
            PXC_CE_BILEVEL);
}

TEST(EpsReader, ReadsHeaderCommentsAndDcsPlates) {
  const std::pair<std::string, const char*> cases[] = {
      // DCS 1.0: four plate files beside the composite
      {"%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 100 50\n%%CyanPlate: Photo.C\n%%MagentaPlate: Photo.M\n"
       "%%YellowPlate: Photo.Y\n%%BlackPlate: Photo.K\n%%EndComments\n",
       "format=DCS|version=1.0|externalRefs=Photo.C,Photo.M,Photo.Y,Photo.K|inkNames=Cyan,Magenta,Yellow,Black|"
       "encoding=CMYK"},
      // multi-file DCS 2.0 with CR line ends, a spot plate, names with
      // spaces, and a composite plate that is no ink
      {"%!PS-Adobe-3.0 EPSF-3.0\r%%BoundingBox: 0 0 100 50\r%%PlateFile: (Cyan) EPS Local My Photo.C\r"
       "%%PlateFile: (Black) EPS Local My Photo.K\r%%PlateFile: (Gold) EPSF Local HD:Art:My Photo.1\r"
       "%%PlateFile: (Composite) EPS Local My Photo.comp\r%%EndComments\r",
       "version=2.0|externalRefs=My Photo.C,My Photo.K,HD:Art:My Photo.1,My Photo.comp|inkNames=Cyan,Black,Gold|"
       "encoding=Multichannel"},
      // the first box of the header wins, a HiRes box beats the integer one
      // (90.5 rounds down, as identify does); colours continue on %%+ lines
      {"%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 101 201\n%%HiResBoundingBox: 0 0 90.5 90.51\n"
       "%%BoundingBox: 0 0 5 5\n%%DocumentProcessColors: Cyan Black\n%%DocumentCustomColors: Orange\n"
       "%%+ (Deep Blue)\n%%CMYKCustomColor: 0 0.5 1 0 (Orange)\n%%+ 1 1 0 0 (Violet)\n%%EndComments\n"
       "%%BoundingBox: 0 0 999 999\n",
       "columns=90|rows=91|inkNames=Cyan,Black,Orange,Deep Blue,Violet|inks=5|pages=0"},
      // plain PostScript without a box: Ghostscript's letter page
      {"%!PS\n/x 1 def\nshowpage\n", "format=PS|version=|columns=612|rows=792"},
      // an EPS that says "%%Pages: 0" still has its one page
      {"\x04%!PS-Adobe-2.0 EPSF-1.2\n%%Pages: 0\n%%BoundingBox: 10 10 20 30\n", "version=1.2|pages=1|columns=10"},
      // a trailer beyond the first 64 KiB
      {"%!PS-Adobe-3.0\n%%BoundingBox: (atend)\n%%Pages: (atend)\n%%EndComments\n" + std::string(300000, ' ') +
           "\n%%Trailer\n%%BoundingBox: 0 0 400 300\n%%Pages: 12\n%%EOF\n",
       "columns=400|pages=12"},
  };
  for (const auto& [text, checks] : cases) {
    const std::vector<ImageDescription> images = DescribeAll(text);
    ASSERT_EQ(images.size(), 1u) << checks;
    Check(images, checks);
  }
}

TEST(EpsReader, ChecksTheDosBinaryHeader) {
  const std::string ps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n%%EndComments\n";
  const std::string wmf = "\xD7\xCD\xC6\x9A wmf bytes";
  const std::uint32_t at = 30 + ps.size();
  std::vector<ImageDescription> images = DescribeAll(DosHeader(30, ps.size(), at, wmf.size(), 0, 0) + ps + wmf);
  ASSERT_EQ(images.size(), 2u);
  EXPECT_TRUE(images[1].embedded);
  EXPECT_EQ(images[1].embeddedOffset, at);
  EXPECT_EQ(images[1].embeddedLength, wmf.size());

  // previews reaching past the end, inside the header, or whose bytes are
  // not what the header says (placeholders) are left out
  EXPECT_EQ(DescribeAll(DosHeader(30, ps.size(), at, 1000, 4, 8) + ps + wmf).size(), 1u);
  EXPECT_EQ(DescribeAll(DosHeader(30, ps.size(), at, 8, at + 8, 8) + ps + "<Dummy>!" + "NotATIFF").size(), 1u);
  // both kinds: the TIFF preview first
  const std::string tiff = "II*"s + '\0' + "\x08\0\0\0"s;
  const std::string standardWmf = "\x01\0\x09\0\0\x03"s + "records";
  images = DescribeAll(DosHeader(30, ps.size(), at + tiff.size(), standardWmf.size(), at, tiff.size()) + ps +
                       tiff + standardWmf);
  ASSERT_EQ(images.size(), 3u);
  EXPECT_EQ(images[1].embeddedOffset, at);
  EXPECT_EQ(images[2].embeddedOffset, at + tiff.size());
  // a PostScript length past the end is cut to the file
  images = DescribeAll(DosHeader(30, 0xFFFFFFFF, 0, 0, 0, 0) + ps);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].columns, 10u);
  // PostScript offset past the end, inside the header, or not PostScript
  EXPECT_TRUE(DescribeAll(DosHeader(5000, 10, 0, 0, 0, 0) + ps).empty());
  EXPECT_TRUE(DescribeAll(DosHeader(2, 10, 0, 0, 0, 0) + ps).empty());
  EXPECT_TRUE(DescribeAll(DosHeader(30, ps.size(), 0, 0, 0, 0) + "GIF89a" + ps).empty());
}

TEST(EpsReader, RejectsOtherFilesAndSurvivesJunk) {
  for (const char* other : {"", "%PDF-1.4\n", "%!FontType1-1.0: Foo\n", "%!PS-AdobeFont-1.0: Foo 001\n%%Title: Foo\n",
                            "%!PS-TrueTypeFont-65536-65536-1\n",
                            "%!PS-Adobe-3.0 Resource-ProcSet\n%%BoundingBox: 0 0 1 1\n", "\xC5\xD0\xD3\xC6"}) {
    EXPECT_TRUE(DescribeAll(other).empty()) << other;
  }
  // broken comments: no numbers, half a box, unbalanced parentheses, one long line
  std::vector<ImageDescription> images = DescribeAll(
      "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: a b c d\n%%HiResBoundingBox: 0 0 5\n"
      "%%DocumentCustomColors: (open\n%%PlateFile: (Cyan\n%%PlateFile: (Black) EPS\n%%Pages: -4\n"
      "%%BeginPreview: 0 0 0 0\n%ImageData: 1 1 99 99\n" + std::string(200000, '%'));
  ASSERT_EQ(images.size(), 1u);
  Check(images, "columns=612|pages=0|format=DCS|externalRefs=");  // the second plate comment is whole enough
}

}  // namespace
}  // namespace imr::formats
