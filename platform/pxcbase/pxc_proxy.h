// PXC_TImageProxy: the tickets of one file, in order, with one selected.
#pragma once

#include <cstdint>

#include "pxcbase/pxc_ticket.h"

class PXC_TImageProxy : public ZQ_TObject,
                        public virtual ZQ_IPackable,
                        public virtual ZQ_IPrintable {
  ZQ_CLASS_BOILERPLATE(PXC_TImageProxy)
 public:
  PXC_TImageProxy() = default;
  static ZQ_TObject* ZQ_Create() { return new PXC_TImageProxy; }

  // The tickets, each held as a PXC_TImageTicket in a ZQ_TAny.
  const ZQ_TList& Tickets() const { return iTickets; }
  ZQ_TList& Tickets() { return iTickets; }
  std::uint32_t Entries() const { return iTickets.Entries(); }
  const PXC_TImageTicket& TicketAt(std::uint32_t index) const;
  PXC_TImageTicket& TicketAt(std::uint32_t index);
  // Appends a copy of `ticket`; returns the new entry's key.
  ZQ_TListKey Add(const PXC_TImageTicket& ticket) { return iTickets.AddAtTail(ZQ_TAny(ticket)); }

  const ZQ_TURL& URL() const { return iURL; }
  void SetURL(const ZQ_TURL& url) { iURL = url; }

  // The selected entry's key, or null when nothing is selected (also once the
  // selected entry has been removed).
  const ZQ_TListKey* SelectedKey() const { return IndexOfSelected() < 0 ? nullptr : &iSelected; }
  void SetSelectedKey(const ZQ_TListKey* key) { iSelected = key ? *key : ZQ_TListKey(); }
  // Selects entry `index`; PXC_EImageProxyInternal when there is none.
  void Select(std::uint32_t index);
  // Index of the selected entry, or -1.
  int IndexOfSelected() const { return iTickets.IndexOfKey(iSelected); }
  // The selected ticket, or null.
  const PXC_TImageTicket* Selected() const;
  PXC_TImageTicket* Selected();

  // Identity of the proxy's file: its URL, size and modification time.
  std::uint32_t SmartID() const;

  void ZQ_Pack(ZQ_IPacking& out) const override;
  void ZQ_Unpack(ZQ_IUnpacking& in) override;
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new PXC_TImageProxy(*this); }
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override;
  void PrintOn(std::ostream& out) const override;

 private:
  ZQ_TList iTickets;
  ZQ_TURL iURL;
  ZQ_TListKey iSelected;
};
