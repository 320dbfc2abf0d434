// From a URL to a described proxy: levels, selection, embedded images,
// related files, and files that cannot be read; then raising tickets and
// proxies to a higher level.
#include <sys/stat.h>
#include <unistd.h>

#include "core_test_support.h"

using namespace coretest;

namespace {

class Pipeline : public ModuleCountersTest {};

// IMR_EPluginCannotReadFile carries the buffer's exception, which names the file.
template <class BufferError>
void ExpectCannotRead(const ZQ_TURL& url, const char* reason, const std::function<void()>& call) {
  const IMR_EPluginCannotReadFile error = Raised<IMR_EPluginCannotReadFile>(call);
  const BufferError* cause = error.Data().DynamicCast<BufferError>();
  ASSERT_NE(cause, nullptr) << BufferError::ZQ_ClassName() << " expected, datum "
                            << error.Data().ToText();
  EXPECT_EQ(cause->Data().ToText(), url.Path());
  EXPECT_NE(cause->Text().Std().find(reason), std::string::npos) << cause->Text();
}

}  // namespace

TEST_F(Pipeline, LevelsAndTheSelectedImage) {
  // Below all images only image 0 is described.
  const ZQ_TURL url = Write("a.imrt", {Img("0", 1, 10, 10), Img("0", 3, 20, 20)});
  EXPECT_EQ(Describe(url, PXC_FL_FORMAT), "*IMRT:1:0");
  EXPECT_EQ(iProxy.TicketAt(0).FillLevel(), PXC_FL_FORMAT);
  EXPECT_EQ(iProxy.TicketAt(0).CreatorId(), "IMR_TCore");
  EXPECT_EQ(Describe(url, PXC_FL_GEOMETRY), "*IMRT:1:0:10x10");

  // All images: the first main image is selected, else the first image.
  EXPECT_EQ(Describe(Write("b.imrt", {Img("0", 1), Img("0", 2)})), "*IMRT:1:0 IMRT:2:1");
  const std::vector<imrt::Image> mix = {Img("0", 2), Img("5"), Img("7"), Img("2"), Img("4"), Img("0")};
  EXPECT_EQ(Describe(Write("mix.imrt", mix)), "IMRT:2:0 *IMRT:3:2 IMRT:3:3");

  // A proxy that held another file is replaced.
  const ZQ_TList plugins = Plugins({"IMRT_Plain"});
  IMR_TCore(&plugins).FillImageProxy(iProxy, Write("c.imrt", {Img("0", 4)}), PXC_FL_ALL_IMAGES,
                                     IMR_IT_ALL);
  EXPECT_EQ(Summary(iProxy), "*IMRT:4:0");
}

TEST_F(Pipeline, FilesThatNoPluginDescribesAreNotRecognised) {
  WriteFile(iDir / "other.bin", "not an IMRT file");
  for (const ZQ_TURL& url : {Write("1.imrt", {Img("1")}), UrlOf(iDir / "other.bin")}) {
    for (PXC_TFillLevel level : {PXC_FL_FORMAT, PXC_FL_ALL_IMAGES}) {
      const IMR_EPluginFileNotRecognized error =
          Raised<IMR_EPluginFileNotRecognized>([&] { Describe(url, level); });
      EXPECT_EQ(error.Text().Std(), "File " + url.Text().Std() + " not recognized");
    }
  }
}

