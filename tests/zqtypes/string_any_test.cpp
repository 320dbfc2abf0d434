// ZQ_TString, ZQ_TAny and the boxed values: storage, conversions, sharing
// and round trips through both stream forms.
#include <string>
#include <utility>
#include <vector>

#include "zq_test_support.h"

using namespace zqtest;

// Texts that exercise inline and shared storage, NUL bytes, escapes and UTF-8
// (a length was once read through an int and NULs cut texts short).
TEST(String, StorageCopiesAndRoundTrips) {
  const std::vector<std::string> texts = {
      "",
      std::string(15, 'x'),  // the longest inline text
      std::string(16, 'y'),  // the shortest shared one
      std::string(100000, 'z'),
      std::string("nul\0inside", 10),
      std::string("\0", 1),
      "quote \" backslash \\ newline \n tab \t cr \r \x01\x1f\x7f",
      "# not a comment",
      "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
      "\xff\xfe invalid UTF-8 kept as bytes",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.substr(0, 20));
    auto* original = new ZQ_TString(text);
    ASSERT_EQ(original->Length(), text.size());
    EXPECT_EQ(original->Narrow()[text.size()], '\0') << "text must stay terminated";
    ZQ_TString copy(*original);
    ZQ_TString assigned;
    assigned = *original;
    delete original;  // copies outlive a shared buffer's first owner
    const ZQ_TString& alias = assigned;
    assigned = alias;
    EXPECT_EQ(assigned.View(), text);
    EXPECT_EQ(RoundTrip(copy), "");
    EXPECT_EQ(RoundTrip(ZQ_TList{ZQ_TAny(copy)}), "") << "as a variant";
  }
}

TEST(String, WideConversionReplacesWhatIsNoCodePoint) {
  const std::wstring wide = L"caf\u00e9 \u20ac \U0001F600 \u4e2d";
  ZQ_TString text(wide);
  EXPECT_EQ(text.View(), "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80 \xe4\xb8\xad");
  EXPECT_EQ(text.Wide(), wide);
  // Invalid UTF-8 becomes U+FFFD, one per bad byte, then decoding resumes.
  EXPECT_EQ(ZQ_TString("a\xff" "b").Wide(), L"a\ufffdb");
  EXPECT_EQ(ZQ_TString("\xc0\xaf").Wide(), L"\ufffd\ufffd");           // overlong
  EXPECT_EQ(ZQ_TString("\xed\xa0\x80").Wide(), L"\ufffd\ufffd\ufffd");  // surrogate
  EXPECT_EQ(ZQ_TString("\xf4\x90\x80\x80").Wide().size(), 4u);         // beyond U+10FFFF
  std::wstring bad = L"x";
  bad += static_cast<wchar_t>(0xD800);
  bad += static_cast<wchar_t>(0x110000);
  EXPECT_EQ(ZQ_TString(bad).View(), "x\xef\xbf\xbd\xef\xbf\xbd");
}

// Positions out of range are clamped, never read outside the text.
TEST(String, PositionsOutOfRangeAreClamped) {
  ZQ_TString text("path/to/file.txt");
  EXPECT_EQ(text.Find('/', 100, true), 7);
  EXPECT_EQ(text.Find("x", 1000), -1);
  EXPECT_EQ(text.Substring(-3, 4), "path");
  EXPECT_EQ(text.Substring(14, 100), "xt");
  text.Truncate(100);
  EXPECT_EQ(text.Length(), 16u);
  const std::string big(1000, 'w');
  EXPECT_EQ(ZQ_TString::Format("<%s>", big.c_str()).View(), "<" + big + ">");
}

// Variants compare by kind and value; a text is never a number, nor a
// number a boolean.  Copies share their object until one is changed.
TEST(Any, KindsEqualityAndSharing) {
  EXPECT_EQ(ZQ_TAny(-1).DynamicCast<ZQ_TUInt32>()->Value(), 0xFFFFFFFFu);
  EXPECT_TRUE(ZQ_TAny(static_cast<const ZQ_IPackable&>(ZQ_TString("obj"))).IsText());
  EXPECT_TRUE(ZQ_TAny::Adopt(nullptr).IsIllegal());
  EXPECT_TRUE(ZQ_TAny::AdoptObject(new ZQ_TObject).IsIllegal()) << "not packable";
  EXPECT_EQ(ZQ_TAny("a"), ZQ_TAny(ZQ_TString("a")));
  EXPECT_NE(ZQ_TAny(), ZQ_TAny(""));
  EXPECT_EQ(ZQ_TAny(5u), ZQ_TAny(5));
  EXPECT_NE(ZQ_TAny(1u), ZQ_TAny(true));
  EXPECT_NE(ZQ_TAny("1"), ZQ_TAny(1u));
  EXPECT_NE(ZQ_TAny(ZQ_TList{1, "x"}), ZQ_TAny(ZQ_TList{1, "y"}));
  ZQ_TDict dict;
  dict.Add("k", ZQ_TAny(ZQ_TList{1, "x", true, ZQ_TAny()}));
  EXPECT_EQ(ZQ_TAny(dict).ToText(), "{k: [1, \"x\", true, (none)]}");

  const ZQ_TAny original(dict);
  ZQ_TAny copy = original;
  EXPECT_EQ(std::as_const(copy).DynamicCast<ZQ_TDict>(), original.DynamicCast<ZQ_TDict>());
  ZQ_TDict* changed = copy.DynamicCast<ZQ_TDict>();
  changed->Add("b", 2);
  EXPECT_EQ(original.DynamicCast<ZQ_TDict>()->Entries(), 1u);
  EXPECT_EQ(copy.DynamicCast<ZQ_TDict>(), changed) << "an unshared object is changed in place";
}

// Boxed values stand alone as objects in both forms; read inside a list they
// become plain variants.  (Variants of every kind round-trip inside the
// containers' tests.)
TEST(Any, BoxedValuesAsObjects) {
  for (std::uint32_t n : {0u, 4294967295u}) EXPECT_EQ(RoundTrip(ZQ_TUInt32(n)), "");
  for (bool flag : {false, true}) EXPECT_EQ(RoundTrip(ZQ_TBool(flag)), "");
  std::unique_ptr<ZQ_TObject> read = ExtractText("ZQ_TList 2 ZQ_TUInt32 4 ZQ_TBool false");
  const ZQ_TList* list = ZQ_DynamicCast<ZQ_TList>(read.get());
  ASSERT_NE(list, nullptr);
  EXPECT_EQ((*list)[0], ZQ_TAny(4u));
  EXPECT_EQ((*list)[1], ZQ_TAny(false));
}
