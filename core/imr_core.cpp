// IMR_TCore: construction, plugin lists, locks, and the filling of one ticket
// by walking its plugin list.
#include "core/imr_core.h"

#include <sstream>

#include "base/imr_version.h"
#include "core/imr_core_private.h"

namespace {
IMR_TVersionRecord sCoreRecord("PXCBASE", 2, -1, "imr_core");
const ZQ_TString kPluginsKey("imr_plugins");
const ZQ_TString kImageKey("imr_image");
}  // namespace

std::uint32_t IMR_TCore::sReadAhead = 4096;
bool IMR_TCore::sReadFromCache = true;
bool IMR_TCore::sWriteToCache = true;
ZQ_TList* IMR_TCore::sDefaultPluginList = nullptr;
ZQ_TString* IMR_TCore::sDefaultKey = nullptr;
IMR_TPluginCache* IMR_TCore::sPlugins = nullptr;
ZQ_TDict* IMR_TCore::sPluginsWithKey = nullptr;

ZQ_TRWLock& IMR_PluginLock() {
  static ZQ_TRWLock* lock = new ZQ_TRWLock;
  return *lock;
}

ZQ_TRWLock& IMR_SharedResourceLock() {
  static ZQ_TRWLock* lock = new ZQ_TRWLock;
  return *lock;
}

const IMR_TBounds& IMR_Bounds() {
  static const IMR_TBounds bounds = [] {
    IMR_TBounds read;
    PXC_ICfs& configuration = PXC_CfsWrap();
    auto number = [&configuration](const char* path, std::uint32_t fallback) {
      if (!configuration.HasValue(ZQ_TString(path))) return fallback;
      ZQ_TAny value = configuration.Value(ZQ_TString(path));
      const ZQ_TUInt32* n = value.DynamicCast<ZQ_TUInt32>();
      return n && n->Value() > 0 ? n->Value() : fallback;
    };
    read.restarts = number("/Resources/Modules/IMR/Bounds/Restarts", read.restarts);
    read.images = number("/Resources/Modules/IMR/Bounds/Images", read.images);
    return read;
  }();
  return bounds;
}

// ---------------------------------------------------------------------------
// Construction and lists

IMR_TCore::IMR_TCore(const ZQ_TList* plugins)
    : iPlugins(plugins ? *plugins : (sDefaultPluginList ? *sDefaultPluginList : ZQ_TList())),
      iDefaultList(plugins == nullptr),
      iStrategy(GetCacheStrategy()) {
  IMR_TRACE(0x04, "IMR_TCore::IMR_TCore(this=%p, plugins=%p)\n", static_cast<void*>(this),
            static_cast<const void*>(plugins));
  if (iPlugins.IsEmpty()) IMR_THROW(IMR_EPluginNoDefaultPluginList);
}

IMR_TCore::IMR_TCore(const ZQ_TString& key, const ZQ_TList* plugins) : IMR_TCore(plugins) {
  if (key.IsEmpty()) return;
  for (std::uint32_t i = 1; i < iPlugins.Entries(); i += 2) iPlugins[i] = ZQ_TAny(key);
}

IMR_TCore::IMR_TCore(const IMR_TCore& other)
    : ZQ_IInterface(), ZQ_TObject(), IMR_TTicketAccess(), iPlugins(other.iPlugins),
      iDefaultList(other.iDefaultList), iImageBound(other.iImageBound), iStrategy(other.iStrategy) {}

IMR_TCore& IMR_TCore::operator=(const IMR_TCore& other) {
  iPlugins = other.iPlugins;
  iDefaultList = other.iDefaultList;
  iImageBound = other.iImageBound;
  iStrategy = other.iStrategy;
  return *this;
}

std::uint32_t IMR_TCore::ImageBound() const { return iImageBound != 0 ? iImageBound : IMR_Bounds().images; }

IMR_TCore::~IMR_TCore() {
  IMR_TRACE(0x04, "IMR_TCore destructor of %p\n", static_cast<void*>(this));
}

ZQ_TObject* IMR_TCore::ZQ_Create() { return new IMR_TCore; }

