// The configured bounds, read once per process: this executable's overlay
// sets "/Resources/Modules/IMR/Bounds" to 5 restarts and 100 images.
#include "core_test_support.h"

using namespace coretest;

namespace {

bool CountImage(PXC_TImageTicket&, IMR_TCore&, void* user) {
  ++*static_cast<int*>(user);
  return false;
}

}  // namespace

// A run gives up the image after the bound's restarts, and with it the rest.
TEST(Bounds, RestartsOfOneImage) {
  Stats().Reset();
  LogCapture log;
  TempDir dir;
  const ZQ_TList plugins = Plugins({"IMRT_Loop", "IMRT_Plain"});
  PXC_TImageProxy proxy;
  EXPECT_THROW(IMR_TCore(&plugins).FillImageProxy(proxy, WriteImrt(dir / "a.imrt", {Img("0")}),
                                                  PXC_FL_ALL_IMAGES, IMR_IT_ALL),
               IMR_EPluginFileNotRecognized);
  EXPECT_EQ(Stats().loopCalls.load(), 6);
  EXPECT_EQ(Count(log.Text(), "\n"), 1u) << log.Text();
  EXPECT_EQ(Count(log.Text(), "more than 5 times"), 1u) << log.Text();
}

// Runs and FindImage stop at the bound with one log entry each; exactly the
// bound is no overflow.
TEST(Bounds, ImagesOfOneFile) {
  TempDir dir;
  const ZQ_TURL url = UrlOf(dir / "many.imrt");
  const ZQ_TList plugins = Plugins({"IMRT_Plain"});
  const IMR_TCore core(&plugins);
  for (std::uint32_t images : {150u, 100u}) {
    SCOPED_TRACE(images);
    LogCapture log;
    WriteFile(url.Path().Std(), imrt::Write(std::vector<imrt::Image>(images, Img("0", 1))));
    PXC_TImageProxy proxy;
    core.FillImageProxy(proxy, url, PXC_FL_ALL_IMAGES, IMR_IT_ALL);
    EXPECT_EQ(proxy.Entries(), 100u);
    EXPECT_EQ(proxy.IndexOfSelected(), 0);
    int found = 0;
    EXPECT_FALSE(core.FindImage(url, &CountImage, &found, IMR_IT_ALL));
    EXPECT_EQ(found, 100);
    EXPECT_EQ(Count(log.Text(), url.Text().Std() + " yields more than 100 images"),
              images > 100 ? 2u : 0u)
        << log.Text();
  }
  // A core's own bound.
  LogCapture log;
  IMR_TCore bounded(&plugins);
  bounded.SetImageBound(7);
  PXC_TImageProxy proxy;
  bounded.FillImageProxy(proxy, url, PXC_FL_ALL_IMAGES, IMR_IT_ALL);
  EXPECT_EQ(proxy.Entries(), 7u);
  EXPECT_EQ(Count(log.Text(), "yields more than 7 images"), 1u) << log.Text();
}
