// The result cache: a described proxy kept in its file's metadata, so that a
// file is analysed once.  The record is three keys:
//   IMR_CACHE_IT   (types asked, the proxy's URL, the selected index, one flag
//                  per ticket telling which list it went to, version 1024)
//   IMR_CACHE_PRI  the tickets of image type 3, in proxy order
//   IMR_CACHE_SEC  all other tickets, in proxy order
// A record that cannot be used is removed, so the next run writes a new one.
#include <atomic>
#include <memory>

#include "core/imr_core.h"

namespace {

const wchar_t kRecordKey[] = L"IMR_CACHE_IT";
const wchar_t kPrimaryKey[] = L"IMR_CACHE_PRI";
const wchar_t kSecondaryKey[] = L"IMR_CACHE_SEC";
const wchar_t kOldKey[] = L"IMR_CACHE";
constexpr unsigned int kRecordVersion = 1024;

const wchar_t* const kShortList[] = {L"KWA", L"KWB", L"KWC", L"PDF", L"VXDOC", L"VXQMBO", L"VXWEN"};
const wchar_t* const kLongList[] = {L"EPS",  L"DCS",  L"PSD",  L"JPEG",   L"JFIF",
                                    L"QMT",  L"PICT", L"TIFF", L"TIFF_IT"};

ZQ_TRWLock& CacheLock() {
  static ZQ_TRWLock* lock = new ZQ_TRWLock;
  return *lock;
}

IMR_TCacheStrategy sStrategy = IMR_CS_ALL;
std::atomic<bool> sDetermined{false};  // sStrategy is final once set

template <std::size_t N>
bool OnList(const ZQ_TString& format, const wchar_t* const (&list)[N]) {
  for (const wchar_t* name : list) {
    if (format == name) return true;
  }
  return false;
}

bool IsProxyCacheable(const PXC_TImageProxy& proxy, IMR_TCacheStrategy strategy) {
  try {
    const PXC_TImageTicket* selected = proxy.Selected();
    const ZQ_TString format = selected ? selected->FileFormat() : ZQ_TString();
    switch (strategy) {
      case IMR_CS_SHORT_LIST:
        return OnList(format, kShortList);
      case IMR_CS_LONG_LIST:
        return OnList(format, kShortList) || OnList(format, kLongList);
      case IMR_CS_ALL:
        return true;
      default:
        return false;
    }
  } catch (...) {
    return true;
  }
}

// Takes ownership of what the metadata store returned.
std::unique_ptr<ZQ_TObject> Owned(ZQ_TObject* object) { return std::unique_ptr<ZQ_TObject>(object); }

template <class T>
const T& Expect(const ZQ_TAny& value, const char* what) {
  const T* typed = value.DynamicCast<T>();
  if (typed == nullptr) {
    IMR_THROW_DATA(PXC_EMetadataCouldNotRead, "The cache record holds a wrong %s", ZQ_TString(what));
  }
  return *typed;
}

template <class T>
const T* ExpectObject(const ZQ_TObject* object, const char* what) {
  if (object == nullptr) return nullptr;
  const T* typed = ZQ_DynamicCast<T>(object);
  if (typed == nullptr) {
    IMR_THROW_DATA(PXC_EMetadataCouldNotRead, "The cache record holds a wrong %s", ZQ_TString(what));
  }
  return typed;
}

const PXC_TImageTicket& TicketAt(const ZQ_TList& list, std::uint32_t index) {
  if (index >= list.Entries()) {
    IMR_THROW_DATA(PXC_EMetadataCouldNotRead, "The cache record holds %s too few tickets",
                   ZQ_TString("a list with"));
  }
  return Expect<PXC_TImageTicket>(list[index], "ticket");
}

}  // namespace

void IMR_TCore::InitIMRCacheLock() { CacheLock(); }

