// Recognition through the default core, the shipped magic tables and
// GENERIC: the samples of every shipped entry, at the level of the magic
// entries alone and at the deepest level; damaged and hostile files are
// recognised or declined.  Empty and special files: tests/core pipeline_test.
#include <unistd.h>

#include <algorithm>
#include <random>
#include <tuple>

#include "magic_test_support.h"

namespace {

using namespace magictest;

class Recognition : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(UseShippedModules()); }
  TempDir iDir;
};

class Levels : public Recognition, public ::testing::WithParamInterface<PXC_TFillLevel> {};

TEST_P(Levels, EverySampleGetsItsFormatOrNone) {
  const IMR_TCore core;
  const std::vector<Sample> samples = Samples();
  ASSERT_GT(samples.size(), 100u);
  for (const Sample& sample : samples) {
    ASSERT_FALSE(sample.bytes.empty()) << sample.name;
    WriteFile(iDir / sample.name, sample.bytes);  // described from a copy: the data folder is shared
    EXPECT_EQ(FormatOf(core, iDir / sample.name, GetParam()), sample.format) << sample.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Magic, Levels, ::testing::Values(PXC_FL_FORMAT, PXC_FL_DEPENDENCIES),
                         [](const auto& info) { return "Level" + std::to_string(info.param); });

TEST_F(Recognition, TruncatedAndRandomStartsAreRecognisedOrDeclined) {
  const IMR_TCore core;
  std::size_t declined = 0;
  std::size_t files = 0;
  for (const Sample& sample : Samples()) {
    if (sample.format.empty()) continue;
    for (std::size_t length = 1; length < std::min<std::size_t>(sample.bytes.size(), 41); length += 3) {
      WriteFile(iDir / "cut", sample.bytes.substr(0, length));
      ++files;
      const PXC_TFillLevel level = length % 2 ? PXC_FL_FORMAT : PXC_FL_DEPENDENCIES;
      const std::string format = FormatOf(core, iDir / "cut", level);
      EXPECT_NE(format[0], '!') << sample.name << " cut to " << length << ": " << format;
      declined += format.empty();
    }
  }
  EXPECT_GT(declined, 0u);
  EXPECT_LT(declined, files);
  // Random bytes, half of them after the first half of a sample.
  std::mt19937 random(20261205);
  const std::vector<Sample> samples = Samples();
  for (int i = 0; i < 300; ++i) {
    std::string bytes(1 + random() % 3000, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    const std::string& start = samples[random() % samples.size()].bytes;
    const std::size_t half = std::min(bytes.size(), start.size() / 2);
    if (i % 2 == 1) bytes.replace(0, half, start, 0, half);
    WriteFile(iDir / "random", bytes);
    const std::string format = FormatOf(core, iDir / "random", i % 3 ? PXC_FL_FORMAT : PXC_FL_DEPENDENCIES);
    EXPECT_NE(format[0], '!') << format;
  }
}

TEST_F(Recognition, HugeSizesAndFarOffsets) {
  const IMR_TCore core;
  const std::tuple<const char*, std::string, const char*> files[] = {
      // Stored starts far past the end.
      {"tiff-far.tif", std::string("II*\0\xF0\xFF\xFF\xFF", 8), "TIFF"},
      {"eps-far.eps", std::string("\xC5\xD0\xD3\xC6\0\0\0\x80", 8), "EPS"},
      // Sizes no reader could allocate (the format fuzz targets try more).
      {"png-huge.png",
       std::string("\x89PNG\r\n\x1A\n\xFF\xFF\xFF\xFFIHDR\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 24), "PNG"},
      {"psd-huge.psd", std::string("8BPS\0\x01\0\0\0\0\0\0\xFF\xFF\xFF\xFF\xFF\xFF", 18), "PSD"}};
  for (const auto& [name, bytes, format] : files) {
    WriteFile(iDir / name, Padded(bytes, 64));
    for (PXC_TFillLevel level : {PXC_FL_FORMAT, PXC_FL_DEPENDENCIES}) {
      EXPECT_EQ(FormatOf(core, iDir / name, level), format) << name;
    }
  }
  // A sparse file of 3 GiB whose stored start points near its end: the
  // search reads a bounded window, not the file.
  const std::string sparse = iDir / "sparse.tif";
  WriteFile(sparse, Padded(std::string("II*\0\0\xF0\xFF\xBF", 8), 64));
  ASSERT_EQ(::truncate(sparse.c_str(), 3LL << 30), 0);
  EXPECT_EQ(FormatOf(core, sparse, PXC_FL_FORMAT), "TIFF");
  EXPECT_EQ(FormatOf(core, sparse, PXC_FL_DEPENDENCIES), "TIFF");
}

}  // namespace
