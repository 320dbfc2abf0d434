// The detection library's chief header: the plugin interfaces and base
// plugins, context plugins, the plugin caches and IMR_TCore, through which a
// host describes files.
#pragma once

#include <cstdint>
#include <functional>
#include <new>
#include <vector>

#include "base/imr_exceptions.h"
#include "base/imr_trace.h"
#include "core/imr_ticket_access.h"

// ---------------------------------------------------------------------------
// Results and masks that cross the plugin interface

// What a plugin's ImageInfo reports; stored and compared as a plain integer.
using IMR_TPluginStatus = int;
enum : IMR_TPluginStatus {
  IMR_PS_RECOGNIZED = 0,             // the ticket is filled
  IMR_PS_NOT_RECOGNIZED = 1,         // not this plugin: the next one is asked
  IMR_PS_RECOGNIZED_LIST_CHANGED = 2,  // as 0, and the ticket's plugin list changed
  IMR_PS_LIST_CHANGED = 3,           // not recognised, the list changed: ask again from its head
  IMR_PS_ABORT = 4,                  // stop: no plugin describes this image
  IMR_PS_EMBEDDED_SKIPPED = 5,       // an embedded image of a kind not asked for
  IMR_PS_EMBEDDED_RESOLVED = 6,      // the ticket now names embedded data
  IMR_PS_RECOGNIZED_CLEAR_FLAG = 7,  // as 0, but the result must not be cached
};

// Which kinds of image a caller wants; one bit per PXC_TImageType.
using IMR_TImageTypes = unsigned int;
enum : IMR_TImageTypes {
  IMR_IT_MAIN = 0x01,       // type 3; also what the cache reads as "primary images only"
  IMR_IT_THUMBNAIL = 0x02,  // type 1
  IMR_IT_PREVIEW = 0x04,    // type 2
  IMR_IT_AUXILIARY = 0x78,  // type 4, one bit per subtype (0x08 layer ... 0x40 other)
  IMR_IT_PAGE = 0x40,       // type 5
  IMR_IT_ALL = 0x7F,
};

// Which proxies the result cache stores.
enum IMR_TCacheStrategy : int {
  IMR_CS_NONE = 0,        // no cache reads, no writes
  IMR_CS_SHORT_LIST = 1,  // write only formats of the short list
  IMR_CS_LONG_LIST = 2,   // write only formats of the short or the long list
  IMR_CS_ALL = 3,         // write everything
};

class IMR_IContextPlugin;

// ---------------------------------------------------------------------------
// Plugins

class IMR_IPlugin : public virtual ZQ_IInterface, protected IMR_TTicketAccess {
  ZQ_CLASS_BOILERPLATE(IMR_IPlugin)
 public:
  IMR_IPlugin() = default;
  IMR_IPlugin(const IMR_IPlugin&) = default;
  IMR_IPlugin& operator=(const IMR_IPlugin&) = default;
  ~IMR_IPlugin() override = default;

  // Examines `buffer` (the file's, or an embedded image's) and fills `ticket`
  // up to at most `level` for image `index` of the file.
  virtual IMR_TPluginStatus ImageInfo(const PXC_IBuffer& buffer, PXC_TImageTicket& ticket,
                                      PXC_TFillLevel level, unsigned int index,
                                      IMR_TImageTypes types) = 0;
  // Whether what the plugin put in `ticket` still holds.
  virtual bool IsImageValid(PXC_TImageTicket& ticket) = 0;
  // A context that keeps per-file state across the images of one file (owned
  // by the caller), or null.
  virtual IMR_IContextPlugin* CreateContextPlugin(const ZQ_TURL& file, const PXC_IBuffer* buffer,
                                                  PXC_TFillLevel level, IMR_TImageTypes types,
                                                  const ZQ_TList& pluginList) = 0;
  // True when ImageInfo may run on several threads at once at `level`.  One
  // instance serves every thread, so such a plugin keeps no per-call state.
  virtual bool IsSafePlugin(PXC_TFillLevel level) const;
};

// A plugin creator: a new plugin for `key`, owned by the caller.
using IMR_TPluginCreator = IMR_IPlugin* (*)(const ZQ_TString& key);
// Returns a plugin's list of file extensions.
using IMR_TPluginExtList = const char* (*)();

