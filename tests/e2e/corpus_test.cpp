// Recognition of real files written by others: every file whose expected line
// names formats comes out as one of them, and no file marked '-' is given a
// format, at the level of the magic entries alone and at the deepest level.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/imr_core.h"
#include "tests/formats/pipeline_test_support.h"

namespace {

struct Expectation {
  std::string file;
  std::vector<std::string> formats;  // empty: must not be recognised
};

std::vector<Expectation> ReadExpectations() {
  std::vector<Expectation> expectations;
  std::ifstream table(std::string(IMR_CORPUS_DIR) + "/EXPECTED.tsv");
  for (std::string line; std::getline(table, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Expectation expectation;
    std::string formats;
    std::getline(fields, expectation.file, '\t');
    std::getline(fields, formats);
    if (formats != "-") {
      std::istringstream names(formats);
      for (std::string name; std::getline(names, name, '|');) expectation.formats.push_back(name);
    }
    expectations.push_back(expectation);
  }
  return expectations;
}

class CorpusTest : public ::testing::TestWithParam<PXC_TFillLevel> {
 protected:
  // The corpus is shared: nothing may be written beside its files.
  static void SetUpTestSuite() { imr::formats::test::StartPipeline(); }
};

TEST_P(CorpusTest, EveryFileGetsAnExpectedFormatOrNone) {
  const std::vector<Expectation> expectations = ReadExpectations();
  ASSERT_GT(expectations.size(), 150u);
  const IMR_TCore core;
  for (const Expectation& expectation : expectations) {
    SCOPED_TRACE(expectation.file);
    PXC_TImageProxy proxy;
    const ZQ_TURL url = ZQ_TURL::FromPath(ZQ_TString(std::string(IMR_CORPUS_DIR) + "/" + expectation.file));
    std::string format;
    try {
      core.FillImageProxy(proxy, url, GetParam(), IMR_IT_ALL);
      ASSERT_NE(proxy.Selected(), nullptr);
      format = proxy.Selected()->FileFormat().Std();
      EXPECT_GE(proxy.Selected()->FillLevel(), GetParam());
    } catch (const IMR_EPluginFileNotRecognized&) {
    }
    if (expectation.formats.empty()) {
      EXPECT_EQ(format, "") << "a file that is not an image was given a format";
    } else {
      EXPECT_NE(std::find(expectation.formats.begin(), expectation.formats.end(), format),
                expectation.formats.end())
          << "recognised as '" << format << "'";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, CorpusTest,
                         ::testing::Values(PXC_FL_FORMAT, PXC_FL_DEPENDENCIES),
                         [](const auto& info) { return "Level" + std::to_string(info.param); });

}  // namespace
