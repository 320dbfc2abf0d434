// Every road of the library against the others, over real files with the
// shipped plugins: a description at level 6 equals one made at a lower level
// and raised to 6 by an update, from the result cache or through SmartID; a
// cache hit at level 6 equals it too; and the image walk sees each of the
// file's own images once, in order.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/system/system_samples.h"

namespace systemtest {
namespace {

void RemoveRecord(const ZQ_TURL& url) {
  PXC_TMetadata metadata(url);
  for (const wchar_t* key : {L"IMR_CACHE_IT", L"IMR_CACHE_PRI", L"IMR_CACHE_SEC"}) {
    try {
      metadata.RemoveKey(key);
    } catch (const PXC_EMetadataKeyDoesNotExist&) {
    }
  }
}

class RoadsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    StartLibrary();
    sDir = new testsupport::TempDir;
    sSamples = new std::vector<Sample>(CopySamples(*sDir));
  }
  static void TearDownTestSuite() {
    delete sSamples;
    delete sDir;
  }

  static testsupport::TempDir* sDir;
  static std::vector<Sample>* sSamples;
};
testsupport::TempDir* RoadsTest::sDir = nullptr;
std::vector<Sample>* RoadsTest::sSamples = nullptr;

TEST_F(RoadsTest, EveryRoadGivesTheDescriptionOfLevelSix) {
  ASSERT_GT(sSamples->size(), 250u);
  const IMR_TCore& plain = UncachedCore();
  const IMR_TCore cached;
  ASSERT_TRUE(cached.UsesDefaultList());
  std::size_t recognized = 0;
  for (const Sample& sample : *sSamples) {
    SCOPED_TRACE(sample.name);
    PXC_TImageProxy reference = Filled(plain, sample.url, PXC_FL_DEPENDENCIES);
    if (reference.Entries() == 0) {
      EXPECT_EQ(Filled(plain, sample.url, PXC_FL_FORMAT).Entries(), 0u) << "recognised at level 2 only";
      continue;
    }
    ++recognized;
    const std::string expected = Printed(reference);
    const std::string expectedFirst = Printed(reference.TicketAt(0));

    // Updates from every lower level.  Below level 4 only image 0 is there.
    for (PXC_TFillLevel level : {PXC_FL_FORMAT, PXC_FL_GEOMETRY, PXC_FL_ALL_IMAGES, PXC_FL_DETAILS}) {
      SCOPED_TRACE("raised from level " + std::to_string(level));
      PXC_TImageProxy proxy = Filled(plain, sample.url, level);
      ASSERT_GT(proxy.Entries(), 0u);
      IMR_TCore::UpdateImageProxy(proxy, PXC_FL_DEPENDENCIES);
      if (level >= PXC_FL_ALL_IMAGES) {
        EXPECT_EQ(Printed(proxy), expected);
      } else {
        ASSERT_EQ(proxy.Entries(), 1u);
        EXPECT_EQ(Printed(proxy.TicketAt(0)), expectedFirst);
      }
    }

    // The cache: a record of level 4 raised on every hit, then one of level 6.
    RemoveRecord(sample.url);
    Filled(cached, sample.url, PXC_FL_ALL_IMAGES);
    for (int hit = 0; hit < 2; ++hit) {
      SCOPED_TRACE("cache hit raised from level 4");
      PXC_TImageProxy proxy;
      ASSERT_TRUE(IMR_TCore::LoadProxyCache(proxy, sample.url, kTypes));
      EXPECT_EQ(proxy.Selected()->FillLevel(), PXC_FL_ALL_IMAGES);
      EXPECT_EQ(Printed(Filled(cached, sample.url, PXC_FL_DEPENDENCIES)), expected);
    }
    RemoveRecord(sample.url);
    Filled(cached, sample.url, PXC_FL_DEPENDENCIES);
    {
      SCOPED_TRACE("plain cache hit");
      PXC_TImageProxy proxy;
      ASSERT_TRUE(IMR_TCore::LoadProxyCache(proxy, sample.url, kTypes));
      EXPECT_EQ(Printed(proxy), expected);
      EXPECT_EQ(Printed(Filled(cached, sample.url, PXC_FL_DEPENDENCIES)), expected);
    }

    // SmartID raises the proxy it is given, and agrees with the reference's.
    const std::uint32_t id = plain.SmartID(reference, false);
    EXPECT_NE(id, 0u);
    PXC_TImageProxy proxy = Filled(plain, sample.url, PXC_FL_ALL_IMAGES);
    EXPECT_EQ(plain.SmartID(proxy, true), id);
    EXPECT_EQ(Printed(proxy), expected);
    proxy = Filled(plain, sample.url, PXC_FL_FORMAT);
    EXPECT_EQ(plain.SmartIDStr(proxy, 10).Std(), std::to_string(id));

    // The walk lists the file's own images: not those embedded in them.
    std::vector<std::string> own;
    for (std::uint32_t i = 0; i < reference.Entries(); ++i) {
      const PXC_TImageTicket& ticket = reference.TicketAt(i);
      if (ticket.File() == sample.url) own.push_back(ticket.FileFormat().Std());
    }
    ZQ_TList listed;
    plain.ImageTypes(listed, sample.url);
    std::vector<std::string> formats;
    for (const ZQ_TList::Entry& entry : listed) formats.push_back(entry.value.DynamicCast<ZQ_TString>()->Std());
    EXPECT_EQ(formats, own);
  }
  EXPECT_GT(recognized, 140u);
}