class IMR_TPlugin : public ZQ_TObject, public virtual IMR_IPlugin {
  ZQ_CLASS_BOILERPLATE(IMR_TPlugin)
 public:
  explicit IMR_TPlugin(const ZQ_TString& key) : iKey(key) {}
  IMR_TPlugin(const IMR_TPlugin& other)
      : ZQ_IInterface(), IMR_IPlugin(), ZQ_TObject(), iKey(other.iKey) {}
  ~IMR_TPlugin() override = default;
  static ZQ_TObject* ZQ_Create();
  // Registers the loader kinds "IMR_TPlugin" and "IMR_TPluginExtMap".
  static bool ZQ_Initialize();

  // Plugins of a module register themselves by name.
  static void RegisterCreator(const ZQ_TString& name, IMR_TPluginCreator creator);
  static void RegisterExtList(const ZQ_TString& name, IMR_TPluginExtList extList);
  // The creator of `name`, loading its module on demand;
  // PXC_EDynamicLoaderNoSuchCreator when no module provides it.
  static IMR_TPluginCreator CreatorByName(const ZQ_TString& name);
  static IMR_TPluginExtList ExtListByName(const ZQ_TString& name);

  const ZQ_TString& Key() const { return iKey; }

  // A concrete plugin overrides this.
  IMR_TPluginStatus ImageInfo(const PXC_IBuffer&, PXC_TImageTicket&, PXC_TFillLevel, unsigned int,
                              IMR_TImageTypes) override {
    IMR_THROW(IMR_EPluginInterfaceCalled);
  }
  bool IsImageValid(PXC_TImageTicket&) override { return false; }
  IMR_IContextPlugin* CreateContextPlugin(const ZQ_TURL&, const PXC_IBuffer*, PXC_TFillLevel,
                                          IMR_TImageTypes, const ZQ_TList&) override {
    return nullptr;
  }

 private:
  const ZQ_TString iKey;
};

// Declines every file (with a key: throws IMR_EPluginFileNotRecognized).
class IMR_TPluginUnknown : public IMR_TPlugin {
  ZQ_CLASS_BOILERPLATE(IMR_TPluginUnknown)
 public:
  explicit IMR_TPluginUnknown(const ZQ_TString& key) : IMR_TPlugin(key) {}
  IMR_TPluginUnknown(const IMR_TPluginUnknown& other)
      : ZQ_IInterface(), IMR_IPlugin(), IMR_TPlugin(other) {}
  ~IMR_TPluginUnknown() override = default;
  static ZQ_TObject* ZQ_Create();
  static bool ZQ_Initialize();
  static IMR_IPlugin* Creator(const ZQ_TString& key);

  IMR_TPluginStatus ImageInfo(const PXC_IBuffer& buffer, PXC_TImageTicket& ticket,
                              PXC_TFillLevel level, unsigned int index,
                              IMR_TImageTypes types) override;
};

// ---------------------------------------------------------------------------
// Context plugins

class IMR_IContextPlugin : public virtual ZQ_IInterface, protected IMR_TTicketAccess {
  ZQ_CLASS_BOILERPLATE(IMR_IContextPlugin)
 public:
  IMR_IContextPlugin() = default;
  IMR_IContextPlugin(const IMR_IContextPlugin&) = default;
  IMR_IContextPlugin& operator=(const IMR_IContextPlugin&) = default;
  ~IMR_IContextPlugin() override = default;

  virtual IMR_TPluginStatus ImageInfo(PXC_TImageTicket& ticket, unsigned int index) = 0;
  virtual IMR_IPlugin& Plugin() = 0;
  virtual ZQ_TURL& File() = 0;
  virtual PXC_TBuffer& Buffer() = 0;
  virtual PXC_TFillLevel Level() = 0;
  virtual IMR_TImageTypes ImageTypes() = 0;
  // The plugin list to use for every image of the file.
  virtual ZQ_TList& PluginList() = 0;
  virtual bool IsSafePlugin(PXC_TFillLevel level) const;
};

