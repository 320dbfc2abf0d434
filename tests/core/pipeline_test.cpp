// From a URL to a described proxy: levels, selection, context plugins over a
// container, embedded images, related files, and files that cannot be read.
#include <sys/stat.h>
#include <unistd.h>

#include "core_test_support.h"

using namespace coretest;

namespace {

class Pipeline : public ModuleCountersTest {
 protected:
  ZQ_TURL Write(const std::string& name, const std::vector<imrt::Image>& images) {
    return WriteImrt(iDir / name, images);
  }
  std::string Describe(const ZQ_TURL& url, PXC_TFillLevel level = PXC_FL_ALL_IMAGES,
                       const ZQ_TList& plugins = Plugins({"IMRT_Plain"}),
                       IMR_TImageTypes types = IMR_IT_ALL) {
    const IMR_TCore core(&plugins);
    iProxy = PXC_TImageProxy();
    const ZQ_TListKey* key = core.FillImageProxy(iProxy, url, level, types);
    EXPECT_EQ(key, iProxy.SelectedKey());
    EXPECT_EQ(iProxy.URL(), url);
    return Summary(iProxy);
  }

  TempDir iDir;
  PXC_TImageProxy iProxy;
};

}  // namespace

TEST_F(Pipeline, BelowAllImagesOnlyImageZeroIsDescribed) {
  const ZQ_TURL url = Write("a.imrt", {Img("0", 1, 10, 10), Img("0", 3, 20, 20)});
  EXPECT_EQ(Describe(url, PXC_FL_FORMAT), "*IMRT:1:0");
  EXPECT_EQ(iProxy.TicketAt(0).FillLevel(), PXC_FL_FORMAT);
  EXPECT_EQ(iProxy.TicketAt(0).CreatorId(), "IMR_TCore");
  EXPECT_EQ(Describe(url, PXC_FL_GEOMETRY), "*IMRT:1:0:10x10");
}

TEST_F(Pipeline, AllImagesAreDescribedAndTheFirstMainImageIsSelected) {
  EXPECT_EQ(Describe(Write("a.imrt", {Img("0", 1), Img("0", 3, 2, 2), Img("0", 3)})),
            "IMRT:1:0 *IMRT:3:1:2x2 IMRT:3:2");
  EXPECT_EQ(Describe(Write("b.imrt", {Img("0", 1), Img("0", 2)})), "*IMRT:1:0 IMRT:2:1");
  const std::vector<imrt::Image> mix = {Img("0", 2), Img("5"), Img("7"), Img("2"), Img("4"), Img("0")};
  const ZQ_TURL url = Write("mix.imrt", mix);
  EXPECT_EQ(Describe(url), "IMRT:2:0 *IMRT:3:2 IMRT:3:3");
  EXPECT_EQ(Describe(url), ExpectedSummary(imrt::Write(mix)));

  // A proxy that held another file is replaced.
  const ZQ_TList plugins = Plugins({"IMRT_Plain"});
  const IMR_TCore core(&plugins);
  core.FillImageProxy(iProxy, Write("c.imrt", {Img("0", 4)}), PXC_FL_ALL_IMAGES, IMR_IT_ALL);
  EXPECT_EQ(Summary(iProxy), "*IMRT:4:0");
}

TEST_F(Pipeline, FilesThatNoPluginDescribesAreNotRecognised) {
  LogCapture log;
  const ZQ_TURL other = ZQ_TURL::FromPath(ZQ_TString(iDir / "other.bin"));
  WriteFile(other.Path().Std(), "not an IMRT file");
  for (const ZQ_TURL& url : {Write("1.imrt", {Img("1")}), Write("4.imrt", {Img("4")}),
                             Write("t.imrt", {Img("throw")}), other}) {
    for (PXC_TFillLevel level : {PXC_FL_FORMAT, PXC_FL_ALL_IMAGES}) {
      const IMR_EPluginFileNotRecognized error =
          Raised<IMR_EPluginFileNotRecognized>([&] { Describe(url, level); });
      EXPECT_EQ(error.Text().Std(), "File " + url.Text().Std() + " not recognized");
    }
  }
}