// Embedded tickets carry facts of their own range (they were invalid) and
// no link to the proxy of the embedding file.
TEST_F(Pipeline, EmbeddedImagesNestedTwoDeepJoinTheProxyUnselected) {
  const std::string c = imrt::Write({Img("0", 3, 5, 5), Img("0", 3, 6, 6)});
  const std::string b = imrt::Write({Img("0", 3, 3, 3), Embedded(c, PXC_IT_PREVIEW), Img("5")});
  const std::vector<imrt::Image> a = {Img("0", 1, 1, 1), Embedded(b, PXC_IT_THUMBNAIL),
                                      Img("0", 3, 2, 2)};
  const ZQ_TURL url = Write("nested.imrt", a);
  // Main images of an embedded file take the type of the image that embeds it.
  EXPECT_EQ(Describe(url), "IMRT:1:0:1x1 IMRT:1:0:3x3 IMRT:2:0:5x5 IMRT:2:1:6x6 *IMRT:3:2:2x2");

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

TEST_F(Pipeline, EmbeddedDataSkippedUndescribableOrNestedTooDeep) {
  // Kinds not asked for are skipped.
  const ZQ_TURL url = Write("skip.imrt", {Img("0"), Embedded(imrt::Write({Img("0")}), PXC_IT_THUMBNAIL)});
  EXPECT_EQ(Describe(url, PXC_FL_ALL_IMAGES, Plugins({"IMRT_Plain"}), IMR_IT_MAIN), "*IMRT:3:0");
  EXPECT_EQ(Describe(url), "*IMRT:3:0 IMRT:1:0");

  // Data that cannot be described is logged and left out.
  LogCapture log;
  EXPECT_EQ(Describe(Write("bad.imrt", {Embedded("no IMRT here", 1), Img("0")})), "*IMRT:3:1");
  EXPECT_EQ(Count(log.Text(), "IMR_CORE: Cannot resolve image embed:"), 1u) << log.Text();

  // Twenty files, each the second image of the one around it: 16 levels are followed.
  std::string bytes = imrt::Write({Img("0")});
  for (int depth = 0; depth < 20; ++depth) bytes = imrt::Write({Img("0"), Embedded(bytes, 3)});
  WriteFile(iDir / "deep.imrt", bytes);
  Describe(UrlOf(iDir / "deep.imrt"));
  EXPECT_EQ(iProxy.Entries(), 17u);  // the file's own image and one per level followed
  EXPECT_EQ(Count(log.Text(), "nest deeper than 16 levels"), 1u) << log.Text();
}

// The tickets of a related file join the parent without a link to it, at
// every level, and every image keeps the related index.
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
  EXPECT_EQ(empty.TicketAt(0).GetImrLink(), nullptr);

  // Failures leave the parent as it was.
  EXPECT_THROW(core.AddToImageProxy(link, Write("no.imrt", {Img("1")}), PXC_FL_ALL_IMAGES, IMR_IT_ALL),
               IMR_EPluginFileNotRecognized);
  EXPECT_EQ(iProxy.Entries(), 4u);
  EXPECT_EQ(iProxy.URL(), parentURL);
  PXC_TImrLink orphan{0, nullptr, PXC_IT_MAIN};
  EXPECT_THROW(core.AddToImageProxy(orphan, related, PXC_FL_ALL_IMAGES, IMR_IT_ALL),
               IMR_EPluginParentProxyUndefined);
}

// Directories, FIFOs, and files that vanish, shrink or cannot be read.
TEST_F(Pipeline, FilesThatCannotBeRead) {
  auto describe = [this](const ZQ_TURL& url) { return [this, url] { Describe(url); }; };
  const ZQ_TURL dir = UrlOf(iDir.Path());
  ExpectCannotRead<PXC_EBufferCannotOpenFile>(dir, "it is a directory", describe(dir));
  const ZQ_TURL fifo = UrlOf(iDir / "fifo");
  ASSERT_EQ(::mkfifo(fifo.Path().Narrow(), 0600), 0);
  ExpectCannotRead<PXC_EBufferCannotOpenFile>(fifo, "not a regular file", describe(fifo));

  const ZQ_TURL url = Write("v.imrt", {Img("0"), Img("0")});
  Describe(url);
  ASSERT_EQ(::unlink(url.Path().Narrow()), 0);
  ExpectCannotRead<PXC_EBufferCannotOpenFile>(url, "No such file", describe(url));
  // Cut inside the header: still readable, no longer IMRT.
  WriteFile(url.Path().Std(), imrt::Write({Img("0"), Img("0")}));
  Describe(url);
  ASSERT_EQ(::truncate(url.Path().Narrow(), 10), 0);
  EXPECT_THROW(Describe(url), IMR_EPluginFileNotRecognized);
  ASSERT_EQ(::truncate(url.Path().Narrow(), 0), 0);
  ExpectCannotRead<PXC_EBufferEmptyFile>(url, "is empty", describe(url));

  // Root reads any file: the check runs in a child without privileges.
  const ZQ_TURL locked = Write("locked.imrt", {Img("0")});
  ASSERT_EQ(::chmod(locked.Path().Narrow(), 0), 0);
  ASSERT_EQ(::chmod(iDir.Path().c_str(), 0755), 0);
  EXPECT_EXIT(
      {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) std::_Exit(2);
        ExpectCannotRead<PXC_EBufferCannotOpenFile>(locked, "Permission denied", describe(locked));
        std::_Exit(::testing::Test::HasFailure() ? 3 : 0);
      },
      ::testing::ExitedWithCode(0), "");
}