// The state a context plugin needs.  It is not an IMR_IContextPlugin itself:
// a concrete context plugin derives from both and forwards the interface's
// operations to these.
class IMR_TContextPlugin : public ZQ_TObject, public virtual ZQ_IInterface {
  ZQ_CLASS_BOILERPLATE(IMR_TContextPlugin)
 public:
  // `buffer` must not be null; the plugin is not owned.
  IMR_TContextPlugin(IMR_IPlugin* plugin, const ZQ_TURL& file, const PXC_IBuffer* buffer,
                     PXC_TFillLevel level, IMR_TImageTypes types, const ZQ_TList& pluginList);
  // Throws IMR_EPluginInternal: a context needs its plugin and file.
  IMR_TContextPlugin();
  IMR_TContextPlugin(const IMR_TContextPlugin& other);
  IMR_TContextPlugin& operator=(const IMR_TContextPlugin& other);
  ~IMR_TContextPlugin() override = default;
  static ZQ_TObject* ZQ_Create();

  // A concrete context plugin overrides this.
  virtual IMR_TPluginStatus ImageInfo(PXC_TImageTicket& ticket, unsigned int index);
  virtual IMR_IPlugin& Plugin() { return *iPlugin; }
  virtual ZQ_TURL& File() { return iFile; }
  virtual PXC_TBuffer& Buffer() { return iBuffer; }
  virtual PXC_TFillLevel Level() { return iLevel; }
  virtual IMR_TImageTypes ImageTypes() { return iTypes; }
  virtual ZQ_TList& PluginList() { return iPluginList; }

 private:
  IMR_IPlugin* iPlugin = nullptr;
  ZQ_TURL iFile;
  PXC_TBuffer iBuffer;
  PXC_TFillLevel iLevel = PXC_FL_EMBEDDED;
  IMR_TImageTypes iTypes = 0;
  ZQ_TList iPluginList;
};

// ---------------------------------------------------------------------------
// Plugin caches

// Holds a plugin pointer in a dictionary value; the cache owns the plugin.
class IMR_TPluginHandle : public ZQ_TObject, public virtual ZQ_IPackable {
  ZQ_CLASS_BOILERPLATE(IMR_TPluginHandle)
 public:
  explicit IMR_TPluginHandle(IMR_IPlugin* plugin = nullptr) : iPlugin(plugin) {}
  static ZQ_TObject* ZQ_Create() { return new IMR_TPluginHandle; }
  IMR_IPlugin* Plugin() const { return iPlugin; }

  // The packed form is the address: it only means something in this process.
  void ZQ_Pack(ZQ_IPacking& out) const override;
  void ZQ_Unpack(ZQ_IUnpacking& in) override;
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new IMR_TPluginHandle(*this); }
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override;

 private:
  IMR_IPlugin* iPlugin;
};

// A dictionary from plugin name or key to the plugin instance.  A cache owns
// the plugins stored through it; a copy shares the plugins it was copied with
// but does not own them, so no plugin is ever deleted twice.
class IMR_TPluginCache : public ZQ_TDict, public virtual ZQ_IPackable {
  ZQ_CLASS_BOILERPLATE(IMR_TPluginCache)
 public:
  IMR_TPluginCache() = default;
  IMR_TPluginCache(const IMR_TPluginCache& other)
      : ZQ_IInterface(), ZQ_IPackable(), ZQ_IPrintable(), ZQ_IHumanReadable(), ZQ_TDict(other) {}
  IMR_TPluginCache& operator=(const IMR_TPluginCache& other) = delete;
  // Deletes the plugins it owns, each once.
  ~IMR_TPluginCache() override;
  static ZQ_TObject* ZQ_Create();

  // The plugin held under `key`, or null (absent or holding the illegal value).
  IMR_IPlugin* PluginOf(const ZQ_TString& key) const;
  void Store(const ZQ_TString& key, IMR_IPlugin* plugin);

  ZQ_IPackable* ZQ_Clone(void* place = nullptr) const override;
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override;
  void ZQ_Pack(ZQ_IPacking& out) const override;
  void ZQ_Unpack(ZQ_IUnpacking& in) override;

 private:
  std::vector<IMR_IPlugin*> iOwned;
};

// ---------------------------------------------------------------------------
// What the plugins answered

