// Replays the inputs the magic fuzz targets found or that guard against
// faults once fixed (tests/data/magic/regress): "parser-*" files as entry
// texts, "configuration-*" files as configured magic texts.
#include <filesystem>

#include "magic_fuzz_checks.h"
#include "magic_test_support.h"

namespace {

using namespace magictest;

TEST(FuzzRegressions, EveryReproducerPasses) {
  ASSERT_TRUE(magicfuzz::Initialise());
  std::size_t replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(IMR_MAGIC_DATA_DIR "/regress")) {
    const std::string name = entry.path().filename().string();
    const std::string bytes = ReadFile(entry.path().string());
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    SCOPED_TRACE(name);
    if (name.rfind("parser-", 0) == 0) {
      magicfuzz::CheckEntryText(data, bytes.size());
    } else if (name.rfind("configuration-", 0) == 0) {
      magicfuzz::CheckConfiguration(data, bytes.size());
    } else {
      continue;
    }
    ++replayed;
  }
  EXPECT_GT(replayed, 0u);
}

}  // namespace
