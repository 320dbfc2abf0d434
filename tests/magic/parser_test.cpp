// Entry texts turned into match elements: which element each form gives,
// with which parameters, and which texts are refused.
#include "magic_test_support.h"

namespace {

using namespace magictest;

// The byte comparison a text parses to, as "Class offset mask value".
std::string Comparison(const char* text) {
  std::unique_ptr<IMR_TMatch> element = Parse(text);
  auto describe = [](const IMR_TMatch* match) -> std::string {
    const IMR_TByteMatch* bytes = dynamic_cast<const IMR_TByteMatch*>(match);
    if (bytes == nullptr) return match ? match->ClassName() : "null";
    return std::string(match->ClassName()) + " " + std::to_string(bytes->Offset()) + " " +
           std::to_string(bytes->Mask()) + " " + std::to_string(bytes->Value());
  };
  if (const IMR_TNot* negation = dynamic_cast<const IMR_TNot*>(element.get())) {
    return "NOT " + describe(negation->Negated());
  }
  return describe(element.get());
}

TEST(ParserComparisons, OperatorSpellingsGiveTheirElements) {
  EXPECT_EQ(Comparison("[0]==0x49"), "IMR_TEqual 0 255 73");
  EXPECT_EQ(Comparison("[0]=0x49"), "IMR_TEqual 0 255 73");
  EXPECT_EQ(Comparison("[0]== 0x49"), "IMR_TEqual 0 255 73");
  EXPECT_EQ(Comparison("[3]&0xff==0"), "IMR_TEqual 3 255 0");
  EXPECT_EQ(Comparison("[8]&0xF0!=0x20"), "NOT IMR_TEqual 8 240 32");
  EXPECT_EQ(Comparison("[1]<5"), "IMR_TLess 1 255 5");
  EXPECT_EQ(Comparison("[4]<=7"), "NOT IMR_TMore 4 255 7");
  EXPECT_EQ(Comparison("[1]>5"), "IMR_TMore 1 255 5");
  EXPECT_EQ(Comparison("[2]>=3"), "NOT IMR_TLess 2 255 3");
  // Everything from '!' to the next '=' is the operator.
  EXPECT_EQ(Comparison("[0]!x=5"), "NOT IMR_TEqual 0 255 5");
}

TEST(ParserComparisons, NumbersFollowStrtoulAndKeepTheirLowByte) {
  EXPECT_EQ(Comparison("[0]==0x149"), "IMR_TEqual 0 255 73");
  EXPECT_EQ(Comparison("[0]==-1"), "IMR_TEqual 0 255 255");
  EXPECT_EQ(Comparison("[010]==1"), "IMR_TEqual 8 255 1");  // octal
  EXPECT_EQ(Comparison("[0x20]&0x1FF==0"), "IMR_TEqual 32 255 0");
  // Where no number stands the number is 0; text up to the bracket is ignored.
  EXPECT_EQ(Comparison("[]==7"), "IMR_TEqual 0 255 7");
  EXPECT_EQ(Comparison("[12abc]==x"), "IMR_TEqual 12 255 0");
}

TEST(ParserComparisons, NegatedForms) {
  // [2]>=3 passes for 3 and above, [4]<=7 for 7 and below, != everywhere but the value.
  std::unique_ptr<IMR_TMatch> atLeast = Chain({"[2]>=3"}, false);
  EXPECT_FALSE(Passes(*atLeast, Bytes({0, 0, 2})));
  EXPECT_TRUE(Passes(*atLeast, Bytes({0, 0, 3})));
  EXPECT_TRUE(Passes(*atLeast, Bytes({0, 0, 200})));
  std::unique_ptr<IMR_TMatch> atMost = Chain({"[4]<=7"}, false);
  EXPECT_TRUE(Passes(*atMost, Bytes({0, 0, 0, 0, 7})));
  EXPECT_FALSE(Passes(*atMost, Bytes({0, 0, 0, 0, 8})));
  std::unique_ptr<IMR_TMatch> other = Chain({"[8]&0xF0!=0x20"}, false);
  EXPECT_FALSE(Passes(*other, Padded("", 8) + "\x2F"));
  EXPECT_TRUE(Passes(*other, Padded("", 8) + "\x30"));
}

// The search a text parses to, as "pattern|offset|position|width" plus
// whether the stored start is little-endian, read back from the printed form
// and from a probe of the byte order.
std::string Search(const char* text) {
  std::unique_ptr<IMR_TMatch> element = Parse(text);
  const IMR_TSearch* search = dynamic_cast<const IMR_TSearch*>(element.get());
  if (search == nullptr) return element ? element->ClassName() : "null";
  std::string printed = Printed(*search);
  if (!printed.empty() && printed.back() == '\n') printed.pop_back();
  return printed + " Length: " + std::to_string(search->PatternLength());
}

TEST(ParserSearches, FixedStart) {
  EXPECT_EQ(Search("?16=a=b"), "Search string: a=b Offset: 16 Pos: 0 Bytes: 0 Length: 3");
  EXPECT_EQ(Search("?=x"), "Search string: x Offset: 0 Pos: 0 Bytes: 0 Length: 1");
  EXPECT_EQ(Search("?0x10=%%EOF"), "Search string: %%EOF Offset: 16 Pos: 0 Bytes: 0 Length: 5");
}

TEST(ParserSearches, StoredStart) {
  EXPECT_EQ(Search("?*0x1Cl2=x"), "Search string: x Offset: 0 Pos: 28 Bytes: 2 Length: 1");
  EXPECT_EQ(Search("?*4b4=END"), "Search string: END Offset: 0 Pos: 4 Bytes: 4 Length: 3");
  // The byte order: 'l' (either case) little-endian, anything else big-endian.
  const std::string file = Padded(Bytes({0, 0, 0x10, 0x00}), 4096 + 16) + "x" + Padded("", 16);
  const std::string early = Padded(Bytes({0, 0, 0x10, 0x00}), 40) + "x" + Padded("", 16);
  for (const char* little : {"?*2l2=x", "?*2L2=x"}) {
    EXPECT_TRUE(Passes(*Parse(little), early)) << little;
  }
  for (const char* big : {"?*2b2=x", "?*2m2=x", "?*2B2=x"}) {
    EXPECT_FALSE(Passes(*Parse(big), early)) << big;
    EXPECT_TRUE(Passes(*Parse(big), file)) << big;
  }
}

TEST(ParserSearches, LongPatternsAreCutTo127Characters) {
  const std::string text = "?0=" + std::string(200, 'p');
  std::unique_ptr<IMR_TMatch> element = Parse(text.c_str());
  const IMR_TSearch* search = dynamic_cast<const IMR_TSearch*>(element.get());
  ASSERT_NE(search, nullptr);
  EXPECT_EQ(search->PatternLength(), 127u);
  EXPECT_EQ(std::string(search->Pattern()), std::string(127, 'p'));
  // The stored pattern is what is searched: 127 characters suffice.
  EXPECT_TRUE(Passes(*element, std::string(127, 'p') + "--"));
}

TEST(ParserAssignments, KeyAndValueAroundTheFirstEquals) {
  auto set = [](const char* text) -> std::string {
    std::unique_ptr<IMR_TMatch> element = Parse(text);
    const IMR_TSet* set = dynamic_cast<const IMR_TSet*>(element.get());
    if (set == nullptr) return element ? element->ClassName() : "null";
    return "<" + set->Key().Std() + "><" + set->Value().Std() + ">";
  };
  EXPECT_EQ(set("FileFormat=TIFF"), "<FileFormat><TIFF>");
  EXPECT_EQ(set("imr_plugin=PDF=page1"), "<imr_plugin><PDF=page1>");
  EXPECT_EQ(set("=x"), "<><x>");
  EXPECT_EQ(set(" FileFormat=TIFF"), "< FileFormat><TIFF>");
  EXPECT_EQ(set("Comment=a b"), "<Comment><a b>");
}

class ParserInvalid : public ::testing::TestWithParam<const char*> {};

TEST_P(ParserInvalid, RaisesInvalidMagicEntryWithTheText) {
  const char* text = GetParam();
  IMR_EMagicInvalidMagicEntry error =
      Raised<IMR_EMagicInvalidMagicEntry>([&] { delete ParseMagicEntry(text); });
  EXPECT_EQ(error.Message(), ZQ_TString("Invalid magic entry %s"));
  EXPECT_EQ(error.Data().ToText(), ZQ_TString(text));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParserInvalid,
    ::testing::Values(
        // comparisons
        "[0] ==0x49", "[0]&0xff ==0x49", "[0", "[0]", "[0]&", "[0]==", "[0]=", "[0]!=", "[0]<",
        "[0]<=", "[0]>", "[0]>=", "[0]x5", "[0]!5", "[", "[0]&0xff",
        // searches
        "?16", "?16=", "?", "?*", "?*4", "?*4l", "?*4l=x", "?*4l0=x", "?*4l2=", "?*4l2",
        // assignments
        "FileFormat=", "", "FileFormat", "  "));

TEST(ParserInvalid, NullTextIsInvalid) {
  Raised<IMR_EMagicInvalidMagicEntry>([] { delete ParseMagicEntry(nullptr); });
}

}  // namespace