// While it lives, records on its thread every answer a plugin gives while a
// ticket is filled: which plugin was asked about which image of which file,
// its status, and, when a reader declined a file that it could not read,
// why.  `imr identify --explain` shows it.
class IMR_TPluginWalk {
 public:
  struct Step {
    ZQ_TString file;
    std::uint32_t image = 0;
    ZQ_TString plugin;  // the plugin's name, with its key in brackets when it has one
    IMR_TPluginStatus status = IMR_PS_NOT_RECOGNIZED;
    ZQ_TString reason;  // why a reader declined, when it said
  };
  IMR_TPluginWalk();
  ~IMR_TPluginWalk();
  IMR_TPluginWalk(const IMR_TPluginWalk&) = delete;
  IMR_TPluginWalk& operator=(const IMR_TPluginWalk&) = delete;

  const std::vector<Step>& Steps() const { return iSteps; }
  // Called by the core after each plugin call.
  static void Record(const PXC_TImageTicket& ticket, std::uint32_t image, const ZQ_TString& name,
                     const ZQ_TString& key, IMR_TPluginStatus status);

 private:
  std::vector<Step> iSteps;
  IMR_TPluginWalk* iOuter;
};

// The extended-information key under which a format plugin that declined a
// file it could not read leaves its reason ("PNG: the IHDR chunk is cut
// short"); the plugin that describes the file after it keeps it.
extern const char* const IMR_kRefusalKey;

// ---------------------------------------------------------------------------
// The core

// Called by FindImage for each described image; true stops the walk.
using IMR_TFindCallback = bool (*)(PXC_TImageTicket& ticket, class IMR_TCore& core, void* user);

// Runs detections.  A core holds the plugin list its runs use; the class
// holds the library-wide configuration (default list and key, plugin caches,
// cache switches) and the plugin and shared-resource locks.
//
// Bounds: the walk over one image's plugins restarts at most
// "/Resources/Modules/IMR/Bounds/Restarts" times (default 64) on status 3 or
// an unknown status, and a file yields at most
// "/Resources/Modules/IMR/Bounds/Images" images (default 16384, a core may
// set its own); hitting either writes one log entry and ends that walk.
// With the image bound, what one file's description holds stays bounded
// whatever the file declares (about 1 KiB per image).  SmartID describes a
// dependency at most once per thread at a time: a dependency already being
// described further up (a cycle) counts by its file facts alone, and the
// chain of nested dependencies is cut at 32.
class IMR_TCore : public ZQ_TObject, protected IMR_TTicketAccess {
  ZQ_CLASS_BOILERPLATE(IMR_TCore)
 public:
  // A core over a copy of `plugins`, or of the default list when null (its
  // results may then be cached).  IMR_EPluginNoDefaultPluginList when the
  // list is empty.
  explicit IMR_TCore(const ZQ_TList* plugins = nullptr);
  // As above; a non-empty `key` replaces every key of the list.
  IMR_TCore(const ZQ_TString& key, const ZQ_TList* plugins);
  IMR_TCore(const IMR_TCore& other);
  IMR_TCore& operator=(const IMR_TCore& other);
  ~IMR_TCore() override;
  static ZQ_TObject* ZQ_Create();
  static bool ZQ_Initialize();

