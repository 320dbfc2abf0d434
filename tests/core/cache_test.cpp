// The result cache: records kept in a file's extended attributes, read
// instead of describing the file while they hold, removed when they do not.
#include <sys/xattr.h>

#include <functional>
#include <set>

#include "core_test_support.h"

using namespace coretest;

namespace {

constexpr IMR_TImageTypes kTypes = IMR_IT_MAIN | IMR_IT_THUMBNAIL | IMR_IT_PREVIEW;

// Sets the core's cache switches for the scope.
class CacheSwitches {
 public:
  CacheSwitches(bool read, bool write) {
    IMR_TCore::sReadFromCache = read;
    IMR_TCore::sWriteToCache = write;
  }
  ~CacheSwitches() { IMR_TCore::sReadFromCache = IMR_TCore::sWriteToCache = true; }
};

// Cores over the default list (whose results may be cached) with IMRT_Plain
// at its head.
class Cache : public PlainAtHeadOfDefaultList {
 protected:
  PXC_TImageProxy Describe(const ZQ_TURL& url, PXC_TFillLevel level = PXC_FL_ALL_IMAGES,
                           IMR_TImageTypes types = kTypes) {
    PXC_TImageProxy proxy;
    IMR_TCore().FillImageProxy(proxy, url, level, types);
    return proxy;
  }
  // Summary of a run, and whether it asked any plugin.
  std::string Run(const ZQ_TURL& url, bool& analysed, PXC_TFillLevel level = PXC_FL_ALL_IMAGES,
                  IMR_TImageTypes types = kTypes) {
    const int calls = Stats().calls.load();
    const std::string summary = Summary(Describe(url, level, types));
    analysed = Stats().calls.load() != calls;
    return summary;
  }
  static bool HasRecord(const ZQ_TURL& url) {
    return ::getxattr(url.Path().Narrow(), "user.imr.IMR_CACHE_IT", nullptr, 0) >= 0;
  }
  static std::string Loaded(const ZQ_TURL& url, IMR_TImageTypes types) {
    PXC_TImageProxy proxy;
    return IMR_TCore::LoadProxyCache(proxy, url, types) ? Summary(proxy) : "none";
  }
};

}  // namespace

TEST_F(Cache, ARecordWrittenAtAllImagesServesLaterRuns) {
  const ZQ_TURL url = Write("a.imrt", {Img("0", 1), Img("0", 3, 5, 5)});
  bool analysed = false;
  const std::string fresh = Run(url, analysed);
  EXPECT_EQ(fresh, "IMRT:1:0 *IMRT:3:1:5x5");
  ASSERT_TRUE(analysed);
  ASSERT_TRUE(HasRecord(url));
  EXPECT_EQ(Run(url, analysed), fresh);
  EXPECT_FALSE(analysed);
  EXPECT_EQ(Run(url, analysed, PXC_FL_FORMAT), fresh);
  EXPECT_FALSE(analysed);
  // A higher level raises what was read.
  const PXC_TImageProxy details = Describe(url, PXC_FL_DETAILS);
  EXPECT_EQ(Summary(details), fresh);
  for (std::uint32_t i = 0; i < details.Entries(); ++i) {
    EXPECT_EQ(details.TicketAt(i).FillLevel(), PXC_FL_DETAILS);
  }
  {
    CacheSwitches off(false, true);
    Run(url, analysed);
    EXPECT_TRUE(analysed) << "reading switched off";
  }
  // The record of a changed file is not used, whether read at its level or
  // raised, and silently: a new one is written.
  LogCapture log;
  Write("a.imrt", {Img("0", 3, 2, 2), Img("0", 1)});
  SetModified(url.Path().Std(), 3000000);
  EXPECT_EQ(Run(url, analysed), "*IMRT:3:0:2x2 IMRT:1:1");
  EXPECT_TRUE(analysed);
  EXPECT_EQ(Loaded(url, kTypes), "*IMRT:3:0:2x2 IMRT:1:1");
  Write("a.imrt", {Img("0", 3, 4, 4)});
  SetModified(url.Path().Std(), 4000000);
  EXPECT_EQ(Summary(Describe(url, PXC_FL_DETAILS)), "*IMRT:3:0:4x4");
  EXPECT_EQ(Loaded(url, kTypes), "*IMRT:3:0:4x4");
  EXPECT_EQ(log.Text(), "");
}

