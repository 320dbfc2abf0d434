#include "core_test_support.h"

#include <dlfcn.h>

#include <cstdlib>
#include <stdexcept>

#ifndef CORETEST_EXTRA_CONFIG
#define CORETEST_EXTRA_CONFIG ""
#endif

namespace coretest {

namespace {

// Initialises the library and makes the test module loadable for the whole
// process: an overlay naming its plugins (plus what the executable adds to the
// IMR section) and the module folder on IMR_PLUGIN_PATH.
class ModuleEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(__ZQ_INITIALIZATION_FUNCTION_IMR__());
    std::string plugins;
    for (const char* name : {"Plain", "Context", "Fallback", "Loop", "Abstract", "Keyed", "Trivial"}) {
      plugins += std::string(plugins.empty() ? "" : ", ") + "\"IMRT_" + name + "\": \"imrt_plugins.so\"";
    }
    const char* extra = std::getenv("CORETEST_EXTRA_IMR");
    const std::string json = std::string("{\"Resources\": {\"Modules\": {\"PXC\": {\"Plugins\": ") +
                             "{\"IMR_TPlugin\": {" + plugins + "}}}, \"IMR\": {" +
                             (extra ? extra : CORETEST_EXTRA_CONFIG) + "}}}}";
    WriteFile(iDir / "overlay.json", json);
    ::setenv("IMR_CONFIG", (iDir / "overlay.json").c_str(), 1);
    ::setenv("IMR_PLUGIN_PATH", IMRT_MODULE_DIR, 1);
    PXC_CfsReload();
    ASSERT_TRUE(PXC_CfsWrap().LoadError().IsEmpty()) << PXC_CfsWrap().LoadError();
  }

 private:
  TempDir iDir;
};

const ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new ModuleEnvironment);

}  // namespace

imrt::Stats& Stats() {
  static imrt::Stats* stats = [] {
    IMR_TPlugin::CreatorByName("IMRT_Plain");  // loads the module
    void* module = ::dlopen(IMRT_MODULE_DIR "/imrt_plugins.so", RTLD_NOW | RTLD_NOLOAD);
    if (module == nullptr) throw std::runtime_error("the test module is not loaded");
    auto entry = reinterpret_cast<imrt::Stats* (*)()>(::dlsym(module, "IMRT_Stats"));
    return entry();
  }();
  return *stats;
}

ZQ_TList Plugins(std::initializer_list<const char*> names) {
  ZQ_TList list;
  for (const char* name : names) {
    list.AddAtTail(ZQ_TAny(ZQ_TString(name)));
    list.AddAtTail(ZQ_TAny(ZQ_TString()));
  }
  return list;
}

ZQ_TList Pairs(std::initializer_list<std::pair<const char*, const char*>> pairs) {
  ZQ_TList list;
  for (const auto& [name, key] : pairs) {
    list.AddAtTail(ZQ_TAny(ZQ_TString(name)));
    list.AddAtTail(ZQ_TAny(ZQ_TString(key)));
  }
  return list;
}

ZQ_TURL WriteImrt(const std::string& path, const std::vector<imrt::Image>& images) {
  WriteFile(path, imrt::Write(images));
  return UrlOf(path);
}

long Extended(const PXC_TImageTicket& ticket, const char* key) {
  const ZQ_TAny* value = ticket.ExtendedInfo().ValueOfKey(key);
  const ZQ_TUInt32* number = value ? value->DynamicCast<ZQ_TUInt32>() : nullptr;
  return number ? static_cast<long>(number->Value()) : -1;
}

namespace {

std::string Text(const std::string& format, int type, long index, unsigned columns, unsigned rows) {
  std::string text = format + ":" + std::to_string(type) + ":" + std::to_string(index);
  if (columns != 0 || rows != 0) text += ":" + std::to_string(columns) + "x" + std::to_string(rows);
  return text;
}

std::string Joined(const std::vector<std::string>& texts, int selected) {
  std::string text;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    text += (i == 0 ? "" : " ") + std::string(static_cast<int>(i) == selected ? "*" : "") + texts[i];
  }
  return text;
}