  // Describes the file at `url` in `proxy` (replacing what it held) up to
  // `level`, for the image kinds `types`; returns the selected entry's key.
  // IMR_EPluginFileNotRecognized when no plugin describes image 0,
  // IMR_EPluginCannotReadFile (the buffer failure as datum) when the file
  // cannot be read.
  const ZQ_TListKey* FillImageProxy(PXC_TImageProxy& proxy, const ZQ_TURL& url,
                                    PXC_TFillLevel level, IMR_TImageTypes types) const;
  // As above, but a file that no plugin describes gives the null key (and a
  // proxy without tickets) instead of IMR_EPluginFileNotRecognized; other
  // failures still raise.  For callers to whom unrecognised files are common.
  const ZQ_TListKey* FillImageProxy(PXC_TImageProxy& proxy, const ZQ_TURL& url,
                                    PXC_TFillLevel level, IMR_TImageTypes types,
                                    const std::nothrow_t&) const;
  // Adds the tickets of the related file `url` to the link's proxy (which
  // keeps its entries, selection and URL); returns the key of the first
  // ticket added, or the null key.  Nothing is written to the cache.
  // IMR_EPluginParentProxyUndefined when the link names no proxy.
  ZQ_TListKey AddToImageProxy(PXC_TImrLink& link, const ZQ_TURL& url, PXC_TFillLevel level,
                              IMR_TImageTypes types) const;
  // Raises `ticket` to `level`, asking first the plugin that described it.
  static void UpdateImageTicket(PXC_TImageTicket& ticket, PXC_TFillLevel level);
  static void UpdateImageProxy(PXC_TImageProxy& proxy, PXC_TFillLevel level);
  // Re-describes `ticket` as image `index` of its file.
  static void InternalImage(PXC_TImageTicket& ticket, std::uint32_t index, PXC_TFillLevel level);
  // Fills `proxy` from the file's cache record.
  static bool LoadProxyCache(PXC_TImageProxy& proxy, const ZQ_TURL& url, IMR_TImageTypes types);
  // Walks the images of the file at level 2; see IMR_TFindCallback.  True
  // when a failure ended the walk (it is logged, not thrown).
  bool FindImage(const ZQ_TURL& url, IMR_TFindCallback callback, void* user,
                 IMR_TImageTypes types) const;
  // Appends the file format of every image of the file to `list`.
  ZQ_TList& ImageTypes(ZQ_TList& list, const ZQ_TURL& url) const;
  // Identity of the proxy's file and of every file its selected image needs;
  // 0 when the proxy is empty or anything fails.
  std::uint32_t SmartID(PXC_TImageProxy& proxy, bool update) const;
  // SmartID(proxy, true) in `radix` (2..36, else 10), lower-case digits.
  ZQ_TString SmartIDStr(PXC_TImageProxy& proxy, std::uint8_t radix) const;

  const ZQ_TList& PluginList() const { return iPlugins; }
  // The most images this core describes of one file; 0: the configured bound.
  std::uint32_t ImageBound() const;
  void SetImageBound(std::uint32_t images) { iImageBound = images; }
  bool UsesDefaultList() const { return iDefaultList; }
  IMR_TCacheStrategy CacheStrategy() const { return iStrategy; }
  void AddToPluginList(const ZQ_TString& name, const ZQ_TString& key, bool atEnd);
  static void AddToDefaultPluginList(const ZQ_TString& name, const ZQ_TString& key, bool atEnd);
  static ZQ_TList* DefaultPluginList();
  const ZQ_TString* DefaultKey() const;
  void SetDefaultKey(const ZQ_TString& key);
  static void LockSharedResource();
  static void UnlockSharedResource();

  // For plugins: redirects `ticket` to the embedded data of `length` bytes at
  // `offset` of `buffer` (counted from the buffer's start) unless the caller
  // did not ask for `type`; returns IMR_PS_EMBEDDED_RESOLVED or
  // IMR_PS_EMBEDDED_SKIPPED for the plugin to return.
  static IMR_TPluginStatus ResolveEmbeddedImage(PXC_TImageTicket& ticket, const PXC_IBuffer& buffer,
                                                PXC_TFillLevel level, IMR_TImageTypes types,
                                                double length, double offset, int relatedIndex,
                                                PXC_TImageType type, double r1, double r2);
  static IMR_TPluginStatus ResolveEmbeddedImage(PXC_TImageTicket& ticket, const PXC_IBuffer& buffer,
                                                PXC_TFillLevel level, IMR_TImageTypes types,
                                                double length, double offset, PXC_TImageType type);

  // The plugin instance for (name, key), created on first use and kept for
  // the process.  Safe from many threads.
  static IMR_IPlugin& PluginByName(const ZQ_TString& name, const ZQ_TString& key);

  // The result cache (cache/imr_cache.cpp).
  static IMR_TCacheStrategy GetCacheStrategy();
  static void InitIMRCacheLock();
  static void IMR_SetImageProxyCache(const PXC_TImageProxy& proxy, IMR_TImageTypes types,
                                     IMR_TCacheStrategy strategy);
  static bool IMR_FillCachedImageProxy(const ZQ_TURL& url, PXC_TImageProxy& proxy,
                                       IMR_TImageTypes types);