TEST_F(Cache, OnlyCacheableRunsWriteRecords) {
  LogCapture log;
  const ZQ_TURL url = Write("a.imrt", {Img("0")});
  Describe(url, PXC_FL_GEOMETRY);
  EXPECT_FALSE(HasRecord(url)) << "below all images";
  Describe(url, PXC_FL_ALL_IMAGES, IMR_IT_ALL);
  EXPECT_FALSE(HasRecord(url)) << "types beyond the first three";
  const ZQ_TList plain = Plugins({"IMRT_Plain"});
  PXC_TImageProxy proxy;
  IMR_TCore(&plain).FillImageProxy(proxy, url, PXC_FL_ALL_IMAGES, kTypes);
  EXPECT_FALSE(HasRecord(url)) << "an explicit list";
  {
    CacheSwitches off(true, false);
    Describe(url);
    EXPECT_FALSE(HasRecord(url)) << "writing switched off";
  }
  const ZQ_TURL seven = Write("7.imrt", {Img("0"), Img("7")});
  Describe(seven);
  EXPECT_FALSE(HasRecord(seven)) << "status 7";
  const ZQ_TURL broken = Write("b.imrt", {Img("0"), Embedded("no IMRT", 1)});
  Describe(broken);
  EXPECT_FALSE(HasRecord(broken)) << "embedded data that failed";
  // No image selected: a record could not be read back, and tripped the next run.
  const ZQ_TURL unselected = Write("u.imrt", {Embedded(imrt::Write({Img("0")}), 1)});
  EXPECT_EQ(Summary(Describe(unselected)), "IMRT:1:0");
  EXPECT_FALSE(HasRecord(unselected)) << "no selected image";
  EXPECT_EQ(Summary(Describe(unselected)), "IMRT:1:0");
  EXPECT_EQ(Count(log.Text(), "IMR_CACHE"), 0u) << log.Text();
  Describe(url);
  EXPECT_TRUE(HasRecord(url));
}

// The digest of a file's bytes is taken for a description that may be
// stored, whose record it guards, and for no other; every ticket of the file
// carries it, those of embedded data the digest of their own range.
TEST_F(Cache, OnlyStorableDescriptionsTakeTheDigest) {
  const ZQ_TURL url = Write("a.imrt", {Img("0"), Img("0", 3), Embedded(imrt::Write({Img("0")}), 1)});
  auto digests = [](const PXC_TImageProxy& proxy) {
    std::set<std::uint64_t> seen;
    for (std::uint32_t i = 0; i < proxy.Entries(); ++i) {
      const ZQ_TFileFacts& facts = proxy.TicketAt(i).FileFacts();
      if (facts.hasDigest) seen.insert(facts.digest);
    }
    return seen.size();
  };
  EXPECT_EQ(digests(Describe(url, PXC_FL_GEOMETRY)), 0u);
  {
    CacheSwitches off(false, false);
    EXPECT_EQ(digests(Describe(url)), 0u);
  }
  const PXC_TImageProxy stored = Describe(url);
  ASSERT_EQ(stored.Entries(), 3u);
  for (std::uint32_t i = 0; i < stored.Entries(); ++i) {
    EXPECT_TRUE(stored.TicketAt(i).FileFacts().hasDigest) << i;
  }
  EXPECT_EQ(digests(stored), 2u) << "the file's, and the embedded range's";
}

