// The packed and text streams on corrupt input: truncation at every cut, huge
// length fields, malformed text, nesting limits, reuse of a stream after a
// failure, and the regression inputs found by fuzzing (the fuzz target covers
// changed bytes).
#include <atomic>
#include <cstddef>
#include <filesystem>
#include <string>

#include "zq_test_support.h"

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer reports every allocation to hooks installed with this.
#define ZQ_TEST_TRACKS_ALLOCATIONS 1
extern "C" int __sanitizer_install_malloc_and_free_hooks(
    void (*onMalloc)(const volatile void*, std::size_t), void (*onFree)(const volatile void*));
#endif

using namespace zqtest;

namespace {

// ---- building packed data by hand

std::string U8(std::uint8_t value) { return std::string(1, static_cast<char>(value)); }
std::string U32(std::uint32_t value) {
  std::string out;
  for (int i = 0; i < 4; ++i) out += static_cast<char>(value >> (8 * i));
  return out;
}
std::string Str(const std::string& text) { return U32(static_cast<std::uint32_t>(text.size())) + text; }
// A packed object: tag, class name, byte count, body.
std::string Object(const std::string& name, const std::string& body) {
  return U8(1) + Str(name) + U32(static_cast<std::uint32_t>(body.size())) + body;
}

// A value of every kind, nested.
ZQ_TDict RichObject() {
  ZQ_TDict dict;
  dict.Add("text", "short");
  dict.Add("long", ZQ_TAny(ZQ_TString(std::string(40, 'L'))));
  dict.Add("none", ZQ_TAny());
  dict.Add("yes", true);
  dict.Add("number", 0x01020304u);
  ZQ_TArray array(2);
  array[0] = ZQ_TAny(ZQ_TTime(1700000000, 42));
  dict.Add("array", ZQ_TAny(array));
  dict.Add("list", ZQ_TAny(ZQ_TList{"a", ZQ_TAny(ZQ_TList{1}), ZQ_TAny(ZQ_TURL("/tmp/u"))}));
  dict.Add("error", ZQ_TAny(ZQ_EStreamFormat("bad %s", ZQ_TAny("thing"))));
  for (int i = 0; i < 6; ++i) dict.Add("k" + std::to_string(i), i);
  return dict;
}

ZQ_TList Nested(int depth) {
  ZQ_TList list;
  for (int i = 1; i < depth; ++i) list = ZQ_TList{ZQ_TAny(list)};
  return list;
}

// "class: text" of the exception that reading `bytes` raises, "" for none.
std::string Failure(const std::string& bytes, bool packed) {
  try {
    packed ? ExtractPacked(bytes) : ExtractText(bytes);
  } catch (const ZQ_EException& e) {
    return std::string(e.ClassName()) + ": " + e.Text().Std();
  }
  return "";
}
std::string PackedFailure(const std::string& bytes) { return Failure(bytes, true); }
std::string TextFailure(const std::string& text) { return Failure(text, false); }

#ifdef ZQ_TEST_TRACKS_ALLOCATIONS
std::atomic<std::size_t> gLargestAllocation{0};
void OnAllocation(const volatile void*, std::size_t size) {
  std::size_t seen = gLargestAllocation.load();
  while (size > seen && !gLargestAllocation.compare_exchange_weak(seen, size)) {
  }
}
void OnFree(const volatile void*) {}
#endif

// The largest single allocation made while `run` runs, or 0 where this build
// cannot tell.
template <class Run>
std::size_t LargestAllocation(Run run) {
#ifdef ZQ_TEST_TRACKS_ALLOCATIONS
  static const int installed = __sanitizer_install_malloc_and_free_hooks(&OnAllocation, &OnFree);
  (void)installed;
  gLargestAllocation = 0;
  run();
  return gLargestAllocation.load();
#else
  run();
  return 0;
#endif
}

}  // namespace

// Data cut anywhere raises ZQ_EStreamTruncated; with the outer byte count
// shrunk to fit, the cut is met by the readers of the nested items instead.
TEST(PackedCorrupt, TruncatedAtEveryCut) {
  const std::string bytes = PackedBytes(RichObject());
  ASSERT_GT(bytes.size(), 200u);
  ASSERT_NE(ExtractPacked(bytes), nullptr);
  const std::size_t header = 1 + 4 + std::string("ZQ_TDict").size() + 4;
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    EXPECT_THROW(ExtractPacked(bytes.substr(0, cut)), ZQ_EStreamTruncated) << "cut at " << cut;
    if (cut < header) continue;
    std::string shortened = bytes.substr(0, cut);
    shortened.replace(header - 4, 4, U32(static_cast<std::uint32_t>(cut - header)));
    EXPECT_THROW(ExtractPacked(shortened), ZQ_EStream) << "inner cut at " << cut;
  }
}

