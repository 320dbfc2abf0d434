// The copies, packed, human-readable and printed forms of match chains, and
// the replay of the inputs the magic fuzz targets found or that guard faults
// once fixed (tests/data/magic/regress).
#include <filesystem>

#include "magic_fuzz_checks.h"
#include "magic_test_support.h"

namespace {

using namespace magictest;

// Chains covering every class: negations with and without a negated chain,
// fixed and stored-start searches, awkward texts.
std::vector<std::unique_ptr<IMR_TMatch>> Samples() {
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

// What a chain does on buffers the samples tell apart, at two levels.
std::string Behaviour(const IMR_TMatch& chain) {
  const std::string probes[] = {
      "", "x", Padded("II*", 40), std::string(140, 'x'),
      Padded(Bytes({'I', 'I', 0x2A, 0, 0x10, 0, 0, 0}), 16) + "END" + Padded("", 12),
      Padded(Bytes({0x10, 8, 0, 1, 0x10, 0}), 20) + "a=b-END" + Padded("", 12),
      Padded(Bytes({0x10, 8, 0, 1, 0x10, 0, 0, 0}), 28) + Bytes({0, 0, 0, 40}) + Padded("", 8) +
          "\xE1\x84\x02--a=b",
      Padded(Bytes({0, 0, 0, 0, 7, 5}), 12) + "NO--", Padded(Bytes({0, 0, 0, 0, 6, 5}), 12) + "OK--"};
  std::string text;
  for (const std::string& probe : probes) {
    for (PXC_TFillLevel level : {PXC_FL_FORMAT, PXC_FL_DEPENDENCIES}) {
      text += magicfuzz::Run(chain, probe, level);
    }
  }
  return text;
}

TEST(Forms, ClonedPackedAndWrittenCopiesOfEveryClassAgree) {
  for (const auto& chain : Samples()) {
    const std::string packed = Packed(*chain);
    const std::string written = Written(*chain);
    SCOPED_TRACE(written);
    std::unique_ptr<IMR_TMatch> copies[3];
    copies[0].reset(dynamic_cast<IMR_TMatch*>(chain->ZQ_Clone()));
    copies[1] = Unpacked<IMR_TMatch>(packed);
    copies[2] = ReadBack<IMR_TMatch>(written);
    for (const auto& copy : copies) {
      ASSERT_NE(copy, nullptr);
      EXPECT_STREQ(copy->ClassName(), chain->ClassName());
      EXPECT_TRUE(chain->ZQ_IsIdent(*copy));
      EXPECT_TRUE(copy->ZQ_IsIdent(*chain));
      EXPECT_EQ(Printed(*copy), Printed(*chain));
      EXPECT_EQ(Behaviour(*copy), Behaviour(*chain));
      EXPECT_EQ(Packed(*copy), packed);
      EXPECT_EQ(Written(*copy), written);
    }
  }
}

TEST(Forms, AGuardReadIntoRecomputesItsLength) {
  // Targets that cached the length of the chain they held before.
  IMR_TTrue unpackTarget;
  Attach(unpackTarget, new IMR_TEqual(20, 255, 1));
  IMR_TTrue readTarget;
  Attach(readTarget, new IMR_TEqual(30, 255, 1));
  ASSERT_EQ(unpackTarget.MatchLength(), 20u);
  ASSERT_EQ(readTarget.MatchLength(), 30u);
  const std::string bytes = Packed(*Chain({"[9]==1"}));
  ZQ_TMemoryStream packed(bytes.data(), bytes.size());
  ZQ_TDataStream data(packed);
  ASSERT_TRUE(data.UnpackBool());  // not a null object
  ASSERT_EQ(data.UnpackString(), ZQ_TString("IMR_TTrue"));
  data.UnpackU32();  // its byte count
  unpackTarget.ZQ_Unpack(data);
  EXPECT_EQ(unpackTarget.MatchLength(), 9u);
  std::string text = Written(*Chain({"[5]==1", "[12]==1"}));
  text.erase(0, text.find('\n'));  // the items after the class name
  ZQ_TMemoryStream written(text.data(), text.size());
  ZQ_THumanReadableStream human(written);
  EXPECT_FALSE(readTarget.ReadFrom(human));
  EXPECT_EQ(readTarget.MatchLength(), 12u);
  EXPECT_FALSE(Passes(readTarget, std::string(12, '\1')));
  EXPECT_TRUE(Passes(readTarget, std::string(13, '\1')));
}

TEST(Forms, DamagedFormsRaiseOrGiveNoChain) {
  // A packed pattern length over its bound.
  std::string bytes = Packed(IMR_TSearch("ab", 0));
  const std::size_t at = bytes.find("IMR_TSearch") + 11 + 4 + 4;  // past the name, count and offset
  ASSERT_LT(at + 4, bytes.size());
  ASSERT_EQ(bytes[at], 2);
  bytes[at] = static_cast<char>(200);
  EXPECT_THROW(Unpacked<IMR_TMatch>(bytes), ZQ_EException);
  // Malformed texts raise a stream error; only an object that is not a match
  // element may stand for a chain, and it gives none.
  const std::string good = Written(*Chain({"[0]==1", "Key=value"}, false));
  for (const std::string& bad :
       {std::string("IMR_TEqual 0 255 1 MAYBE"), std::string("IMR_TSet 1 2 NULL"),
        std::string("IMR_TSearch 0 2 0 0 false NULL NULL"), good.substr(0, good.size() / 2),
        std::string("IMR_TNot ZQ_TString \"x\" NULL")}) {
    SCOPED_TRACE(bad);
    try {
      std::unique_ptr<IMR_TMatch> back = ReadBack<IMR_TMatch>(bad);
      if (back) {
        const IMR_TNot* negation = dynamic_cast<const IMR_TNot*>(back.get());
        ASSERT_NE(negation, nullptr);
        EXPECT_EQ(negation->Negated(), nullptr);
      }
    } catch (const ZQ_EException&) {
    }
  }
}

TEST(Forms, PrintedOneLinePerElementNegatedChainsIndented) {
  EXPECT_EQ(Printed(*Chain({"[12]&0x0F<5", "?*0x1Cl2=x", "FileFormat=TIFF"})),
            "MinimalLength: 12\n[12] & 15 < 5\nSearch string: x Offset: 0 Pos: 28 Bytes: 2\n"
            "Set 'FileFormat' to 'TIFF'\n");
  IMR_TLess less(4, 255, 7);
  IMR_TNot negation(&less);
  Attach(negation, new IMR_TEqual(1, 255, 2));
  EXPECT_EQ(Printed(negation), "NOT\n  [4] & 255 < 7\n[1] & 255 == 2\n");
  // Inside an indented print the whole chain keeps the caller's prefix.
  ZQ_IPrintable::Indent();
  const std::string indented = Printed(negation);
  ZQ_IPrintable::ReverseIndent();
  EXPECT_EQ(indented, "  NOT\n    [4] & 255 < 7\n  [1] & 255 == 2\n");
}

TEST(FuzzRegressions, EveryReproducerPasses) {
  // "parser-*" files are entry texts, "configuration-*" configured magic texts.
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