IMR_TCacheStrategy IMR_TCore::GetCacheStrategy() {
  if (sDetermined.load(std::memory_order_acquire)) return sStrategy;
  ZQ_TLockGuard lock(CacheLock(), true);
  if (!sDetermined.load(std::memory_order_relaxed)) {
    try {
      if (const char* text = getenv_utf8("IMR_CACHE_STRATEGY")) {
        ZQMESG_Trace(PXC_DebugFlag, 0x10, "IMR_CACHE_STRATEGY: %s\n", text);
        sStrategy = static_cast<IMR_TCacheStrategy>(std::atoi(text));
      } else {
        const ZQ_TAny value = PXC_CfsWrap().Value(ZQ_TString("/Resources/Modules/IMR/Strategy"));
        if (const ZQ_TUInt32* number = value.DynamicCast<ZQ_TUInt32>()) {
          sStrategy = static_cast<IMR_TCacheStrategy>(number->Value());
        }
      }
    } catch (...) {
      // the strategy keeps the value it has
    }
    sDetermined.store(true, std::memory_order_release);
  }
  return sStrategy;
}

void IMR_TCore::IMR_SetImageProxyCache(const PXC_TImageProxy& proxy, IMR_TImageTypes types,
                                       IMR_TCacheStrategy strategy) {
  // A proxy without selection has no record that could be read back.
  if (!proxy.URL().IsFile() || proxy.IndexOfSelected() < 0 || !IsProxyCacheable(proxy, strategy)) {
    return;
  }
  try {
    PXC_TMetadata metadata(proxy.URL());
    ZQ_TArray record(5);
    record[0] = ZQ_TAny(types);
    record[1] = ZQ_TAny(proxy.URL());
    record[2] = ZQ_TAny(static_cast<unsigned int>(proxy.IndexOfSelected()));
    ZQ_TList primary;
    ZQ_TList secondary;
    ZQ_TList flags;
    for (const ZQ_TList::Entry& entry : proxy.Tickets()) {
      const PXC_TImageTicket* ticket = entry.value.DynamicCast<PXC_TImageTicket>();
      const bool isPrimary = ticket != nullptr && ticket->ImageType() == PXC_IT_MAIN;
      (isPrimary ? primary : secondary).AddAtTail(entry.value);
      flags.AddAtTail(ZQ_TAny(!isPrimary));
    }
    record[3] = ZQ_TAny(flags);
    record[4] = ZQ_TAny(kRecordVersion);
    metadata.SetKeyObject(kRecordKey, record);
    metadata.SetKeyObject(kPrimaryKey, primary);
    metadata.SetKeyObject(kSecondaryKey, secondary);
  } catch (const PXC_EMetadataKeyDoesNotExist&) {
  } catch (const ZQ_EException& error) {
    ZQMESG_Log("IMR_CACHE: Cannot write image metadata %s (%s: %s)\n", proxy.URL().Text().Narrow(),
               error.ClassName(), error.Text().Narrow());
  } catch (...) {
    ZQMESG_Log("IMR_CACHE: Cannot write image metadata %s (non-ZQ exception)\n",
               proxy.URL().Text().Narrow());
  }
}