TEST(PackedCorrupt, HugeLengthsAreRefusedBeforeAllocating) {
  struct Case {
    const char* label;
    std::string bytes;
    const char* failure;
  };
  const Case cases[] = {
      {"class name length", U8(1) + U32(0xFFFFFFFF) + "ZQ_TList",
       "ZQ_EStreamFormat: Invalid class name length 4294967295 in packed data"},
      {"object count", U8(1) + Str("ZQ_TList") + U32(0xFFFFFFF0) + U32(0),
       "ZQ_EStreamTruncated: Packed data ends inside an object"},
      {"string length 4G", Object("ZQ_TString", U32(0xFFFFFFFF) + "abc"),
       "ZQ_EStreamTruncated: Packed data ends inside a string"},
      {"list entries", Object("ZQ_TList", U32(0xFFFFFFFF)),
       "ZQ_EStreamTruncated: Packed data ends inside a byte"},
      {"dict entries", Object("ZQ_TDict", U32(0xFFFFFFFF)),
       "ZQ_EStreamTruncated: Packed data ends inside a 32-bit number"},
      {"section", Object("ZQ_EException", Str("ZQ_EException") + U32(0xFFFFFFFF)),
       "ZQ_EStreamTruncated: Packed data ends inside a section"},
  };
  for (const Case& c : cases) {
    std::string failure;
    const std::size_t largest = LargestAllocation([&] { failure = PackedFailure(c.bytes); });
    EXPECT_EQ(failure, c.failure) << c.label;
    EXPECT_LT(largest, std::size_t{1} << 20) << c.label << " allocated " << largest;
  }
}

TEST(PackedCorrupt, FailuresNameTheProblem) {
  const std::string unknown = "ZQ_EUnknownClass: Packed data names the unknown or unpackable class ";
  const std::pair<std::string, std::string> cases[] = {
      {"", "ZQ_EStreamTruncated: Packed data ends inside a byte"},
      {U8(7), "ZQ_EStreamFormat: Invalid object tag 7 in packed data"},
      {U8(1) + U32(0), "ZQ_EStreamFormat: Invalid class name length 0 in packed data"},
      {Object("NoSuchClass", ""), unknown + "NoSuchClass"},
      {Object("ZQ_IPackable", ""), unknown + "ZQ_IPackable"},
      {Object("ZQ_TList", U32(1) + U8(9)), "ZQ_EStreamFormat: Unknown variant tag 9 in packed data"},
      {Object("ZQ_TBool", U8(2)), "ZQ_EStreamFormat: Invalid boolean 2 in packed data"},
      {Object("ZQ_TList", U32(0)) + "x", "ZQ_EStreamFormat: 1 bytes follow the packed object"},
      {Object("ZQ_EException", Str("Other") + U32(0)),
       "ZQ_EStreamFormat: Packed data holds the section Other where another was expected"},
  };
  for (const auto& [bytes, failure] : cases) EXPECT_EQ(PackedFailure(bytes), failure) << failure;
  EXPECT_EQ(PackedFailure(Object(std::string("ZQ_TList\0junk", 13), U32(0))).rfind(unknown, 0), 0u)
      << "a class name with a NUL byte is no class name";
  // A null object is no failure; bytes an object leaves unread are skipped.
  EXPECT_EQ(ExtractPacked(U8(0)), nullptr);
  std::unique_ptr<ZQ_TObject> padded = ExtractPacked(Object("ZQ_TUInt32", U32(5) + "extra"));
  ASSERT_NE(ZQ_CAST(ZQ_TUInt32, padded.get()), nullptr);
  EXPECT_EQ(ZQ_CAST(ZQ_TUInt32, padded.get())->Value(), 5u);
}

// Both forms limit nesting; sections do not count, so an exception whose
// datum nests to the limit reads back.
TEST(Corrupt, NestingLimits) {
  const int textLimit = ZQ_THumanReadableStream::kMaxDepth;
  EXPECT_NE(ExtractPacked(PackedBytes(Nested(ZQ_TDataStream::kMaxDepth))), nullptr);
  EXPECT_EQ(PackedFailure(PackedBytes(Nested(ZQ_TDataStream::kMaxDepth + 1))),
            "ZQ_EStreamFormat: Packed data nests deeper than 200 levels");
  EXPECT_NE(ExtractText(TextBytes(Nested(textLimit))), nullptr);
  EXPECT_EQ(TextFailure(TextBytes(Nested(textLimit + 1))),
            "ZQ_EStreamFormat: Expected less deeply nested objects but found 'ZQ_TList' at line 401");
  ZQ_EException error("deep", ZQ_TAny(Nested(ZQ_TDataStream::kMaxDepth - 1)));
  EXPECT_NE(ExtractPacked(PackedBytes(error)), nullptr);
  EXPECT_NE(ExtractText(TextBytes(error)), nullptr);
}

