#include "pxc_test_support.h"

#include <random>

namespace pxctest {

namespace {

// Initialises the libraries once, before any test.
class Initialisation : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(__ZQ_INITIALIZATION_FUNCTION_PXCBASE__()); }
};
const ::testing::Environment* const kInitialisation =
    ::testing::AddGlobalTestEnvironment(new Initialisation);

}  // namespace

std::string Pattern(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>((i * 7 + i / 251 + seed) & 0xFF);
  }
  return bytes;
}

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random() & 0xFF);
  return bytes;
}

ScopedOverlay::ScopedOverlay(const TempDir& dir, const std::string& json, const std::string& name)
    : iPath(dir / name) {
  WriteFile(iPath, json);
  iEnv.emplace("IMR_CONFIG", iPath);
  PXC_CfsReload();
}

ScopedOverlay::~ScopedOverlay() {
  iEnv.reset();
  PXC_CfsReload();
}

}  // namespace pxctest
