// Accuracy through the whole pipeline at the deepest level, with the cache
// off: for every file of tests/data/e2e/expected.tsv (the generated samples of
// every family and the corpus's image files) the selected image's columns,
// rows and resolution, and the number of images, agree with what ImageMagick's
// identify reports, but for the differences the table states on purpose.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/imr_core.h"
#include "tests/formats/pipeline_test_support.h"

namespace {

struct Expected {
  std::string file;
  bool readable = false;  // identify reads it
  std::map<std::string, double> values;  // images, columns, rows, xres, yres
  bool turned = false;     // identify shows the picture turned for display
  std::string note;
};

std::vector<std::string> Split(const std::string& line, char separator) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, separator);) fields.push_back(field);
  return fields;
}

std::vector<Expected> ReadTable() {
  std::vector<Expected> rows;
  std::ifstream table(IMR_TEST_DATA "/e2e/expected.tsv");
  static const char* const kColumns[] = {"images", "columns", "rows", "xres", "yres"};
  for (std::string line; std::getline(table, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::vector<std::string> fields = Split(line, '\t');
    if (fields.size() < 7) {
      ADD_FAILURE() << "short line: " << line;
      continue;
    }
    Expected row;
    row.file = fields[0];
    row.readable = fields[1] != "-";
    if (row.readable) {
      for (int i = 0; i < 5; ++i) row.values[kColumns[i]] = std::stod(fields[1 + i]);
    }
    if (fields[6] != "-") {
      for (const std::string& change : Split(fields[6], ',')) {
        const std::size_t equals = change.find('=');
        if (change == "turned") {
          row.turned = true;
        } else if (equals != std::string::npos) {
          row.values[change.substr(0, equals)] = std::stod(change.substr(equals + 1));
        } else {
          ADD_FAILURE() << row.file << ": unknown difference " << change;
        }
      }
    }
    if (fields.size() > 7) row.note = fields[7];
    rows.push_back(row);
  }
  return rows;
}

// Pixels per inch of a ticket's resolution; 0 when it states none.
double PerInch(double value, PXC_TMUnits units) {
  switch (units) {
    case PXC_MU_INCH: return value;
    case PXC_MU_CENTIMETER: return value * 2.54;
    case PXC_MU_MILLIMETER: return value * 25.4;
    case PXC_MU_POINT: return value * 72;
    case PXC_MU_METER: return value * 0.0254;
    default: return 0;
  }
}

bool QuarterTurn(PXC_TImageRotation rotation) {
  return rotation == PXC_IR_90 || rotation == PXC_IR_270 || rotation == PXC_IR_MIRROR_90 ||
         rotation == PXC_IR_MIRROR_270;
}

class AccuracyTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { imr::formats::test::StartPipeline(); }
};

TEST_F(AccuracyTest, SelectedImageAndImageCountAgreeWithIdentify) {
  const std::vector<Expected> table = ReadTable();
  ASSERT_GT(table.size(), 150u);
  const imr::formats::test::LogToFile log(::testing::TempDir() + "imr_accuracy_log.txt");
  const IMR_TCore core;
  std::size_t checked = 0;
  for (const Expected& expected : table) {
    SCOPED_TRACE(expected.file + (expected.note.empty() ? "" : " (" + expected.note + ")"));
    PXC_TImageProxy proxy;
    const ZQ_TURL url = ZQ_TURL::FromPath(ZQ_TString(IMR_TEST_DATA "/" + expected.file));
    try {
      core.FillImageProxy(proxy, url, PXC_FL_DEPENDENCIES, IMR_IT_ALL);
    } catch (const ZQ_EException& error) {
      ADD_FAILURE() << "not described: " << error.Text();
      continue;
    }
    const PXC_TImageTicket* selected = proxy.Selected();
    ASSERT_NE(selected, nullptr);
    EXPECT_FALSE(selected->FileFormat().IsEmpty());
    EXPECT_EQ(selected->FillLevel(), PXC_FL_DEPENDENCIES);
    if (!expected.readable) continue;  // identify cannot read it: no geometry to compare

    // identify counts the main images and pages: not the thumbnails and
    // previews a file also holds, nor auxiliary images.
    std::size_t images = 0;
    for (std::uint32_t i = 0; i < proxy.Entries(); ++i) {
      const PXC_TImageTicket& ticket = proxy.TicketAt(i);
      if ((ticket.ImageType() == PXC_IT_MAIN || ticket.ImageType() == PXC_IT_PAGE) &&
          !ticket.File().IsEmbed()) {
        ++images;
      }
    }
    std::uint32_t columns = selected->NrColumns(), rows = selected->NrRows();
    if (expected.turned) {
      EXPECT_TRUE(QuarterTurn(selected->Rotation())) << selected->Rotation();
      std::swap(columns, rows);
    }
    const auto value = [&](const char* key) { return expected.values.at(key); };
    EXPECT_EQ(images, value("images"));
    EXPECT_EQ(columns, value("columns"));
    EXPECT_EQ(rows, value("rows"));
    const double x = PerInch(selected->HResolution(), selected->MeasurementUnits());
    const double y = PerInch(selected->VResolution(), selected->MeasurementUnits());
    EXPECT_NEAR(x, value("xres"), 0.002 * value("xres") + 0.01);
    EXPECT_NEAR(y, value("yres"), 0.002 * value("yres") + 0.01);
    ++checked;
  }
  EXPECT_EQ(log.Text(), "") << "the pipeline logged while describing the samples";
  EXPECT_GT(checked, 100u);
}

}  // namespace
