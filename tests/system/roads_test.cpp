// Every road of the library against the others, over real files with the
// shipped plugins: a description at level 6 equals one made at a lower level
// and raised to 6 by an update, from the result cache or through SmartID; a
// cache hit at level 6 equals it too; and the image walk sees each of the
// file's own images once, in order.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "tests/system/system_samples.h"

namespace systemtest {
namespace {

constexpr IMR_TImageTypes kTypes = IMR_IT_MAIN | IMR_IT_THUMBNAIL | IMR_IT_PREVIEW;

std::string Printed(const PXC_TImageTicket& ticket) {
  std::ostringstream text;
  ticket.PrintOn(text);
  return text.str();
}

// What a user sees of a proxy: its tickets, and which one is selected.
std::string Printed(const PXC_TImageProxy& proxy) {
  std::string text = "selected " + std::to_string(proxy.IndexOfSelected()) + "\n";
  for (std::uint32_t i = 0; i < proxy.Entries(); ++i) text += Printed(proxy.TicketAt(i));
  return text;
}

// The fill of `url` at `level`, or an empty proxy when nothing recognises it.
PXC_TImageProxy Filled(const IMR_TCore& core, const ZQ_TURL& url, PXC_TFillLevel level) {
  PXC_TImageProxy proxy;
  try {
    core.FillImageProxy(proxy, url, level, kTypes);
  } catch (const IMR_EPluginFileNotRecognized&) {
    proxy = PXC_TImageProxy();
  }
  return proxy;
}

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

// A file rewritten under its record, with its size and time kept, passes the
// record's test; the raise then fails, and the record is replaced by what the
// file now holds.
TEST_F(RoadsTest, ARecordThatCannotBeRaisedIsReplaced) {
  const IMR_TCore cached;
  const auto sample = std::find_if(sSamples->begin(), sSamples->end(),
                                   [](const Sample& s) { return s.name == "e2e/web/rgba.png"; });
  ASSERT_NE(sample, sSamples->end());
  const std::string path = sample->url.Path().Std();
  const std::string png = testsupport::ReadFile(path);
  for (const std::string& now : {std::string(png).replace(0, 4, "GIF8"), "GIF89a" + png.substr(6)}) {
    RemoveRecord(sample->url);
    testsupport::WriteFile(path, png);
    ASSERT_GT(Filled(cached, sample->url, PXC_FL_ALL_IMAGES).Entries(), 0u);
    struct stat facts {};
    ASSERT_EQ(::stat(path.c_str(), &facts), 0);
    testsupport::WriteFile(path, now);
    testsupport::SetModified(path, facts.st_mtim.tv_sec, facts.st_mtim.tv_nsec);

    testsupport::LogCapture log;
    const PXC_TImageProxy fresh = Filled(UncachedCore(), sample->url, PXC_FL_DEPENDENCIES);
    EXPECT_EQ(Printed(Filled(cached, sample->url, PXC_FL_DEPENDENCIES)), Printed(fresh));
    EXPECT_NE(log.Text().find("Cannot raise the cached description of " + sample->url.Text().Std()),
              std::string::npos)
        << log.Text();
    const bool recorded = ::getxattr(path.c_str(), "user.imr.IMR_CACHE_IT", nullptr, 0) >= 0;
    EXPECT_EQ(recorded, fresh.Entries() > 0) << "the stale record is gone, a fresh one written";
  }
  testsupport::WriteFile(path, png);
}

}  // namespace
}  // namespace systemtest