bool IMR_TCore::ZQ_Initialize() {
  IMR_TRACE(0x04, "ZQ_Initialize of IMR_TCore\n");
  IMR_PluginLock();
  IMR_SharedResourceLock();
  InitIMRCacheLock();
  sDefaultPluginList = new ZQ_TList;
  sDefaultPluginList->AddAtHead(ZQ_TAny(ZQ_TString()));
  sDefaultPluginList->AddAtHead(ZQ_TAny(ZQ_TString("IMR_TMagic")));
  sDefaultKey = new ZQ_TString;
  sPlugins = new IMR_TPluginCache;
  sPluginsWithKey = new ZQ_TDict;
  return true;
}

namespace {
void AddPair(ZQ_TList& list, const ZQ_TString& name, const ZQ_TString& key, bool atEnd) {
  if (atEnd) {
    list.AddAtTail(ZQ_TAny(name));
    list.AddAtTail(ZQ_TAny(key));
  } else {
    list.AddAtHead(ZQ_TAny(key));
    list.AddAtHead(ZQ_TAny(name));
  }
}
}  // namespace

void IMR_TCore::AddToPluginList(const ZQ_TString& name, const ZQ_TString& key, bool atEnd) {
  iDefaultList = false;
  AddPair(iPlugins, name, key, atEnd);
}

void IMR_TCore::AddToDefaultPluginList(const ZQ_TString& name, const ZQ_TString& key,
                                       bool atEnd) {
  ZQ_TLockGuard lock(IMR_PluginLock(), true);
  if (sDefaultPluginList != nullptr) AddPair(*sDefaultPluginList, name, key, atEnd);
}

ZQ_TList* IMR_TCore::DefaultPluginList() { return sDefaultPluginList; }

const ZQ_TString* IMR_TCore::DefaultKey() const { return sDefaultKey; }

void IMR_TCore::SetDefaultKey(const ZQ_TString& key) {
  ZQ_TString* fresh = new ZQ_TString(key);
  delete sDefaultKey;
  sDefaultKey = fresh;
}

void IMR_TCore::LockSharedResource() {
  IMR_TRACE(0x10, "IMR_TCore::LockSharedResource()\n");
  IMR_SharedResourceLock().LockExclusive();
}

void IMR_TCore::UnlockSharedResource() {
  IMR_TRACE(0x10, "IMR_TCore::UnlockSharedResource()\n");
  IMR_SharedResourceLock().UnlockExclusive();
}

// ---------------------------------------------------------------------------
// Filling one ticket

namespace {

// The ticket's plugin list; PXC_EImageTicketKeyNotFound when it has none.
// Reading it leaves the dictionary shared with the ticket's copies.
const ZQ_TList& TicketPlugins(const ZQ_TDict& internal) {
  const ZQ_TAny* entry = internal.ValueOfKey(kPluginsKey);
  const ZQ_TList* list = entry ? entry->DynamicCast<ZQ_TList>() : nullptr;
  if (list == nullptr) IMR_THROW_DATA(PXC_EImageTicketKeyNotFound, "No plugin list %s", kPluginsKey);
  return *list;
}
ZQ_TList& MutableTicketPlugins(ZQ_TDict& internal) {
  TicketPlugins(std::as_const(internal));
  return *internal.ValueOfKey(kPluginsKey)->DynamicCast<ZQ_TList>();
}

ZQ_TString TextAt(const ZQ_TList& list, std::uint32_t index) {
  if (index >= list.Entries()) return ZQ_TString();
  const ZQ_TString* text = list[index].DynamicCast<ZQ_TString>();
  return text ? *text : ZQ_TString();
}

void LogImageInfoFailure(const PXC_TImageTicket& ticket, const ZQ_EException& error) {
  std::ostringstream entry;
  entry << '[' << ticket.CreatorId() << "] : Failed to retrieve ImageInfo for " << ticket.File().Text()
        << "\nCaused by:\n";
  error.PrintOn(entry);
  ZQMESG_Log("%s", entry.str().c_str());
}

}  // namespace

