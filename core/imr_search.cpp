// Walking the images of a file, and listing their formats.
#include "core/imr_core.h"
#include "core/imr_core_private.h"

bool IMR_TCore::FindImage(const ZQ_TURL& url, IMR_TFindCallback callback, void* user,
                          IMR_TImageTypes types) const {
  IMR_TRACE(0x04, "IMR_TCore::FindImage(%s)\n", url.Text().Narrow());
  PXC_TImageTicket ticket;
  IMR_TContextOwner context;
  bool cacheable = false;
  bool failed = false;
  try {
    PXC_TBuffer buffer(url, 0, 0, sReadAhead);
    PrepareTicket(ticket, url, PXC_GetFileInfo(url), nullptr);
    SetImagePosition(ticket, 0);
    for (std::uint32_t image = 0;; ++image) {
      if (!FillUpImageTicket(ticket, buffer, PXC_FL_FORMAT, image, context.plugin, cacheable, types)) {
        break;
      }
      if (image >= ImageBound()) {
        ZQMESG_Log("IMR_CORE: %s yields more than %u images; the rest is not described\n",
                   url.Text().Narrow(), ImageBound());
        break;
      }
      if (ticket.FillLevel() != PXC_FL_EMBEDDED &&
          callback(ticket, const_cast<IMR_TCore&>(*this), user)) {
        break;
      }
      Wipe(ticket);
      SetImageNumber(ticket, image + 1);
    }
  } catch (...) {
    IMR_LogCaught("IMR_CORE: Cannot resolve image %s ", url.Text().Narrow(),
                  std::current_exception());
    failed = true;
  }
  return failed;
}

namespace {
bool ListFormat(PXC_TImageTicket& ticket, IMR_TCore&, void* user) {
  static_cast<ZQ_TList*>(user)->AddAtTail(ZQ_TAny(ticket.FileFormat()));
  return false;
}
}  // namespace

ZQ_TList& IMR_TCore::ImageTypes(ZQ_TList& list, const ZQ_TURL& url) const {
  IMR_TRACE(0x04, "IMR_TCore::ImageTypes(%s)\n", url.Text().Narrow());
  FindImage(url, &ListFormat, &list, IMR_IT_ALL);
  return list;
}
