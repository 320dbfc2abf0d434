// The result cache: a described proxy kept in its file's metadata, so that a
// file is analysed once.  The record is three keys:
//   IMR_CACHE_IT   (types asked, the proxy's URL, the selected index, one flag
//                  per ticket telling which list it went to, version 1024)
//   IMR_CACHE_PRI  the tickets of image type 3, in proxy order
//   IMR_CACHE_SEC  all other tickets, in proxy order
// A record that cannot be used is removed, so the next run writes a new one.
// Failures to write or remove a record are logged once per reason.
#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/imr_core.h"
#include "core/imr_core_private.h"

namespace {

// The keys, made once: every cache read names them.  `old` is the key of
// the record's earlier form, only ever removed.
struct RecordKeys {
  ZQ_TString record{"IMR_CACHE_IT"};
  ZQ_TString primary{"IMR_CACHE_PRI"};
  ZQ_TString secondary{"IMR_CACHE_SEC"};
  ZQ_TString old{"IMR_CACHE"};
};
const RecordKeys& Keys() {
  static const RecordKeys* const keys = new RecordKeys;
  return *keys;
}
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

namespace {

// Failures that come from where a file lies (its permissions, a read-only or
// full file system, one without user attributes) recur file after file: each
// is logged for the first file only.
bool FirstOfItsKind(const ZQ_EException& error) {
  static std::mutex mutex;
  static std::set<std::string>* const seen = new std::set<std::string>;
  std::lock_guard lock(mutex);
  return seen->insert(error.ClassName() + std::string(": ") + error.Message().Std()).second;
}

// Removes the record, key by key, holding off other writers and removers (a
// write between two of the removals would be left without one of its
// lists); a missing file or key ends the removal.  A file whose metadata
// cannot be changed keeps its record: the failure is logged, and the record
// keeps failing the same test.
void RemoveRecord(PXC_TMetadata& metadata, const ZQ_TURL& url) {
  const PXC_TMetadata::Hold hold(metadata);
  try {
    const RecordKeys& keys = Keys();
    for (const ZQ_TString* key : {&keys.old, &keys.record, &keys.primary, &keys.secondary}) {
      metadata.RemoveKey(*key);
    }
  } catch (const PXC_EMetadataFileDoesNotExist&) {
  } catch (const PXC_EMetadataKeyDoesNotExist&) {
  } catch (const ZQ_EException& error) {
    if (!FirstOfItsKind(error)) return;
    ZQMESG_Log("IMR_CACHE: Cannot remove the unusable record of %s (%s: %s)\n",
               url.Text().Narrow(), error.ClassName(), error.Text().Narrow());
  }
}

}  // namespace

void IMR_TCore::IMR_SetImageProxyCache(const PXC_TImageProxy& proxy, IMR_TImageTypes types,
                                       IMR_TCacheStrategy strategy) {
  // A proxy without selection has no record that could be read back.
  if (!proxy.URL().IsFile() || proxy.IndexOfSelected() < 0 || !IsProxyCacheable(proxy, strategy)) {
    return;
  }
  PXC_TMetadata metadata(proxy.URL());
  // The record key goes last, so that a reader finds the record once it is
  // whole; a write that fails part-way removes the record, rather than leave
  // new keys beside an older record's.  Other writers and removers are held
  // off meanwhile.
  std::size_t written = 0;
  try {
    const PXC_TMetadata::Hold hold(metadata);
    // The tickets' facts are confirmed now: what changes the file after this
    // moment (the record's own write aside) makes the tickets look again.
    const ZQ_TTime now = ZQ_TTime::Now();
    auto confirmed = [&now](PXC_TImageTicket ticket) {
      ZQ_TFileFacts facts = ticket.FileFacts();
      if (facts.exists) {
        facts.examined = now;
        SetFile(ticket, ticket.File(), ZQ_TFileInfo(ticket.File(), facts));
      }
      return ticket;
    };
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
      (isPrimary ? primary : secondary)
          .AddAtTail(ticket != nullptr ? ZQ_TAny(confirmed(*ticket)) : entry.value);
      flags.AddAtTail(ZQ_TAny(!isPrimary));
    }
    record[3] = ZQ_TAny(flags);
    record[4] = ZQ_TAny(kRecordVersion);
    using Key = std::pair<const ZQ_TString*, const ZQ_IPackable*>;
    for (const Key& key : {Key{&Keys().primary, &primary}, Key{&Keys().secondary, &secondary},
                           Key{&Keys().record, &record}}) {
      metadata.SetKeyObject(*key.first, *key.second);
      ++written;
    }
    return;
  } catch (const PXC_EMetadataFileDoesNotExist&) {
    return;
  } catch (const ZQ_EException& error) {
    if (FirstOfItsKind(error)) {
      ZQMESG_Log("IMR_CACHE: Cannot write image metadata %s (%s: %s)\n",
                 proxy.URL().Text().Narrow(), error.ClassName(), error.Text().Narrow());
    }
  } catch (...) {
    ZQMESG_Log("IMR_CACHE: Cannot write image metadata %s (non-ZQ exception)\n",
               proxy.URL().Text().Narrow());
  }
  // Keys written beside the old record's others would make a record of two.
  if (written > 0) RemoveRecord(metadata, proxy.URL());
}

