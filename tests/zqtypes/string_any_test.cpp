// ZQ_TString, ZQ_TAny and the boxed values: behaviour and round trips through
// both stream forms.
#include <string>
#include <utility>
#include <vector>

#include "zq_test_support.h"

using namespace zqtest;

namespace {

// Texts that exercise inline and shared storage, NUL bytes, escapes and UTF-8.
std::vector<std::string> SampleTexts() {
  return {
      "",
      "IMR_TMagic",
      std::string(15, 'x'),                      // the longest inline text
      std::string(16, 'y'),                      // the shortest shared one
      std::string(100000, 'z'),
      std::string("nul\0inside", 10),
      std::string("\0", 1),
      "quote \" backslash \\ newline \n tab \t cr \r",
      "\x01\x1f\x7f control",
      "# not a comment",
      "NULL",
      "%s %d %%",
      "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",  // cafe, euro, emoji
      "\xff\xfe invalid UTF-8 kept as bytes",
  };
}

}  // namespace

TEST(String, StorageInlineAndShared) {
  ZQ_TString empty;
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_STREQ(empty.Narrow(), "");

  for (const std::string& text : SampleTexts()) {
    ZQ_TString value(text);
    ASSERT_EQ(value.Length(), text.size());
    EXPECT_EQ(value.View(), text);
    EXPECT_EQ(value.Narrow()[text.size()], '\0') << "text must stay terminated";
    ZQ_TString copy(value);
    ZQ_TString assigned;
    assigned = value;
    EXPECT_EQ(copy, value);
    EXPECT_EQ(assigned.View(), text);
    ZQ_TString moved(std::move(copy));
    EXPECT_EQ(moved.View(), text);
    EXPECT_TRUE(copy.IsEmpty());  // NOLINT(bugprone-use-after-move): moved-from is empty
  }
}

TEST(String, SharedBufferOutlivesTheOriginal) {
  const std::string text(40, 'q');
  ZQ_TString* original = new ZQ_TString(text);
  ZQ_TString copy = *original;
  EXPECT_EQ(copy.Narrow(), original->Narrow()) << "long copies share their buffer";
  delete original;
  EXPECT_EQ(copy.View(), text);
  const ZQ_TString& alias = copy;
  copy = alias;  // self-assignment keeps the text
  EXPECT_EQ(copy.View(), text);
}

TEST(String, WideConversion) {
  const std::wstring wide = L"caf\u00e9 \u20ac \U0001F600 \u4e2d";
  ZQ_TString text(wide);
  EXPECT_EQ(text.View(), "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80 \xe4\xb8\xad");
  EXPECT_EQ(text.Wide(), wide);
  EXPECT_TRUE(text == wide.c_str());
  EXPECT_EQ(ZQ_TString(static_cast<const wchar_t*>(nullptr)).Length(), 0u);

  // Invalid UTF-8 becomes U+FFFD, one per bad byte, then decoding resumes.
  EXPECT_EQ(ZQ_TString("a\xff" "b").Wide(), L"a\ufffdb");
  EXPECT_EQ(ZQ_TString("\xc3").Wide(), L"\ufffd");                 // cut sequence
  EXPECT_EQ(ZQ_TString("\xc0\xaf").Wide(), L"\ufffd\ufffd");       // overlong
  EXPECT_EQ(ZQ_TString("\xed\xa0\x80").Wide(), L"\ufffd\ufffd\ufffd");  // surrogate
  EXPECT_EQ(ZQ_TString("\xf4\x90\x80\x80").Wide().size(), 4u);     // beyond U+10FFFF
  // Wide values that are no code points become U+FFFD.
  std::wstring bad = L"x";
  bad += static_cast<wchar_t>(0xD800);
  bad += static_cast<wchar_t>(0x110000);
  EXPECT_EQ(ZQ_TString(bad).View(), "x\xef\xbf\xbd\xef\xbf\xbd");
}

TEST(String, FindSubstringTruncateAppendFormat) {
  ZQ_TString text("path/to/file.txt");
  EXPECT_EQ(text.Find('/'), 4);
  EXPECT_EQ(text.Find('/', 5), 7);
  EXPECT_EQ(text.Find('/', 100, true), 7);
  EXPECT_EQ(text.Find('/', 6, true), 4);
  EXPECT_EQ(text.Find('#'), -1);
  EXPECT_EQ(text.Find('p', -5), 0);
  EXPECT_EQ(text.Find("file"), 8);
  EXPECT_EQ(text.Find("file", 9), -1);
  EXPECT_EQ(text.Find("x", 1000), -1);

  EXPECT_EQ(text.Substring(8), "file.txt");
  EXPECT_EQ(text.Substring(8, 4), "file");
  EXPECT_EQ(text.Substring(-3, 4), "path");
  EXPECT_EQ(text.Substring(14, 100), "xt");
  EXPECT_TRUE(text.Substring(100).IsEmpty());

  ZQ_TString longer(std::string(30, 'a'));
  longer.Truncate(3);
  EXPECT_EQ(longer, "aaa");
  longer.Truncate(10);
  EXPECT_EQ(longer, "aaa");
  longer += std::string(20, 'b');
  EXPECT_EQ(longer.Length(), 23u);
  EXPECT_EQ((longer + "!").View(), std::string("aaa") + std::string(20, 'b') + "!");

  EXPECT_EQ(ZQ_TString::Format("%d-%s", 42, "x"), "42-x");
  const std::string big(1000, 'w');
  EXPECT_EQ(ZQ_TString::Format("<%s>", big.c_str()).View(), "<" + big + ">");
}