// ---------------------------------------------------------------------------
// Updates: a ticket is described again from its file, at its own position,
// with the file's facts as they are now.

TEST_F(Pipeline, UpdateRaisesATicketLevelByLevel) {
  const ZQ_TURL url = Write("a.imrt", {WithRefs(Img("0", 3, 10, 20), {"dep.imrt"})});
  Describe(url, PXC_FL_FORMAT, Plugins({"IMR_TPluginUnknown", "IMRT_Plain", "IMRT_Fallback"}));
  PXC_TImageTicket ticket = iProxy.TicketAt(0);
  // The plugin that described it is kept at the head of the ticket's list.
  EXPECT_EQ(ticket.Internal(ZQ_TString("imr_plugins")),
            ZQ_TAny(Plugins({"IMRT_Plain", "IMRT_Fallback"})));
  IMR_TCore::UpdateImageTicket(ticket, PXC_FL_GEOMETRY);
  EXPECT_EQ(TicketSummary(ticket), "IMRT:3:0:10x20");
  EXPECT_EQ(ticket.FillLevel(), PXC_FL_GEOMETRY);
  EXPECT_EQ(ticket.ExtendedInfo().ValueOfKey("detail"), nullptr);
  IMR_TCore::UpdateImageTicket(ticket, PXC_FL_DETAILS);
  EXPECT_NE(ticket.ExtendedInfo().ValueOfKey("detail"), nullptr);
  EXPECT_TRUE(ticket.ExternalRefs().IsEmpty());
  IMR_TCore::UpdateImageTicket(ticket, PXC_FL_DEPENDENCIES);
  EXPECT_EQ(ticket.ExternalRefs(), ZQ_TList({ZQ_TAny("dep.imrt")}));

  // A valid ticket already at the level asks no plugin.
  int calls = Stats().calls.load();
  IMR_TCore::UpdateImageTicket(ticket, PXC_FL_GEOMETRY);
  EXPECT_EQ(Stats().calls.load(), calls);
  EXPECT_EQ(ticket.FillLevel(), PXC_FL_DEPENDENCIES);

  // A changed file is described again, and the ticket is valid afterwards.
  Write("a.imrt", {Img("0", 3, 9, 9), Img("0")});
  SetModified(url.Path().Std(), 2000000);
  ASSERT_FALSE(ticket.IsTicketValid());
  IMR_TCore::UpdateImageTicket(ticket, PXC_FL_GEOMETRY);
  EXPECT_EQ(TicketSummary(ticket), "IMRT:3:0:9x9");
  EXPECT_TRUE(ticket.IsTicketValid());

  // A file of another format: the ticket stays as it was.
  WriteFile(url.Path().Std(), "something else");
  SetModified(url.Path().Std(), 3000000);
  const PXC_TImageTicket before = ticket;
  EXPECT_THROW(IMR_TCore::UpdateImageTicket(ticket, PXC_FL_DETAILS), IMR_EPluginCannotUpdateTicket);
  EXPECT_EQ(ticket, before);
}

