#include "pxcbase/pxc_ticket.h"

#include <ostream>

#include "pxcbase/pxc_digest.h"
#include "pxcbase/pxc_exceptions.h"
#include "pxcbase/pxc_types.h"

const std::int32_t PXC_TImageTicket::sInvalidValue = -1;

PXC_TImageTicket::PXC_TImageTicket(const PXC_TImageTicket& other) = default;
PXC_TImageTicket& PXC_TImageTicket::operator=(const PXC_TImageTicket& other) = default;
PXC_TImageTicket::~PXC_TImageTicket() = default;

ZQ_TObject* PXC_TImageTicket::ZQ_Create() { return new PXC_TImageTicket; }

const PXC_TCanFlag& PXC_TImageTicket::SetCanAcquire(PXC_TCanFlag flag) {
  iCanAcquire = flag;
  return iCanAcquire;
}

const PXC_TCanFlag& PXC_TImageTicket::SetCanODL(PXC_TCanFlag flag) {
  iCanODL = flag;
  return iCanODL;
}

const ZQ_TString& PXC_TImageTicket::SetCreatorId(const ZQ_TString& id) { return iCreatorId = id; }

// Facts that no longer hold are cleared, not kept beside a false flag.
const ZQ_TURL& PXC_TImageTicket::SetFile(const ZQ_TURL& file) {
  return SetFile(file, ZQ_TFileInfo(file, false));
}

const ZQ_TURL& PXC_TImageTicket::SetFile(const ZQ_TURL& file, const ZQ_TFileInfo& facts) {
  iFile = file;
  iFileFacts = facts.Exists() ? facts.Facts() : ZQ_TFileFacts();
  return iFile;
}

const ZQ_TString& PXC_TImageTicket::SetFileFormat(const ZQ_TString& format) {
  return iFileFormat = format;
}

const ZQ_TString& PXC_TImageTicket::SetFileFormatVersion(const ZQ_TString& version) {
  return iFileFormatVersion = version;
}

const ZQ_TTime& PXC_TImageTicket::SetFileTimeStamp(const ZQ_TTime& time) {
  return iFileTimeStamp = time;
}

const ZQ_TString& PXC_TImageTicket::SetImageProcessor(const ZQ_TString& processor) {
  return iImageProcessor = processor;
}

const ZQ_TAny& PXC_TImageTicket::Internal(const ZQ_TString& key) const {
  const ZQ_TAny* value = iInternal.ValueOfKey(key);
  if (value == nullptr) ZQ_THROW(PXC_EImageTicketKeyNotFound, "No Internal entry %s", key);
  return *value;
}

void PXC_TImageTicket::Wipe() {
  PXC_TImageTicket fresh;
  fresh.iFile = iFile;
  fresh.iFileFacts = iFileFacts;
  fresh.iInternal = iInternal;
  fresh.iLink = iLink;
  fresh.iHasLink = iHasLink;
  fresh.iFillLevel = iFile.IsEmpty() ? PXC_FL_EMBEDDED : PXC_FL_FILE;
  *this = fresh;
}

namespace {
// How long after the facts were last known to hold the file's status may
// still change without a look at its bytes: the cache's own write to the
// file's metadata comes then.
constexpr std::int64_t kSettleNanoseconds = 100'000'000;

__int128 Nanoseconds(const ZQ_TTime& time) {
  return static_cast<__int128>(time.Seconds()) * 1'000'000'000 + time.Nanoseconds();
}
}  // namespace

bool PXC_TImageTicket::IsTicketValid() const {
  return iFileFacts.exists && IsTicketValid(ZQ_TFileInfo(iFile, true).Facts());
}

bool PXC_TImageTicket::IsTicketValid(const ZQ_TFileFacts& now) const {
  if (!now.SameFile(iFileFacts)) return false;
  if (Nanoseconds(now.changed) <= Nanoseconds(iFileFacts.examined) + kSettleNanoseconds) {
    return true;
  }
  // Touched since: a rewrite that kept the size and put the time back shows
  // in the bytes.
  return iFileFacts.hasDigest && PXC_FileDigest(iFile) == std::optional(iFileFacts.digest);
}

