// The test module: plugins over the IMRT container (imrt_format.h) that
// answer every status the core knows, a context plugin, and plugins that
// misbehave on purpose.  Registered names:
//   IMRT_Plain     answers each image as its line says; safe at every level
//   IMRT_Context   the same through a context plugin made for the first image;
//                  neither the plugin nor its contexts are safe
//   IMRT_Fallback  describes any IMRT image as format FALLBACK, then takes
//                  itself off the head of the list (status 2)
//   IMRT_Loop      always asks for a restart (status 3)
//   IMRT_Abstract  does not override ImageInfo
//   IMRT_Keyed     describes image 0 as format KEYED:<its key>
//   IMRT_Trivial   one byte check: an 'I' first is format TRIVIAL, image 0 only
// Status 2 appends the pair (IMRT_Marker, "") to the ticket's list; status 3
// and numbers above 7 put (IMRT_Fallback, "") at its head first.
#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "core/imr_core.h"
#include "imrt_format.h"

namespace {

imrt::Stats sStats;
std::atomic<int> sContextSerial{0};

// Counts a plugin call for the whole of its run and checks that calls of
// plugins that are not safe never overlap another call.
class Flight {
 public:
  explicit Flight(bool safe) : iSafe(safe) {
    sStats.calls++;
    if (!iSafe) {
      sStats.unsafeInFlight++;
      if (++sStats.inFlight > 1) sStats.exclusionViolations++;
      return;
    }
    sStats.inFlight++;
    const int safeNow = ++sStats.safeInFlight;
    if (sStats.unsafeInFlight.load() > 0) sStats.exclusionViolations++;
    int seen = sStats.maxSafeInFlight.load();
    while (safeNow > seen && !sStats.maxSafeInFlight.compare_exchange_weak(seen, safeNow)) {
    }
  }
  ~Flight() {
    sStats.inFlight--;
    (iSafe ? sStats.safeInFlight : sStats.unsafeInFlight)--;
  }

 private:
  bool iSafe;
};

// Parses the IMRT data of `buffer`, reading past its held bytes when the
// header is longer.
bool ParseBuffer(const PXC_IBuffer& buffer, imrt::File& file) {
  if (buffer.Size() == 0) return false;
  if (imrt::Parse(buffer.Data(), buffer.Size(), file)) return true;
  if (buffer.SourceSize() <= buffer.Size() || buffer.Data()[0] != 'I') return false;
  std::string all(static_cast<std::size_t>(std::min<std::uint64_t>(buffer.SourceSize(), 8u << 20)),
                  '\0');
  all.resize(buffer.Read(0, all.data(), all.size()));
  file = imrt::File();
  return imrt::Parse(reinterpret_cast<const std::uint8_t*>(all.data()), all.size(), file);
}

class Imrt : protected IMR_TTicketAccess {
 public:
  static void Describe(PXC_TImageTicket& ticket, PXC_TFillLevel level, unsigned index,
                       const imrt::Image& image, const std::string& format, int context) {
    SetFileFormat(ticket, ZQ_TString(format));
    SetFileFormatVersion(ticket, ZQ_TString("1"));
    PXC_TImageType type = static_cast<PXC_TImageType>(image.type);
    // Inside a related file, as the core does for tickets read from the cache.
    if (ImrValidInfo(ticket)) {
      if (ImrRelatedIndex(ticket) >= 0) SetRelatedIndex(ticket, ImrRelatedIndex(ticket));
      if (type == PXC_IT_MAIN) type = ImrImageType(ticket);
    }
    SetImageType(ticket, type);
    if (level >= PXC_FL_GEOMETRY) {
      SetNrColumns(ticket, image.columns);
      SetNrRows(ticket, image.rows);
    }
    ExtendedInfo(ticket).Add("index", ZQ_TAny(index));
    if (context != 0) ExtendedInfo(ticket).Add("context", ZQ_TAny(context));
    if (level >= PXC_FL_DETAILS) {
      ExtendedInfo(ticket).Add("detail", ZQ_TAny(ZQ_TString("image " + std::to_string(index))));
    }
    if (level >= PXC_FL_DEPENDENCIES) {
      for (const std::string& ref : image.refs) ExternalRefs(ticket).AddAtTail(ZQ_TAny(ZQ_TString(ref)));
    }
    SetFillLevel(ticket, level);
  }

