#include "core/imr_ticket_access.h"

// Field setters write the ticket's member; the others call the ticket's own
// setter, which may do more.

PXC_TAlphaPlane IMR_TTicketAccess::SetAlphaPlane(PXC_TImageTicket& t, PXC_TAlphaPlane v) {
  t.iAlphaPlane = v;
  return v;
}

PXC_TChannelEnc IMR_TTicketAccess::SetChannelEncoding(PXC_TImageTicket& t, PXC_TChannelEnc v) {
  t.iChannelEncoding = v;
  return v;
}

PXC_TFillLevel IMR_TTicketAccess::SetFillLevel(PXC_TImageTicket& t, PXC_TFillLevel v) {
  t.iFillLevel = v;
  return v;
}

double IMR_TTicketAccess::SetHRealSize(PXC_TImageTicket& t, double v) {
  t.iHRealSize = v;
  return v;
}

double IMR_TTicketAccess::SetHResolution(PXC_TImageTicket& t, double v) {
  t.iHResolution = v;
  return v;
}

unsigned char IMR_TTicketAccess::SetImagePosition(PXC_TImageTicket& t, unsigned char v) {
  t.iImagePosition = v;
  return v;
}

PXC_TImageSubtype IMR_TTicketAccess::SetImageSubtype(PXC_TImageTicket& t, PXC_TImageSubtype v) {
  t.iImageSubtype = v;
  return v;
}

PXC_TImageType IMR_TTicketAccess::SetImageType(PXC_TImageTicket& t, PXC_TImageType v) {
  t.iImageType = v;
  return v;
}

double IMR_TTicketAccess::SetMarginBottom(PXC_TImageTicket& t, double v) {
  t.iMarginBottom = v;
  return v;
}

double IMR_TTicketAccess::SetMarginLeft(PXC_TImageTicket& t, double v) {
  t.iMarginLeft = v;
  return v;
}

double IMR_TTicketAccess::SetMarginRight(PXC_TImageTicket& t, double v) {
  t.iMarginRight = v;
  return v;
}

double IMR_TTicketAccess::SetMarginTop(PXC_TImageTicket& t, double v) {
  t.iMarginTop = v;
  return v;
}

PXC_TMUnits IMR_TTicketAccess::SetMeasurementUnits(PXC_TImageTicket& t, PXC_TMUnits v) {
  t.iMeasurementUnits = v;
  return v;
}

unsigned int IMR_TTicketAccess::SetNrColumns(PXC_TImageTicket& t, unsigned int v) {
  t.iNrColumns = v;
  return v;
}

unsigned short IMR_TTicketAccess::SetNrInks(PXC_TImageTicket& t, unsigned short v) {
  t.iNrInks = v;
  return v;
}

int IMR_TTicketAccess::SetNrPages(PXC_TImageTicket& t, int v) {
  t.iNrPages = v;
  return v;
}

unsigned int IMR_TTicketAccess::SetNrRows(PXC_TImageTicket& t, unsigned int v) {
  t.iNrRows = v;
  return v;
}

int IMR_TTicketAccess::SetRelatedIndex(PXC_TImageTicket& t, int v) {
  t.iRelatedIndex = v;
  return v;
}

PXC_TImageRotation IMR_TTicketAccess::SetRotation(PXC_TImageTicket& t, PXC_TImageRotation v) {
  t.iRotation = v;
  return v;
}

double IMR_TTicketAccess::SetVRealSize(PXC_TImageTicket& t, double v) {
  t.iVRealSize = v;
  return v;
}

double IMR_TTicketAccess::SetVResolution(PXC_TImageTicket& t, double v) {
  t.iVResolution = v;
  return v;
}

PXC_TCanFlag IMR_TTicketAccess::SetCanAcquire(PXC_TImageTicket& t, PXC_TCanFlag v) { return t.SetCanAcquire(v); }

PXC_TCanFlag IMR_TTicketAccess::SetCanODL(PXC_TImageTicket& t, PXC_TCanFlag v) { return t.SetCanODL(v); }

const ZQ_TString& IMR_TTicketAccess::SetCreatorId(PXC_TImageTicket& t, const ZQ_TString& v) {
  return t.SetCreatorId(v);
}

const ZQ_TString& IMR_TTicketAccess::SetFileFormat(PXC_TImageTicket& t, const ZQ_TString& v) {
  return t.SetFileFormat(v);
}

const ZQ_TString& IMR_TTicketAccess::SetFileFormatVersion(PXC_TImageTicket& t, const ZQ_TString& v) {
  return t.SetFileFormatVersion(v);
}

const ZQ_TString& IMR_TTicketAccess::SetImageProcessor(PXC_TImageTicket& t, const ZQ_TString& v) {
  return t.SetImageProcessor(v);
}

const ZQ_TTime& IMR_TTicketAccess::SetFileTimeStamp(PXC_TImageTicket& t, const ZQ_TTime& v) {
  return t.SetFileTimeStamp(v);
}

const ZQ_TURL& IMR_TTicketAccess::SetFile(PXC_TImageTicket& t, const ZQ_TURL& v) {
  return t.SetFile(v);
}

const ZQ_TURL& IMR_TTicketAccess::SetFile(PXC_TImageTicket& t, const ZQ_TURL& v,
                                          const ZQ_TFileInfo& facts) {
  return t.SetFile(v, facts);
}

int IMR_TTicketAccess::SetRelatedIndex(PXC_TImageTicket& t) {
  const PXC_TImrLink* link = t.GetImrLink();
  t.iRelatedIndex = link ? link->relatedIndex : PXC_TImageTicket::sInvalidValue;
  return t.iRelatedIndex;
}

ZQ_TDict& IMR_TTicketAccess::Internal(PXC_TImageTicket& t) { return t.InternalDictionary(); }

ZQ_TDict& IMR_TTicketAccess::ExtendedInfo(PXC_TImageTicket& t) { return t.MutableExtendedInfo(); }

ZQ_TList& IMR_TTicketAccess::ExternalRefs(PXC_TImageTicket& t) { return t.MutableExternalRefs(); }

void IMR_TTicketAccess::Wipe(PXC_TImageTicket& t) { t.Wipe(); }

PXC_TImageType IMR_TTicketAccess::ImrImageType(const PXC_TImageTicket& t) {
  const PXC_TImrLink* link = t.GetImrLink();
  return link ? link->imageType : PXC_IT_UNKNOWN;
}

int IMR_TTicketAccess::ImrRelatedIndex(const PXC_TImageTicket& t) {
  const PXC_TImrLink* link = t.GetImrLink();
  return link ? link->relatedIndex : PXC_TImageTicket::sInvalidValue;
}

const PXC_TImageProxy* IMR_TTicketAccess::ImrRelatedProxy(const PXC_TImageTicket& t) {
  const PXC_TImrLink* link = t.GetImrLink();
  return link ? link->relatedProxy : nullptr;
}

bool IMR_TTicketAccess::ImrValidInfo(const PXC_TImageTicket& t) { return t.GetImrLink() != nullptr; }
