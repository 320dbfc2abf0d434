// The format plugin adapter: readers turned into plugins, driven directly and
// through a core with the default plugin list (the magic plugin first) over
// real temporary files, the modules found through IMR_PLUGIN_PATH.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/imr_core.h"
#include "formats/common/format_plugin.h"
#include "tests/formats/pipeline_test_support.h"
#include "tests/formats/reader_test_support.h"
#include "tests/support/test_support.h"

namespace imr::formats {
namespace {

using test::ReadFile;
using testsupport::WriteFile;

std::string Sample(const std::string& relative) { return ReadFile(IMR_TEST_DATA "/" + relative); }

class FormatPluginTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::StartPipeline(); }

  // The proxy the default core fills for `path`.
  static PXC_TImageProxy Describe(const std::string& path, PXC_TFillLevel level,
                                  IMR_TImageTypes types = IMR_IT_ALL) {
    PXC_TImageProxy proxy;
    const IMR_TCore core;
    core.FillImageProxy(proxy, ZQ_TURL::FromPath(ZQ_TString(path)), level, types);
    return proxy;
  }
  std::string Log() const { return iLog.Text(); }

  const testsupport::TempDir iFolder;
  const testsupport::LogCapture iLog{iFolder};
};

TEST_F(FormatPluginTest, MultiPageTiffGivesOneTicketPerPageWithImageZerosFormat) {
  const std::string file = iFolder / "pages.tif";
  WriteFile(file, Sample("formats/tiff/pages.tif"));
  const PXC_TImageProxy proxy = Describe(file, PXC_FL_ALL_IMAGES);
  ASSERT_EQ(proxy.Entries(), 3u);
  for (std::uint32_t i = 0; i < 3; ++i) {
    const PXC_TImageTicket& page = proxy.TicketAt(i);
    SCOPED_TRACE(i);
    EXPECT_EQ(page.FileFormat().Std(), "TIFF");  // image 0's, though no magic entry saw the others
    EXPECT_EQ(page.NrColumns(), i == 2 ? 30u : i == 1 ? 20u : 48u);
    EXPECT_EQ(page.ImageType(), i == 0 ? PXC_IT_MAIN : PXC_IT_PAGE);
    EXPECT_EQ(page.File().Path().Std(), file);
  }
  EXPECT_EQ(proxy.IndexOfSelected(), 0);
  EXPECT_EQ(Log(), "");
}

TEST_F(FormatPluginTest, ExifThumbnailIsAnEmbeddedImageThatIsNeverSelected) {
  const std::string file = iFolder / "flir.jpg";
  WriteFile(file, ReadFile(IMR_CORPUS_DIR "/FLIR.jpg"));  // a real 2314-byte JPEG thumbnail
  PXC_TImageProxy proxy = Describe(file, PXC_FL_DETAILS);
  ASSERT_EQ(proxy.Entries(), 2u);
  const PXC_TImageTicket& main = proxy.TicketAt(0);
  const PXC_TImageTicket& thumbnail = proxy.TicketAt(1);
  EXPECT_EQ(main.ImageType(), PXC_IT_MAIN);
  EXPECT_FALSE(main.File().IsEmbed());
  EXPECT_EQ(thumbnail.ImageType(), PXC_IT_THUMBNAIL);
  ASSERT_TRUE(thumbnail.File().IsEmbed());
  EXPECT_EQ(thumbnail.File().EmbedLength(), 2314u);
  const std::string bytes = ReadFile(file);
  ASSERT_LT(thumbnail.File().EmbedOffset() + 2, bytes.size());
  EXPECT_EQ(bytes.substr(thumbnail.File().EmbedOffset(), 3), "\xFF\xD8\xFF");
  EXPECT_GT(thumbnail.NrColumns(), 0u);
  EXPECT_EQ(proxy.IndexOfSelected(), 0);
  // Not asked for: skipped.
  EXPECT_EQ(Describe(file, PXC_FL_DETAILS, IMR_IT_MAIN).Entries(), 1u);
  EXPECT_EQ(Log(), "");
}

