// The cache strategy, read once per process from IMR_CACHE_STRATEGY or the
// configuration.  ctest runs this once per strategy and names the one to
// expect in CORETEST_EXPECT_STRATEGY.
#include <sys/xattr.h>

#include "core_test_support.h"

using namespace coretest;

TEST(CacheStrategy, DecidesWhichResultsAreWrittenAndWhetherRecordsAreRead) {
  const char* expectation = std::getenv("CORETEST_EXPECT_STRATEGY");
  ASSERT_NE(expectation, nullptr);
  const int strategy = std::atoi(expectation);
  EXPECT_EQ(IMR_TCore::GetCacheStrategy(), strategy);
  IMR_TCore::AddToDefaultPluginList(ZQ_TString("IMRT_Plain"), ZQ_TString(), false);
  const IMR_TCore core;
  EXPECT_EQ(core.CacheStrategy(), strategy);

  TempDir dir;
  struct Case {
    const char* format;
    int fromStrategy;  // written from this strategy up
  };
  for (const Case& c : {Case{"PDF", 1}, Case{"VXWEN", 1}, Case{"JPEG", 2}, Case{"TIFF_IT", 2},
                        Case{"IMRT", 3}}) {
    imrt::Image image = Img("0");
    image.format = c.format;
    const ZQ_TURL url = WriteImrt(dir / (std::string(c.format) + ".imrt"), {image});
    PXC_TImageProxy proxy;
    core.FillImageProxy(proxy, url, PXC_FL_ALL_IMAGES, IMR_IT_MAIN);
    const bool written = ::getxattr(url.Path().Narrow(), "user.imr.IMR_CACHE_IT", nullptr, 0) >= 0;
    EXPECT_EQ(written, strategy >= c.fromStrategy) << c.format;
  }

  // A record written whatever the strategy is read unless the strategy is 0.
  const ZQ_TURL url = WriteImrt(dir / "read.imrt", {Img("0")});
  const ZQ_TList plugins = Plugins({"IMRT_Plain"});
  PXC_TImageProxy proxy;
  IMR_TCore(&plugins).FillImageProxy(proxy, url, PXC_FL_ALL_IMAGES, IMR_IT_MAIN);
  IMR_TCore::IMR_SetImageProxyCache(proxy, IMR_IT_MAIN, IMR_CS_ALL);
  Stats().Reset();
  PXC_TImageProxy again;
  core.FillImageProxy(again, url, PXC_FL_ALL_IMAGES, IMR_IT_MAIN);
  EXPECT_EQ(Stats().calls.load() != 0, strategy == IMR_CS_NONE);
  EXPECT_EQ(Summary(again), Summary(proxy));
}
