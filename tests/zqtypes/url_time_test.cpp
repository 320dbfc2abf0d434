// ZQ_TURL, ZQ_TTime and ZQ_TFileInfo.
#include <unistd.h>

#include <string>

#include "zq_test_support.h"

using namespace zqtest;

TEST(URL, PathsBecomeAbsoluteCleanAndEscaped) {
  char buffer[4096];
  const std::string cwd = getcwd(buffer, sizeof buffer) ? buffer : "";
  EXPECT_EQ(ZQ_TURL("/a/./b/../c//d/").Text(), "file:///a/c/d");
  EXPECT_EQ(ZQ_TURL("/../../x").Text(), "file:///x");
  EXPECT_EQ(ZQ_TURL("relative/./file.txt").Text().View(), "file://" + cwd + "/relative/file.txt");
  EXPECT_EQ(ZQ_TURL("c:/dir").Text().View(), "file://" + cwd + "/c:/dir")
      << "one letter before the colon is no scheme";
  EXPECT_EQ(ZQ_TURL::FromPath("http:x").Text().View(), "file://" + cwd + "/http:x");

  const ZQ_TURL url("/tmp/100% sure/a%41");
  EXPECT_EQ(url.Text(), "file:///tmp/100%25 sure/a%2541");
  EXPECT_EQ(url.Path(), "/tmp/100% sure/a%41");
  EXPECT_EQ(ZQ_TURL(url.Text()), url) << "the text form reads back as itself";
  // Escapes are decoded when a URL is read; a lone % stays as it is.
  EXPECT_EQ(ZQ_TURL("file:///a%20b/%2e%2e/c%zz%4").Path(), "/c%zz%4");
  EXPECT_EQ(ZQ_TURL("file://host/share/x").Path(), "/share/x") << "the host is dropped";
  EXPECT_EQ(ZQ_TURL("file:/one/slash").Path(), "/one/slash");
}

TEST(URL, EmbeddedRangesNestByAddingOffsets) {
  const ZQ_TURL file("/data/archive.zip");
  const ZQ_TURL member = ZQ_TURL::Embed(file, 100, 50);
  EXPECT_EQ(member.Text(), "embed:100:50:file:///data/archive.zip");
  EXPECT_EQ(member.Path(), "/data/archive.zip");
  EXPECT_EQ(member.Root(), file);
  EXPECT_EQ(ZQ_TURL::Embed(member, 10, 5).Text(), "embed:110:5:file:///data/archive.zip");
  EXPECT_EQ(ZQ_TURL("embed:7:1:embed:3:4:/data/x").Text(), "embed:10:1:file:///data/x");
  EXPECT_EQ(ZQ_TURL("embed:007:01:file:///x").Text(), "embed:7:1:file:///x");

  // Malformed embed texts are kept as written and name no file.
  for (const char* text : {"embed:1:file:///x", "embed:x:1:file:///x", "embed:", "embed:1:2"}) {
    const ZQ_TURL odd(text);
    EXPECT_EQ(odd.Text(), text);
    EXPECT_FALSE(odd.IsEmbed());
    EXPECT_TRUE(odd.Path().IsEmpty());
  }
  // Offsets that do not fit 64 bits are not wrapped around.
  const ZQ_TURL huge("embed:18446744073709551615:1:embed:1:1:file:///x");
  EXPECT_EQ(huge.Text(), "embed:18446744073709551615:1:embed:1:1:file:///x");
  EXPECT_FALSE(huge.IsEmbed());
  EXPECT_EQ(ZQ_TURL(huge.Text()), huge);

  // Deep nesting is read in a loop, not by recursion; ranges of anything but
  // a file stay nested as written.
  std::string deep, other;
  for (int i = 0; i < 200000; ++i) {
    deep += "embed:1:2:";
    other += "embed:0:0:";
  }
  EXPECT_EQ(ZQ_TURL((deep + "file:///deep").c_str()).Text(), "embed:200000:2:file:///deep");
  EXPECT_EQ(ZQ_TURL((other + "mem:x").c_str()).Text().View(), other + "mem:x");
}