namespace {

void LogReadFailure(const ZQ_TURL& url, const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const PXC_EMetadataFileDoesNotExist&) {
  } catch (const PXC_EMetadataKeyDoesNotExist&) {
  } catch (const ZQ_EException& error) {
    if (!FirstOfItsKind(error)) return;
    ZQMESG_Log("IMR_CACHE: Cannot read image metadata %s (%s: %s)\n", url.Text().Narrow(),
               error.ClassName(), error.Text().Narrow());
  } catch (...) {
    ZQMESG_Log("IMR_CACHE: Cannot read image metadata %s (non-ZQ exception)\n",
               url.Text().Narrow());
  }
}

// The record key, read in place: its values in the order they were written.
struct RecordHead {
  std::uint32_t values = 0;
  std::uint32_t types = 0;
  ZQ_TURL url;
  std::uint32_t selected = 0;
  std::vector<bool> secondary;  // per ticket: whether the second list holds it
  std::uint32_t version = 0;
};

[[noreturn]] void Damaged(const char* what) {
  IMR_THROW_DATA(PXC_EMetadataCouldNotRead, "The cache record holds %s", ZQ_TString(what));
}

// False when the file has no record.
bool ReadHead(const PXC_TMetadata& metadata, RecordHead& head) {
  return metadata.ReadKey(Keys().record, [&head](ZQ_TDataStream& in) {
    ZQ_UnpackValues(in, ZQ_TArray::ZQ_ClassName(), [&](std::uint32_t index) {
      switch (index) {
        case 0: head.types = ZQ_TAny::UnpackU32Value(in); break;
        case 1: in.UnpackObjectValue(head.url); break;
        case 2: head.selected = ZQ_TAny::UnpackU32Value(in); break;
        case 3:
          ZQ_TAny::UnpackObjectTag(in);
          ZQ_UnpackValues(in, ZQ_TList::ZQ_ClassName(), [&](std::uint32_t) {
            head.secondary.push_back(ZQ_TAny::UnpackBoolValue(in));
          });
          break;
        case 4: head.version = ZQ_TAny::UnpackU32Value(in); break;
        default: Damaged("too many values");
      }
      head.values = index + 1;
    });
  });
}

using Tickets = std::vector<std::unique_ptr<PXC_TImageTicket>>;

// The tickets of a list key, read straight into tickets; false when the key
// is missing.
bool ReadTickets(const PXC_TMetadata& metadata, const ZQ_TString& key, Tickets& tickets) {
  return metadata.ReadKey(key, [&tickets](ZQ_TDataStream& in) {
    ZQ_UnpackValues(in, ZQ_TList::ZQ_ClassName(), [&](std::uint32_t) {
      tickets.push_back(std::make_unique<PXC_TImageTicket>());
      in.UnpackObjectValue(*tickets.back());
    });
  });
}

// Whether the tickets come from one write: each write stamps its tickets'
// facts with its own moment, and two writers at once may leave one's lists
// beside the other's.
bool OneWrite(const PXC_TImageProxy& proxy) {
  const ZQ_TTime* stamp = nullptr;
  for (std::uint32_t i = 0; i < proxy.Entries(); ++i) {
    const ZQ_TFileFacts& facts = proxy.TicketAt(i).FileFacts();
    if (!facts.exists) continue;
    if (stamp != nullptr && facts.examined != *stamp) return false;
    stamp = &facts.examined;
  }
  return true;
}

// What a read made of a record.
enum class Reading {
  kAnswered,  // the proxy holds the record's answer
  kUnusable,  // not this file's, not complete enough, or no longer current
  kChanging,  // another thread or process is writing or removing it
};

// Whether a record whose list of other tickets was found missing stays so:
// a removal under way elsewhere (the record key first, then the lists), or a
// write that follows it, shows the same for a moment.
bool SecondListStaysMissing(const PXC_TMetadata& metadata) {
  return metadata.HasKey(Keys().record) && !metadata.HasKey(Keys().secondary);
}