bool IMR_TCore::FillUpImageTicket(PXC_TImageTicket& ticket, const PXC_IBuffer& buffer,
                                  PXC_TFillLevel level, std::uint32_t index,
                                  IMR_IContextPlugin*& context, bool& cacheable,
                                  IMR_TImageTypes types) {
  bool found = false;
  try {
    // The context's list; left as it is when the ticket holds it already, so
    // that the tickets of a file's images share one Internal dictionary.
    if (context != nullptr) {
      const ZQ_TAny* held = std::as_const(Internal(ticket)).ValueOfKey(kPluginsKey);
      const ZQ_TList* list = held ? held->DynamicCast<ZQ_TList>() : nullptr;
      if (list == nullptr || !list->SharesStorage(context->PluginList())) {
        MutableTicketPlugins(Internal(ticket)) = context->PluginList();
      }
    }
    std::uint32_t restarts = 0;
    while (!found && !TicketPlugins(std::as_const(Internal(ticket))).IsEmpty()) {
      IMR_TPluginStatus status;
      ZQ_TString name;
      ZQ_TString key;
      try {
        const ZQ_TList& plugins = TicketPlugins(std::as_const(Internal(ticket)));
        name = TextAt(plugins, 0);
        key = TextAt(plugins, 1);
        IMR_IPlugin& plugin = PluginByName(name, key);
        SetImageNumber(ticket, index);
        if (context == nullptr) {
          ZQ_TLockGuard lock(IMR_PluginLock(), !plugin.IsSafePlugin(level));
          context = plugin.CreateContextPlugin(ticket.File(), &buffer, level, types,
                                               TicketPlugins(std::as_const(Internal(ticket))));
        }
        if (context == nullptr) {
          ZQ_TLockGuard lock(IMR_PluginLock(), !plugin.IsSafePlugin(level));
          try {
            status = plugin.ImageInfo(buffer, ticket, level, index, types);
          } catch (const ZQ_EException& error) {
            LogImageInfoFailure(ticket, error);
            throw;
          }
        } else {
          ZQ_TLockGuard lock(IMR_PluginLock(), !context->IsSafePlugin(level));
          try {
            status = context->ImageInfo(ticket, index);
          } catch (const ZQ_EException& error) {
            ZQMESG_Log("%s\n", PXC_Any2String(ZQ_TAny(static_cast<const ZQ_IPackable&>(error))).Narrow());
            throw;
          }
        }
      } catch (const PXC_EDynamicLoaderNoSuchCreator&) {
        status = IMR_PS_NOT_RECOGNIZED;
      } catch (const PXC_EDynamicLoaderNoSuchPlugin&) {
        // A module that cannot be loaded (logged once by the loader) leaves
        // the file to the plugins after it.
        status = IMR_PS_NOT_RECOGNIZED;
      }

      IMR_TPluginWalk::Record(ticket, index, name, key, status);
      switch (status) {
        case IMR_PS_RECOGNIZED:
        case IMR_PS_RECOGNIZED_LIST_CHANGED:
          found = true;
          break;
        case IMR_PS_NOT_RECOGNIZED: {
          ZQ_TList& plugins = MutableTicketPlugins(Internal(ticket));
          plugins.RemoveHead();
          plugins.RemoveHead();
          delete context;
          context = nullptr;
          break;
        }
        case IMR_PS_ABORT:
          MutableTicketPlugins(Internal(ticket)).Clear();
          delete context;
          context = nullptr;
          break;
        case IMR_PS_EMBEDDED_SKIPPED:
        case IMR_PS_EMBEDDED_RESOLVED:
          SetFillLevel(ticket, PXC_FL_EMBEDDED);
          found = true;
          break;
        case IMR_PS_RECOGNIZED_CLEAR_FLAG:
          cacheable = false;
          found = true;
          break;
        default:  // the list changed: start again from its head
          delete context;
          context = nullptr;
          if (++restarts > IMR_Bounds().restarts) {
            ZQMESG_Log("IMR_CORE: the plugin %s restarted the search for image %u of %s more than "
                       "%u times; the image is given up\n",
                       name.Narrow(), index, ticket.File().Text().Narrow(), IMR_Bounds().restarts);
            return false;
          }
          break;
      }
    }
  } catch (const IMR_EMagicInvalidMagicEntry&) {
    throw;
  } catch (const PXC_EBuffer&) {
    // The file cannot be read as it was opened (it changed while it was):
    // a read error, not a file that no plugin knows.
    delete context;
    context = nullptr;
    throw;
  } catch (...) {
    found = false;
  }
  if (!found) {
    delete context;
    context = nullptr;
  }
  return found;
}