bool PXC_TImageTicket::Dependencies(ZQ_TList& out, bool asURLs, bool existingOnly) const {
  bool added = false;
  for (const ZQ_TList::Entry& entry : iExternalRefs) {
    ZQ_TString reference;
    if (const ZQ_TString* text = entry.value.DynamicCast<ZQ_TString>()) {
      reference = *text;
    } else if (const PXC_TReference* ref = entry.value.DynamicCast<PXC_TReference>()) {
      reference = ref->Location();
    } else if (const ZQ_TURL* url = entry.value.DynamicCast<ZQ_TURL>()) {
      reference = url->Text();
    }
    if (reference.IsEmpty()) continue;
    ZQ_TURL resolved = iFile.Root().Resolve(reference);
    if (existingOnly && !ZQ_TFileInfo(resolved, true).Exists()) continue;
    out.AddAtTail(asURLs ? ZQ_TAny(resolved) : ZQ_TAny(reference));
    added = true;
  }
  return added;
}

void PXC_TImageTicket::SetImrLink(const PXC_TImrLink* link) {
  iHasLink = link != nullptr;
  if (link != nullptr) iLink = *link;
}

// The packed form: a section holding a format number, a mask of the fields
// that differ from their defaults, then those fields in mask order.
namespace {
enum Field : std::uint32_t {
  kAlpha, kCanAcquire, kCanODL, kChannels, kCreator, kFile, kFormat, kVersion, kTimeStamp,
  kLevel, kHRealSize, kHResolution, kPosition, kProcessor, kSubtype, kType, kMarginBottom,
  kMarginLeft, kMarginRight, kMarginTop, kUnits, kColumns, kInks, kPages, kRows, kRelated,
  kRotation, kVRealSize, kVResolution, kInternal, kExtended, kReferences
};
// Format 1 kept the file's size and modification time only: such facts
// cannot tell the file from a rewrite of it, and are read as none.
constexpr std::uint8_t kPackFormat = 2;
constexpr std::uint8_t kSizeAndTimeFormat = 1;
}  // namespace

