// Raising tickets and proxies to a higher fill level.
#include "core/imr_core.h"
#include "core/imr_core_private.h"

namespace {
// Embedded data re-described inside an update is followed this deep at most.
constexpr int kMaxRedirections = 16;
thread_local int tRedirections = 0;
}  // namespace

void IMR_TCore::UpdateImageTicket(PXC_TImageTicket& ticket, PXC_TFillLevel level) {
  IMR_TRACE(0x10, "IMR_TCore::UpdateImageTicket(%p)\n", static_cast<void*>(&ticket));
  if (ticket.FillLevel() >= level && ticket.IsTicketValid()) return;
  const bool restore = ticket.FillLevel() >= PXC_FL_ALL_IMAGES;
  const int relatedIndex = ticket.RelatedIndex();
  const PXC_TImageType imageType = ticket.ImageType();
  const std::uint32_t position = ticket.ImagePosition();  // Wipe clears it
  if (ticket.FillLevel() >= PXC_FL_FORMAT) Wipe(ticket);

  try {
    // The file is read anew: its facts as they are now make the result valid.
    SetFile(ticket, ticket.File(), PXC_GetFileInfo(ticket.File()));
    PXC_TBuffer buffer(ticket.File(), 0, 0, sReadAhead);
    const ZQ_TURL file = ticket.File();
    bool cacheable = false;
    bool described;
    {
      IMR_TContextOwner context;
      described = FillUpImageTicket(ticket, buffer, level, position, context.plugin, cacheable,
                                    IMR_IT_ALL);
    }
    if (!described) IMR_THROW(IMR_EPluginCannotUpdateTicket);
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
        }
        --tRedirections;
      }
    }
    if (ticket.FillLevel() == PXC_FL_EMBEDDED) IMR_THROW(IMR_EPluginCannotUpdateTicket);
    if (restore) {
      SetRelatedIndex(ticket, relatedIndex);
      SetImageType(ticket, imageType);
    }
  } catch (const PXC_EBuffer& error) {
    IMR_TRACE(0x04, "IMR_TCore::UpdateImageTicket(%p) failed %s\n", static_cast<void*>(&ticket),
              PXC_Any2String(ZQ_TAny(static_cast<const ZQ_IPackable&>(error))).Narrow());
    IMR_THROW_DATA(IMR_EPluginCannotReadFile, "IMR_EPluginCannotReadFile",
                   ZQ_TAny(static_cast<const ZQ_IPackable&>(error)));
  } catch (const ZQ_EException& error) {
    IMR_TRACE(0x04, "IMR_TCore::UpdateImageTicket(%p) failed %s\n", static_cast<void*>(&ticket),
              PXC_Any2String(ZQ_TAny(static_cast<const ZQ_IPackable&>(error))).Narrow());
    throw;
  } catch (...) {
    IMR_TRACE(0x04, "IMR_TCore::UpdateImageTicket(%p) failed - unspecified exception\n",
              static_cast<void*>(&ticket));
    throw;
  }
}

void IMR_TCore::InternalImage(PXC_TImageTicket& ticket, std::uint32_t index, PXC_TFillLevel level) {
  Wipe(ticket);
  SetImagePosition(ticket, static_cast<unsigned char>(index));
  UpdateImageTicket(ticket, level);
}

void IMR_TCore::UpdateImageProxy(PXC_TImageProxy& proxy, PXC_TFillLevel level) {
  LocalUpdateImageProxy(proxy, level);
}

void IMR_TCore::LocalUpdateImageProxy(PXC_TImageProxy& proxy, PXC_TFillLevel level) {
  if (proxy.Entries() == 0) return;
  const int selected = proxy.IndexOfSelected();
  for (std::uint32_t i = 0; i < proxy.Entries(); ++i) {
    PXC_TImageTicket& ticket = proxy.TicketAt(i);
    if (ticket.FillLevel() >= PXC_FL_ALL_IMAGES) {
      PXC_TImrLink link{ticket.RelatedIndex(), &proxy, ticket.ImageType()};
      ticket.SetImrLink(&link);
    }
    try {
      UpdateImageTicket(ticket, level);
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