// Appends the tickets that IMRT_Plain gives for `bytes` to `texts`, an
// embedded file's main images taking the type of the image that embeds it.
// For the outer file (`main` set), `main` becomes its first main image and
// `first` its first image.
void Model(const std::string& bytes, int linkType, std::vector<std::string>& texts, int* first,
           int* main) {
  imrt::File file;
  if (!imrt::Parse(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), file)) return;
  for (std::uint32_t i = 0; i < file.count; ++i) {
    const imrt::Image& image = file.At(i);
    const std::string& s = image.status;
    if (s == "0" || s == "2" || s == "7") {
      const int type = main == nullptr && image.type == PXC_IT_MAIN ? linkType : image.type;
      const int at = static_cast<int>(texts.size());
      if (main != nullptr && *first < 0) *first = at;
      if (main != nullptr && *main < 0 && type == PXC_IT_MAIN) *main = at;
      texts.push_back(Text(image.format, type, i, image.columns, image.rows));
    } else if (s == "6") {
      Model(bytes.substr(file.EmbedOffset(image), image.length), image.type, texts, nullptr, nullptr);
    } else if (s != "5") {
      return;  // 4 ends the images; 1 empties a list of IMRT_Plain alone
    }
  }
}

}  // namespace

std::string TicketSummary(const PXC_TImageTicket& ticket) {
  std::string text = Text(ticket.FileFormat().Std(), ticket.ImageType(), Extended(ticket, "index"),
                          ticket.NrColumns(), ticket.NrRows());
  if (ticket.RelatedIndex() >= 0) text += "@" + std::to_string(ticket.RelatedIndex());
  return text;
}

std::string Summary(const PXC_TImageProxy& proxy) {
  std::vector<std::string> texts;
  for (std::uint32_t i = 0; i < proxy.Entries(); ++i) texts.push_back(TicketSummary(proxy.TicketAt(i)));
  return Joined(texts, proxy.IndexOfSelected());
}

std::string ExpectedSummary(const std::string& bytes) {
  std::vector<std::string> texts;
  int first = -1;
  int main = -1;
  Model(bytes, 0, texts, &first, &main);
  return Joined(texts, main >= 0 ? main : first);
}

PXC_TImageTicket TestCore::Ticket(const ZQ_TURL& url, const ZQ_TList& plugins) {
  PXC_TImageTicket ticket;
  Internal(ticket).Add("imr_plugins", ZQ_TAny(plugins));
  SetFile(ticket, url, PXC_GetFileInfo(url));
  SetFillLevel(ticket, PXC_FL_FILE);
  return ticket;
}

ZQ_TList& TestCore::TicketPlugins(PXC_TImageTicket& ticket) {
  return *Internal(ticket).ValueOfKey("imr_plugins")->DynamicCast<ZQ_TList>();
}

bool TestCore::Fill(PXC_TImageTicket& ticket, PXC_TFillLevel level, std::uint32_t index,
                    IMR_IContextPlugin*& context, bool& cacheable, IMR_TImageTypes types) {
  PXC_TBuffer buffer(ticket.File(), 0, 0, 4096);
  return FillUpImageTicket(ticket, buffer, level, index, context, cacheable, types);
}

std::string ModuleCountersTest::Describe(const ZQ_TURL& url, PXC_TFillLevel level,
                                         const ZQ_TList& plugins, IMR_TImageTypes types) {
  const IMR_TCore core(&plugins);
  iProxy = PXC_TImageProxy();
  const ZQ_TListKey* key = core.FillImageProxy(iProxy, url, level, types);
  EXPECT_EQ(key, iProxy.SelectedKey());
  EXPECT_EQ(iProxy.URL(), url);
  return Summary(iProxy);
}

void PlainAtHeadOfDefaultList::SetUp() {
  if (IMR_TCore::GetCacheStrategy() != IMR_CS_ALL) GTEST_SKIP() << "another cache strategy";
  iSaved = *IMR_TCore::DefaultPluginList();
  IMR_TCore::AddToDefaultPluginList(ZQ_TString("IMRT_Plain"), ZQ_TString(), false);
  Stats().Reset();
}

void PlainAtHeadOfDefaultList::TearDown() {
  if (!iSaved.IsEmpty()) *IMR_TCore::DefaultPluginList() = iSaved;
}

}  // namespace coretest