  // The answer of IMRT_Plain and the contexts of IMRT_Context.
  static IMR_TPluginStatus Answer(const imrt::File& file, const PXC_IBuffer& buffer,
                                  PXC_TImageTicket& ticket, PXC_TFillLevel level, unsigned index,
                                  IMR_TImageTypes types, int context) {
    if (index >= file.count) return IMR_PS_ABORT;
    const imrt::Image& image = file.At(index);
    if (image.sleepMicros != 0) ::usleep(image.sleepMicros);
    const std::string& status = image.status;
    const ZQ_TAny at(index);
    if (status == "throw") ZQ_THROW(PXC_EImageTicketFileCorrupted, "IMRT image %s is corrupt", at);
    if (status == "magic") IMR_THROW_DATA(IMR_EMagicInvalidMagicEntry, "IMRT magic entry %s", at);
    if (status == "std") throw std::runtime_error("IMRT failure outside the ZQ exceptions");
    if (status == "nocreator") ZQ_THROW(PXC_EDynamicLoaderNoSuchCreator, "No creator %s", ZQ_TString("x"));
    const int number = std::atoi(status.c_str());
    switch (number) {
      case IMR_PS_RECOGNIZED_LIST_CHANGED:
        Plugins(ticket).AddAtTail(ZQ_TAny(ZQ_TString("IMRT_Marker")));
        Plugins(ticket).AddAtTail(ZQ_TAny(ZQ_TString()));
        [[fallthrough]];
      case IMR_PS_RECOGNIZED:
      case IMR_PS_RECOGNIZED_CLEAR_FLAG:
        Describe(ticket, level, index, image, image.format, context);
        return number;
      case IMR_PS_NOT_RECOGNIZED:
      case IMR_PS_ABORT:
      case IMR_PS_EMBEDDED_SKIPPED:
        return number;
      case IMR_PS_EMBEDDED_RESOLVED:
        return IMR_TCore::ResolveEmbeddedImage(ticket, buffer, level, types,
                                               static_cast<double>(image.length),
                                               static_cast<double>(file.EmbedOffset(image)),
                                               static_cast<PXC_TImageType>(image.type));
      default:
        Plugins(ticket).AddAtHead(ZQ_TAny(ZQ_TString()));
        Plugins(ticket).AddAtHead(ZQ_TAny(ZQ_TString("IMRT_Fallback")));
        return number;
    }
  }

  static ZQ_TList& Plugins(PXC_TImageTicket& ticket) {
    return *Internal(ticket).ValueOfKey("imr_plugins")->DynamicCast<ZQ_TList>();
  }
};

enum class Kind { Plain, Fallback, Loop, Keyed, Trivial };

// The safe plugins, told apart by their kind.
template <Kind K>
class SafePlugin : public IMR_TPlugin {
 public:
  using IMR_TPlugin::IMR_TPlugin;
  bool IsSafePlugin(PXC_TFillLevel) const override { return true; }

  IMR_TPluginStatus ImageInfo(const PXC_IBuffer& buffer, PXC_TImageTicket& ticket,
                              PXC_TFillLevel level, unsigned int index,
                              IMR_TImageTypes types) override {
    if (K == Kind::Trivial) {  // as cheap as a plugin gets: the benchmark's floor
      static const ZQ_TString format("TRIVIAL");
      if (buffer.Size() == 0 || buffer.Data()[0] != 'I') return IMR_PS_NOT_RECOGNIZED;
      if (index > 0) return IMR_PS_ABORT;
      SetFileFormat(ticket, format);
      SetImageType(ticket, PXC_IT_MAIN);
      SetFillLevel(ticket, level);
      return IMR_PS_RECOGNIZED;
    }
    Flight flight(true);
    if (K == Kind::Loop) {
      sStats.loopCalls++;
      return IMR_PS_LIST_CHANGED;
    }
    if (K == Kind::Keyed) {
      if (index > 0) return IMR_PS_ABORT;
      Imrt::Describe(ticket, level, index, imrt::Image(), "KEYED:" + Key().Std(), 0);
      return IMR_PS_RECOGNIZED;
    }
    imrt::File file;
    if (!ParseBuffer(buffer, file)) return IMR_PS_NOT_RECOGNIZED;
    if (K == Kind::Plain) return Imrt::Answer(file, buffer, ticket, level, index, types, 0);
    if (index >= file.count) return IMR_PS_ABORT;
    Imrt::Describe(ticket, level, index, file.At(index), "FALLBACK", 0);
    ZQ_TList& plugins = Imrt::Plugins(ticket);
    if (plugins.Entries() >= 2 && plugins[0] == ZQ_TAny("IMRT_Fallback")) {
      plugins.RemoveHead();
      plugins.RemoveHead();
    }
    return IMR_PS_RECOGNIZED_LIST_CHANGED;
  }
};

class ImrtContext : public IMR_TContextPlugin, public virtual IMR_IContextPlugin {
 public:
  ImrtContext(IMR_IPlugin* plugin, const ZQ_TURL& file, const PXC_IBuffer* buffer,
              PXC_TFillLevel level, IMR_TImageTypes types, const ZQ_TList& list,
              const imrt::File& parsed)
      : IMR_TContextPlugin(plugin, file, buffer, level, types, list),
        iParsed(parsed),
        iSerial(++sContextSerial) {
    sStats.contextsCreated++;
    sStats.contextsAlive++;
  }
  ~ImrtContext() override { sStats.contextsAlive--; }

