// The main road: from a URL to a described proxy, through the cache or one
// read buffer over the file, with embedded images described from reserved
// ranges of the same buffer.
#include "core/imr_core.h"
#include "core/imr_core_private.h"

namespace {
const ZQ_TString kPluginsKey("imr_plugins");
// Embedded images inside embedded images are followed this deep at most.
constexpr int kMaxEmbedding = 16;
thread_local int tEmbedding = 0;
}  // namespace

const ZQ_TListKey* IMR_TCore::FillImageProxy(PXC_TImageProxy& proxy, const ZQ_TURL& url,
                                             PXC_TFillLevel level, IMR_TImageTypes types) const {
  bool cacheable = iDefaultList;
  bool recognized = true;
  // The file's facts come from the buffer opened on it (no second look at
  // the file), or are not needed when the cache answers.
  const ZQ_TListKey* selected = FillUpImageProxy(true, proxy, url, level, types, ZQ_TFileInfo(),
                                                 cacheable, nullptr, nullptr, recognized);
  if (!recognized) ThrowNotRecognized(url);
  return selected;
}

const ZQ_TListKey* IMR_TCore::FillImageProxy(PXC_TImageProxy& proxy, const ZQ_TURL& url,
                                             PXC_TFillLevel level, IMR_TImageTypes types,
                                             const std::nothrow_t&) const {
  bool cacheable = iDefaultList;
  bool recognized = true;
  const ZQ_TListKey* selected = FillUpImageProxy(true, proxy, url, level, types, ZQ_TFileInfo(),
                                                 cacheable, nullptr, nullptr, recognized);
  return recognized ? selected : nullptr;
}

void IMR_TCore::ThrowNotRecognized(const ZQ_TURL& url) {
  IMR_THROW_DATA(IMR_EPluginFileNotRecognized, "File %s not recognized", url.Text());
}

void IMR_TCore::PrepareTicket(PXC_TImageTicket& ticket, const ZQ_TURL& url,
                              const ZQ_TFileInfo& facts, const PXC_TImrLink* link) const {
  Internal(ticket).Add(kPluginsKey, ZQ_TAny(iPlugins));
  ticket.SetImrLink(link);
  SetCreatorId(ticket, ZQ_TString(ClassName()));
  SetFile(ticket, url, facts);
  SetFillLevel(ticket, PXC_FL_FILE);
}

bool IMR_TCore::MayWriteCache(PXC_TFillLevel level, IMR_TImageTypes types) const {
  return sWriteToCache && iStrategy != IMR_CS_NONE && types <= 7 && level >= PXC_FL_ALL_IMAGES &&
         PXC_TNameSearch::IsDefaultCfg();
}

