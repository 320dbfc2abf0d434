// Inputs that once broke a reader (fuzzer findings and damaged files, kept in
// tests/data/formats/<family>/regress): every reader of every family gets
// through each of them, whichever family it was found in.
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/common/reader_registry.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

TEST(RegressionInputs, EveryReaderGetsThroughEveryInput) {
  std::size_t inputs = 0;
  for (const auto& folder : std::filesystem::directory_iterator(IMR_TEST_DATA "/formats")) {
    for (const std::string& path : RegressionInputs(folder.path().filename().string())) {
      SCOPED_TRACE(path);
      const Bytes bytes = ReadBytes(path);
      ++inputs;
      for (const RegisteredReader& reader : RegisteredReaders()) {
        const Described all = DescribeAll(reader.make, bytes, 256);
        for (const ImageDescription& image : all.images) {
          if (image.embedded) {
            EXPECT_LE(image.embeddedOffset, bytes.size()) << reader.plugin;
            EXPECT_LE(image.embeddedLength, bytes.size() - image.embeddedOffset) << reader.plugin;
          }
        }
      }
    }
  }
  EXPECT_GT(inputs, 0u);
}

}  // namespace
}  // namespace imr::formats