TEST(String, RoundTripsThroughBothForms) {
  for (const std::string& text : SampleTexts()) {
    ZQ_TString value(text);
    EXPECT_EQ(PackedCopy<ZQ_TString>(value).View(), text);
    EXPECT_EQ(TextCopy<ZQ_TString>(value).View(), text);
    EXPECT_EQ(AnyCopy(ZQ_TAny(value), true), ZQ_TAny(value));
    EXPECT_EQ(AnyCopy(ZQ_TAny(value), false), ZQ_TAny(value));
  }
}

TEST(String, TextFormEscapesAndComments) {
  EXPECT_EQ(TextBytes(ZQ_TString("a\"b\\c\nd\x01")), "ZQ_TString \"a\\\"b\\\\c\\nd\\x01\"");
  // Comments and blank lines between items are skipped; escapes decode.
  std::unique_ptr<ZQ_TObject> read =
      ExtractText("# leading comment\n  ZQ_TString # the class\n\t\"x\\x41\\ty\"  # done\n");
  const ZQ_TString* text = ZQ_DynamicCast<ZQ_TString>(read.get());
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(*text, "xA\ty");
}

// ---------------------------------------------------------------------------

TEST(Any, KindsAndContent) {
  ZQ_TAny none;
  EXPECT_TRUE(none.IsIllegal());
  EXPECT_EQ(none.Content(), nullptr);
  EXPECT_EQ(none.DynamicCast<ZQ_TString>(), nullptr);
  EXPECT_TRUE(ZQ_TAny::Illegal().IsIllegal());

  ZQ_TAny text("hello");
  EXPECT_TRUE(text.IsText());
  ASSERT_NE(text.DynamicCast<ZQ_TString>(), nullptr);
  EXPECT_EQ(*text.DynamicCast<ZQ_TString>(), "hello");
  EXPECT_NE(text.DynamicCast<ZQ_IPackable>(), nullptr);
  EXPECT_EQ(text.DynamicCast<ZQ_TList>(), nullptr);

  ZQ_TAny yes(true);
  ZQ_TAny number(7u);
  ZQ_TAny negative(-1);
  EXPECT_TRUE(yes.IsObject());
  ASSERT_NE(yes.DynamicCast<ZQ_TBool>(), nullptr);
  EXPECT_TRUE(yes.DynamicCast<ZQ_TBool>()->Value());
  ASSERT_NE(number.DynamicCast<ZQ_TUInt32>(), nullptr);
  EXPECT_EQ(number.DynamicCast<ZQ_TUInt32>()->Value(), 7u);
  EXPECT_EQ(negative.DynamicCast<ZQ_TUInt32>()->Value(), 0xFFFFFFFFu);
  EXPECT_EQ(number.DynamicCast<ZQ_TBool>(), nullptr);

  // A string given as an object is held as text.
  ZQ_TAny fromObject{static_cast<const ZQ_IPackable&>(ZQ_TString("obj"))};
  EXPECT_TRUE(fromObject.IsText());
  ZQ_TAny adopted = ZQ_TAny::Adopt(new ZQ_TString("adopted"));
  EXPECT_TRUE(adopted.IsText());
  EXPECT_TRUE(ZQ_TAny::Adopt(nullptr).IsIllegal());
  EXPECT_TRUE(ZQ_TAny::AdoptObject(new ZQ_TObject).IsIllegal()) << "not packable";
}

TEST(Any, EqualityAndText) {
  EXPECT_EQ(ZQ_TAny("a"), ZQ_TAny(ZQ_TString("a")));
  EXPECT_NE(ZQ_TAny("a"), ZQ_TAny("b"));
  EXPECT_EQ(ZQ_TAny(), ZQ_TAny());
  EXPECT_NE(ZQ_TAny(), ZQ_TAny(""));
  EXPECT_NE(ZQ_TAny(""), ZQ_TAny());
  EXPECT_EQ(ZQ_TAny(5u), ZQ_TAny(5));
  EXPECT_NE(ZQ_TAny(1u), ZQ_TAny(true)) << "a number is no boolean";
  EXPECT_NE(ZQ_TAny("1"), ZQ_TAny(1u));
  EXPECT_NE(ZQ_TAny(1u), ZQ_TAny("1"));
  EXPECT_EQ(ZQ_TAny(ZQ_TList{1, "x"}), ZQ_TAny(ZQ_TList{1, "x"}));
  EXPECT_NE(ZQ_TAny(ZQ_TList{1, "x"}), ZQ_TAny(ZQ_TList{1, "y"}));

  EXPECT_EQ(ZQ_TAny().ToText(), "(none)");
  EXPECT_EQ(ZQ_TAny("t").ToText(), "t");
  EXPECT_EQ(ZQ_TAny(12u).ToText(), "12");
  EXPECT_EQ(ZQ_TAny(false).ToText(), "false");
  EXPECT_EQ(ZQ_TAny(ZQ_TList{1, "x", true}).ToText(), "[1, \"x\", true]");
  ZQ_TDict dict;
  dict.Add("k", ZQ_TAny(ZQ_TList{}));
  EXPECT_EQ(ZQ_TAny(dict).ToText(), "{k: []}");
}