const ZQ_TListKey* IMR_TCore::FillUpImageProxy(bool clear, PXC_TImageProxy& proxy,
                                               const ZQ_TURL& url, PXC_TFillLevel level,
                                               IMR_TImageTypes types, const ZQ_TFileInfo& facts,
                                               bool& cacheable, const PXC_IBuffer* buffer,
                                               PXC_TImrLink* link, bool& recognized) const {
  ZQ_TListKey result;
  bool final = false;
  IMR_TContextOwner context;
  if (proxy.Entries() != 0) {
    if (clear) {
      proxy = PXC_TImageProxy();
    } else {
      if (const ZQ_TListKey* selected = proxy.SelectedKey()) result = *selected;
      final = true;
    }
  }
  proxy.SetURL(url);

  if (sReadFromCache && iStrategy != IMR_CS_NONE && cacheable && types <= 7 &&
      PXC_TNameSearch::IsDefaultCfg() && ReadCache(url, proxy, level, types)) {
    IMR_TRACE(0x04,
              "IMR_TCore::FillImageProxy(this=%p) file [%s] with [%d] entries has been read from "
              "the cache\n",
              static_cast<const void*>(this), url.Text().Narrow(), proxy.Entries());
    return proxy.SelectedKey();
  }

  try {
    // Built in place: no buffer object of its own to copy and free per file.
    PXC_TBuffer run = buffer ? PXC_TBuffer(*buffer) : PXC_TBuffer(url, 0, 0, sReadAhead);
    const bool storable = cacheable && MayWriteCache(level, types);
    const bool ownFacts = facts.URL().IsEmpty();
    const ZQ_TFileInfo fileFacts = ownFacts ? run.Facts(false) : facts;
    const std::uint32_t first = proxy.Entries();

    PXC_TImageTicket ticket;
    PrepareTicket(ticket, url, fileFacts, link);
    if (level < PXC_FL_ALL_IMAGES) {
      if (!FillUpImageTicket(ticket, run, level, 0, context.plugin, cacheable, types)) {
        recognized = false;
        return nullptr;
      }
      if (link != nullptr) ticket.RemoveImrLink();
      ZQ_TListKey added = proxy.Add(ticket);
      if (result.IsNull()) result = added;
    } else {
      std::uint32_t image = 0;
      for (;; ++image) {
        if (!FillUpImageTicket(ticket, run, level, image, context.plugin, cacheable, types)) break;
        // Only an image beyond the bound that exists is worth the log entry.
        if (image >= ImageBound()) {
          ZQMESG_Log("IMR_CORE: %s yields more than %u images; the rest is not described\n",
                     url.Text().Narrow(), ImageBound());
          break;
        }
        if (ticket.FillLevel() != PXC_FL_EMBEDDED) {
          // The proxy's copy leaves the link behind; the ticket keeps it for
          // the next images.
          ZQ_TListKey added;
          if (link != nullptr) {
            ticket.RemoveImrLink();
            added = proxy.Add(ticket);
            ticket.SetImrLink(link);
          } else {
            added = proxy.Add(ticket);
          }
          const bool main = ticket.ImageType() == PXC_IT_MAIN;
          if (result.IsNull()) {
            result = added;
            final = main;
          } else if (!final && main) {
            result = added;
            final = true;
          }
        } else {
          ResolveEmbedded(ticket, run, proxy, url, level, fileFacts, cacheable);
        }
        Wipe(ticket);
      }
      if (image == 0) {
        recognized = false;
        return nullptr;
      }
    }
    proxy.SetSelectedKey(&result);
    // A plugin may have made the description uncacheable since.
    if (storable && cacheable) {
      if (ownFacts) AddDigest(proxy, first, url, fileFacts, run);
      IMR_SetImageProxyCache(proxy, types, iStrategy);
    }
  } catch (const PXC_EBuffer& error) {
    IMR_THROW_DATA(IMR_EPluginCannotReadFile, "IMR_EPluginCannotReadFile",
                   ZQ_TAny(static_cast<const ZQ_IPackable&>(error)));
  }
  return proxy.SelectedKey();
}

// The digest of the bytes (a read of the file's tail and a pass over both
// ends) tells a record from a rewrite that kept the file's other facts.  It
// is taken only for a description about to be stored, so that a file no
// plugin recognises costs no read beyond its head, and goes to the tickets
// of the file itself from `first` on (embedded data has its own).
void IMR_TCore::AddDigest(PXC_TImageProxy& proxy, std::uint32_t first, const ZQ_TURL& url,
                          const ZQ_TFileInfo& facts, const PXC_TBuffer& run) {
  const ZQ_TFileInfo digested = run.Facts(true);
  for (std::uint32_t i = first; i < proxy.Entries(); ++i) {
    PXC_TImageTicket& ticket = proxy.TicketAt(i);
    if (ticket.File() == url && !ticket.FileFacts().hasDigest &&
        ticket.FileFacts().SameFile(facts.Facts())) {
      SetFile(ticket, url, digested);
    }
  }
}

void IMR_TCore::ResolveEmbedded(PXC_TImageTicket& ticket, PXC_TBuffer& run,
                                PXC_TImageProxy& proxy, const ZQ_TURL& url, PXC_TFillLevel level,
                                const ZQ_TFileInfo& facts, bool& cacheable) const {
  SetFillLevel(ticket, PXC_FL_ALL_IMAGES);
  if (ticket.File() != url) {
    PXC_TImrLink link{ticket.RelatedIndex(), &proxy, ticket.ImageType()};
    const IMR_TImageTypes types = static_cast<IMR_TImageTypes>(ticket.NrPages());
    SetFillLevel(ticket, PXC_FL_FILE);
    const ZQ_TURL embedded = ticket.File();
    ++tEmbedding;
    try {
      if (tEmbedding > kMaxEmbedding) {
        IMR_THROW_DATA(IMR_EPlugin, "Embedded images nest deeper than %s levels",
                       ZQ_TAny(static_cast<unsigned int>(kMaxEmbedding)));
      }
      std::uint64_t offset = PXC_Embedded2Tag(embedded).Offset();
      if (url.IsEmbed()) offset -= PXC_Embedded2Tag(url).Offset();
      const PXC_IBuffer& reserved = run.Reserve(offset, embedded.EmbedLength(), sReadAhead);
      PXC_TImageProxy described;
      // The range's own facts (taken from its buffer), so that its tickets
      // are valid while the file is.
      bool recognized = true;
      FillUpImageProxy(true, described, embedded, level, types, ZQ_TFileInfo(), cacheable,
                       &reserved, &link, recognized);
      if (!recognized) ThrowNotRecognized(embedded);
      for (std::uint32_t i = 0; i < described.Entries(); ++i) {
        PXC_TImageTicket copy = described.TicketAt(i);
        copy.RemoveImrLink();
        proxy.Add(copy);
      }
    } catch (...) {
      IMR_LogCaught("IMR_CORE: Cannot resolve image %s ", embedded.Text().Narrow(),
                    std::current_exception());
      cacheable = false;
    }
    --tEmbedding;
  }
  run.FreeReservation();
  SetFile(ticket, url, facts);
  SetFillLevel(ticket, PXC_FL_FILE);
}