  void* ZQ_DynamicInfo(const char* name) const override {
    void* found = IMR_TContextPlugin::ZQ_DynamicInfo(name);
    return found ? found : IMR_IContextPlugin::ZQ_DynamicInfo(name);
  }
  IMR_TPluginStatus ImageInfo(PXC_TImageTicket& ticket, unsigned int index) override {
    Flight flight(false);
    return Imrt::Answer(iParsed, Buffer(), ticket, Level(), index, ImageTypes(), iSerial);
  }
  IMR_IPlugin& Plugin() override { return IMR_TContextPlugin::Plugin(); }
  ZQ_TURL& File() override { return IMR_TContextPlugin::File(); }
  PXC_TBuffer& Buffer() override { return IMR_TContextPlugin::Buffer(); }
  PXC_TFillLevel Level() override { return IMR_TContextPlugin::Level(); }
  IMR_TImageTypes ImageTypes() override { return IMR_TContextPlugin::ImageTypes(); }
  ZQ_TList& PluginList() override { return IMR_TContextPlugin::PluginList(); }

 private:
  imrt::File iParsed;
  int iSerial;
};

class ContextPlugin : public IMR_TPlugin {
 public:
  using IMR_TPlugin::IMR_TPlugin;
  // Reached only when no context could be made: the file is not IMRT.
  IMR_TPluginStatus ImageInfo(const PXC_IBuffer&, PXC_TImageTicket&, PXC_TFillLevel, unsigned int,
                              IMR_TImageTypes) override {
    Flight flight(false);
    return IMR_PS_NOT_RECOGNIZED;
  }
  IMR_IContextPlugin* CreateContextPlugin(const ZQ_TURL& file, const PXC_IBuffer* buffer,
                                          PXC_TFillLevel level, IMR_TImageTypes types,
                                          const ZQ_TList& pluginList) override {
    imrt::File parsed;
    if (buffer == nullptr || !ParseBuffer(*buffer, parsed)) return nullptr;
    return new ImrtContext(this, file, buffer, level, types, pluginList, parsed);
  }
};

template <class P>
IMR_IPlugin* Create(const ZQ_TString& key) {
  return new P(key);
}

const char* PlainExtensions() { return "imrt;imt"; }

}  // namespace

extern "C" {

__attribute__((visibility("default"))) imrt::Stats* IMRT_Stats() { return &sStats; }

__attribute__((visibility("default"))) bool PXC_RegisterModule() {
  IMR_TPlugin::RegisterCreator("IMRT_Plain", &Create<SafePlugin<Kind::Plain>>);
  IMR_TPlugin::RegisterCreator("IMRT_Context", &Create<ContextPlugin>);
  IMR_TPlugin::RegisterCreator("IMRT_Fallback", &Create<SafePlugin<Kind::Fallback>>);
  IMR_TPlugin::RegisterCreator("IMRT_Loop", &Create<SafePlugin<Kind::Loop>>);
  IMR_TPlugin::RegisterCreator("IMRT_Abstract", &Create<IMR_TPlugin>);  // its ImageInfo raises
  IMR_TPlugin::RegisterCreator("IMRT_Keyed", &Create<SafePlugin<Kind::Keyed>>);
  IMR_TPlugin::RegisterCreator("IMRT_Trivial", &Create<SafePlugin<Kind::Trivial>>);
  IMR_TPlugin::RegisterExtList("IMRT_Plain", &PlainExtensions);
  return true;
}
}
