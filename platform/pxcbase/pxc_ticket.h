// PXC_TImageTicket: the description of one image of a file.  Anyone may read
// a ticket; most fields are written only by the detection library, through
// the class IMR_TTicketAccess that the ticket befriends.
#pragma once

#include <cstdint>

#include "pxcbase/pxc_enums.h"
#include "zqtypes/zqtypes.h"

class PXC_TImageProxy;

// Ties a ticket being filled to the proxy of its parent file.
struct PXC_TImrLink {
  std::int32_t relatedIndex;
  const PXC_TImageProxy* relatedProxy;
  PXC_TImageType imageType;
};

class PXC_TImageTicket : public ZQ_TObject,
                         public virtual ZQ_IPackable,
                         public virtual ZQ_IPrintable {
  ZQ_CLASS_BOILERPLATE(PXC_TImageTicket)
 public:
  // The related index of a ticket that has none.
  static const std::int32_t sInvalidValue;

  PXC_TImageTicket() = default;
  PXC_TImageTicket(const PXC_TImageTicket& other);
  PXC_TImageTicket& operator=(const PXC_TImageTicket& other);
  ~PXC_TImageTicket() override;
  static ZQ_TObject* ZQ_Create();

  PXC_TAlphaPlane AlphaPlane() const { return iAlphaPlane; }
  PXC_TCanFlag CanAcquire() const { return iCanAcquire; }
  PXC_TCanFlag CanODL() const { return iCanODL; }
  PXC_TChannelEnc ChannelEncoding() const { return iChannelEncoding; }
  const ZQ_TString& CreatorId() const { return iCreatorId; }
  const ZQ_TURL& File() const { return iFile; }
  const ZQ_TString& FileFormat() const { return iFileFormat; }
  const ZQ_TString& FileFormatVersion() const { return iFileFormatVersion; }
  const ZQ_TTime& FileTimeStamp() const { return iFileTimeStamp; }
  PXC_TFillLevel FillLevel() const { return iFillLevel; }
  double HRealSize() const { return iHRealSize; }
  double HResolution() const { return iHResolution; }
  std::uint8_t ImagePosition() const { return iImagePosition; }
  const ZQ_TString& ImageProcessor() const { return iImageProcessor; }
  PXC_TImageSubtype ImageSubtype() const { return iImageSubtype; }
  PXC_TImageType ImageType() const { return iImageType; }
  double MarginBottom() const { return iMarginBottom; }
  double MarginLeft() const { return iMarginLeft; }
  double MarginRight() const { return iMarginRight; }
  double MarginTop() const { return iMarginTop; }
  PXC_TMUnits MeasurementUnits() const { return iMeasurementUnits; }
  std::uint32_t NrColumns() const { return iNrColumns; }
  std::uint16_t NrInks() const { return iNrInks; }
  std::int32_t NrPages() const { return iNrPages; }
  std::uint32_t NrRows() const { return iNrRows; }
  std::int32_t RelatedIndex() const { return iRelatedIndex; }
  PXC_TImageRotation Rotation() const { return iRotation; }
  double VRealSize() const { return iVRealSize; }
  double VResolution() const { return iVResolution; }
  // The file's facts when it was set with them (none otherwise).
  const ZQ_TFileFacts& FileFacts() const { return iFileFacts; }

  const PXC_TCanFlag& SetCanAcquire(PXC_TCanFlag flag);
  const PXC_TCanFlag& SetCanODL(PXC_TCanFlag flag);

  // An entry of the Internal dictionary; PXC_EImageTicketKeyNotFound when absent.
  const ZQ_TAny& Internal(const ZQ_TString& key) const;
  const ZQ_TDict& ExtendedInfo() const { return iExtendedInfo; }
  const ZQ_TList& ExternalRefs() const { return iExternalRefs; }

  // True while the file is the one whose facts were recorded when it was set:
  // same device, inode, size and modification time, and, once anything has
  // touched the file after it was examined, the same digest of its bytes
  // (false then when no digest was taken: the core takes one only for a
  // description it may store in the cache).  False when no facts were
  // recorded or the file is gone.
  bool IsTicketValid() const;
  // The same against `now`, the facts of the ticket's file examined just
  // before (no second look at the file).
  bool IsTicketValid(const ZQ_TFileFacts& now) const;
  // Appends the files this image needs: each external reference (a text or a
  // PXC_TReference), as a ZQ_TURL resolved against the ticket's file when
  // `asURLs`, else as its text; with `existingOnly`, only files that exist.
  // True when anything was appended.
  bool Dependencies(ZQ_TList& out, bool asURLs, bool existingOnly) const;

  // The link to the parent proxy while the ticket is filled for one; the
  // ticket keeps a copy of the link, not the proxy.
  void SetImrLink(const PXC_TImrLink* link);
  const PXC_TImrLink* GetImrLink() const { return iHasLink ? &iLink : nullptr; }
  void RemoveImrLink() { iHasLink = false; }

  void ZQ_Pack(ZQ_IPacking& out) const override;
  void ZQ_Unpack(ZQ_IUnpacking& in) override;
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new PXC_TImageTicket(*this); }
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override;
  bool operator==(const PXC_TImageTicket& other) const;
  // Every field that is set, one per line behind Prefix().
  void PrintOn(std::ostream& out) const override;

 private:
  friend class IMR_TTicketAccess;

  // Clears every field except the file (with its facts) and the Internal
  // entries; the level goes back to PXC_FL_FILE when a file is set.
  void Wipe();
  const ZQ_TString& SetCreatorId(const ZQ_TString& id);
  const ZQ_TURL& SetFile(const ZQ_TURL& file);
  // Also records the file's facts for IsTicketValid.
  const ZQ_TURL& SetFile(const ZQ_TURL& file, const ZQ_TFileInfo& facts);
  const ZQ_TString& SetFileFormat(const ZQ_TString& format);
  const ZQ_TString& SetFileFormatVersion(const ZQ_TString& version);
  const ZQ_TTime& SetFileTimeStamp(const ZQ_TTime& time);
  const ZQ_TString& SetImageProcessor(const ZQ_TString& processor);
  ZQ_TDict& InternalDictionary() { return iInternal; }
  ZQ_TDict& MutableExtendedInfo() { return iExtendedInfo; }
  ZQ_TList& MutableExternalRefs() { return iExternalRefs; }

  PXC_TAlphaPlane iAlphaPlane = PXC_AP_NONE;
  PXC_TCanFlag iCanAcquire = PXC_CF_UNKNOWN;
  PXC_TCanFlag iCanODL = PXC_CF_UNKNOWN;
  PXC_TChannelEnc iChannelEncoding = PXC_CE_UNKNOWN;
  ZQ_TString iCreatorId;
  ZQ_TURL iFile;
  ZQ_TFileFacts iFileFacts;
  ZQ_TString iFileFormat;
  ZQ_TString iFileFormatVersion;
  ZQ_TTime iFileTimeStamp;
  PXC_TFillLevel iFillLevel = PXC_FL_EMBEDDED;
  double iHRealSize = 0;
  double iHResolution = 0;
  std::uint8_t iImagePosition = 0;
  ZQ_TString iImageProcessor;
  PXC_TImageSubtype iImageSubtype = PXC_IS_NONE;
  PXC_TImageType iImageType = PXC_IT_UNKNOWN;
  double iMarginBottom = 0;
  double iMarginLeft = 0;
  double iMarginRight = 0;
  double iMarginTop = 0;
  PXC_TMUnits iMeasurementUnits = PXC_MU_NONE;
  std::uint32_t iNrColumns = 0;
  std::uint16_t iNrInks = 0;
  std::int32_t iNrPages = 0;
  std::uint32_t iNrRows = 0;
  std::int32_t iRelatedIndex = -1;
  PXC_TImageRotation iRotation = PXC_IR_NONE;
  double iVRealSize = 0;
  double iVResolution = 0;
  ZQ_TDict iInternal;
  ZQ_TDict iExtendedInfo;
  ZQ_TList iExternalRefs;
  PXC_TImrLink iLink{};
  bool iHasLink = false;
};
