// The packed, human-readable and printed forms of match chains.
#include <functional>

#include "magic_test_support.h"

namespace {

using namespace magictest;

// Chains covering every class: several elements, negations with and
// without a negated chain, fixed and stored-start searches.
std::vector<std::unique_ptr<IMR_TMatch>> Samples() {
  std::vector<std::unique_ptr<IMR_TMatch>> chains;
  chains.push_back(Chain({"[0]==0x49", "[1]&0xF0<0x50", "[2]>=0x2A", "FileFormat=TIFF",
                          "ImageType=3", "FillLevel=2", "imr_plugin=TIFF"}));
  chains.push_back(Chain({"[3]!=0", "?4=a=b", "?*4l2=END", "?*0x1Cm4=\xE1\x84\x02",
                          "Comment=text \"quoted\" \\ and\ttab"}));
  chains.push_back(Chain({"[0]<=0x20", "[1]>7", "imr_plugin=PDF=page1"}, false));
  chains.push_back(std::make_unique<IMR_TNot>());  // without negated chain
  {
    auto negation = std::make_unique<IMR_TNot>(Chain({"[4]<7", "?0=NO"}, false).get());
    Attach(*negation, Chain({"[5]==5", "Key=value"}, false).release());
    chains.push_back(std::move(negation));
  }
  {
    auto guard = std::make_unique<IMR_TTrue>();
    Attach(*guard, new IMR_TNot(nullptr));
    Attach(const_cast<IMR_TMatch&>(*NextOf(*guard)), new IMR_TSearch(std::string(127, 'x').c_str(), 3));
    chains.push_back(std::move(guard));
  }
  chains.push_back(std::make_unique<IMR_TSet>());
  chains.push_back(std::make_unique<IMR_TSearch>());
  chains.push_back(std::make_unique<IMR_TTrue>());
  chains.push_back(std::make_unique<IMR_TLess>(7, 8, 9));
  return chains;
}

// Buffers the sample chains give different results on.
std::vector<std::string> Probes() {
  std::vector<std::string> probes = {
      "",
      "x",
      Padded("II*", 40),
      Padded(Bytes({'I', 'I', 0x2A, 0, 0x10, 0, 0, 0}), 16) + "END" + Padded("", 12),
      Padded(Bytes({0x10, 8, 0, 1, 0x10, 0}), 20) + "a=b-END" + Padded("", 12),
      Padded(Bytes({0x10, 8, 0, 1, 0x10, 0, 0, 0}), 28) + Bytes({0, 0, 0, 40}) +
          Padded("", 8) + "\xE1\x84\x02--a=b",
      Padded(Bytes({0, 0, 0, 0, 7, 5}), 12) + "NO--",
      Padded(Bytes({0, 0, 0, 0, 6, 5}), 12) + "OK--",
      std::string(140, 'x'),
  };
  return probes;
}

// What a chain gives on every probe: pass/fail, the fields it set.
std::string Behaviour(const IMR_TMatch& chain) {
  std::string text;
  for (const std::string& probe : Probes()) {
    for (PXC_TFillLevel level : {PXC_FL_FORMAT, PXC_FL_DEPENDENCIES}) {
      PXC_TImageTicket ticket;
      Outcome run;
      try {
        run = RunOn(chain, probe, ticket, level, "arg");
        text += run.passed ? 'P' : 'F';
      } catch (const ZQ_EException& error) {
        text += std::string("!") + error.ClassName();
      }
      text += run.pluginRequested ? "r" : "";
      text += ticket.FileFormat().Std() + "/" + PluginList(ticket) + "/" +
              PXC_Any2String(ZQ_TAny(ticket.ExtendedInfo())).Std() + " ";
    }
  }
  return text;
}

TEST(PackedForm, RoundTripsEveryClass) {
  for (const auto& chain : Samples()) {
    SCOPED_TRACE(Printed(*chain));
    std::unique_ptr<IMR_TMatch> back = Unpacked<IMR_TMatch>(Packed(*chain));
    ASSERT_NE(back, nullptr);
    EXPECT_STREQ(back->ClassName(), chain->ClassName());
    EXPECT_TRUE(chain->ZQ_IsIdent(*back));
    EXPECT_TRUE(back->ZQ_IsIdent(*chain));
    EXPECT_EQ(Printed(*back), Printed(*chain));
    EXPECT_EQ(Behaviour(*back), Behaviour(*chain));
    EXPECT_EQ(Packed(*back), Packed(*chain));
  }
}

TEST(PackedForm, UnpacksIntoACreatedElementOfTheHeadsClass) {
  std::unique_ptr<IMR_TMatch> source = Chain({"[1]==2", "?0=ab", "FileFormat=X"}, false);
  std::unique_ptr<ZQ_TObject> created(ZQ_TClass::CreateObject("IMR_TEqual"));
  IMR_TMatch* target = ZQ_DynamicCast<IMR_TMatch>(created.get());
  ASSERT_NE(target, nullptr);
  ZQ_TMemoryStream memory;
  ZQ_TDataStream out(memory);
  source->ZQ_Pack(out);
  memory.Seek(0);
  ZQ_TDataStream in(memory);
  target->ZQ_Unpack(in);
  EXPECT_TRUE(dynamic_cast<const IMR_TEqual&>(*source) == dynamic_cast<const IMR_TEqual&>(*target));
  EXPECT_EQ(Printed(*target), Printed(*source));
  EXPECT_EQ(Behaviour(*target), Behaviour(*source));
}

TEST(PackedForm, AGuardReadBackRecomputesItsLength) {
  std::unique_ptr<IMR_TMatch> nine = Chain({"[9]==1"});
  std::unique_ptr<IMR_TMatch> twelve = Chain({"[5]==1", "[12]==1"});
  // Targets that have cached the length of the chain they held before.
  IMR_TTrue unpackTarget;
  Attach(unpackTarget, new IMR_TEqual(20, 255, 1));
  IMR_TTrue readTarget;
  Attach(readTarget, new IMR_TEqual(30, 255, 1));
  ASSERT_EQ(unpackTarget.MatchLength(), 20u);
  ASSERT_EQ(readTarget.MatchLength(), 30u);
  {
    const std::string bytes = Packed(*nine);
    ZQ_TMemoryStream memory(bytes.data(), bytes.size());
    ZQ_TDataStream stream(memory);
    ASSERT_TRUE(stream.UnpackBool());           // not a null object
    ASSERT_EQ(stream.UnpackString(), ZQ_TString("IMR_TTrue"));
    stream.UnpackU32();                         // its byte count
    unpackTarget.ZQ_Unpack(stream);
  }
  EXPECT_EQ(unpackTarget.MatchLength(), 9u);
  {
    std::string text = Written(*twelve);
    text.erase(0, text.find('\n'));  // the items after the class name
    ZQ_TMemoryStream memory(text.data(), text.size());
    ZQ_THumanReadableStream stream(memory);
    EXPECT_FALSE(readTarget.ReadFrom(stream));
  }
  EXPECT_EQ(readTarget.MatchLength(), 12u);
  EXPECT_FALSE(Passes(readTarget, std::string(12, '\1')));
  EXPECT_TRUE(Passes(readTarget, std::string(13, '\1')));
  std::unique_ptr<IMR_TMatch> read = ReadBack<IMR_TMatch>(Written(*twelve));
  EXPECT_EQ(read->MatchLength(), 12u);
}

TEST(PackedForm, OverlongPatternLengthIsRefused) {
  std::string bytes = Packed(IMR_TSearch("ab", 0));
  // The pattern length follows the class name, the count and the offset.
  const std::size_t at = bytes.find("IMR_TSearch") + 11 + 4 + 4;
  ASSERT_LT(at + 4, bytes.size());
  ASSERT_EQ(bytes[at], 2);
  bytes[at] = static_cast<char>(200);
  EXPECT_THROW(Unpacked<IMR_TMatch>(bytes), ZQ_EException);
}

TEST(HumanReadableForm, RoundTripsEveryClass) {
  for (const auto& chain : Samples()) {
    const std::string text = Written(*chain);
    SCOPED_TRACE(text);
    std::unique_ptr<IMR_TMatch> back = ReadBack<IMR_TMatch>(text);
    ASSERT_NE(back, nullptr);
    EXPECT_STREQ(back->ClassName(), chain->ClassName());
    EXPECT_TRUE(chain->ZQ_IsIdent(*back));
    EXPECT_EQ(Printed(*back), Printed(*chain));
    EXPECT_EQ(Behaviour(*back), Behaviour(*chain));
    EXPECT_EQ(Written(*back), text);
  }
}

TEST(HumanReadableForm, AnElementWithoutSuccessorEndsWithNull) {
  for (const auto& chain : Samples()) {
    const IMR_TMatch* last = chain.get();
    while (NextOf(*last) != nullptr) last = NextOf(*last);
    std::string text = Written(*last);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    const std::size_t line = text.rfind('\n');
    std::string tail = text.substr(line == std::string::npos ? 0 : line + 1);
    tail.erase(0, tail.find_first_not_of(' '));
    EXPECT_EQ(tail, "NULL") << text;
  }
}

TEST(HumanReadableForm, MalformedTextRaisesAStreamError) {
  const std::string good = Written(*Chain({"[0]==1", "Key=value"}, false));
  for (const std::string& bad :
       {std::string("IMR_TEqual 0 255 1 MAYBE"), std::string("IMR_TSet 1 2 NULL"),
        std::string("IMR_TSearch 0 2 0 0 false NULL NULL"), good.substr(0, good.size() / 2),
        std::string("IMR_TNot ZQ_TString \"x\" NULL")}) {
    SCOPED_TRACE(bad);
    try {
      std::unique_ptr<IMR_TMatch> back = ReadBack<IMR_TMatch>(bad);
      // Only an object that is not a match element may stand for a chain; it
      // gives none.
      if (back) {
        const IMR_TNot* negation = dynamic_cast<const IMR_TNot*>(back.get());
        ASSERT_NE(negation, nullptr);
        EXPECT_EQ(negation->Negated(), nullptr);
      }
    } catch (const ZQ_EException&) {
    }
  }
}

TEST(PrintedForm, OneLinePerElement) {
  std::unique_ptr<IMR_TMatch> chain = Chain({"[0]==73", "FileFormat=TIFF"});
  EXPECT_EQ(Printed(*chain), "MinimalLength: 0\n[0] & 255 == 73\nSet 'FileFormat' to 'TIFF'\n");
  EXPECT_EQ(Printed(*Chain({"[9]&0x0F<5", "[2]>200"}, false)), "[9] & 15 < 5\n[2] & 255 > 200\n");
  EXPECT_EQ(Printed(*Chain({"?*0x1Cl2=x", "?5=a=b"}, false)),
            "Search string: x Offset: 0 Pos: 28 Bytes: 2\n"
            "Search string: a=b Offset: 5 Pos: 0 Bytes: 0\n");
  EXPECT_EQ(Printed(*Chain({"[12]==1"})), "MinimalLength: 12\n[12] & 255 == 1\n");
}

TEST(PrintedForm, NegatedChainOneLevelDeeper) {
  IMR_TLess less(4, 255, 7);
  IMR_TNot negation(&less);
  EXPECT_EQ(Printed(negation), "NOT\n  [4] & 255 < 7\n");
  Attach(negation, new IMR_TEqual(1, 255, 2));
  EXPECT_EQ(Printed(negation), "NOT\n  [4] & 255 < 7\n[1] & 255 == 2\n");
  EXPECT_EQ(Printed(IMR_TNot()), "NOT\n");
  // Inside an indented print the whole chain keeps the caller's prefix.
  ZQ_IPrintable::Indent();
  const std::string indented = Printed(negation);
  ZQ_IPrintable::ReverseIndent();
  EXPECT_EQ(indented, "  NOT\n    [4] & 255 < 7\n  [1] & 255 == 2\n");
  EXPECT_EQ(Printed(*Chain({"[0]!=1"}, false)), "NOT\n  [0] & 255 == 1\n");
}

}  // namespace
