#include "core_test_support.h"

#include <dlfcn.h>

#include <cstdlib>
#include <stdexcept>

#ifndef CORETEST_EXTRA_CONFIG
#define CORETEST_EXTRA_CONFIG ""
#endif

namespace coretest {

namespace {

const char* const kModuleNames[] = {"IMRT_Plain",    "IMRT_Context", "IMRT_Fallback",
                                    "IMRT_Loop",     "IMRT_Abstract", "IMRT_Keyed",
                                    "IMRT_Trivial"};

// Initialises the library and makes the test module loadable for the whole
// process: an overlay naming its plugins (plus what the executable adds to the
// IMR section) and the module folder on IMR_PLUGIN_PATH.
class ModuleEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(__ZQ_INITIALIZATION_FUNCTION_IMR__());
    std::string plugins;
    for (const char* name : kModuleNames) {
      plugins += std::string(plugins.empty() ? "" : ", ") + "\"" + name + "\": \"imrt_plugins.so\"";
    }
    // What the executable (or the variable CORETEST_EXTRA_IMR) adds to the IMR section.
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

imrt::Image Img(const std::string& status, int type, unsigned columns, unsigned rows) {
  imrt::Image image;
  image.status = status;
  image.type = type;
  image.columns = columns;
  image.rows = rows;
  return image;
}

imrt::Image Embedded(const std::string& payload, int type) {
  imrt::Image image = Img("6", type);
  image.payload = payload;
  return image;
}

imrt::Image WithRefs(imrt::Image image, std::vector<std::string> refs) {
  image.refs = std::move(refs);
  return image;
}

ZQ_TURL WriteImrt(const std::string& path, const std::vector<imrt::Image>& images) {
  WriteFile(path, imrt::Write(images));
  return ZQ_TURL::FromPath(ZQ_TString(path));
}

long Extended(const PXC_TImageTicket& ticket, const char* key) {
  const ZQ_TAny* value = ticket.ExtendedInfo().ValueOfKey(key);
  const ZQ_TUInt32* number = value ? value->DynamicCast<ZQ_TUInt32>() : nullptr;
  return number ? static_cast<long>(number->Value()) : -1;
}

std::string TicketSummary(const PXC_TImageTicket& ticket) {
  std::string text = ticket.FileFormat().Std() + ":" + std::to_string(ticket.ImageType()) + ":" +
                     std::to_string(Extended(ticket, "index"));
  if (ticket.NrColumns() != 0 || ticket.NrRows() != 0) {
    text += ":" + std::to_string(ticket.NrColumns()) + "x" + std::to_string(ticket.NrRows());
  }
  if (ticket.RelatedIndex() >= 0) text += "@" + std::to_string(ticket.RelatedIndex());
  return text;
}

std::string Summary(const PXC_TImageProxy& proxy) {
  std::string text;
  const int selected = proxy.IndexOfSelected();
  for (std::uint32_t i = 0; i < proxy.Entries(); ++i) {
    if (!text.empty()) text += ' ';
    if (static_cast<int>(i) == selected) text += '*';
    text += TicketSummary(proxy.TicketAt(i));
  }
  return text;
}

namespace {

struct Expected {
  std::string text;
  bool embedded;
  bool main;
};

void Model(const std::string& bytes, int linkType, bool inSub, std::vector<Expected>& out) {
  imrt::File file;
  if (!imrt::Parse(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), file)) return;
  for (std::uint32_t i = 0; i < file.count; ++i) {
    const imrt::Image& image = file.At(i);
    const std::string& s = image.status;
    if (s == "0" || s == "2" || s == "7") {
      int type = image.type;
      if (inSub && type == PXC_IT_MAIN) type = linkType;
      std::string text = image.format + ":" + std::to_string(type) + ":" + std::to_string(i);
      if (image.columns != 0 || image.rows != 0) {
        text += ":" + std::to_string(image.columns) + "x" + std::to_string(image.rows);
      }
      out.push_back({text, inSub, type == PXC_IT_MAIN});
    } else if (s == "6") {
      const std::uint64_t offset = file.EmbedOffset(image);
      std::vector<Expected> inner;
      Model(bytes.substr(offset, image.length), image.type, true, inner);
      for (Expected& e : inner) e.embedded = true;
      out.insert(out.end(), inner.begin(), inner.end());
    } else if (s != "5") {
      return;  // 4 ends the images; 1 empties a list of IMRT_Plain alone
    }
  }
}

}  // namespace

std::string ExpectedSummary(const std::string& bytes) {
  std::vector<Expected> tickets;
  Model(bytes, 0, false, tickets);
  int selected = -1;
  for (std::size_t i = 0; i < tickets.size(); ++i) {
    if (tickets[i].embedded) continue;
    if (selected < 0) selected = static_cast<int>(i);
    if (tickets[i].main && !tickets[static_cast<std::size_t>(selected)].main) {
      selected = static_cast<int>(i);
    }
  }
  std::string text;
  for (std::size_t i = 0; i < tickets.size(); ++i) {
    if (!text.empty()) text += ' ';
    if (static_cast<int>(i) == selected) text += '*';
    text += tickets[i].text;
  }
  return text;
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

void PlainAtHeadOfDefaultList::SetUp() {
  if (IMR_TCore::GetCacheStrategy() != IMR_CS_ALL) GTEST_SKIP() << "another cache strategy";
  iSaved = *IMR_TCore::DefaultPluginList();
  IMR_TCore::AddToDefaultPluginList(ZQ_TString("IMRT_Plain"), ZQ_TString(), false);
  Stats().Reset();
}

void PlainAtHeadOfDefaultList::TearDown() {
  if (!iSaved.IsEmpty()) *IMR_TCore::DefaultPluginList() = iSaved;
}

CacheSwitches::CacheSwitches(bool read, bool write)
    : iRead(IMR_TCore::sReadFromCache), iWrite(IMR_TCore::sWriteToCache) {
  IMR_TCore::sReadFromCache = read;
  IMR_TCore::sWriteToCache = write;
}

CacheSwitches::~CacheSwitches() {
  IMR_TCore::sReadFromCache = iRead;
  IMR_TCore::sWriteToCache = iWrite;
}

}  // namespace coretest
