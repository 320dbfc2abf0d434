// The DjVu reader of the document family: single pages and bundled
// documents (kept beside document_test.cpp, which covers EPS, PDF and PICT).
#include <gtest/gtest.h>

#include <string>

#include "formats/document/djvu_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;
using namespace std::string_literals;

std::string Form(const char* type, const std::string& chunks) { return "FORM" + Be32(4 + chunks.size()) + type + chunks; }
std::string Info(std::uint16_t w, std::uint16_t h, std::uint16_t dpi, std::uint8_t flags) {
  return "INFO"s + Be32(10) + Be16(w) + Be16(h) + '\x18' + '\0' + Le16(dpi) + '\x16' + char(flags);
}

// identify (libdjvulibre) shows the resolution with undefined units, and
// the picture turned as the page's rotation asks.
TEST(DjvuReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeDjvuReader, {
      {"document/pages.djvu", 60, 40, 150, 3, PXC_CE_YCBCR, PXC_AP_NONE,
       "format=DJVU|version=24|pages=3|Compression=IW44|1:type=Page|1:columns=70|1:encoding=Bilevel|"
       "1:Compression=JB2|2:type=Page|2:encoding=Gray|2:columns=50|2:pages=3"},
      {"document/rot.djvu", 60, 40, 150, 1, PXC_CE_YCBCR, PXC_AP_NONE, "rotation=R270|pages=1"},
      {"document/bw.djvu", 70, 20, 400, 1, PXC_CE_BILEVEL, PXC_AP_NONE, "inks=1"},
      // an INCL chunk before the layers, and a shared annotation component
      {IMR_CORPUS "/exiftool/DjVu.djvu", 8, 8, 100, 1, PXC_CE_YCBCR, PXC_AP_NONE, "pages=1"},
  });
}

TEST(DjvuReader, DocumentsAndDamage) {
  // A bundled document whose directory points at a page, past the end, at
  // shared data and at a second page; an out-of-range resolution is none.
  const std::string page1 = Form("DJVU", Info(10, 20, 300, 5));
  const std::string shared = Form("DJVI", "ANTz"s + Be32(0));
  const std::string page2 = Form("DJVU", Info(30, 40, 5, 2));
  const std::uint32_t first = 4 + 12 + 8 + 3 + 16;
  std::string dirm = "\x81"s + Be16(4) + Be32(first) + Be32(99999) + Be32(first + page1.size()) +
                     Be32(first + page1.size() + shared.size());
  const std::string document = "AT&T" + Form("DJVM", "DIRM" + Be32(dirm.size()) + dirm + page1 + shared + page2);
  const Described r = DescribeAll(MakeDjvuReader, document);
  ASSERT_EQ(r.images.size(), 2u);
  Check(r.images, "rotation=R90|pages=2|encoding=Unknown|1:columns=30|1:rotation=R180|1:type=Page");
  EXPECT_NEAR(r.images[0].hResolution, 300, 1e-9);
  EXPECT_EQ(r.images[1].units, PXC_MU_NONE);

  std::string indirect = document;
  indirect[4 + 12 + 8] = 1;
  EXPECT_EQ(Refusal(MakeDjvuReader, indirect), "an indirect document: its pages are files of their own");
  EXPECT_EQ(Refusal(MakeDjvuReader, document.substr(0, 4 + 12 + 8 + 3 + 6)), "the DIRM chunk is cut short");
  EXPECT_EQ(Refusal(MakeDjvuReader, "AT&T" + Form("DJVM", "NAVM" + Be32(0))), "the document does not start with DIRM");
  EXPECT_EQ(Refusal(MakeDjvuReader, "AT&T" + Form("DJVM", "DIRM" + Be32(3) + "\x80"s + Be16(1) + Be32(2))),
            "the document has no readable page");
  EXPECT_EQ(Refusal(MakeDjvuReader, "AT&T" + Form("DJVU", "INFO"s + Be32(4) + Be32(0))), "the page has no valid INFO chunk");
  EXPECT_EQ(Refusal(MakeDjvuReader, "AT&T" + Form("BM44", "")), "a FORM of type BM44 is not a page or a document");
}

// Damaged files kept in document/regress.
TEST(DjvuReader, DamagedFilesSayWhy) {
  CheckRegressionRefusals("document", {{"djvu_dirm_cut.djvu", MakeDjvuReader, "the DIRM chunk is cut short"}});
}

}  // namespace
}  // namespace imr::formats