TEST(URL, ResolveAndOtherSchemes) {
  const ZQ_TURL base("/dir/sub/page.html");
  EXPECT_EQ(base.Resolve("../up/x").Text(), "file:///dir/up/x");
  EXPECT_EQ(base.Resolve("./../../../../x").Text(), "file:///x");
  EXPECT_EQ(base.Resolve("/abs/y").Text(), "file:///abs/y");
  EXPECT_EQ(base.Resolve("100%.txt").Path(), "/dir/sub/100%.txt");
  EXPECT_EQ(base.Resolve("http://example.org/a").Text(), "http://example.org/a");
  EXPECT_EQ(ZQ_TURL::Embed(base, 1, 2).Resolve("sibling").Text(), "file:///dir/sub/sibling");
  EXPECT_TRUE(ZQ_TURL("https://example.org/p?q=1").Path().IsEmpty());
  EXPECT_EQ(ZQ_TURL("x-custom+1.2:stuff").Protocol(), "x-custom+1.2");
}

TEST(URL, RoundTripsThroughBothForms) {
  for (const ZQ_TURL& url : {ZQ_TURL("/tmp/a b%c\"d"), ZQ_TURL::Embed(ZQ_TURL("/z"), 5, 6),
                             ZQ_TURL("mailto:x@y"), ZQ_TURL("embed:1:"), ZQ_TURL()}) {
    EXPECT_EQ(RoundTrip(url), "") << url.Text();
  }
  // Packed texts are read as URLs, as texts of the text form are.
  ZQ_TMemoryStream memory;
  ZQ_TDataStream out(memory);
  out.PackU8(1);
  out.PackString(ZQ_TString("ZQ_TURL"));
  out.PackU32(4 + 7);
  out.PackString(ZQ_TString("/x/../y"));
  const std::string bytes(memory.View());
  std::unique_ptr<ZQ_TObject> back = ExtractPacked(bytes);
  ASSERT_NE(ZQ_CAST(ZQ_TURL, back.get()), nullptr);
  EXPECT_EQ(ZQ_CAST(ZQ_TURL, back.get())->Text(), "file:///y");
}

TEST(Time, RoundTripsAndPrints) {
  for (const ZQ_TTime& time : {ZQ_TTime(), ZQ_TTime(1700000000, 123456789), ZQ_TTime(-1, 5),
                               ZQ_TTime(INT64_MIN, 999999999), ZQ_TTime(INT64_MAX, 0)}) {
    EXPECT_EQ(RoundTrip(time), "");
  }
  EXPECT_EQ(testsupport::Printed(ZQ_TTime(1700000000, 0)), "2023-11-14T22:13:20Z");
  EXPECT_EQ(testsupport::Printed(ZQ_TTime(INT64_MAX, 0)), "@9223372036854775807")
      << "beyond the calendar: the seconds";
}

TEST(FileInfo, FactsAndSmartIDOfARealFile) {
  TempDir dir;
  const std::string path = dir / "sample 100%.bin";
  WriteFile(path, "0123456789");
  SetModified(path, 1600000000, 500);
  const ZQ_TURL url(path.c_str());
  const ZQ_TFileInfo first(url);
  EXPECT_TRUE(first.IsRegular());
  EXPECT_EQ(first.Size(), 10u);
  EXPECT_EQ(first.ModificationTime(), ZQ_TTime(1600000000, 500));
  EXPECT_EQ(ZQ_TFileInfo(url).SmartID(), first.SmartID()) << "same facts, same identity";

  // Another size with the time put back, or another time down to the
  // nanosecond: another identity.
  WriteFile(path, "0123456789A");
  SetModified(path, 1600000000, 500);
  const ZQ_TFileInfo grown(url);
  EXPECT_NE(grown.SmartID(), first.SmartID());
  SetModified(path, 1600000000, 501);
  EXPECT_NE(ZQ_TFileInfo(url).SmartID(), grown.SmartID());

  const ZQ_TFileInfo member(ZQ_TURL::Embed(url, 2, 3));
  EXPECT_TRUE(member.Exists());
  EXPECT_EQ(member.Size(), 3u);
  EXPECT_NE(member.SmartID(), grown.SmartID());

  EXPECT_FALSE(ZQ_TFileInfo(ZQ_TURL(dir.Path().c_str())).IsRegular());
  EXPECT_FALSE(ZQ_TFileInfo(ZQ_TURL((dir.Path() + "/missing").c_str())).Exists());
  EXPECT_FALSE(ZQ_TFileInfo(url, false).Exists());
  EXPECT_FALSE(ZQ_TFileInfo(ZQ_TURL("http://x/y")).Exists());
}