// Fills `proxy` from the record of a file, read as `head`, that holds
// `types`; as `isCurrent` tells, the record may be no longer the file's as
// it is.  Throws on a damaged record.
Reading ReadRecord(const PXC_TMetadata& metadata, const RecordHead& head, const ZQ_TURL& url,
                   PXC_TImageProxy& proxy, IMR_TImageTypes types,
                   const std::function<bool(const PXC_TImageTicket&)>& isCurrent) {
  if (head.values != 5 || head.version != kRecordVersion || head.url != url ||
      (head.types & types) != types) {
    return Reading::kUnusable;
  }
  if (head.selected >= head.secondary.size()) Damaged("a wrong selected index");
  const bool selectedIsSecondary = head.secondary[head.selected];
  const bool hasSecondary =
      std::find(head.secondary.begin(), head.secondary.end(), true) != head.secondary.end();
  Tickets primary;
  if (!ReadTickets(metadata, Keys().primary, primary)) return Reading::kUnusable;
  // "Main images only" leaves the other tickets unread, unless the selected
  // one is among them.  A record whose second list is gone answers with its
  // main images, as one read for them does.
  Tickets secondary;
  bool secondaryRead = false;
  if (hasSecondary && (types != IMR_IT_MAIN || selectedIsSecondary)) {
    secondaryRead = ReadTickets(metadata, Keys().secondary, secondary);
    if (!secondaryRead && !SecondListStaysMissing(metadata)) return Reading::kChanging;
  }

  proxy.Tickets().Clear();
  proxy.SetSelectedKey(nullptr);
  int chosen = -1;
  std::size_t nextPrimary = 0;
  std::size_t nextSecondary = 0;
  for (std::size_t position = 0; position < head.secondary.size(); ++position) {
    const bool inSecondary = head.secondary[position];
    if (position == head.selected && (!inSecondary || secondaryRead)) {
      chosen = static_cast<int>(proxy.Entries());
    }
    if (inSecondary && !secondaryRead) continue;
    Tickets& list = inSecondary ? secondary : primary;
    std::size_t& next = inSecondary ? nextSecondary : nextPrimary;
    if (next >= list.size()) Damaged("a list with too few tickets");
    proxy.Tickets().AddAtTail(ZQ_TAny::Adopt(list[next++].release()));
  }
  if (nextPrimary != primary.size() || nextSecondary != secondary.size()) {
    Damaged("more tickets than flags");
  }
  // Without the other tickets (main images asked for, or a record whose
  // second list is gone) the selected one may be missing: the first main
  // image answers instead.
  if (chosen < 0) chosen = proxy.Entries() > 0 ? 0 : -1;
  if (chosen < 0 || !OneWrite(proxy)) return Reading::kUnusable;
  proxy.SetURL(head.url);
  proxy.Select(static_cast<std::uint32_t>(chosen));
  return isCurrent(*proxy.Selected()) ? Reading::kAnswered : Reading::kUnusable;
}

}  // namespace

bool IMR_TCore::IMR_FillCachedImageProxy(const ZQ_TURL& url, PXC_TImageProxy& proxy,
                                         IMR_TImageTypes types) {
  return FillFromRecord(url, proxy, types,
                        [](const PXC_TImageTicket& selected) { return selected.IsTicketValid(); });
}

bool IMR_TCore::FillFromRecord(const ZQ_TURL& url, PXC_TImageProxy& proxy, IMR_TImageTypes types,
                               const std::function<bool(const PXC_TImageTicket&)>& isCurrent) {
  if (!url.IsFile()) return false;
  const PXC_TImageProxy kept = proxy;
  PXC_TMetadata metadata(url);
  try {
    RecordHead head;
    if (!ReadHead(metadata, head)) return false;  // nothing cached, nothing to remove
    const Reading reading = ReadRecord(metadata, head, url, proxy, types, isCurrent);
    if (reading == Reading::kAnswered) return true;
    proxy = kept;
    // A record being changed elsewhere is left to whoever changes it.
    if (reading == Reading::kUnusable) RemoveRecord(metadata, url);
  } catch (...) {
    // A damaged record is reported and removed.
    proxy = kept;
    LogReadFailure(url, std::current_exception());
    RemoveRecord(metadata, url);
  }
  return false;
}

void IMR_RemoveImageProxyCache(const ZQ_TURL& url) {
  if (!url.IsFile()) return;
  try {
    PXC_TMetadata metadata(url);
    RemoveRecord(metadata, url);
  } catch (...) {
    LogReadFailure(url, std::current_exception());
  }
}
