// The copies, packed and human-readable forms of match chains, and
// the replay of the inputs the magic fuzz targets found or that guard faults
// once fixed (tests/data/magic/regress).
#include <filesystem>

#include "magic_fuzz_checks.h"
#include "magic_test_support.h"

namespace {

using namespace magictest;

// Chains covering every class: negations with and without a negated chain,
// fixed and stored-start searches, awkward texts.
std::vector<std::unique_ptr<IMR_TMatch>> EveryClass() {
  std::vector<std::unique_ptr<IMR_TMatch>> chains;
  chains.push_back(Chain({"[0]==0x49", "[1]&0xF0<0x50", "[2]>=0x2A", "FileFormat=TIFF", "ImageType=3",
                          "FillLevel=2", "imr_plugin=TIFF"}));
  chains.push_back(Chain({"[3]!=0", "?4=a=b", "?*4l2=END", "?*0x1Cm4=\xE1\x84\x02",
                          "Comment=text \"quoted\" \\ and\ttab"}));
  chains.push_back(Chain({"[0]<=0x20", "[1]>7", "imr_plugin=PDF=page1"}, false));
  chains.push_back(std::make_unique<IMR_TNot>());
  auto negation = std::make_unique<IMR_TNot>(Chain({"[4]<7", "?0=NO"}, false).get());
  Attach(*negation, Chain({"[5]==5", "Key=value"}, false).release());
  chains.push_back(std::move(negation));
  auto guard = std::make_unique<IMR_TTrue>();
  Attach(*Attach(*guard, new IMR_TNot(nullptr)), new IMR_TSearch(std::string(127, 'x').c_str(), 3));
  chains.push_back(std::move(guard));
  chains.push_back(std::make_unique<IMR_TSet>());
  chains.push_back(std::make_unique<IMR_TSearch>());
  chains.push_back(std::make_unique<IMR_TLess>(7, 8, 9));
  return chains;
}

// Every class survives cloning, packing and writing as the fuzz targets check
// it (a guard read back recomputes its length: the printed forms agree), and
// the copies give the same forms again.
TEST(Forms, ClonedPackedAndWrittenCopiesOfEveryClassAgree) {
  for (const auto& chain : EveryClass()) {
    const std::string packed = Packed(*chain);
    const std::string written = Written(*chain);
    SCOPED_TRACE(written);
    magicfuzz::CheckCopies(*chain);  // aborts on a copy that is missing or differs
    EXPECT_EQ(Packed(*Unpacked<IMR_TMatch>(packed)), packed);
    EXPECT_EQ(Written(*ReadBack<IMR_TMatch>(written)), written);
  }
}

TEST(Forms, APackedPatternLengthOverItsBoundRaises) {
  std::string bytes = Packed(IMR_TSearch("ab", 0));
  const std::size_t at = bytes.find("IMR_TSearch") + 11 + 4 + 4;  // past the name, count and offset
  ASSERT_LT(at + 4, bytes.size());
  ASSERT_EQ(bytes[at], 2);
  bytes[at] = static_cast<char>(200);
  EXPECT_THROW(Unpacked<IMR_TMatch>(bytes), ZQ_EException);
}

TEST(FuzzRegressions, EveryReproducerPasses) {
  // "parser-*" files are entry texts, "configuration-*" configured magic texts
  // (malformed ones among them).
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
