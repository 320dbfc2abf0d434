// The ticket setters of the detection library.  A ticket lets only this class
// write most of its fields; the plugin interfaces, the core and the match
// elements inherit it and offer its setters (all of them, or a subset) to
// their subclasses, so each setter has exactly one body.
#pragma once

#include "hostlib/imr_host.h"

class IMR_TTicketAccess {
 protected:
  // Each setter stores its value as given (no checking, no conversion) and
  // returns what it stored.
  static PXC_TAlphaPlane SetAlphaPlane(PXC_TImageTicket& t, PXC_TAlphaPlane v);
  static PXC_TCanFlag SetCanAcquire(PXC_TImageTicket& t, PXC_TCanFlag v);
  static PXC_TCanFlag SetCanODL(PXC_TImageTicket& t, PXC_TCanFlag v);
  static PXC_TChannelEnc SetChannelEncoding(PXC_TImageTicket& t, PXC_TChannelEnc v);
  static const ZQ_TString& SetCreatorId(PXC_TImageTicket& t, const ZQ_TString& v);
  static const ZQ_TURL& SetFile(PXC_TImageTicket& t, const ZQ_TURL& v);
  // Also records the file's facts, for IsTicketValid.
  static const ZQ_TURL& SetFile(PXC_TImageTicket& t, const ZQ_TURL& v, const ZQ_TFileInfo& facts);
  static const ZQ_TString& SetFileFormat(PXC_TImageTicket& t, const ZQ_TString& v);
  static const ZQ_TString& SetFileFormatVersion(PXC_TImageTicket& t, const ZQ_TString& v);
  static const ZQ_TTime& SetFileTimeStamp(PXC_TImageTicket& t, const ZQ_TTime& v);
  static PXC_TFillLevel SetFillLevel(PXC_TImageTicket& t, PXC_TFillLevel v);
  static double SetHRealSize(PXC_TImageTicket& t, double v);
  static double SetHResolution(PXC_TImageTicket& t, double v);
  static unsigned char SetImagePosition(PXC_TImageTicket& t, unsigned char v);
  static const ZQ_TString& SetImageProcessor(PXC_TImageTicket& t, const ZQ_TString& v);
  static PXC_TImageSubtype SetImageSubtype(PXC_TImageTicket& t, PXC_TImageSubtype v);
  static PXC_TImageType SetImageType(PXC_TImageTicket& t, PXC_TImageType v);
  static double SetMarginBottom(PXC_TImageTicket& t, double v);
  static double SetMarginLeft(PXC_TImageTicket& t, double v);
  static double SetMarginRight(PXC_TImageTicket& t, double v);
  static double SetMarginTop(PXC_TImageTicket& t, double v);
  static PXC_TMUnits SetMeasurementUnits(PXC_TImageTicket& t, PXC_TMUnits v);
  static unsigned int SetNrColumns(PXC_TImageTicket& t, unsigned int v);
  static unsigned short SetNrInks(PXC_TImageTicket& t, unsigned short v);
  static int SetNrPages(PXC_TImageTicket& t, int v);
  static unsigned int SetNrRows(PXC_TImageTicket& t, unsigned int v);
  static int SetRelatedIndex(PXC_TImageTicket& t, int v);
  // The related index of the ticket's IMR link, or the invalid value.
  static int SetRelatedIndex(PXC_TImageTicket& t);
  static PXC_TImageRotation SetRotation(PXC_TImageTicket& t, PXC_TImageRotation v);
  static double SetVRealSize(PXC_TImageTicket& t, double v);
  static double SetVResolution(PXC_TImageTicket& t, double v);

  // The ticket's collections, which the ticket keeps to itself.
  static ZQ_TDict& Internal(PXC_TImageTicket& t);
  static ZQ_TDict& ExtendedInfo(PXC_TImageTicket& t);
  static ZQ_TList& ExternalRefs(PXC_TImageTicket& t);
  // Clears the ticket but for its file and Internal entries.
  static void Wipe(PXC_TImageTicket& t);

  // The ticket's IMR link: its image type (0), related index
  // (PXC_TImageTicket::sInvalidValue) and related proxy (null) when it has none.
  static PXC_TImageType ImrImageType(const PXC_TImageTicket& t);
  static int ImrRelatedIndex(const PXC_TImageTicket& t);
  static const PXC_TImageProxy* ImrRelatedProxy(const PXC_TImageTicket& t);
  static bool ImrValidInfo(const PXC_TImageTicket& t);
};