TEST_F(Pipeline, AContextPluginDescribesAMultiImageContainer) {
  const std::vector<imrt::Image> images = {Img("0", 1, 1, 1), Img("0", 3, 2, 2), Img("7", 3),
                                           Img("0", 2)};
  const ZQ_TURL url = Write("ctx.imrt", images);
  EXPECT_EQ(Describe(url, PXC_FL_ALL_IMAGES, Plugins({"IMRT_Context"})),
            ExpectedSummary(imrt::Write(images)));
  EXPECT_EQ(Stats().contextsCreated.load(), 1);
  const long serial = Extended(iProxy.TicketAt(0), "context");
  for (std::uint32_t i = 0; i < iProxy.Entries(); ++i) {
    EXPECT_EQ(Extended(iProxy.TicketAt(i), "context"), serial);
  }

  // A restart deletes the context; the next image makes a new one.
  Stats().Reset();
  Describe(Write("restart.imrt", {Img("0"), Img("3"), Img("0")}), PXC_FL_ALL_IMAGES,
           Plugins({"IMRT_Context"}));
  EXPECT_EQ(Summary(iProxy), "*IMRT:3:0 FALLBACK:3:1 IMRT:3:2");
  EXPECT_EQ(Stats().contextsCreated.load(), 2);
  EXPECT_NE(Extended(iProxy.TicketAt(2), "context"), Extended(iProxy.TicketAt(0), "context"));

  // A failure ends the images; what was described stays.
  LogCapture log;
  Describe(Write("fail.imrt", {Img("0"), Img("0"), Img("throw"), Img("0")}), PXC_FL_ALL_IMAGES,
           Plugins({"IMRT_Context"}));
  EXPECT_EQ(Summary(iProxy), "*IMRT:3:0 IMRT:3:1");
  EXPECT_EQ(Count(log.Text(), "IMRT image 2 is corrupt"), 1u) << log.Text();
}

TEST_F(Pipeline, EmbeddedImagesNestedTwoDeepJoinTheProxyUnselected) {
  const std::string c = imrt::Write({Img("0", 3, 5, 5), Img("0", 3, 6, 6)});
  const std::string b = imrt::Write({Img("0", 3, 3, 3), Embedded(c, PXC_IT_PREVIEW), Img("5")});
  const std::vector<imrt::Image> a = {Img("0", 1, 1, 1), Embedded(b, PXC_IT_THUMBNAIL),
                                      Img("0", 3, 2, 2)};
  const ZQ_TURL url = Write("nested.imrt", a);
  // Main images of an embedded file take the type of the image that embeds it.
  EXPECT_EQ(Describe(url), "IMRT:1:0:1x1 IMRT:1:0:3x3 IMRT:2:0:5x5 IMRT:2:1:6x6 *IMRT:3:2:2x2");
  EXPECT_EQ(Summary(iProxy), ExpectedSummary(imrt::Write(a)));

  const std::string bytes = ReadFile(url.Path().Std());
  const ZQ_TURL& inB = iProxy.TicketAt(1).File();
  const ZQ_TURL& inC = iProxy.TicketAt(2).File();
  ASSERT_TRUE(inB.IsEmbed() && inC.IsEmbed());
  EXPECT_EQ(bytes.substr(inB.EmbedOffset(), inB.EmbedLength()), b);
  EXPECT_EQ(bytes.substr(inC.EmbedOffset(), inC.EmbedLength()), c);
  EXPECT_EQ(inC.Root(), url);
  EXPECT_EQ(iProxy.TicketAt(3).File(), inC);
  for (std::uint32_t i = 0; i < iProxy.Entries(); ++i) {
    EXPECT_TRUE(iProxy.TicketAt(i).IsTicketValid()) << i;
    EXPECT_EQ(iProxy.TicketAt(i).GetImrLink(), nullptr) << i;
    EXPECT_EQ(iProxy.TicketAt(i).FillLevel(), PXC_FL_ALL_IMAGES) << i;
  }
  SetModified(url.Path().Std(), 1000000);
  for (std::uint32_t i = 0; i < iProxy.Entries(); ++i) EXPECT_FALSE(iProxy.TicketAt(i).IsTicketValid());
}

TEST_F(Pipeline, EmbeddedImagesOfKindsNotAskedForAreSkipped) {
  const ZQ_TURL url = Write("skip.imrt", {Img("0"), Embedded(imrt::Write({Img("0")}), PXC_IT_THUMBNAIL)});
  EXPECT_EQ(Describe(url, PXC_FL_ALL_IMAGES, Plugins({"IMRT_Plain"}), IMR_IT_MAIN), "*IMRT:3:0");
  EXPECT_EQ(Describe(url, PXC_FL_ALL_IMAGES, Plugins({"IMRT_Plain"}), IMR_IT_ALL),
            "*IMRT:3:0 IMRT:1:0");
}