void PXC_TImageTicket::ZQ_Pack(ZQ_IPacking& out) const {
  const PXC_TImageTicket defaults;
  std::uint32_t mask = 0;
  auto mark = [&mask](Field field, bool differs) {
    if (differs) mask |= 1u << field;
  };
  mark(kAlpha, iAlphaPlane != defaults.iAlphaPlane);
  mark(kCanAcquire, iCanAcquire != defaults.iCanAcquire);
  mark(kCanODL, iCanODL != defaults.iCanODL);
  mark(kChannels, iChannelEncoding != defaults.iChannelEncoding);
  mark(kCreator, !iCreatorId.IsEmpty());
  mark(kFile, !iFile.IsEmpty() || iFileFacts.exists);
  mark(kFormat, !iFileFormat.IsEmpty());
  mark(kVersion, !iFileFormatVersion.IsEmpty());
  mark(kTimeStamp, iFileTimeStamp != defaults.iFileTimeStamp);
  mark(kLevel, iFillLevel != defaults.iFillLevel);
  mark(kHRealSize, iHRealSize != 0);
  mark(kHResolution, iHResolution != 0);
  mark(kPosition, iImagePosition != 0);
  mark(kProcessor, !iImageProcessor.IsEmpty());
  mark(kSubtype, iImageSubtype != defaults.iImageSubtype);
  mark(kType, iImageType != defaults.iImageType);
  mark(kMarginBottom, iMarginBottom != 0);
  mark(kMarginLeft, iMarginLeft != 0);
  mark(kMarginRight, iMarginRight != 0);
  mark(kMarginTop, iMarginTop != 0);
  mark(kUnits, iMeasurementUnits != defaults.iMeasurementUnits);
  mark(kColumns, iNrColumns != 0);
  mark(kInks, iNrInks != 0);
  mark(kPages, iNrPages != 0);
  mark(kRows, iNrRows != 0);
  mark(kRelated, iRelatedIndex != defaults.iRelatedIndex);
  mark(kRotation, iRotation != defaults.iRotation);
  mark(kVRealSize, iVRealSize != 0);
  mark(kVResolution, iVResolution != 0);
  mark(kInternal, !iInternal.IsEmpty());
  mark(kExtended, !iExtendedInfo.IsEmpty());
  mark(kReferences, !iExternalRefs.IsEmpty());

  out.BeginSection("PXC_TImageTicket");
  out.PackU8(kPackFormat);
  out.PackU32(mask);
  auto has = [mask](Field field) { return (mask & (1u << field)) != 0; };
  if (has(kAlpha)) out.PackI32(iAlphaPlane);
  if (has(kCanAcquire)) out.PackI32(iCanAcquire);
  if (has(kCanODL)) out.PackI32(iCanODL);
  if (has(kChannels)) out.PackI32(iChannelEncoding);
  if (has(kCreator)) out.PackString(iCreatorId);
  if (has(kFile)) {
    out.PackString(iFile.Text());
    out.PackBool(iFileFacts.exists);
    if (iFileFacts.exists) {
      out.PackU64(iFileFacts.size);
      iFileFacts.modified.ZQ_Pack(out);
      out.PackU64(iFileFacts.device);
      out.PackU64(iFileFacts.inode);
      iFileFacts.examined.ZQ_Pack(out);
      out.PackBool(iFileFacts.hasDigest);
      if (iFileFacts.hasDigest) out.PackU64(iFileFacts.digest);
    }
  }
  if (has(kFormat)) out.PackString(iFileFormat);
  if (has(kVersion)) out.PackString(iFileFormatVersion);
  if (has(kTimeStamp)) iFileTimeStamp.ZQ_Pack(out);
  if (has(kLevel)) out.PackI32(iFillLevel);
  if (has(kHRealSize)) out.PackDouble(iHRealSize);
  if (has(kHResolution)) out.PackDouble(iHResolution);
  if (has(kPosition)) out.PackU8(iImagePosition);
  if (has(kProcessor)) out.PackString(iImageProcessor);
  if (has(kSubtype)) out.PackI32(iImageSubtype);
  if (has(kType)) out.PackI32(iImageType);
  if (has(kMarginBottom)) out.PackDouble(iMarginBottom);
  if (has(kMarginLeft)) out.PackDouble(iMarginLeft);
  if (has(kMarginRight)) out.PackDouble(iMarginRight);
  if (has(kMarginTop)) out.PackDouble(iMarginTop);
  if (has(kUnits)) out.PackI32(iMeasurementUnits);
  if (has(kColumns)) out.PackU32(iNrColumns);
  if (has(kInks)) out.PackU32(iNrInks);
  if (has(kPages)) out.PackI32(iNrPages);
  if (has(kRows)) out.PackU32(iNrRows);
  if (has(kRelated)) out.PackI32(iRelatedIndex);
  if (has(kRotation)) out.PackI32(iRotation);
  if (has(kVRealSize)) out.PackDouble(iVRealSize);
  if (has(kVResolution)) out.PackDouble(iVResolution);
  if (has(kInternal)) iInternal.ZQ_Pack(out);
  if (has(kExtended)) iExtendedInfo.ZQ_Pack(out);
  if (has(kReferences)) iExternalRefs.ZQ_Pack(out);
  out.EndSection("PXC_TImageTicket");
}

