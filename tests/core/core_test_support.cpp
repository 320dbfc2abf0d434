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

}  // namespace

std::string TicketSummary(const PXC_TImageTicket& ticket) {
  std::string text = Text(ticket.FileFormat().Std(), ticket.ImageType(), Extended(ticket, "index"),
                          ticket.NrColumns(), ticket.NrRows());
  if (ticket.RelatedIndex() >= 0) text += "@" + std::to_string(ticket.RelatedIndex());
  return text;
}

std::string Summary(const PXC_TImageProxy& proxy) {
  std::string text;
  for (std::uint32_t i = 0; i < proxy.Entries(); ++i) {
    text += (i == 0 ? "" : " ") + std::string(static_cast<int>(i) == proxy.IndexOfSelected() ? "*" : "") +
            TicketSummary(proxy.TicketAt(i));
  }
  return text;
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
