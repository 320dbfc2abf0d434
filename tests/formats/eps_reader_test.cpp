#include "formats/eps/eps_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

// Every image of `bytes`; empty when the reader does not open them.
std::vector<ImageDescription> DescribeAll(const std::string& bytes) {
  return test::DescribeAll(MakeEpsReader, bytes).images;
}

using namespace std::string_literals;

std::string DosHeader(std::uint32_t psOffset, std::uint32_t psLength, std::uint32_t wmfOffset,
                      std::uint32_t wmfLength, std::uint32_t tiffOffset, std::uint32_t tiffLength) {
  return std::string("\xC5\xD0\xD3\xC6", 4) + Le32(psOffset) + Le32(psLength) + Le32(wmfOffset) + Le32(wmfLength) +
         Le32(tiffOffset) + Le32(tiffLength) + "\xFF\xFF";
}

struct Sample {
  const char* path;
  const char* format;
  const char* version;
  std::uint32_t columns, rows;  // identify -format '%w %h'
  std::int32_t pages;           // identify's image count
  std::size_t images;           // ours, with previews
};

TEST(EpsReader, SamplesAgreeWithIdentify) {
  const std::string data = std::string(IMR_TEST_DATA) + "/formats/eps/";
  const Sample samples[] = {
      {"im_144dpi.eps", "EPS", "3.0", 10, 5, 1, 1},
      {"pillow_cmyk.eps", "EPS", "3.0", 30, 20, 1, 1},
      {"dos_tiff_preview.eps", "EPS", "3.0", 40, 30, 0, 2},
      {"dcs2_single.eps", "DCS", "2.0", 40, 30, 0, 1},
      {"epsi_preview.epsi", "EPS", "3.0", 16, 8, 0, 2},
      {"multipage_atend.ps", "PS", "3.0", 299, 201, 3, 1},
  };
  for (const Sample& sample : samples) {
    SCOPED_TRACE(sample.path);
    std::vector<ImageDescription> images = DescribeAll(ReadFile(data + sample.path));
    ASSERT_EQ(images.size(), sample.images);
    const ImageDescription& image = images[0];
    EXPECT_EQ(image.type, PXC_IT_MAIN);
    EXPECT_EQ(image.format, sample.format);
    EXPECT_EQ(image.version, sample.version);
    EXPECT_EQ(image.columns, sample.columns);
    EXPECT_EQ(image.rows, sample.rows);
    EXPECT_EQ(image.hResolution, 72);
    EXPECT_EQ(image.units, PXC_MU_INCH);
    if (sample.pages) {
      EXPECT_EQ(image.pages, sample.pages);
    }
  }

  std::vector<ImageDescription> images = DescribeAll(ReadFile(std::string(IMR_CORPUS) + "/exiftool/PostScript.eps"));
  if (images.empty()) GTEST_SKIP() << "no corpus";
  // identify: 8 8; the nested documents' larger boxes are not the file's
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].format, "EPS");
  EXPECT_EQ(images[0].columns, 8u);
  EXPECT_EQ(images[0].rows, 8u);
  EXPECT_EQ(images[0].channelEncoding, PXC_CE_RGB);  // %ImageData mode 3
  EXPECT_EQ(images[0].inks, 3u);
  EXPECT_TRUE(images[0].inkNames.empty());
  EXPECT_EQ(Detail(images[0], "Creator"), "Adobe Photoshop Version 7.0.1");
  EXPECT_EQ(Detail(images[0], "Title"), "c.eps");
  EXPECT_EQ(Detail(images[0], "XMP"), "yes");
}