void PXC_TImageTicket::ZQ_Unpack(ZQ_IUnpacking& in) {
  PXC_TImageTicket t;
  in.EnterSection("PXC_TImageTicket");
  const std::uint8_t format = in.UnpackU8();
  if (format != kPackFormat && format != kSizeAndTimeFormat) {
    ZQ_THROW(PXC_EImageTicketFileCorrupted, "Unknown packed ticket format %s",
             ZQ_TAny(static_cast<unsigned int>(format)));
  }
  const std::uint32_t mask = in.UnpackU32();
  auto has = [mask](Field field) { return (mask & (1u << field)) != 0; };
  if (has(kAlpha)) t.iAlphaPlane = static_cast<PXC_TAlphaPlane>(in.UnpackI32());
  if (has(kCanAcquire)) t.iCanAcquire = static_cast<PXC_TCanFlag>(in.UnpackI32());
  if (has(kCanODL)) t.iCanODL = static_cast<PXC_TCanFlag>(in.UnpackI32());
  if (has(kChannels)) t.iChannelEncoding = static_cast<PXC_TChannelEnc>(in.UnpackI32());
  if (has(kCreator)) t.iCreatorId = in.UnpackString();
  if (has(kFile)) {
    t.iFile = ZQ_TURL(in.UnpackString());
    ZQ_TFileFacts& facts = t.iFileFacts;
    facts.exists = in.UnpackBool();
    if (facts.exists) {
      facts.regular = true;
      facts.size = in.UnpackU64();
      facts.modified.ZQ_Unpack(in);
      if (format == kSizeAndTimeFormat) {
        facts = ZQ_TFileFacts();
      } else {
        facts.device = in.UnpackU64();
        facts.inode = in.UnpackU64();
        facts.examined.ZQ_Unpack(in);
        facts.hasDigest = in.UnpackBool();
        if (facts.hasDigest) facts.digest = in.UnpackU64();
      }
    }
  }
  if (has(kFormat)) t.iFileFormat = in.UnpackString();
  if (has(kVersion)) t.iFileFormatVersion = in.UnpackString();
  if (has(kTimeStamp)) t.iFileTimeStamp.ZQ_Unpack(in);
  if (has(kLevel)) t.iFillLevel = static_cast<PXC_TFillLevel>(in.UnpackI32());
  if (has(kHRealSize)) t.iHRealSize = in.UnpackDouble();
  if (has(kHResolution)) t.iHResolution = in.UnpackDouble();
  if (has(kPosition)) t.iImagePosition = in.UnpackU8();
  if (has(kProcessor)) t.iImageProcessor = in.UnpackString();
  if (has(kSubtype)) t.iImageSubtype = static_cast<PXC_TImageSubtype>(in.UnpackI32());
  if (has(kType)) t.iImageType = static_cast<PXC_TImageType>(in.UnpackI32());
  if (has(kMarginBottom)) t.iMarginBottom = in.UnpackDouble();
  if (has(kMarginLeft)) t.iMarginLeft = in.UnpackDouble();
  if (has(kMarginRight)) t.iMarginRight = in.UnpackDouble();
  if (has(kMarginTop)) t.iMarginTop = in.UnpackDouble();
  if (has(kUnits)) t.iMeasurementUnits = static_cast<PXC_TMUnits>(in.UnpackI32());
  if (has(kColumns)) t.iNrColumns = in.UnpackU32();
  if (has(kInks)) t.iNrInks = static_cast<std::uint16_t>(in.UnpackU32());
  if (has(kPages)) t.iNrPages = in.UnpackI32();
  if (has(kRows)) t.iNrRows = in.UnpackU32();
  if (has(kRelated)) t.iRelatedIndex = in.UnpackI32();
  if (has(kRotation)) t.iRotation = static_cast<PXC_TImageRotation>(in.UnpackI32());
  if (has(kVRealSize)) t.iVRealSize = in.UnpackDouble();
  if (has(kVResolution)) t.iVResolution = in.UnpackDouble();
  if (has(kInternal)) t.iInternal.ZQ_Unpack(in);
  if (has(kExtended)) t.iExtendedInfo.ZQ_Unpack(in);
  if (has(kReferences)) t.iExternalRefs.ZQ_Unpack(in);
  in.LeaveSection("PXC_TImageTicket");
  *this = t;
}

namespace {
// The facts a ticket keeps, as its packed form keeps them.
bool SamePackedFacts(const ZQ_TFileFacts& a, const ZQ_TFileFacts& b) {
  if (a.exists != b.exists) return false;
  return !a.exists || (a.size == b.size && a.modified == b.modified && a.device == b.device &&
                       a.inode == b.inode && a.examined == b.examined &&
                       a.hasDigest == b.hasDigest && (!a.hasDigest || a.digest == b.digest));
}
}  // namespace