ZQ_TListKey IMR_TCore::AddToImageProxy(PXC_TImrLink& link, const ZQ_TURL& url,
                                       PXC_TFillLevel level, IMR_TImageTypes types) const {
  if (link.relatedProxy == nullptr) IMR_THROW(IMR_EPluginParentProxyUndefined);
  PXC_TImageProxy& parent = const_cast<PXC_TImageProxy&>(*link.relatedProxy);
  const std::uint32_t before = parent.Entries();
  PXC_TImageProxy cached;
  if (sReadFromCache && iStrategy != IMR_CS_NONE && PXC_TNameSearch::IsDefaultCfg() &&
      ReadCache(url, cached, level, types)) {
    IMR_TRACE(0x04, "IMR_TCore::AddToImageProxy(this=%p) file [%s] has been read from the cache\n",
              static_cast<const void*>(this), url.Text().Narrow());
    for (std::uint32_t i = 0; i < cached.Entries(); ++i) {
      PXC_TImageTicket ticket = cached.TicketAt(i);
      ticket.RemoveImrLink();
      if (link.relatedIndex >= 0) SetRelatedIndex(ticket, link.relatedIndex);
      if (ticket.ImageType() == PXC_IT_MAIN) SetImageType(ticket, link.imageType);
      parent.Add(ticket);
    }
  } else {
    // The run keeps the parent's entries and selection; its URL stays the
    // parent's file too.
    const ZQ_TURL parentURL = parent.URL();
    bool cacheable = false;
    try {
      bool recognized = true;
      FillUpImageProxy(false, parent, url, level, types, PXC_GetFileInfo(url), cacheable, nullptr,
                       &link, recognized);
      if (!recognized) ThrowNotRecognized(url);
    } catch (...) {
      parent.SetURL(parentURL);
      throw;
    }
    parent.SetURL(parentURL);
    for (std::uint32_t i = 0; i < parent.Entries(); ++i) parent.TicketAt(i).RemoveImrLink();
  }
  return parent.Entries() > before ? parent.Tickets().KeyAt(before) : ZQ_TListKey();
}

bool IMR_TCore::ReadCache(const ZQ_TURL& url, PXC_TImageProxy& proxy, PXC_TFillLevel level,
                          IMR_TImageTypes types) {
  // A record to raise is checked against the file the raise opens: one look
  // at the file, not two.
  std::optional<UpdateRun> run;
  const auto current = [&](const PXC_TImageTicket& selected) {
    if (selected.FillLevel() >= level) return selected.IsTicketValid();
    try {
      run.emplace().Open(url);
    } catch (const PXC_EBuffer&) {
      return false;  // gone or unreadable: described afresh, which says why
    }
    return selected.IsTicketValid(run->facts.Facts());
  };
  // Passed by reference, so that the function object allocates no copy.
  if (!FillFromRecord(url, proxy, types, std::cref(current))) return false;
  if (proxy.Selected()->FillLevel() >= level) return true;
  // Raised with the plugins that described it.  A record that cannot be
  // raised (the file changed under it, a plugin that can no longer read it)
  // would fail again: it is replaced by a fresh description.
  const ZQ_TFileFacts recorded = proxy.Selected()->FileFacts();
  try {
    LocalUpdateImageProxy(proxy, level, *run);
    // The file read for the raise must be the one the record was made of.
    if (proxy.Selected()->FileFacts().SameFile(recorded)) return true;
    ZQMESG_Log("IMR_CACHE: Cannot raise the cached description of %s (the file changed)\n",
               url.Text().Narrow());
  } catch (...) {
    IMR_LogCaught("IMR_CACHE: Cannot raise the cached description of %s ", url.Text().Narrow(),
                  std::current_exception());
  }
  IMR_RemoveImageProxyCache(url);
  proxy = PXC_TImageProxy();
  proxy.SetURL(url);
  return false;
}

bool IMR_TCore::LoadProxyCache(PXC_TImageProxy& proxy, const ZQ_TURL& url,
                               IMR_TImageTypes types) {
  return IMR_FillCachedImageProxy(url, proxy, types);
}
