// Entry texts turned into match elements: which element each form gives,
// with which parameters, and which texts are refused.
#include <cctype>

#include "magic_test_support.h"

namespace {

using namespace magictest;

// The element `text` parses to: "Class offset mask value" for a byte
// comparison ("NOT ..." when negated), "<key><value>" for an assignment, and
// the printed form and pattern length of a search.
std::string Parsed(const char* text) {
  std::unique_ptr<IMR_TMatch> element = Parse(text);
  const IMR_TMatch* match = element.get();
  std::string prefix;
  if (const auto* negation = dynamic_cast<const IMR_TNot*>(match)) {
    prefix = "NOT ";
    match = negation->Negated();
  }
  if (const auto* bytes = dynamic_cast<const IMR_TByteMatch*>(match)) {
    return prefix + match->ClassName() + " " + std::to_string(bytes->Offset()) + " " +
           std::to_string(bytes->Mask()) + " " + std::to_string(bytes->Value());
  }
  if (const auto* set = dynamic_cast<const IMR_TSet*>(match)) {
    return "<" + set->Key().Std() + "><" + set->Value().Std() + ">";
  }
  if (const auto* search = dynamic_cast<const IMR_TSearch*>(match)) {
    std::string printed = Printed(*search);
    printed.pop_back();  // the newline
    return printed + " Length: " + std::to_string(search->PatternLength());
  }
  return match ? match->ClassName() : "null";
}

// The forms the shipped tables use most ("[n]==v", "[n]&m==v", "[n]<v",
// "Key=Value") are also pinned by the recognition samples.
TEST(Parser, EveryFormGivesItsElement) {
  const std::pair<const char*, const char*> cases[] = {
      {"[0]=0x49", "IMR_TEqual 0 255 73"},
      {"[0]== 0x49", "IMR_TEqual 0 255 73"},
      {"[8]&0xF0!=0x20", "NOT IMR_TEqual 8 240 32"},
      {"[4]<=7", "NOT IMR_TMore 4 255 7"},
      {"[2]>=3", "NOT IMR_TLess 2 255 3"},
      {"[0]!x=5", "NOT IMR_TEqual 0 255 5"},  // from '!' to the next '=' is the operator
      // Numbers as strtoul reads them, keeping their low byte; 0 where none stands.
      {"[0]==0x149", "IMR_TEqual 0 255 73"},
      {"[010]==1", "IMR_TEqual 8 255 1"},
      {"[12abc]==x", "IMR_TEqual 12 255 0"},
      // Searches from a fixed or a stored start.
      {"?16=a=b", "Search string: a=b Offset: 16 Pos: 0 Bytes: 0 Length: 3"},
      {"?0x10=%%EOF", "Search string: %%EOF Offset: 16 Pos: 0 Bytes: 0 Length: 5"},
      {"?*0x1Cl2=x", "Search string: x Offset: 0 Pos: 28 Bytes: 2 Length: 1"},
      // Assignments split at the first '='.
      {"imr_plugin=PDF=page1", "<imr_plugin><PDF=page1>"},
      {"=x", "<><x>"},
      {" FileFormat=TIFF", "< FileFormat><TIFF>"},
  };
  for (const auto& [text, element] : cases) EXPECT_EQ(Parsed(text), element) << text;
}

TEST(Parser, StoredStartByteOrderAndLongPatterns) {
  // 'l' or 'L' reads the start little-endian (16 here), any other letter
  // big-endian (4096, past the end).
  const std::string file = Padded(Bytes({0, 0, 0x10, 0x00}), 40) + "x" + Padded("", 16);
  for (const char* text : {"?*2l2=x", "?*2L2=x", "?*2b2=x", "?*2m2=x", "?*2B2=x"}) {
    EXPECT_EQ(Passes(*Parse(text), file), std::tolower(text[3]) == 'l') << text;
  }
  // Patterns are cut to 127 characters, and those are what is searched.
  const std::string text = "?0=" + std::string(200, 'p');
  std::unique_ptr<IMR_TMatch> element = Parse(text.c_str());
  const IMR_TSearch* search = dynamic_cast<const IMR_TSearch*>(element.get());
  ASSERT_NE(search, nullptr);
  EXPECT_EQ(search->PatternLength(), 127u);
  EXPECT_TRUE(Passes(*element, std::string(127, 'p') + "--"));
}

TEST(Parser, InvalidTextsRaiseInvalidMagicEntryWithTheText) {
  // One of each way a comparison, a search or an assignment is refused.
  for (const char* text : {"[0] ==0x49", "[0", "[0]==", "[0]x5", "[0]&0xff", "?16", "?16=", "?*4", "?*4l0=x",
                           "?*4l2=", "FileFormat=", "", "FileFormat"}) {
    IMR_EMagicInvalidMagicEntry error =
        Raised<IMR_EMagicInvalidMagicEntry>([&] { delete ParseMagicEntry(text); });
    EXPECT_EQ(error.Message(), ZQ_TString("Invalid magic entry %s")) << text;
    EXPECT_EQ(error.Data().ToText(), ZQ_TString(text));
  }
  Raised<IMR_EMagicInvalidMagicEntry>([] { delete ParseMagicEntry(nullptr); });
}

}  // namespace