bool PXC_TImageTicket::operator==(const PXC_TImageTicket& o) const {
  return iAlphaPlane == o.iAlphaPlane && iCanAcquire == o.iCanAcquire && iCanODL == o.iCanODL &&
         iChannelEncoding == o.iChannelEncoding && iCreatorId == o.iCreatorId &&
         iFile == o.iFile && SamePackedFacts(iFileFacts, o.iFileFacts) &&
         iFileFormat == o.iFileFormat &&
         iFileFormatVersion == o.iFileFormatVersion && iFileTimeStamp == o.iFileTimeStamp &&
         iFillLevel == o.iFillLevel && iHRealSize == o.iHRealSize &&
         iHResolution == o.iHResolution && iImagePosition == o.iImagePosition &&
         iImageProcessor == o.iImageProcessor && iImageSubtype == o.iImageSubtype &&
         iImageType == o.iImageType && iMarginBottom == o.iMarginBottom &&
         iMarginLeft == o.iMarginLeft && iMarginRight == o.iMarginRight &&
         iMarginTop == o.iMarginTop && iMeasurementUnits == o.iMeasurementUnits &&
         iNrColumns == o.iNrColumns && iNrInks == o.iNrInks && iNrPages == o.iNrPages &&
         iNrRows == o.iNrRows && iRelatedIndex == o.iRelatedIndex && iRotation == o.iRotation &&
         iVRealSize == o.iVRealSize && iVResolution == o.iVResolution &&
         iInternal == o.iInternal && iExtendedInfo == o.iExtendedInfo &&
         iExternalRefs == o.iExternalRefs;
}

bool PXC_TImageTicket::ZQ_IsIdent(const ZQ_IPackable& other) const {
  const PXC_TImageTicket* ticket = ZQ_DynamicCast<PXC_TImageTicket>(&other);
  return ticket != nullptr && *ticket == *this;
}

void PXC_TImageTicket::PrintOn(std::ostream& out) const {
  const char* p = ZQ_IPrintable::Prefix();
  out << p << "File: " << iFile.Text() << '\n';
  out << p << "FileFormat: " << iFileFormat;
  if (!iFileFormatVersion.IsEmpty()) out << ' ' << iFileFormatVersion;
  out << '\n';
  out << p << "FillLevel: " << iFillLevel << "  ImageType: " << iImageType
      << "  ImageSubtype: " << iImageSubtype << "  ImagePosition: "
      << static_cast<unsigned>(iImagePosition) << '\n';
  out << p << "Size: " << iNrColumns << " x " << iNrRows << "  Resolution: " << iHResolution
      << " x " << iVResolution << "  RealSize: " << iHRealSize << " x " << iVRealSize
      << "  Units: " << iMeasurementUnits << '\n';
  out << p << "ChannelEncoding: " << iChannelEncoding << "  AlphaPlane: " << iAlphaPlane
      << "  Inks: " << iNrInks << "  Pages: " << iNrPages << "  Rotation: " << iRotation
      << "  RelatedIndex: " << iRelatedIndex << '\n';
  if (!iCreatorId.IsEmpty()) out << p << "CreatorId: " << iCreatorId << '\n';
  if (!iImageProcessor.IsEmpty()) out << p << "ImageProcessor: " << iImageProcessor << '\n';
  if (!iExtendedInfo.IsEmpty()) {
    out << p << "ExtendedInfo: ";
    iExtendedInfo.PrintOn(out);
    out << '\n';
  }
  if (!iExternalRefs.IsEmpty()) {
    out << p << "ExternalRefs: ";
    iExternalRefs.PrintOn(out);
    out << '\n';
  }
}

ZQ_CLASS_IMPLEMENT(PXC_TImageTicket, ZQ_TObject, &PXC_TImageTicket::ZQ_Create, nullptr,
                   ZQ_IPackable, ZQ_IPrintable)
