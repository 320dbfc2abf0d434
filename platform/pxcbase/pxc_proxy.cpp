#include "pxcbase/pxc_proxy.h"

#include <ostream>

#include "pxcbase/pxc_exceptions.h"

const PXC_TImageTicket& PXC_TImageProxy::TicketAt(std::uint32_t index) const {
  const PXC_TImageTicket* ticket = iTickets[index].DynamicCast<PXC_TImageTicket>();
  if (ticket == nullptr) ZQ_THROW(PXC_EImageProxyInternal, "Entry %s is not a ticket", ZQ_TAny(index));
  return *ticket;
}

PXC_TImageTicket& PXC_TImageProxy::TicketAt(std::uint32_t index) {
  PXC_TImageTicket* ticket = iTickets[index].DynamicCast<PXC_TImageTicket>();
  if (ticket == nullptr) ZQ_THROW(PXC_EImageProxyInternal, "Entry %s is not a ticket", ZQ_TAny(index));
  return *ticket;
}

void PXC_TImageProxy::Select(std::uint32_t index) {
  if (index >= iTickets.Entries()) {
    ZQ_THROW(PXC_EImageProxyInternal, "No entry %s to select", ZQ_TAny(index));
  }
  iSelected = iTickets.KeyAt(index);
}

const PXC_TImageTicket* PXC_TImageProxy::Selected() const {
  const ZQ_TAny* value = iTickets.ValueOfKey(iSelected);
  return value ? value->DynamicCast<PXC_TImageTicket>() : nullptr;
}

PXC_TImageTicket* PXC_TImageProxy::Selected() {
  ZQ_TAny* value = iTickets.ValueOfKey(iSelected);
  return value ? value->DynamicCast<PXC_TImageTicket>() : nullptr;
}

std::uint32_t PXC_TImageProxy::SmartID() const { return ZQ_TFileInfo(iURL, true).SmartID(); }

void PXC_TImageProxy::ZQ_Pack(ZQ_IPacking& out) const {
  out.BeginSection("PXC_TImageProxy");
  iURL.ZQ_Pack(out);
  iTickets.ZQ_Pack(out);
  out.PackI32(IndexOfSelected());
  out.EndSection("PXC_TImageProxy");
}

void PXC_TImageProxy::ZQ_Unpack(ZQ_IUnpacking& in) {
  in.EnterSection("PXC_TImageProxy");
  iURL.ZQ_Unpack(in);
  iTickets.ZQ_Unpack(in);
  std::int32_t selected = in.UnpackI32();
  in.LeaveSection("PXC_TImageProxy");
  iSelected = selected >= 0 && static_cast<std::uint32_t>(selected) < iTickets.Entries()
                  ? iTickets.KeyAt(static_cast<std::uint32_t>(selected))
                  : ZQ_TListKey();
}

bool PXC_TImageProxy::ZQ_IsIdent(const ZQ_IPackable& other) const {
  const PXC_TImageProxy* proxy = ZQ_DynamicCast<PXC_TImageProxy>(&other);
  return proxy != nullptr && proxy->iURL == iURL && proxy->iTickets == iTickets &&
         proxy->IndexOfSelected() == IndexOfSelected();
}

void PXC_TImageProxy::PrintOn(std::ostream& out) const {
  out << ZQ_IPrintable::Prefix() << "Proxy " << iURL.Text() << " (" << Entries()
      << " entries, selected " << IndexOfSelected() << ")\n";
  ZQ_IPrintable::Indent();
  for (std::uint32_t i = 0; i < Entries(); ++i) TicketAt(i).PrintOn(out);
  ZQ_IPrintable::ReverseIndent();
}

ZQ_CLASS_IMPLEMENT(PXC_TImageProxy, ZQ_TObject, &PXC_TImageProxy::ZQ_Create, nullptr,
                   ZQ_IPackable, ZQ_IPrintable)