TEST_F(Pipeline, EmbeddedDataThatCannotBeDescribedIsLoggedAndLeftOut) {
  LogCapture log;
  const ZQ_TURL url = Write("bad.imrt", {Embedded("no IMRT here", 1), Img("0")});
  EXPECT_EQ(Describe(url), "*IMRT:3:1");
  EXPECT_EQ(Count(log.Text(), "IMR_CORE: Cannot resolve image embed:"), 1u) << log.Text();
}

TEST_F(Pipeline, EmbeddingIsFollowedSixteenDeep) {
  // Twenty files, each the second image of the one around it.
  std::string bytes = imrt::Write({Img("0")});
  for (int depth = 0; depth < 20; ++depth) bytes = imrt::Write({Img("0"), Embedded(bytes, 3)});
  const ZQ_TURL url = ZQ_TURL::FromPath(ZQ_TString(iDir / "deep.imrt"));
  WriteFile(url.Path().Std(), bytes);
  LogCapture log;
  Describe(url);
  EXPECT_EQ(iProxy.Entries(), 17u);  // the file's own image and one per level followed
  EXPECT_EQ(Count(log.Text(), "nest deeper than 16 levels"), 1u) << log.Text();
}

TEST_F(Pipeline, RelatedFilesJoinTheParentProxy) {
  const ZQ_TURL parentURL = Write("p.imrt", {Img("0", 3), Img("0", 1)});
  Describe(parentURL);
  const ZQ_TListKey selected = *iProxy.SelectedKey();
  const ZQ_TURL related = Write("q.imrt", {Img("0", 3, 7, 7), Img("0", 3, 8, 8)});
  const ZQ_TList plugins = Plugins({"IMRT_Plain"});
  const IMR_TCore core(&plugins);

  PXC_TImrLink link{0, &iProxy, PXC_IT_PREVIEW};
  const ZQ_TListKey first = core.AddToImageProxy(link, related, PXC_FL_ALL_IMAGES, IMR_IT_ALL);
  EXPECT_EQ(Summary(iProxy), "*IMRT:3:0 IMRT:1:1 IMRT:2:0:7x7@0 IMRT:2:1:8x8@0");
  EXPECT_EQ(first, iProxy.Tickets().KeyAt(2));
  EXPECT_EQ(*iProxy.SelectedKey(), selected);
  EXPECT_EQ(iProxy.URL(), parentURL);
  for (std::uint32_t i = 0; i < iProxy.Entries(); ++i) EXPECT_EQ(iProxy.TicketAt(i).GetImrLink(), nullptr);

  // Below all images only image 0 joins; into an empty proxy it is selected.
  PXC_TImageProxy empty;
  PXC_TImrLink toEmpty{-1, &empty, PXC_IT_MAIN};
  core.AddToImageProxy(toEmpty, related, PXC_FL_FORMAT, IMR_IT_ALL);
  EXPECT_EQ(Summary(empty), "*IMRT:3:0");

  // Failures leave the parent as it was.
  EXPECT_THROW(core.AddToImageProxy(link, Write("no.imrt", {Img("1")}), PXC_FL_ALL_IMAGES, IMR_IT_ALL),
               IMR_EPluginFileNotRecognized);
  EXPECT_EQ(iProxy.Entries(), 4u);
  EXPECT_EQ(iProxy.URL(), parentURL);
  PXC_TImrLink orphan{0, nullptr, PXC_IT_MAIN};
  EXPECT_THROW(core.AddToImageProxy(orphan, related, PXC_FL_ALL_IMAGES, IMR_IT_ALL),
               IMR_EPluginParentProxyUndefined);
}

// ---------------------------------------------------------------------------
// Files that cannot be read: IMR_EPluginCannotReadFile carries the buffer's
// exception, which names the file.

namespace {

template <class BufferError>
void ExpectCannotRead(const IMR_TCore& core, const ZQ_TURL& url, const char* reason) {
  PXC_TImageProxy proxy;
  const IMR_EPluginCannotReadFile error = Raised<IMR_EPluginCannotReadFile>(
      [&] { core.FillImageProxy(proxy, url, PXC_FL_ALL_IMAGES, IMR_IT_ALL); });
  const BufferError* cause = error.Data().DynamicCast<BufferError>();
  ASSERT_NE(cause, nullptr) << BufferError::ZQ_ClassName() << " expected, datum "
                            << error.Data().ToText();
  EXPECT_EQ(cause->Data().ToText(), url.Path());
  EXPECT_NE(cause->Text().Std().find(reason), std::string::npos) << cause->Text();
}

}  // namespace