TEST(Any, CopiesShareTheObjectUntilChanged) {
  ZQ_TDict dict;
  dict.Add("a", 1);
  ZQ_TAny original(dict);
  ZQ_TAny copy = original;
  EXPECT_EQ(std::as_const(copy).DynamicCast<ZQ_TDict>(), std::as_const(original).DynamicCast<ZQ_TDict>())
      << "the const view of a copy is the same object";

  ZQ_TDict* mutableDict = copy.DynamicCast<ZQ_TDict>();
  ASSERT_NE(mutableDict, nullptr);
  mutableDict->Add("b", 2);
  EXPECT_EQ(std::as_const(original).DynamicCast<ZQ_TDict>()->Entries(), 1u);
  EXPECT_EQ(std::as_const(copy).DynamicCast<ZQ_TDict>()->Entries(), 2u);
  EXPECT_NE(original, copy);

  // An unshared object is changed in place.
  ZQ_TDict* again = copy.DynamicCast<ZQ_TDict>();
  EXPECT_EQ(again, mutableDict);

  // Assignment and moves keep each variant's own value.
  ZQ_TAny third;
  third = copy;
  const ZQ_TAny& alias = third;
  third = alias;
  EXPECT_EQ(third, copy);
  ZQ_TAny moved(std::move(third));
  EXPECT_TRUE(third.IsIllegal());  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(moved, copy);
  moved = ZQ_TAny("text");
  EXPECT_TRUE(moved.IsText());
  EXPECT_EQ(std::as_const(copy).DynamicCast<ZQ_TDict>()->Entries(), 2u);
}

TEST(Any, EveryKindRoundTripsThroughBothForms) {
  ZQ_TDict dict;
  dict.Add("n", 3);
  const ZQ_TAny values[] = {
      ZQ_TAny(),         ZQ_TAny(""),          ZQ_TAny("text"), ZQ_TAny(ZQ_TString(std::string(40, 'L'))),
      ZQ_TAny(true),     ZQ_TAny(false),       ZQ_TAny(0u),     ZQ_TAny(0xFFFFFFFFu),
      ZQ_TAny(dict),     ZQ_TAny(ZQ_TList{}),  ZQ_TAny(ZQ_TArray(2)),
      ZQ_TAny(ZQ_TTime(-5, 999999999)),       ZQ_TAny(ZQ_TURL("/tmp/x")),
  };
  for (bool packed : {true, false}) {
    for (const ZQ_TAny& value : values) {
      ZQ_TAny back = AnyCopy(value, packed);
      EXPECT_EQ(back, value) << value.ToText() << (packed ? " packed" : " text");
      EXPECT_EQ(back.IsText(), value.IsText());
      EXPECT_EQ(back.IsIllegal(), value.IsIllegal());
    }
  }
}

TEST(Any, BoxedValuesAsObjects) {
  for (bool flag : {false, true}) {
    EXPECT_EQ(PackedCopy<ZQ_TBool>(ZQ_TBool(flag)).Value(), flag);
    EXPECT_EQ(TextCopy<ZQ_TBool>(ZQ_TBool(flag)).Value(), flag);
  }
  for (std::uint32_t n : {0u, 1u, 4294967295u}) {
    EXPECT_EQ(PackedCopy<ZQ_TUInt32>(ZQ_TUInt32(n)).Value(), n);
    EXPECT_EQ(TextCopy<ZQ_TUInt32>(ZQ_TUInt32(n)).Value(), n);
  }
  EXPECT_EQ(TextBytes(ZQ_TUInt32(9)), "ZQ_TUInt32 9");
  EXPECT_EQ(TextBytes(ZQ_TBool(true)), "ZQ_TBool true");
  // A boxed value read as an object inside a list becomes the plain variant.
  std::unique_ptr<ZQ_TObject> read = ExtractText("ZQ_TList 2 ZQ_TUInt32 4 ZQ_TBool false");
  const ZQ_TList* list = ZQ_DynamicCast<ZQ_TList>(read.get());
  ASSERT_NE(list, nullptr);
  EXPECT_EQ((*list)[0], ZQ_TAny(4u));
  EXPECT_EQ((*list)[1], ZQ_TAny(false));
}
