// Mutants of the real files: each sample (the corpus, the end-to-end samples
// and the regression inputs) changed twenty ways, the same ways on every run,
// and described at level 6 by a core that caches, then again from its
// record.  Under the sanitizers this is a short fuzzing run over every
// reader and the result cache: no crash, no report, no hang, and a record
// that gives what the file gave.
//
// Before each description the folder's "last.txt" names the sample and the
// mutant, so that an input that brings the program down is found there, with
// the mutant beside it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "tests/system/system_samples.h"

namespace systemtest {
namespace {

constexpr int kMutantsPerSample = 20;
// Larger samples are left out: their mutants cost time, not coverage.
constexpr std::uintmax_t kLargestSample = 256 << 10;

// xorshift64*: the same mutants on every machine.
class Random {
 public:
  explicit Random(std::uint64_t seed) : iState(seed * 0x9E3779B97F4A7C15ull + 1) {}
  std::uint64_t Next() {
    iState ^= iState >> 12;
    iState ^= iState << 25;
    iState ^= iState >> 27;
    return iState * 0x2545F4914F6CDD1Dull;
  }
  std::size_t Below(std::size_t bound) { return bound == 0 ? 0 : Next() % bound; }

 private:
  std::uint64_t iState;
};

// A place to change: in the first 512 bytes half of the time, where headers
// and their sizes are.
std::size_t Place(Random& random, std::size_t size) {
  return random.Below(random.Below(2) == 0 && size > 512 ? 512 : size);
}

// `bytes` changed by one to four of: bits flipped, a byte or a 16- or 32-bit
// field set to a boundary value, a cut, a run copied elsewhere, bytes
// inserted.
std::string Mutant(std::string bytes, Random& random) {
  static const std::uint32_t kBoundaries[] = {0, 1, 0x7F, 0x80, 0xFF, 0x7FFF, 0xFFFF,
                                              0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
  for (std::size_t edits = 1 + random.Below(4); edits > 0 && !bytes.empty(); --edits) {
    const std::size_t at = Place(random, bytes.size());
    switch (random.Below(6)) {
      case 0:
        bytes[at] = static_cast<char>(bytes[at] ^ (1 << random.Below(8)));
        break;
      case 1:
      case 2: {
        const std::uint32_t value = kBoundaries[random.Below(std::size(kBoundaries))];
        const std::size_t width = std::size_t{1} << random.Below(3);  // 1, 2 or 4 bytes
        for (std::size_t i = 0; i < width && at + i < bytes.size(); ++i) {
          const bool bigEndian = random.Below(2) == 0;
          bytes[at + i] = static_cast<char>(value >> (8 * (bigEndian ? width - 1 - i : i)));
        }
        break;
      }
      case 3:
        bytes.resize(at);
        break;
      case 4: {
        const std::size_t from = random.Below(bytes.size());
        const std::size_t length = random.Below(std::min<std::size_t>(bytes.size() - from, 256));
        bytes.insert(at, bytes.substr(from, length));
        break;
      }
      default:
        bytes.insert(at, std::string(random.Below(64), static_cast<char>(random.Next())));
        break;
    }
  }
  return bytes;
}

// The description at level 6, or the failure the file gives.
std::string Described(const IMR_TCore& core, const ZQ_TURL& url) {
  try {
    return Printed(Filled(core, url, PXC_FL_DEPENDENCIES));
  } catch (const ZQ_EException& error) {
    return std::string(error.ClassName()) + ": " + error.Text().Std();
  }
}

TEST(Mutants, DescribeAndAgreeWithTheirRecords) {
  StartLibrary();
  const testsupport::TempDir samples;
  const testsupport::TempDir dir;
  std::cout << "mutants are written to " << dir.Path() << '\n';
  const IMR_TCore cached;
  std::size_t mutants = 0;
  std::uint64_t seed = 0;
  for (const Sample& sample : CopySamples(samples)) {
    const std::string source = sample.url.Path().Std();
    if (std::filesystem::file_size(source) > kLargestSample) continue;
    const std::string original = testsupport::ReadFile(source);
    const std::string path = dir / ("mutant" + std::filesystem::path(source).extension().string());
    const ZQ_TURL url = ZQ_TURL::FromPath(ZQ_TString(path));
    for (int i = 0; i < kMutantsPerSample; ++i, ++mutants) {
      Random random(++seed);
      const std::string trace = sample.name + ", mutant " + std::to_string(i);
      testsupport::WriteFile(dir / "last.txt", trace + "\n");
      std::filesystem::remove(path);  // a new file, without the last one's record
      testsupport::WriteFile(path, Mutant(original, random));
      const std::string fresh = Described(cached, url);
      EXPECT_EQ(Described(cached, url), fresh) << trace;
    }
  }
  EXPECT_GT(mutants, 5000u);
  std::filesystem::remove(dir / "last.txt");
}

}  // namespace
}  // namespace systemtest