// A record serves the types it was written for and their subsets; read for
// main images only, it gives those, or all when the selected one is not one.
TEST_F(Cache, ARecordServesItsTypesAndTheirSubsets) {
  const ZQ_TURL url = Write("a.imrt", {Img("0", 2), Img("0", 3)});
  Describe(url, PXC_FL_ALL_IMAGES, IMR_IT_MAIN | IMR_IT_THUMBNAIL);
  EXPECT_EQ(Loaded(url, IMR_IT_THUMBNAIL), "IMRT:2:0 *IMRT:3:1");
  EXPECT_EQ(Loaded(url, IMR_IT_MAIN | IMR_IT_THUMBNAIL), "IMRT:2:0 *IMRT:3:1");
  EXPECT_EQ(Loaded(url, IMR_IT_MAIN), "*IMRT:3:1");
  EXPECT_EQ(Loaded(url, kTypes), "none");
  EXPECT_FALSE(HasRecord(url)) << "a record that does not serve is removed";
  // Without a record (or a file, or for a range) the proxy is left alone.
  PXC_TImageProxy proxy;
  proxy.SetURL(ZQ_TURL("/somewhere"));
  for (const ZQ_TURL& none : {url, UrlOf(iDir / "missing"), ZQ_TURL::Embed(url, 0, 4)}) {
    EXPECT_FALSE(IMR_TCore::LoadProxyCache(proxy, none, kTypes)) << none.Text();
  }
  EXPECT_EQ(proxy.URL(), ZQ_TURL("/somewhere"));

  Describe(url, PXC_FL_ALL_IMAGES, IMR_IT_MAIN);
  ASSERT_TRUE(HasRecord(url));
  bool analysed = false;
  Run(url, analysed, PXC_FL_ALL_IMAGES, IMR_IT_MAIN | IMR_IT_THUMBNAIL);
  EXPECT_TRUE(analysed);
  EXPECT_EQ(Loaded(url, IMR_IT_MAIN | IMR_IT_THUMBNAIL), "IMRT:2:0 *IMRT:3:1");

  const ZQ_TURL mains = Write("m.imrt", {Img("0", 1), Img("0", 3, 2, 2), Img("0", 3, 3, 3)});
  EXPECT_EQ(Summary(Describe(mains)), "IMRT:1:0 *IMRT:3:1:2x2 IMRT:3:2:3x3");
  EXPECT_EQ(Run(mains, analysed, PXC_FL_ALL_IMAGES, IMR_IT_MAIN), "*IMRT:3:1:2x2 IMRT:3:2:3x3");
  EXPECT_FALSE(analysed);
  // A record whose second list is gone answers with its main images, for
  // whatever types it holds, and stays.
  PXC_TMetadata(mains).RemoveKey(L"IMR_CACHE_SEC");
  EXPECT_EQ(Run(mains, analysed, PXC_FL_ALL_IMAGES, IMR_IT_MAIN), "*IMRT:3:1:2x2 IMRT:3:2:3x3");
  EXPECT_FALSE(analysed);
  EXPECT_EQ(Run(mains, analysed), "*IMRT:3:1:2x2 IMRT:3:2:3x3");
  EXPECT_FALSE(analysed);
  EXPECT_EQ(Loaded(mains, kTypes), "*IMRT:3:1:2x2 IMRT:3:2:3x3");

  const ZQ_TURL thumbnails = Write("t.imrt", {Img("0", 1), Img("0", 2)});
  EXPECT_EQ(Summary(Describe(thumbnails)), "*IMRT:1:0 IMRT:2:1");
  EXPECT_EQ(Run(thumbnails, analysed, PXC_FL_ALL_IMAGES, IMR_IT_MAIN), "*IMRT:1:0 IMRT:2:1");
  EXPECT_FALSE(analysed);
}