// Every ticket keeps its position and an embedded one its range; a failed
// update leaves no ticket tied to the proxy.
TEST_F(Pipeline, UpdateRaisesAProxyWholeAndInternalImageFollowsRanges) {
  const std::string inner = imrt::Write({Img("0", 3, 3, 3)});
  const ZQ_TURL url = Write("a.imrt", {Img("0", 1, 1, 1), Embedded(inner, 2), Img("0", 3)});
  ASSERT_EQ(Describe(url), "IMRT:1:0:1x1 IMRT:2:0:3x3 *IMRT:3:2");
  const ZQ_TURL range = iProxy.TicketAt(1).File();
  ASSERT_TRUE(range.IsEmbed());
  IMR_TCore::UpdateImageProxy(iProxy, PXC_FL_DEPENDENCIES);
  EXPECT_EQ(Summary(iProxy), "IMRT:1:0:1x1 IMRT:2:0:3x3 *IMRT:3:2");
  EXPECT_EQ(iProxy.TicketAt(1).File(), range);
  for (std::uint32_t i = 0; i < iProxy.Entries(); ++i) {
    EXPECT_EQ(iProxy.TicketAt(i).FillLevel(), PXC_FL_DEPENDENCIES) << i;
    EXPECT_EQ(iProxy.TicketAt(i).GetImrLink(), nullptr) << i;
    EXPECT_TRUE(iProxy.TicketAt(i).IsTicketValid()) << i;
  }

  // InternalImage describes another image of the ticket's file.
  PXC_TImageTicket ticket = iProxy.TicketAt(0);
  IMR_TCore::InternalImage(ticket, 2, PXC_FL_GEOMETRY);
  EXPECT_EQ(TicketSummary(ticket), "IMRT:3:2");
  EXPECT_EQ(ticket.ImagePosition(), 2);
  IMR_TCore::InternalImage(ticket, 1, PXC_FL_GEOMETRY);
  EXPECT_EQ(ticket.File(), range);
  EXPECT_EQ(ticket.NrColumns(), 3u);
  EXPECT_EQ(ticket.FillLevel(), PXC_FL_GEOMETRY);
  // Embedded data that nothing describes is no image of the file.
  const ZQ_TURL broken = Write("b.imrt", {Img("0"), Embedded("no IMRT", 1)});
  PXC_TImageTicket outer = ticket;
  IMR_TCore::InternalImage(outer, 0, PXC_FL_FORMAT);
  EXPECT_THROW(IMR_TCore::InternalImage(outer, 1, PXC_FL_GEOMETRY), IMR_EPluginCannotUpdateTicket);

  ASSERT_EQ(::unlink(url.Path().Narrow()), 0);
  EXPECT_THROW(IMR_TCore::UpdateImageProxy(iProxy, PXC_FL_DEPENDENCIES), IMR_EPluginCannotReadFile);
  EXPECT_EQ(Summary(iProxy), "IMRT:1:0:1x1 IMRT:2:0:3x3 *IMRT:3:2");
  for (std::uint32_t i = 0; i < iProxy.Entries(); ++i) {
    EXPECT_EQ(iProxy.TicketAt(i).GetImrLink(), nullptr) << i;
  }
}

// Images past the 255 that a ticket's position holds are raised as
// themselves.
TEST_F(Pipeline, UpdateFindsImagesPastTheEightBitPosition) {
  std::vector<imrt::Image> images;
  for (unsigned i = 0; i < 300; ++i) images.push_back(Img("0", 3, i + 1, 1));
  const ZQ_TURL url = Write("many.imrt", images);
  Describe(url);
  ASSERT_EQ(iProxy.Entries(), 300u);
  IMR_TCore::UpdateImageProxy(iProxy, PXC_FL_DEPENDENCIES);
  for (std::uint32_t i = 0; i < iProxy.Entries(); ++i) EXPECT_EQ(iProxy.TicketAt(i).NrColumns(), i + 1);
  PXC_TImageTicket ticket = iProxy.TicketAt(0);
  IMR_TCore::InternalImage(ticket, 280, PXC_FL_GEOMETRY);
  EXPECT_EQ(ticket.NrColumns(), 281u);
  IMR_TCore::InternalImage(ticket, 24, PXC_FL_GEOMETRY);
  EXPECT_EQ(ticket.NrColumns(), 25u);
}