  static bool sReadFromCache;
  static bool sWriteToCache;
  static IMR_TPluginCache* sPlugins;

 protected:
  static bool FillUpImageTicket(PXC_TImageTicket& ticket, const PXC_IBuffer& buffer,
                                PXC_TFillLevel level, std::uint32_t index,
                                IMR_IContextPlugin*& context, bool& cacheable,
                                IMR_TImageTypes types);

 private:
  // Null with `recognized` false when no plugin describes image 0; the
  // caller raises IMR_EPluginFileNotRecognized after its own locals are gone,
  // which keeps the common "not an image" answer cheap.
  const ZQ_TListKey* FillUpImageProxy(bool clear, PXC_TImageProxy& proxy, const ZQ_TURL& url,
                                      PXC_TFillLevel level, IMR_TImageTypes types,
                                      const ZQ_TFileInfo& facts, bool& cacheable,
                                      const PXC_IBuffer* buffer, PXC_TImrLink* link,
                                      bool& recognized) const;
  [[noreturn]] static void ThrowNotRecognized(const ZQ_TURL& url);
  // Whether a description so asked for is stored in the file's cache record
  // (when its plugins leave it cacheable).
  bool MayWriteCache(PXC_TFillLevel level, IMR_TImageTypes types) const;
  static void AddDigest(PXC_TImageProxy& proxy, std::uint32_t first, const ZQ_TURL& url,
                        const ZQ_TFileInfo& facts, const PXC_TBuffer& run);
  void ResolveEmbedded(PXC_TImageTicket& ticket, PXC_TBuffer& buffer, PXC_TImageProxy& proxy,
                       const ZQ_TURL& url, PXC_TFillLevel level, const ZQ_TFileInfo& facts,
                       bool& cacheable) const;
  struct UpdateRun;
  static void LocalUpdateImageProxy(PXC_TImageProxy& proxy, PXC_TFillLevel level, UpdateRun& run);
  // Fills `proxy` from the file's cache record raised to `level`; false
  // (with the proxy empty) when there is no usable record.
  static bool ReadCache(const ZQ_TURL& url, PXC_TImageProxy& proxy, PXC_TFillLevel level,
                        IMR_TImageTypes types);
  // IMR_FillCachedImageProxy, with `isCurrent` telling whether the selected
  // ticket read describes the file as it is now.
  static bool FillFromRecord(const ZQ_TURL& url, PXC_TImageProxy& proxy, IMR_TImageTypes types,
                             const std::function<bool(const PXC_TImageTicket&)>& isCurrent);
  static void RaiseTicket(PXC_TImageTicket& ticket, PXC_TFillLevel level, UpdateRun& run);
  static void KeepRefusal(const PXC_TImageTicket& before, PXC_TImageTicket& ticket);
  // The image number a ticket describes: its 8-bit position, or the full
  // number kept beside it (Internal "imr_image") for images past 255.
  static std::uint32_t ImageNumber(PXC_TImageTicket& ticket);
  static void SetImageNumber(PXC_TImageTicket& ticket, std::uint32_t image);
  // The pair (name, key) at the head of the ticket's plugin list, which after
  // a fill names the plugin that described the ticket; empty when none.
  static ZQ_TString DescribingPlugin(PXC_TImageTicket& ticket);
  std::uint32_t DependencyID(const ZQ_TURL& dependency) const;
  void PrepareTicket(PXC_TImageTicket& ticket, const ZQ_TURL& url, const ZQ_TFileInfo& facts,
                     const PXC_TImrLink* link) const;

  static std::uint32_t sReadAhead;
  static ZQ_TList* sDefaultPluginList;
  static ZQ_TString* sDefaultKey;
  static ZQ_TDict* sPluginsWithKey;

  ZQ_TList iPlugins;
  bool iDefaultList = false;
  std::uint32_t iImageBound = 0;
  IMR_TCacheStrategy iStrategy = IMR_CS_ALL;
};

extern "C" {
// Initialises the platform libraries and registers every run-time class of
// the detection library, in a fixed order; true on success.  Later calls do
// nothing and return true; a failed one is tried again on the next call.
IMR_EXPORT bool __ZQ_INITIALIZATION_FUNCTION_IMR__();
}