// Records that cannot be used, whatever is wrong with them, are removed and
// the file is analysed again; an out-of-range selection and flags that do
// not match the tickets were taken for sound records.
TEST_F(Cache, DamagedRecordsAreRemovedAndTheFileAnalysedAgain) {
  // A damage gets the metadata and copies of the record and the primary
  // list; the sound flags are (true, false, true).
  using Damage = std::function<void(PXC_TMetadata&, ZQ_TArray&, ZQ_TList&)>;
  auto set = [](std::uint32_t at, ZQ_TAny value) {
    return Damage([at, value](PXC_TMetadata& m, ZQ_TArray& record, ZQ_TList&) {
      record[at] = value;
      m.SetKeyObject(L"IMR_CACHE_IT", record);
    });
  };
  auto flags = [&set](std::initializer_list<ZQ_TAny> flags) { return set(3, ZQ_TAny(ZQ_TList(flags))); };
  auto put = [](const wchar_t* name, auto value) {
    return Damage([name, value](PXC_TMetadata& m, ZQ_TArray&, ZQ_TList&) { m.SetKeyObject(name, value); });
  };
  auto raw = [](std::string bytes, const char* name) {
    return Damage([bytes, name](PXC_TMetadata& m, ZQ_TArray&, ZQ_TList&) {
      ::setxattr(m.Location().Path().Narrow(), name, bytes.data(), bytes.size(), 0);
    });
  };
  const std::vector<std::pair<const char*, Damage>> damages = {
      {"record too short", put(L"IMR_CACHE_IT", ZQ_TArray(4))},
      {"URL as text", set(1, ZQ_TAny("file:///elsewhere"))},
      {"selection out of range", set(2, ZQ_TAny(99u))},
      {"old version", set(4, ZQ_TAny(1023u))},
      {"a flag too few", flags({ZQ_TAny(true), ZQ_TAny(false)})},
      {"a flag too many", flags({ZQ_TAny(true), ZQ_TAny(false), ZQ_TAny(true), ZQ_TAny(false)})},
      {"primary entry not a ticket", [](PXC_TMetadata& m, ZQ_TArray&, ZQ_TList& primary) {
         primary[0] = ZQ_TAny("ticket");
         m.SetKeyObject(L"IMR_CACHE_PRI", primary);
       }},
      {"garbage bytes", raw("Rgarbage", "user.imr.IMR_CACHE_IT")},
      {"garbage compressed bytes", raw(std::string("Z\x10\0\0\0garbage", 12), "user.imr.IMR_CACHE_PRI")},
  };
  const ZQ_TURL url = Write("a.imrt", {Img("0", 1, 1, 1), Img("0", 3, 2, 2), Img("0", 2, 3, 3)});
  const std::string fresh = "IMRT:1:0:1x1 *IMRT:3:1:2x2 IMRT:2:2:3x3";
  for (const auto& [what, damage] : damages) {
    SCOPED_TRACE(what);
    LogCapture log;
    EXPECT_EQ(Summary(Describe(url)), fresh);
    ASSERT_EQ(Loaded(url, kTypes), fresh);
    PXC_TMetadata metadata(url);
    std::unique_ptr<ZQ_TObject> record(metadata.GetKeyObject(L"IMR_CACHE_IT"));
    std::unique_ptr<ZQ_TObject> primary(metadata.GetKeyObject(L"IMR_CACHE_PRI"));
    ZQ_TArray recordCopy = *ZQ_DynamicCast<ZQ_TArray>(record.get());
    ZQ_TList primaryCopy = *ZQ_DynamicCast<ZQ_TList>(primary.get());
    damage(metadata, recordCopy, primaryCopy);

    bool analysed = false;
    EXPECT_EQ(Run(url, analysed), fresh);
    EXPECT_TRUE(analysed);
    EXPECT_EQ(Loaded(url, kTypes), fresh) << "a new record is written";
    // The log names the file (it named the proxy's URL, empty then).
    if (!log.Text().empty()) {
      EXPECT_NE(log.Text().find(url.Text().Std()), std::string::npos) << log.Text();
    }
  }
}

TEST_F(Cache, RelatedFilesReadFromTheCacheMatchFreshOnes) {
  const ZQ_TURL parentURL = Write("p.imrt", {Img("0", 3)});
  const ZQ_TURL related = Write("q.imrt", {Img("0", 3, 7, 7), Img("0", 3, 8, 8), Img("0", 1)});
  const IMR_TCore core;
  auto add = [&] {
    PXC_TImageProxy parent;
    core.FillImageProxy(parent, parentURL, PXC_FL_ALL_IMAGES, kTypes);
    PXC_TImrLink link{0, &parent, PXC_IT_PAGE};
    core.AddToImageProxy(link, related, PXC_FL_ALL_IMAGES, kTypes);
    return Summary(parent);
  };
  const std::string fresh = add();
  EXPECT_EQ(fresh, "*IMRT:3:0 IMRT:5:0:7x7@0 IMRT:5:1:8x8@0 IMRT:1:2@0");
  EXPECT_FALSE(HasRecord(related)) << "related files write no record";
  Describe(related);
  ASSERT_TRUE(HasRecord(related));
  Stats().Reset();
  EXPECT_EQ(add(), fresh);
  EXPECT_EQ(Stats().calls.load(), 0) << "the record served";
}