std::uint32_t IMR_TCore::ImageNumber(PXC_TImageTicket& ticket) {
  const std::uint32_t position = ticket.ImagePosition();
  const ZQ_TAny* full = std::as_const(Internal(ticket)).ValueOfKey(kImageKey);
  const ZQ_TUInt32* number = full ? full->DynamicCast<ZQ_TUInt32>() : nullptr;
  return number && (number->Value() & 0xFF) == position ? number->Value() : position;
}

void IMR_TCore::SetImageNumber(PXC_TImageTicket& ticket, std::uint32_t image) {
  SetImagePosition(ticket, static_cast<unsigned char>(image));
  // Most files have fewer images, and their tickets carry no entry.
  if (image > 0xFF) {
    Internal(ticket).Add(kImageKey, ZQ_TAny(image));
  } else if (std::as_const(Internal(ticket)).HasKey(kImageKey)) {
    Internal(ticket).Remove(kImageKey);
  }
}

ZQ_TString IMR_TCore::DescribingPlugin(PXC_TImageTicket& ticket) {
  const ZQ_TAny* entry = std::as_const(Internal(ticket)).ValueOfKey(kPluginsKey);
  const ZQ_TList* plugins = entry ? entry->DynamicCast<ZQ_TList>() : nullptr;
  if (plugins == nullptr || plugins->Entries() < 2) return ZQ_TString();
  return TextAt(*plugins, 0) + ZQ_TString("\n") + TextAt(*plugins, 1);
}

// ---------------------------------------------------------------------------
// Embedded images

IMR_TPluginStatus IMR_TCore::ResolveEmbeddedImage(PXC_TImageTicket& ticket, const PXC_IBuffer&,
                                                  PXC_TFillLevel, IMR_TImageTypes types,
                                                  double length, double offset, int relatedIndex,
                                                  PXC_TImageType type, double r1, double r2) {
  if (types != IMR_IT_ALL && type != PXC_IT_UNKNOWN && !IMR_WantsImageType(types, type)) {
    return IMR_PS_EMBEDDED_SKIPPED;
  }
  // 64-bit offsets, so that data beyond 4 GiB of a large file is reached.
  SetFile(ticket, PXC_EmbeddedFile(ticket.File(), static_cast<std::uint64_t>(offset),
                                   static_cast<std::uint64_t>(length), 0, r1, r2));
  SetRelatedIndex(ticket, relatedIndex);
  SetImageType(ticket, type);
  SetNrPages(ticket, static_cast<int>(types));
  return IMR_PS_EMBEDDED_RESOLVED;
}

IMR_TPluginStatus IMR_TCore::ResolveEmbeddedImage(PXC_TImageTicket& ticket,
                                                  const PXC_IBuffer& buffer, PXC_TFillLevel level,
                                                  IMR_TImageTypes types, double length,
                                                  double offset, PXC_TImageType type) {
  return ResolveEmbeddedImage(ticket, buffer, level, types, length, offset,
                              PXC_TImageTicket::sInvalidValue, type, 0.0, 0.0);
}

bool IMR_WantsImageType(IMR_TImageTypes types, PXC_TImageType type) {
  switch (type) {
    case PXC_IT_THUMBNAIL:
      return (types & IMR_IT_THUMBNAIL) != 0;
    case PXC_IT_PREVIEW:
      return (types & IMR_IT_PREVIEW) != 0;
    case PXC_IT_MAIN:
      return (types & IMR_IT_MAIN) != 0;
    case PXC_IT_AUXILIARY:
      return (types & IMR_IT_AUXILIARY) != 0;
    case PXC_IT_PAGE:
      return (types & IMR_IT_PAGE) != 0;
    default:
      return true;
  }
}

ZQ_CLASS_IMPLEMENT(IMR_TCore, ZQ_TObject, &IMR_TCore::ZQ_Create, &IMR_TCore::ZQ_Initialize)