// A stream reads on after a failure: the nesting depth and open sections of
// the failed read are reset.
TEST(Corrupt, StreamsAreUsableAfterAFailure) {
  ZQ_TMemoryStream memory;
  ZQ_TDataStream out(memory);
  out.Insert(Nested(ZQ_TDataStream::kMaxDepth + 1));
  const std::size_t tooDeep = memory.Tell();
  out.Insert(Nested(ZQ_TDataStream::kMaxDepth + 100));
  const std::size_t brokenError = memory.Tell();
  out.Insert(ZQ_EException("message", ZQ_TAny("datum")));
  const std::size_t good = memory.Tell();
  out.Insert(ZQ_TList{"fine"});
  // The exception's message length overruns its section.
  const std::uint8_t length[4] = {0xFF, 0xFF, 0xFF, 0x7F};
  memory.Patch(brokenError + 1 + 4 + 13 + 4 + 4 + 13 + 4, length, 4);
  ZQ_TDataStream in(memory);
  memory.Seek(0);
  EXPECT_THROW(in.Extract(false), ZQ_EStreamFormat);
  memory.Seek(tooDeep);
  EXPECT_THROW(in.Extract(false), ZQ_EStreamFormat) << "the nesting limit still holds";
  memory.Seek(brokenError);
  EXPECT_THROW(in.Extract(false), ZQ_EStreamTruncated);
  memory.Seek(good);
  std::unique_ptr<ZQ_TObject> list(in.Extract());
  ASSERT_NE(ZQ_CAST(ZQ_TList, list.get()), nullptr);
  EXPECT_EQ(*ZQ_CAST(ZQ_TList, list.get()), (ZQ_TList{"fine"}));

  std::string all = TextBytes(Nested(ZQ_THumanReadableStream::kMaxDepth + 1));
  const std::size_t second = all.size();
  all += TextBytes(Nested(ZQ_THumanReadableStream::kMaxDepth + 100));
  const std::size_t third = all.size();
  all += TextBytes(ZQ_TList{"fine"});
  ZQ_TMemoryStream textMemory(all.data(), all.size());
  ZQ_THumanReadableStream text(textMemory);
  EXPECT_THROW(text.Extract(false), ZQ_EStreamFormat);
  textMemory.Seek(second);
  EXPECT_THROW(text.Extract(false), ZQ_EStreamFormat) << "the nesting limit still holds";
  textMemory.Seek(third);
  list.reset(text.Extract());
  EXPECT_NE(ZQ_CAST(ZQ_TList, list.get()), nullptr);
}

TEST(TextCorrupt, FailuresNameTheProblemAndLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "ZQ_EStreamTruncated: Text ends before a class name or NULL at line 1"},
      {"ZQ_TList x", "ZQ_EStreamFormat: Expected a number but found 'x' at line 1"},
      {"ZQ_TList 99999999999", "ZQ_EStreamFormat: Expected a 32-bit number but found '99999999999' at line 1"},
      {"ZQ_TList 99999999999999999999999",
       "ZQ_EStreamFormat: Expected a decimal number but found '99999999999999999999999' at line 1"},
      {"ZQ_TBool yes", "ZQ_EStreamFormat: Expected true or false but found 'yes' at line 1"},
      {"ZQ_TString abc", "ZQ_EStreamFormat: Expected a quoted text but found 'abc' at line 1"},
      {"ZQ_TString \"abc", "ZQ_EStreamFormat: Expected a closed quoted text but found 'abc' at line 1"},
      {"ZQ_TString \"a\\q\"", "ZQ_EStreamFormat: Expected a known escape but found 'a' at line 1"},
      {"ZQ_TString \"\\x4\"", "ZQ_EStreamFormat: Expected two hexadecimal digits after \\x but found '' at line 1"},
      {"ZQ_TList 2\n1\n\n  # comment \"\n", "ZQ_EStreamTruncated: Text ends before a quoted text at line 5"},
      {"ZQ_TList 1\n\"x\" extra", "ZQ_EStreamFormat: Expected the end of the text but found 'extra' at line 2"},
      {"ZQ_TList 1\n%s", "ZQ_EUnknownClass: Text names the unknown or unreadable class %s at line 2"},
      {"ZQ_IPackable", "ZQ_EUnknownClass: Text names the unknown or unreadable class ZQ_IPackable at line 1"},
      {"ZQ_TTime x 1", "ZQ_EStreamFormat: Expected a signed 64-bit number but found 'x' at line 1"},
      // The object read is freed when what follows it is malformed (the leak
      // checker of the debug build watches this).
      {"ZQ_TList 0 \"open", "ZQ_EStreamFormat: Expected a closed quoted text but found 'open' at line 1"},
  };
  for (const auto& [text, failure] : cases) EXPECT_EQ(TextFailure(text), failure) << text;
  // The text found is the datum of the failure, so it is shown as it is.
  try {
    ExtractText("ZQ_TUInt32 %s");
  } catch (const ZQ_EStreamFormat& e) {
    EXPECT_EQ(e.Data(), ZQ_TAny("%s"));
  }
}