TEST(EpsReader, ReadsColoursPlatesAndPreviews) {
  const std::string data = std::string(IMR_TEST_DATA) + "/formats/eps/";
  std::vector<ImageDescription> images = DescribeAll(ReadFile(data + "pillow_cmyk.eps"));
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].channelEncoding, PXC_CE_CMYK);
  EXPECT_EQ(images[0].inks, 4u);
  EXPECT_EQ(Detail(images[0], "BitsPerSample"), "8");
  EXPECT_EQ(Detail(images[0], "Creator"), "PIL 0.1 EpsEncode");

  // single-file DCS 2.0: the plates are in the file, only their names count
  images = DescribeAll(ReadFile(data + "dcs2_single.eps"));
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].inkNames,
            (std::vector<std::string>{"Cyan", "Magenta", "Yellow", "Black", "PANTONE 185 C"}));
  EXPECT_EQ(images[0].inks, 5u);
  EXPECT_EQ(images[0].channelEncoding, PXC_CE_MULTICHANNEL);
  EXPECT_TRUE(images[0].externalRefs.empty());

  // the TIFF preview of a DOS EPS is an embedded preview after the main image
  const std::string dos = ReadFile(data + "dos_tiff_preview.eps");
  images = DescribeAll(dos);
  ASSERT_EQ(images.size(), 2u);
  EXPECT_NEAR(images[0].hRealSize, 39.6 / 72, 1e-9);
  EXPECT_TRUE(images[1].embedded);
  EXPECT_EQ(images[1].type, PXC_IT_PREVIEW);
  EXPECT_EQ(dos.substr(images[1].embeddedOffset, 4), "II*\0"s);
  EXPECT_EQ(images[1].embeddedOffset + images[1].embeddedLength, dos.size());

  // an EPSI preview is described directly
  images = DescribeAll(ReadFile(data + "epsi_preview.epsi"));
  ASSERT_EQ(images.size(), 2u);
  EXPECT_FALSE(images[1].embedded);
  EXPECT_EQ(images[1].type, PXC_IT_THUMBNAIL);
  EXPECT_EQ(images[1].columns, 16u);
  EXPECT_EQ(images[1].rows, 8u);
  EXPECT_EQ(images[1].channelEncoding, PXC_CE_BILEVEL);

  // comments deferred to the trailer
  images = DescribeAll(ReadFile(data + "multipage_atend.ps"));
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].inkNames, (std::vector<std::string>{"Spot Orange", "Spot Green"}));
  EXPECT_EQ(Detail(images[0], "Title"), "Deferred");
  EXPECT_EQ(Detail(images[0], "Pages"), "3");
  EXPECT_EQ(images[0].channelEncoding, PXC_CE_VECTOR);
}

TEST(EpsReader, ReadsDcsPlateFiles) {
  // DCS 1.0: four plate files beside the composite
  std::string dcs1 =
      "%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: QuarkXPress\n%%BoundingBox: 0 0 100 50\n"
      "%%CyanPlate: Photo.C\n%%MagentaPlate: Photo.M\n%%YellowPlate: Photo.Y\n%%BlackPlate: Photo.K\n"
      "%%EndComments\n";
  std::vector<ImageDescription> images = DescribeAll(dcs1);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].format, "DCS");
  EXPECT_EQ(images[0].version, "1.0");
  EXPECT_EQ(images[0].externalRefs, (std::vector<std::string>{"Photo.C", "Photo.M", "Photo.Y", "Photo.K"}));
  EXPECT_EQ(images[0].inkNames, (std::vector<std::string>{"Cyan", "Magenta", "Yellow", "Black"}));
  EXPECT_EQ(images[0].channelEncoding, PXC_CE_CMYK);

  // multi-file DCS 2.0 with a spot plate, a file name with spaces, and a
  // composite plate that is no ink
  std::string dcs2 =
      "%!PS-Adobe-3.0 EPSF-3.0\r%%BoundingBox: 0 0 100 50\r"
      "%%PlateFile: (Cyan) EPS Local My Photo.C\r%%PlateFile: (Black) EPS Local My Photo.K\r"
      "%%PlateFile: (Gold) EPSF Local HD:Art:My Photo.1\r%%PlateFile: (Composite) EPS Local My Photo.comp\r"
      "%%EndComments\r";
  images = DescribeAll(dcs2);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].version, "2.0");
  EXPECT_EQ(images[0].externalRefs,
            (std::vector<std::string>{"My Photo.C", "My Photo.K", "HD:Art:My Photo.1", "My Photo.comp"}));
  EXPECT_EQ(images[0].inkNames, (std::vector<std::string>{"Cyan", "Black", "Gold"}));
  EXPECT_EQ(images[0].channelEncoding, PXC_CE_MULTICHANNEL);
}

