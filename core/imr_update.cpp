// Raising tickets and proxies to a higher fill level.
#include "core/imr_core.h"
#include "core/imr_core_private.h"

namespace {
// Embedded data re-described inside an update is followed this deep at most.
constexpr int kMaxRedirections = 16;
thread_local int tRedirections = 0;
}  // namespace

// Why a reader declined the file is a fact of its bytes: the raise asks only
// the plugins after that reader, so the reason comes over from the ticket
// raised, first among the details as a fresh description has it, while the
// file is the one it was given for.
void IMR_TCore::KeepRefusal(const PXC_TImageTicket& before, PXC_TImageTicket& ticket) {
  const ZQ_TAny* refusal = before.ExtendedInfo().ValueOfKey(IMR_kRefusalKey);
  if (refusal == nullptr || ticket.ExtendedInfo().HasKey(IMR_kRefusalKey) ||
      !ticket.FileFacts().SameFile(before.FileFacts())) {
    return;
  }
  ZQ_TDict details;
  details.Add(IMR_kRefusalKey, *refusal);
  for (const ZQ_TDict::Entry& entry : ticket.ExtendedInfo()) details.Add(entry.key, entry.value);
  ExtendedInfo(ticket) = details;
}

void IMR_TCore::UpdateImageTicket(PXC_TImageTicket& ticket, PXC_TFillLevel level) {
  UpdateRun run;
  RaiseTicket(ticket, level, run);
}

void IMR_TCore::RaiseTicket(PXC_TImageTicket& ticket, PXC_TFillLevel level, UpdateRun& run) {
  IMR_TRACE(0x10, "IMR_TCore::UpdateImageTicket(%p)\n", static_cast<void*>(&ticket));
  if (ticket.FillLevel() >= level && ticket.IsTicketValid()) return;
  // A failed update leaves the ticket as it was.
  const PXC_TImageTicket before = ticket;
  const bool restore = ticket.FillLevel() >= PXC_FL_ALL_IMAGES;
  const std::uint32_t image = ImageNumber(ticket);  // Wipe clears the position
  if (ticket.FillLevel() >= PXC_FL_FORMAT) Wipe(ticket);

  try {
    const ZQ_TURL file = ticket.File();
    PXC_TBuffer& buffer = run.Open(file);
    // The file as it is now makes the result valid.
    SetFile(ticket, file, run.facts);
    if (run.context.plugin != nullptr && run.contextPlugin != DescribingPlugin(ticket)) run.Forget();
    bool cacheable = false;
    if (!FillUpImageTicket(ticket, buffer, level, image, run.context.plugin, cacheable,
                           IMR_IT_ALL)) {
      IMR_THROW(IMR_EPluginCannotUpdateTicket);
    }
    run.contextPlugin = run.context.plugin != nullptr ? DescribingPlugin(ticket) : ZQ_TString();
    if (ticket.FillLevel() == PXC_FL_EMBEDDED) {
      SetFillLevel(ticket, PXC_FL_FILE);
      if (ticket.File() != file) {
        const ZQ_TURL embedded = ticket.File();
        ++tRedirections;
        try {
          if (tRedirections > kMaxRedirections) {
            IMR_THROW_DATA(IMR_EPlugin, "Embedded images nest deeper than %s levels",
                           ZQ_TAny(static_cast<unsigned int>(kMaxRedirections)));
          }
          InternalImage(ticket, 0, level);
        } catch (...) {
          IMR_LogCaught("IMR_CORE: Cannot resolve image %s ", embedded.Text().Narrow(),
                        std::current_exception());
          SetFillLevel(ticket, PXC_FL_EMBEDDED);  // the data was not described
        }
        --tRedirections;
      }
    }
    if (ticket.FillLevel() == PXC_FL_EMBEDDED) IMR_THROW(IMR_EPluginCannotUpdateTicket);
    // A format that a plugin read from the file (level 3 on) is the file's
    // until the file changes: another one means the bytes described are no
    // longer those the ticket was made of.
    if (before.FillLevel() >= PXC_FL_GEOMETRY && !before.FileFormat().IsEmpty() &&
        ticket.FileFormat() != before.FileFormat()) {
      IMR_THROW(IMR_EPluginCannotUpdateTicket);
    }
    KeepRefusal(before, ticket);
    // Still the work of the core that first described it.
    SetCreatorId(ticket, before.CreatorId());
    if (restore) {
      SetRelatedIndex(ticket, before.RelatedIndex());
      SetImageType(ticket, before.ImageType());
    }
  } catch (const PXC_EBuffer& error) {
    run.Forget();
    ticket = before;
    IMR_TRACE(0x04, "IMR_TCore::UpdateImageTicket(%p) failed %s\n", static_cast<void*>(&ticket),
              PXC_Any2String(ZQ_TAny(static_cast<const ZQ_IPackable&>(error))).Narrow());
    IMR_THROW_DATA(IMR_EPluginCannotReadFile, "IMR_EPluginCannotReadFile",
                   ZQ_TAny(static_cast<const ZQ_IPackable&>(error)));
  } catch (const ZQ_EException& error) {
    run.Forget();
    ticket = before;
    IMR_TRACE(0x04, "IMR_TCore::UpdateImageTicket(%p) failed %s\n", static_cast<void*>(&ticket),
              PXC_Any2String(ZQ_TAny(static_cast<const ZQ_IPackable&>(error))).Narrow());
    throw;
  } catch (...) {
    run.Forget();
    ticket = before;
    IMR_TRACE(0x04, "IMR_TCore::UpdateImageTicket(%p) failed - unspecified exception\n",
              static_cast<void*>(&ticket));
    throw;
  }
}

void IMR_TCore::InternalImage(PXC_TImageTicket& ticket, std::uint32_t index, PXC_TFillLevel level) {
  Wipe(ticket);
  SetImageNumber(ticket, index);
  UpdateImageTicket(ticket, level);
}

void IMR_TCore::UpdateImageProxy(PXC_TImageProxy& proxy, PXC_TFillLevel level) {
  UpdateRun run;
  LocalUpdateImageProxy(proxy, level, run);
}

void IMR_TCore::LocalUpdateImageProxy(PXC_TImageProxy& proxy, PXC_TFillLevel level, UpdateRun& run) {
  if (proxy.Entries() == 0) return;
  const int selected = proxy.IndexOfSelected();
  for (std::uint32_t i = 0; i < proxy.Entries(); ++i) {
    PXC_TImageTicket& ticket = proxy.TicketAt(i);
    if (ticket.FillLevel() >= PXC_FL_ALL_IMAGES) {
      PXC_TImrLink link{ticket.RelatedIndex(), &proxy, ticket.ImageType()};
      ticket.SetImrLink(&link);
    }
    try {
      RaiseTicket(ticket, level, run);
    } catch (...) {
      ticket.RemoveImrLink();  // the link names this proxy only while it is updated
      throw;
    }
    ticket.RemoveImrLink();
  }
  proxy.Select(selected >= 0 && static_cast<std::uint32_t>(selected) < proxy.Entries()
                   ? static_cast<std::uint32_t>(selected)
                   : 0);
}
