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

TEST(Bounds, RestartsOfOneImage) {
  Stats().Reset();
  LogCapture log;
  TempDir dir;
  const ZQ_TURL url = WriteImrt(dir / "a.imrt", {Img("0")});
  PXC_TImageTicket ticket = TestCore::Ticket(url, Plugins({"IMRT_Loop", "IMRT_Plain"}));
  IMR_IContextPlugin* context = nullptr;
  bool cacheable = true;
  EXPECT_FALSE(TestCore::Fill(ticket, PXC_FL_FORMAT, 0, context, cacheable));
  EXPECT_EQ(Stats().loopCalls.load(), 6);
  EXPECT_EQ(Count(log.Text(), "\n"), 1u) << log.Text();
  EXPECT_EQ(Count(log.Text(), "more than 5 times"), 1u) << log.Text();

  // In a run, the image is given up and so are the rest.
  const ZQ_TList plugins = Plugins({"IMRT_Loop"});
  PXC_TImageProxy proxy;
  EXPECT_THROW(IMR_TCore(&plugins).FillImageProxy(proxy, url, PXC_FL_ALL_IMAGES, IMR_IT_ALL),
               IMR_EPluginFileNotRecognized);
}

TEST(Bounds, ImagesOfOneFile) {
  LogCapture log;
  TempDir dir;
  const ZQ_TURL url = ZQ_TURL::FromPath(ZQ_TString(dir / "many.imrt"));
  WriteFile(url.Path().Std(), imrt::WriteShared(150, Img("0", 1)));
  const ZQ_TList plugins = Plugins({"IMRT_Plain"});
  const IMR_TCore core(&plugins);
  PXC_TImageProxy proxy;
  core.FillImageProxy(proxy, url, PXC_FL_ALL_IMAGES, IMR_IT_ALL);
  EXPECT_EQ(proxy.Entries(), 100u);
  EXPECT_EQ(proxy.IndexOfSelected(), 0);
  EXPECT_EQ(Count(log.Text(), url.Text().Std() + " yields more than 100 images"), 1u) << log.Text();

  int found = 0;
  EXPECT_FALSE(core.FindImage(url, &CountImage, &found, IMR_IT_ALL));
  EXPECT_EQ(found, 100);
  EXPECT_EQ(Count(log.Text(), url.Text().Std() + " yields more than 100 images"), 2u) << log.Text();

  WriteFile(url.Path().Std(), imrt::WriteShared(100, Img("0", 1)));
  core.FillImageProxy(proxy, url, PXC_FL_ALL_IMAGES, IMR_IT_ALL);
  EXPECT_EQ(proxy.Entries(), 100u);
  found = 0;
  EXPECT_FALSE(core.FindImage(url, &CountImage, &found, IMR_IT_ALL));
  EXPECT_EQ(found, 100);
  EXPECT_EQ(Count(log.Text(), " yields more than"), 2u) << "exactly the bound is no overflow";
}