bool IMR_TCore::IMR_FillCachedImageProxy(const ZQ_TURL& url, PXC_TImageProxy& proxy,
                                         IMR_TImageTypes types) {
  if (!url.IsFile()) return false;
  bool result = false;
  const PXC_TImageProxy kept = proxy;
  try {
    PXC_TMetadata metadata(url);
    // Removes the record, key by key, unless the file or a key is missing.
    auto remove = [&metadata]() {
      for (const wchar_t* key : {kOldKey, kRecordKey, kPrimaryKey, kSecondaryKey}) {
        metadata.RemoveKey(key);
      }
    };
    try {
      std::unique_ptr<ZQ_TObject> recordObject = Owned(metadata.GetKeyObject(kRecordKey));
      const ZQ_TArray* record = ExpectObject<ZQ_TArray>(recordObject.get(), "record");
      // A sound record whose selected image is not a main image stays for
      // the requests it serves.
      bool keep = false;
      if (record != nullptr && record->Entries() == 5 &&
          Expect<ZQ_TUInt32>((*record)[4], "version").Value() == kRecordVersion &&
          Expect<ZQ_TURL>((*record)[1], "URL") == url &&
          (Expect<ZQ_TUInt32>((*record)[0], "types").Value() & types) == types) {
        const std::uint32_t selected = Expect<ZQ_TUInt32>((*record)[2], "selected index").Value();
        const ZQ_TList& flags = Expect<ZQ_TList>((*record)[3], "flag list");
        if (selected >= flags.Entries()) {
          IMR_THROW_DATA(PXC_EMetadataCouldNotRead, "The cache record holds a wrong %s",
                         ZQ_TString("selected index"));
        }
        proxy.Tickets().Clear();
        proxy.SetSelectedKey(nullptr);
        // "Primary images only" reads the main images and skips the others.
        const bool mainOnly = types == IMR_IT_MAIN;
        std::unique_ptr<ZQ_TObject> primaryObject = Owned(metadata.GetKeyObject(kPrimaryKey));
        std::unique_ptr<ZQ_TObject> secondaryObject;
        if (!mainOnly) secondaryObject = Owned(metadata.GetKeyObject(kSecondaryKey));
        const ZQ_TList* primary = ExpectObject<ZQ_TList>(primaryObject.get(), "primary list");
        const ZQ_TList* secondary = ExpectObject<ZQ_TList>(secondaryObject.get(), "secondary list");
        int chosen = -1;
        if (primary != nullptr && (mainOnly || secondary != nullptr)) {
          std::uint32_t nextPrimary = 0;
          std::uint32_t nextSecondary = 0;
          std::uint32_t position = 0;
          for (const ZQ_TList::Entry& flag : flags) {
            const bool inSecondary = Expect<ZQ_TBool>(flag.value, "flag").Value();
            if (position++ == selected && !(inSecondary && mainOnly)) {
              chosen = static_cast<int>(proxy.Entries());
            }
            if (inSecondary && mainOnly) {
              ++nextSecondary;
            } else {
              proxy.Add(inSecondary ? TicketAt(*secondary, nextSecondary++)
                                    : TicketAt(*primary, nextPrimary++));
            }
          }
          if (nextPrimary != primary->Entries() ||
              (secondary != nullptr && nextSecondary != secondary->Entries())) {
            IMR_THROW_DATA(PXC_EMetadataCouldNotRead, "The cache record holds %s",
                           ZQ_TString("more tickets than flags"));
          }
          if (chosen < 0) keep = true;
        }
        if (chosen >= 0) {
          proxy.SetURL(Expect<ZQ_TURL>((*record)[1], "URL"));
          proxy.Select(static_cast<std::uint32_t>(chosen));
          result = proxy.Selected()->IsTicketValid();
        }
      }
      if (!result) proxy = kept;
      // A file without a record has nothing to remove.
      if (!result && record != nullptr && !keep) remove();
    } catch (const PXC_EMetadataFileDoesNotExist&) {
      throw;
    } catch (const PXC_EMetadataKeyDoesNotExist&) {
      throw;
    } catch (...) {
      proxy = kept;
      remove();
      throw;
    }
  } catch (const PXC_EMetadataFileDoesNotExist&) {
  } catch (const PXC_EMetadataKeyDoesNotExist&) {
  } catch (const ZQ_EException& error) {
    ZQMESG_Log("IMR_CACHE: Cannot read image metadata %s (%s: %s)\n", url.Text().Narrow(),
               error.ClassName(), error.Text().Narrow());
  } catch (...) {
    ZQMESG_Log("IMR_CACHE: Cannot read image metadata %s (non-ZQ exception)\n",
               url.Text().Narrow());
  }
  return result;
}
