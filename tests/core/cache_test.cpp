// The result cache: records kept in a file's extended attributes, read
// instead of describing the file while they hold, removed when they do not.
#include <sys/xattr.h>

#include <functional>

#include "core_test_support.h"

using namespace coretest;

namespace {

constexpr IMR_TImageTypes kTypes = IMR_IT_MAIN | IMR_IT_THUMBNAIL | IMR_IT_PREVIEW;

// Cores over the default list (whose results may be cached) with IMRT_Plain
// at its head.
class Cache : public PlainAtHeadOfDefaultList {
 protected:
  ZQ_TURL Write(const std::string& name, const std::vector<imrt::Image>& images) {
    return WriteImrt(iDir / name, images);
  }
  PXC_TImageProxy Describe(const ZQ_TURL& url, PXC_TFillLevel level = PXC_FL_ALL_IMAGES,
                           IMR_TImageTypes types = kTypes) {
    const IMR_TCore core;
    PXC_TImageProxy proxy;
    core.FillImageProxy(proxy, url, level, types);
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

  const ZQ_TList iPlain = Plugins({"IMRT_Plain"});
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
}

TEST_F(Cache, OnlyCacheableRunsWriteRecords) {
  LogCapture log;
  const ZQ_TURL url = Write("a.imrt", {Img("0")});
  Describe(url, PXC_FL_GEOMETRY);
  EXPECT_FALSE(HasRecord(url)) << "below all images";
  Describe(url, PXC_FL_ALL_IMAGES, IMR_IT_ALL);
  EXPECT_FALSE(HasRecord(url)) << "types beyond the first three";
  const IMR_TCore explicitList(&iPlain);
  PXC_TImageProxy proxy;
  explicitList.FillImageProxy(proxy, url, PXC_FL_ALL_IMAGES, kTypes);
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
  Describe(url);
  EXPECT_TRUE(HasRecord(url));
}

TEST_F(Cache, ReadingCanBeSwitchedOff) {
  const ZQ_TURL url = Write("a.imrt", {Img("0")});
  Describe(url);
  ASSERT_TRUE(HasRecord(url));
  CacheSwitches off(false, true);
  bool analysed = false;
  Run(url, analysed);
  EXPECT_TRUE(analysed);
}

TEST_F(Cache, ARecordServesTheTypesItWasWrittenForAndTheirSubsets) {
  const ZQ_TURL url = Write("a.imrt", {Img("0", 2), Img("0", 3)});
  Describe(url, PXC_FL_ALL_IMAGES, IMR_IT_MAIN | IMR_IT_THUMBNAIL);
  EXPECT_EQ(Loaded(url, IMR_IT_THUMBNAIL), "IMRT:2:0 *IMRT:3:1");
  EXPECT_EQ(Loaded(url, IMR_IT_MAIN | IMR_IT_THUMBNAIL), "IMRT:2:0 *IMRT:3:1");
  EXPECT_EQ(Loaded(url, IMR_IT_MAIN), "*IMRT:3:1");
  EXPECT_EQ(Loaded(url, kTypes), "none");
  EXPECT_FALSE(HasRecord(url)) << "a record that does not serve is removed";

  Describe(url, PXC_FL_ALL_IMAGES, IMR_IT_MAIN);
  ASSERT_TRUE(HasRecord(url));
  bool analysed = false;
  Run(url, analysed, PXC_FL_ALL_IMAGES, IMR_IT_MAIN | IMR_IT_THUMBNAIL);
  EXPECT_TRUE(analysed);
  EXPECT_EQ(Loaded(url, IMR_IT_MAIN | IMR_IT_THUMBNAIL), "IMRT:2:0 *IMRT:3:1");
}

TEST_F(Cache, MainImagesOnlyKeepTheSelectedImage) {
  const ZQ_TURL url = Write("a.imrt", {Img("0", 1), Img("0", 3, 2, 2), Img("0", 3, 3, 3)});
  EXPECT_EQ(Summary(Describe(url)), "IMRT:1:0 *IMRT:3:1:2x2 IMRT:3:2:3x3");
  EXPECT_EQ(Loaded(url, IMR_IT_MAIN), "*IMRT:3:1:2x2 IMRT:3:2:3x3");
  bool analysed = false;
  EXPECT_EQ(Run(url, analysed, PXC_FL_ALL_IMAGES, IMR_IT_MAIN), "*IMRT:3:1:2x2 IMRT:3:2:3x3");
  EXPECT_FALSE(analysed);
}

TEST_F(Cache, ARecordOfAChangedFileIsNotUsed) {
  const ZQ_TURL url = Write("a.imrt", {Img("0", 3, 1, 1)});
  Describe(url);
  WriteImrt(url.Path().Std(), {Img("0", 3, 2, 2), Img("0", 1)});
  SetModified(url.Path().Std(), 3000000);
  bool analysed = false;
  EXPECT_EQ(Run(url, analysed), "*IMRT:3:0:2x2 IMRT:1:1");
  EXPECT_TRUE(analysed);
  EXPECT_EQ(Loaded(url, kTypes), "*IMRT:3:0:2x2 IMRT:1:1");
}

TEST_F(Cache, ARunWithoutSelectedImageLeavesNoRecordToTripOver) {
  LogCapture log;
  const ZQ_TURL url = Write("a.imrt", {Embedded(imrt::Write({Img("0")}), 1)});
  EXPECT_EQ(Summary(Describe(url)), "IMRT:1:0");
  EXPECT_EQ(Summary(Describe(url)), "IMRT:1:0");
  EXPECT_EQ(Count(log.Text(), "IMR_CACHE"), 0u) << log.Text();
}

// Records that cannot be used, whatever is wrong with them, are removed and
// the file is analysed again.
TEST_F(Cache, DamagedRecordsAreRemovedAndTheFileAnalysedAgain) {
  using Damage = std::function<void(PXC_TMetadata&, ZQ_TArray&, ZQ_TList&, ZQ_TList&)>;
  auto set = [](std::uint32_t at, ZQ_TAny value) {
    return Damage([at, value](PXC_TMetadata& m, ZQ_TArray& record, ZQ_TList&, ZQ_TList&) {
      record[at] = value;
      m.SetKeyObject(L"IMR_CACHE_IT", record);
    });
  };
  auto flags = [](bool drop) {
    return Damage([drop](PXC_TMetadata& m, ZQ_TArray& record, ZQ_TList&, ZQ_TList&) {
      ZQ_TList list = *record[3].DynamicCast<ZQ_TList>();
      if (drop) list.RemoveHead(); else list.AddAtTail(ZQ_TAny(false));
      record[3] = ZQ_TAny(list);
      m.SetKeyObject(L"IMR_CACHE_IT", record);
    });
  };
  auto raw = [](std::string bytes, const char* key) {
    return Damage([bytes, key](PXC_TMetadata& m, ZQ_TArray&, ZQ_TList&, ZQ_TList&) {
      ::setxattr(m.Location().Path().Narrow(), key, bytes.data(), bytes.size(), 0);
    });
  };
  const std::vector<std::pair<const char*, Damage>> damages = {
      {"record is text", [](PXC_TMetadata& m, ZQ_TArray&, ZQ_TList&, ZQ_TList&) {
         m.SetKeyObject(L"IMR_CACHE_IT", ZQ_TString("garbage"));
       }},
      {"record too short", [](PXC_TMetadata& m, ZQ_TArray&, ZQ_TList&, ZQ_TList&) {
         m.SetKeyObject(L"IMR_CACHE_IT", ZQ_TArray(4));
       }},
      {"types as text", set(0, ZQ_TAny("7"))},
      {"URL as text", set(1, ZQ_TAny("file:///elsewhere"))},
      {"selection out of range", set(2, ZQ_TAny(99u))},
      {"flags not a list", set(3, ZQ_TAny(true))},
      {"old version", set(4, ZQ_TAny(1023u))},
      {"a flag too few", flags(true)},
      {"a flag too many", flags(false)},
      {"flag not boolean", [](PXC_TMetadata& m, ZQ_TArray& record, ZQ_TList&, ZQ_TList&) {
         ZQ_TList list = *record[3].DynamicCast<ZQ_TList>();
         list[0] = ZQ_TAny(5u);
         record[3] = ZQ_TAny(list);
         m.SetKeyObject(L"IMR_CACHE_IT", record);
       }},
      {"primary entry not a ticket", [](PXC_TMetadata& m, ZQ_TArray&, ZQ_TList& primary, ZQ_TList&) {
         primary[0] = ZQ_TAny("ticket");
         m.SetKeyObject(L"IMR_CACHE_PRI", primary);
       }},
      {"primary not a list", [](PXC_TMetadata& m, ZQ_TArray&, ZQ_TList&, ZQ_TList&) {
         m.SetKeyObject(L"IMR_CACHE_PRI", ZQ_TDict());
       }},
      {"secondary missing", [](PXC_TMetadata& m, ZQ_TArray&, ZQ_TList&, ZQ_TList&) {
         m.RemoveKey(L"IMR_CACHE_SEC");
       }},
      {"garbage bytes", raw("Rgarbage", "user.imr.IMR_CACHE_IT")},
      {"garbage compressed bytes", raw(std::string("Z\x10\0\0\0garbage", 12), "user.imr.IMR_CACHE_PRI")},
      {"empty value", raw("", "user.imr.IMR_CACHE_SEC")},
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
    std::unique_ptr<ZQ_TObject> secondary(metadata.GetKeyObject(L"IMR_CACHE_SEC"));
    ZQ_TArray recordCopy = *ZQ_DynamicCast<ZQ_TArray>(record.get());
    ZQ_TList primaryCopy = *ZQ_DynamicCast<ZQ_TList>(primary.get());
    ZQ_TList secondaryCopy = *ZQ_DynamicCast<ZQ_TList>(secondary.get());
    damage(metadata, recordCopy, primaryCopy, secondaryCopy);

    bool analysed = false;
    EXPECT_EQ(Run(url, analysed), fresh);
    EXPECT_TRUE(analysed);
    EXPECT_EQ(Loaded(url, kTypes), fresh) << "a new record is written";
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

TEST_F(Cache, LoadProxyCacheLeavesTheProxyAloneWithoutRecord) {
  const ZQ_TURL url = Write("a.imrt", {Img("0")});
  PXC_TImageProxy proxy;
  proxy.SetURL(ZQ_TURL("/somewhere"));
  EXPECT_FALSE(IMR_TCore::LoadProxyCache(proxy, url, kTypes));
  EXPECT_EQ(proxy.URL(), ZQ_TURL("/somewhere"));
  EXPECT_FALSE(IMR_TCore::LoadProxyCache(proxy, ZQ_TURL::FromPath(ZQ_TString(iDir / "missing")), kTypes));
  EXPECT_FALSE(IMR_TCore::LoadProxyCache(proxy, ZQ_TURL::Embed(url, 0, 4), kTypes));
}