TEST_F(FormatPluginTest, DamagedHeadersKeepTheMagicEntrysFormatAndNothingElse) {
  struct Case {
    const char* name;
    std::string bytes;
    const char* format;
  } cases[] = {
      {"cut.png", Sample("formats/web/anim.png").substr(0, 14), "PNG"},
      {"cut.tif", std::string("II*\0\x40\0\0\0", 8), "TIFF"},
      {"cut.psd", Sample("formats/layered/rgb8.psd").substr(0, 16), "PSD"},
      {"cut.gif", "GIF89a", "GIF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = iFolder / c.name;
    WriteFile(file, c.bytes);
    for (PXC_TFillLevel level : {PXC_FL_FORMAT, PXC_FL_DEPENDENCIES}) {
      const PXC_TImageProxy proxy = Describe(file, level);
      ASSERT_EQ(proxy.Entries(), 1u) << level;
      const PXC_TImageTicket& ticket = proxy.TicketAt(0);
      EXPECT_EQ(ticket.FileFormat().Std(), c.format);
      EXPECT_EQ(ticket.FillLevel(), level);
      EXPECT_EQ(ticket.NrColumns(), 0u);
      // nothing but why the format plugin declined, when it was asked and said
      const bool refused = ticket.ExtendedInfo().ValueOfKey(IMR_kRefusalKey) != nullptr;
      EXPECT_EQ(ticket.ExtendedInfo().Entries(), refused ? 1u : 0u);
      EXPECT_TRUE(!refused || level > PXC_FL_FORMAT);
      EXPECT_EQ(ticket.ExternalRefs().Entries(), 0u);
    }
  }
}

TEST_F(FormatPluginTest, EachLevelFillsWhatItPromises) {
  // A DCS 1.0 composite naming four plate files beside it.
  const std::string file = iFolder / "dcs.eps";
  WriteFile(file, "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 40 30\n%%Title: (composite)\n"
                  "%%CyanPlate: (plate.C)\n%%MagentaPlate: (plate.M)\n%%YellowPlate: (plate.Y)\n"
                  "%%BlackPlate: (plate.K)\n%%EndComments\n");
  for (const char* plate : {"plate.C", "plate.M", "plate.Y", "plate.K"}) {
    WriteFile(iFolder / plate, "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 40 30\n%%EndComments\n");
  }

  // 2: format and kind only
  PXC_TImageProxy proxy = Describe(file, PXC_FL_FORMAT);
  ASSERT_EQ(proxy.Entries(), 1u);
  EXPECT_EQ(proxy.TicketAt(0).FileFormat().Std(), "DCS");  // the magic entry's
  EXPECT_EQ(proxy.TicketAt(0).NrColumns(), 0u);

  // 3: geometry, no details, no references
  proxy = Describe(file, PXC_FL_GEOMETRY);
  const PXC_TImageTicket* t = proxy.Selected();
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->FileFormat().Std(), "DCS");
  EXPECT_EQ(t->NrColumns(), 40u);
  EXPECT_EQ(t->ChannelEncoding(), PXC_CE_CMYK);
  EXPECT_EQ(t->ExtendedInfo().Entries(), 0u);
  EXPECT_EQ(t->ExternalRefs().Entries(), 0u);

  // 5: details too, still no references
  proxy = Describe(file, PXC_FL_DETAILS);
  t = proxy.Selected();
  ASSERT_NE(t, nullptr);
  const ZQ_TAny* title = t->ExtendedInfo().ValueOfKey(ZQ_TString("Title"));
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->DynamicCast<ZQ_TString>()->Std(), "composite");
  EXPECT_NE(t->ExtendedInfo().ValueOfKey(ZQ_TString("InkNames")), nullptr);
  EXPECT_EQ(t->ExternalRefs().Entries(), 0u);

  // 6: the plate files
  proxy = Describe(file, PXC_FL_DEPENDENCIES);
  t = proxy.Selected();
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->ExternalRefs().Entries(), 4u);
  ZQ_TList plates;
  ASSERT_TRUE(t->Dependencies(plates, true, true));
  EXPECT_EQ(plates.Entries(), 4u);  // which the core's identity then covers
}

// A reader counting how often it is opened, over three images.
int gOpens = 0;
class CountingReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    ++gOpens;
    iImages.assign(3, ImageDescription{});
    iImages[0].format = source.Size() > 4 ? "LONG" : "";
    iImages[1].type = iImages[2].type = PXC_IT_PAGE;
    return true;
  }
};
std::unique_ptr<FormatReader> MakeCountingReader() { return std::make_unique<CountingReader>(); }

TEST_F(FormatPluginTest, AContextOpensTheReaderOnceForAllImages) {
  ReaderPlugin plugin(ZQ_TString(), "COUNT", &MakeCountingReader);
  const PXC_TBuffer buffer("bytes", 5, ZQ_TURL::FromPath(ZQ_TString("/nowhere/file")));
  const ZQ_TList plugins;
  gOpens = 0;
  std::unique_ptr<IMR_IContextPlugin> context(
      plugin.CreateContextPlugin(buffer.URL(), &buffer, PXC_FL_DETAILS, IMR_IT_ALL, plugins));
  ASSERT_NE(context, nullptr);
  std::vector<std::string> formats;
  for (unsigned int i = 0; i < 4; ++i) {
    PXC_TImageTicket ticket;
    const IMR_TPluginStatus status = context->ImageInfo(ticket, i);
    if (status != IMR_PS_RECOGNIZED) {
      EXPECT_EQ(i, 3u);
      EXPECT_EQ(status, IMR_PS_NOT_RECOGNIZED);
      break;
    }
    formats.push_back(ticket.FileFormat().Std());
  }
  EXPECT_EQ(gOpens, 1);
  // An image the reader does not name has the plugin's format.
  EXPECT_EQ(formats, (std::vector<std::string>{"LONG", "COUNT", "COUNT"}));

  // Without a context every call opens a reader of its own; what the ticket
  // held before (a magic entry's format) does not count.
  struct Fields : IMR_TTicketAccess {
    using IMR_TTicketAccess::SetFileFormat;
  };
  PXC_TImageTicket ticket;
  Fields::SetFileFormat(ticket, ZQ_TString("FROM_MAGIC"));
  EXPECT_EQ(plugin.ImageInfo(buffer, ticket, PXC_FL_DETAILS, 2, IMR_IT_ALL), IMR_PS_RECOGNIZED);
  EXPECT_EQ(ticket.FileFormat().Std(), "COUNT");
  EXPECT_EQ(ticket.ImageType(), PXC_IT_PAGE);
  EXPECT_EQ(gOpens, 2);
}

}  // namespace
}  // namespace imr::formats