// A file rewritten in place under its record, keeping its size and putting
// its modification time back, is described afresh: its device, inode, size
// and time are those of the record, but its status has changed since the
// record was written, and its first or last bytes differ.  Recognised
// samples are rewritten with the bytes of a smaller one, padded to their
// size, under records of level 4 (raised on use) and of level 6.
TEST_F(RoadsTest, RewritesKeepingSizeAndTimeAreDescribedAfresh) {
  const IMR_TCore& plain = UncachedCore();
  const IMR_TCore cached;
  struct Rewrite {
    std::string path;
    std::string before;
    std::string after;
  };
  std::vector<std::filesystem::path> recognised;
  for (const Sample& sample : *sSamples) {
    if (Filled(plain, sample.url, PXC_FL_FORMAT).Entries() > 0) {
      recognised.emplace_back(sample.url.Path().Std());
    }
  }
  std::sort(recognised.begin(), recognised.end(), [](const auto& a, const auto& b) {
    return std::filesystem::file_size(a) < std::filesystem::file_size(b);
  });
  const testsupport::TempDir dir;
  std::vector<Rewrite> rewrites;
  for (std::size_t i = 1; i < recognised.size() && rewrites.size() < 40; i += 3) {
    Rewrite rewrite{dir / (std::to_string(i) + recognised[i].extension().string()),
                    testsupport::ReadFile(recognised[i]), testsupport::ReadFile(recognised[i - 1])};
    rewrite.after.resize(rewrite.before.size(), '\0');
    if (rewrite.after != rewrite.before) rewrites.push_back(rewrite);
  }
  ASSERT_GT(rewrites.size(), 30u);
  for (PXC_TFillLevel recorded : {PXC_FL_ALL_IMAGES, PXC_FL_DEPENDENCIES}) {
    SCOPED_TRACE("record of level " + std::to_string(recorded));
    for (const Rewrite& rewrite : rewrites) {
      testsupport::WriteFile(rewrite.path, rewrite.before);
      ASSERT_GT(Filled(cached, ZQ_TURL::FromPath(ZQ_TString(rewrite.path)), recorded).Entries(), 0u);
    }
    // Past the moment up to which a record's own write may still show.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (const Rewrite& rewrite : rewrites) {
      struct stat facts {};
      ASSERT_EQ(::stat(rewrite.path.c_str(), &facts), 0);
      testsupport::WriteFile(rewrite.path, rewrite.after);
      testsupport::SetModified(rewrite.path, facts.st_mtim.tv_sec, facts.st_mtim.tv_nsec);
    }
    for (const Rewrite& rewrite : rewrites) {
      SCOPED_TRACE(rewrite.path);
      const ZQ_TURL url = ZQ_TURL::FromPath(ZQ_TString(rewrite.path));
      EXPECT_EQ(Printed(Filled(cached, url, PXC_FL_DEPENDENCIES)),
                Printed(Filled(plain, url, PXC_FL_DEPENDENCIES)));
    }
  }
}

}  // namespace
}  // namespace systemtest