TEST(EpsReader, ReadsHeaderComments) {
  // the first box of the header wins; a HiRes box beats the integer one
  std::vector<ImageDescription> images = DescribeAll(
      "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 101 201\n%%HiResBoundingBox: 0 0 90.5 90.51\n"
      "%%BoundingBox: 0 0 5 5\n%%DocumentProcessColors: Cyan Black\n%%DocumentCustomColors: Orange\n"
      "%%+ (Deep Blue)\n%%CMYKCustomColor: 0 0.5 1 0 (Orange)\n%%+ 1 1 0 0 (Violet)\n%%EndComments\n"
      "%%BoundingBox: 0 0 999 999\n");
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].columns, 90u);  // 90.5 rounds down, as identify does
  EXPECT_EQ(images[0].rows, 91u);
  EXPECT_EQ(images[0].inkNames, (std::vector<std::string>{"Cyan", "Black", "Orange", "Deep Blue", "Violet"}));
  EXPECT_EQ(images[0].inks, 5u);
  EXPECT_EQ(images[0].pages, 0);

  // a plain PostScript file without a box: Ghostscript's letter page
  images = DescribeAll("%!PS\n/x 1 def\nshowpage\n");
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].format, "PS");
  EXPECT_EQ(images[0].version, "");
  EXPECT_EQ(images[0].columns, 612u);
  EXPECT_EQ(images[0].rows, 792u);

  // an EPS that says "%%Pages: 0" still has its one page
  images = DescribeAll("\x04%!PS-Adobe-2.0 EPSF-1.2\n%%Pages: 0\n%%BoundingBox: 10 10 20 30\n");
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].version, "1.2");
  EXPECT_EQ(images[0].pages, 1);
  EXPECT_EQ(images[0].columns, 10u);

  // a trailer beyond the first 64 KiB
  std::string big = "%!PS-Adobe-3.0\n%%BoundingBox: (atend)\n%%Pages: (atend)\n%%EndComments\n";
  big += std::string(300000, ' ') + "\n%%Trailer\n%%BoundingBox: 0 0 400 300\n%%Pages: 12\n%%EOF\n";
  images = DescribeAll(big);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].columns, 400u);
  EXPECT_EQ(images[0].pages, 12);
}

TEST(EpsReader, ChecksTheDosBinaryHeader) {
  const std::string ps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n%%EndComments\n";
  const std::string wmf = "\xD7\xCD\xC6\x9A wmf bytes";
  std::string file = DosHeader(30, ps.size(), 30 + ps.size(), wmf.size(), 0, 0) + ps + wmf;
  std::vector<ImageDescription> images = DescribeAll(file);
  ASSERT_EQ(images.size(), 2u);
  EXPECT_TRUE(images[1].embedded);
  EXPECT_EQ(images[1].embeddedOffset, 30 + ps.size());
  EXPECT_EQ(images[1].embeddedLength, wmf.size());

  // a preview reaching past the end, or inside the header, is left out
  images = DescribeAll(DosHeader(30, ps.size(), 30 + ps.size(), 1000, 4, 8) + ps + wmf);
  ASSERT_EQ(images.size(), 1u);
  // so is one whose bytes are not what the header says (placeholders)
  const std::string tiff = "II*"s + '\0' + "\x08\0\0\0"s;
  const std::string standardWmf = "\x01\0\x09\0\0\x03"s + "records";
  const std::size_t at = 30 + ps.size();
  images = DescribeAll(DosHeader(30, ps.size(), at, 8, at + 8, 8) + ps + "<Dummy>!" + "NotATIFF");
  EXPECT_EQ(images.size(), 1u);
  images = DescribeAll(DosHeader(30, ps.size(), at + tiff.size(), standardWmf.size(), at, tiff.size()) + ps +
                       tiff + standardWmf);
  ASSERT_EQ(images.size(), 3u);
  EXPECT_EQ(images[1].embeddedOffset, at);  // the TIFF preview first
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
  EXPECT_TRUE(DescribeAll("").empty());
  EXPECT_TRUE(DescribeAll("%PDF-1.4\n").empty());
  EXPECT_TRUE(DescribeAll("%!FontType1-1.0: Foo\n").empty());
  EXPECT_TRUE(DescribeAll("%!PS-AdobeFont-1.0: Foo 001\n%%Title: Foo\n").empty());
  EXPECT_TRUE(DescribeAll("%!PS-TrueTypeFont-65536-65536-1\n").empty());
  EXPECT_TRUE(DescribeAll("%!PS-Adobe-3.0 Resource-ProcSet\n%%BoundingBox: 0 0 1 1\n").empty());
  EXPECT_TRUE(DescribeAll(std::string("\xC5\xD0\xD3\xC6", 4)).empty());
  // broken comments: no numbers, half a box, unbalanced parentheses, one long line
  std::vector<ImageDescription> images = DescribeAll(
      "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: a b c d\n%%HiResBoundingBox: 0 0 5\n"
      "%%DocumentCustomColors: (open\n%%PlateFile: (Cyan\n%%PlateFile: (Black) EPS\n%%Pages: -4\n"
      "%%BeginPreview: 0 0 0 0\n%ImageData: 1 1 99 99\n" + std::string(200000, '%'));
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].columns, 612u);
  EXPECT_EQ(images[0].pages, 0);
  EXPECT_EQ(images[0].format, "DCS");  // the second plate comment is whole enough
  EXPECT_TRUE(images[0].externalRefs.empty());
}

}  // namespace
}  // namespace imr::formats