TEST_F(Pipeline, FilesThatCannotBeReadGiveCannotReadFile) {
  const ZQ_TList plugins = Plugins({"IMRT_Plain"});
  const IMR_TCore core(&plugins);
  const ZQ_TURL missing = ZQ_TURL::FromPath(ZQ_TString(iDir / "missing.imrt"));
  ExpectCannotRead<PXC_EBufferCannotOpenFile>(core, missing, "No such file");
  ExpectCannotRead<PXC_EBufferCannotOpenFile>(core, ZQ_TURL::FromPath(ZQ_TString(iDir.Path())),
                                              "it is a directory");
  const ZQ_TURL empty = ZQ_TURL::FromPath(ZQ_TString(iDir / "empty.imrt"));
  WriteFile(empty.Path().Std(), "");
  ExpectCannotRead<PXC_EBufferEmptyFile>(core, empty, "is empty");
  const ZQ_TURL fifo = ZQ_TURL::FromPath(ZQ_TString(iDir / "fifo"));
  ASSERT_EQ(::mkfifo(fifo.Path().Narrow(), 0600), 0);
  ExpectCannotRead<PXC_EBufferCannotOpenFile>(core, fifo, "not a regular file");
}

TEST_F(Pipeline, FilesThatVanishOrShrinkBetweenCalls) {
  const ZQ_TList plugins = Plugins({"IMRT_Plain"});
  const IMR_TCore core(&plugins);
  const ZQ_TURL url = Write("v.imrt", {Img("0"), Img("0")});
  PXC_TImageProxy proxy;
  core.FillImageProxy(proxy, url, PXC_FL_ALL_IMAGES, IMR_IT_ALL);
  ASSERT_EQ(::unlink(url.Path().Narrow()), 0);
  ExpectCannotRead<PXC_EBufferCannotOpenFile>(core, url, "No such file");

  // Cut inside the header: still readable, no longer IMRT.
  WriteFile(url.Path().Std(), imrt::Write({Img("0"), Img("0")}));
  core.FillImageProxy(proxy, url, PXC_FL_ALL_IMAGES, IMR_IT_ALL);
  ASSERT_EQ(::truncate(url.Path().Narrow(), 10), 0);
  const IMR_EPluginFileNotRecognized error = Raised<IMR_EPluginFileNotRecognized>(
      [&] { core.FillImageProxy(proxy, url, PXC_FL_ALL_IMAGES, IMR_IT_ALL); });
  EXPECT_EQ(error.Text().Std(), "File " + url.Text().Std() + " not recognized");
  ASSERT_EQ(::truncate(url.Path().Narrow(), 0), 0);
  ExpectCannotRead<PXC_EBufferEmptyFile>(core, url, "is empty");
}

TEST_F(Pipeline, UnreadableFilesGiveCannotReadFile) {
  const ZQ_TURL url = Write("locked.imrt", {Img("0")});
  ASSERT_EQ(::chmod(url.Path().Narrow(), 0), 0);
  ASSERT_EQ(::chmod(iDir.Path().c_str(), 0755), 0);
  // Root reads any file: the check runs in a child without privileges.
  EXPECT_EXIT(
      {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) std::_Exit(2);
        const ZQ_TList plugins = Plugins({"IMRT_Plain"});
        const IMR_TCore core(&plugins);
        PXC_TImageProxy proxy;
        try {
          core.FillImageProxy(proxy, url, PXC_FL_ALL_IMAGES, IMR_IT_ALL);
        } catch (const IMR_EPluginCannotReadFile& error) {
          const PXC_EBufferCannotOpenFile* cause = error.Data().DynamicCast<PXC_EBufferCannotOpenFile>();
          std::_Exit(cause && cause->Data().ToText() == url.Path() &&
                             cause->Text().Std().find("Permission denied") != std::string::npos
                         ? 0
                         : 3);
        } catch (...) {
          std::_Exit(4);
        }
        std::_Exit(5);
      },
      ::testing::ExitedWithCode(0), "");
}