// Inputs that the fuzz target once failed on.
TEST(Regressions, EveryKeptFuzzInputPasses) {
  const std::filesystem::path folder(ZQTYPES_REGRESS_DIR);
  ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    EXPECT_EQ(Check(ReadFile(entry.path().string())), "") << entry.path();
    ++files;
  }
  EXPECT_GT(files, 0);
}

namespace {
// What a fixed-layout decoder reads from `bytes`: an array of a number, a
// URL and a list of booleans, read in place; or "class: text" of its failure.
std::string ReadInPlace(const std::string& bytes) {
  ZQ_TMemoryStream memory(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  ZQ_TDataStream in(memory);
  std::string read;
  try {
    ZQ_UnpackValues(in, "ZQ_TArray", [&](std::uint32_t index) {
      if (index == 0) read += std::to_string(ZQ_TAny::UnpackU32Value(in));
      if (index == 1) {
        ZQ_TURL url;
        in.UnpackObjectValue(url);
        read += " " + url.Text().Std();
      }
      if (index == 2) {
        ZQ_TAny::UnpackObjectTag(in);
        ZQ_UnpackValues(in, "ZQ_TList", [&](std::uint32_t) {
          read += ZQ_TAny::UnpackBoolValue(in) ? " yes" : " no";
        });
      }
    });
    if (!in.AtEnd()) read += " (bytes left)";
  } catch (const ZQ_EException& e) {
    return std::string(e.ClassName()) + ": " + e.Text().Std();
  }
  return read;
}
}  // namespace

// The in-place readers read what the generic writer wrote, and refuse any
// other shape with a reason, never creating what the data names.
TEST(PackedInPlace, ReadsTheWrittenLayoutAndRefusesOthers) {
  ZQ_TArray array(3);
  array[0] = ZQ_TAny(7u);
  array[1] = ZQ_TAny(ZQ_TURL(ZQ_TString("file:///tmp/a.png")));
  array[2] = ZQ_TAny(ZQ_TList{ZQ_TAny(true), ZQ_TAny(false)});
  const std::string bytes = PackedBytes(array);
  EXPECT_EQ(ReadInPlace(bytes), "7 file:///tmp/a.png yes no");

  const std::string number = U8(4) + U32(7);
  const std::pair<std::string, std::string> cases[] = {
      {U8(0), "ZQ_EStreamFormat: Packed data holds no object where a ZQ_TArray was expected"},
      {Object("ZQ_TList", U32(0)),
       "ZQ_EStreamFormat: Packed data holds a ZQ_TList where a ZQ_TArray was expected"},
      {Object("ZQ_TArray", U32(1) + U8(1) + Str("7")),
       "ZQ_EStreamFormat: Packed data holds the variant tag 1 where a number was expected"},
      {Object("ZQ_TArray", U32(2) + number + U8(2) + Object("NoSuchClass", "")),
       "ZQ_EStreamFormat: Packed data holds a NoSuchClass where a ZQ_TURL was expected"},
      {Object("ZQ_TArray", U32(3) + number + U8(2) + Object("ZQ_TURL", Str("file:///a")) + U8(2) +
                               Object("ZQ_TList", U32(1) + number)),
       "ZQ_EStreamFormat: Packed data holds the variant tag 4 where a boolean was expected"},
      {Object("ZQ_TArray", U32(0xFFFFFFFF) + number),
       "ZQ_EStreamTruncated: Packed data ends inside a byte"},
      {bytes.substr(0, bytes.size() - 1), "ZQ_EStreamTruncated: Packed data ends inside an object"},
      {bytes + "x", "7 file:///tmp/a.png yes no (bytes left)"},
  };
  for (const auto& [data, expected] : cases) EXPECT_EQ(ReadInPlace(data), expected) << expected;
}
