// Match elements: evaluation, comparison, and the packed, human-readable and
// printed forms.  Each element writes its own items and then the items of
// IMR_TMatch, which carry the successor, so a whole chain is one object.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <ostream>

#include "magic/imr_magic-priv.h"

// ---------------------------------------------------------------------------
// IMR_TMatch

IMR_TMatch::IMR_TMatch(const IMR_TMatch& other)
    : ZQ_IInterface(), ZQ_IPackable(), ZQ_IPrintable(), ZQ_IHumanReadable(), ZQ_TObject(),
      IMR_TTicketAccess() {
  if (other.iSuccessor != nullptr) {
    iSuccessor = AdoptMatch(dynamic_cast<ZQ_TObject*>(other.iSuccessor->ZQ_Clone()));
  }
}

IMR_TMatch& IMR_TMatch::operator=(const IMR_TMatch& other) {
  if (this != &other) {
    IMR_TMatch* copy = other.iSuccessor
                           ? AdoptMatch(dynamic_cast<ZQ_TObject*>(other.iSuccessor->ZQ_Clone()))
                           : nullptr;
    delete iSuccessor;
    iSuccessor = copy;
  }
  return *this;
}

IMR_TMatch::~IMR_TMatch() {
  // Destroy the chain iteratively, so that a long chain cannot exhaust the stack.
  IMR_TMatch* next = iSuccessor;
  while (next != nullptr) {
    IMR_TMatch* after = next->iSuccessor;
    next->iSuccessor = nullptr;
    delete next;
    next = after;
  }
}

ZQ_TObject* IMR_TMatch::ZQ_Create() { return new IMR_TMatch; }

IMR_TMatch* IMR_TMatch::AdoptMatch(ZQ_TObject* object) {
  if (object == nullptr) return nullptr;
  IMR_TMatch* match = ZQ_DynamicCast<IMR_TMatch>(object, __FILE__, __LINE__);
  if (match == nullptr) delete object;
  return match;
}

bool IMR_TMatch::operator==(const IMR_TMatch& other) const {
  const IMR_TMatch* a = iSuccessor;
  const IMR_TMatch* b = other.iSuccessor;
  while (a != nullptr && b != nullptr) {
    a = a->iSuccessor;
    b = b->iSuccessor;
  }
  return a == nullptr && b == nullptr;
}

bool IMR_TMatch::operator()(const ZQ_TString&, const PXC_IBuffer&, PXC_TImageTicket&, bool&,
                            PXC_TFillLevel, unsigned int) const {
  IMR_THROW(IMR_EMagicMatchInterfaceCalled);
}

std::uint32_t IMR_TMatch::MatchLength() const {
  return iSuccessor ? iSuccessor->MatchLength() : 0;
}

IMR_TMatch* IMR_TMatch::AttachNext(IMR_TMatch* next) {
  if (iSuccessor != nullptr) IMR_THROW(IMR_EMagicInternal);
  iSuccessor = next;
  return next;
}

bool IMR_TMatch::CallNext(const ZQ_TString& entryArgument, const PXC_IBuffer& buffer,
                          PXC_TImageTicket& ticket, bool& pluginRequested, PXC_TFillLevel level,
                          unsigned int passThrough) const {
  return iSuccessor == nullptr ||
         (*iSuccessor)(entryArgument, buffer, ticket, pluginRequested, level, passThrough);
}

void IMR_TMatch::ZQ_Pack(ZQ_IPacking& out) const {
  out.PackBool(iSuccessor != nullptr);
  if (iSuccessor != nullptr) out.PackObject(iSuccessor);
}

void IMR_TMatch::ZQ_Unpack(ZQ_IUnpacking& in) {
  delete iSuccessor;
  iSuccessor = nullptr;
  if (in.UnpackBool()) iSuccessor = AdoptMatch(in.UnpackObject());
}

ZQ_IPackable* IMR_TMatch::ZQ_Clone(void*) const { return new IMR_TMatch(*this); }

bool IMR_TMatch::ZQ_IsIdent(const ZQ_IPackable& other) const {
  const IMR_TMatch* match = ZQ_DynamicCast<IMR_TMatch>(&other);
  return match != nullptr && match->HasSuperclass(ZQ_ClassName()) && IMR_TMatch::operator==(*match);
}

void IMR_TMatch::PrintNext(std::ostream& out) const {
  if (iSuccessor != nullptr) iSuccessor->PrintOn(out);
}

void IMR_TMatch::PrintOn(std::ostream& out) const { PrintNext(out); }

bool IMR_TMatch::WriteTo(ZQ_THumanReadableStream& out) const {
  if (iSuccessor == nullptr) {
    out.WriteWord("NULL");
  } else {
    out.WriteWord("*");
    out.WriteObject(iSuccessor);
  }
  out.NewLine();
  return false;
}

bool IMR_TMatch::ReadFrom(ZQ_THumanReadableStream& in) {
  delete iSuccessor;
  iSuccessor = nullptr;
  ZQ_TString marker = in.ReadWord();
  if (marker == "NULL") return false;
  if (marker != "*") return true;
  iSuccessor = AdoptMatch(in.ReadObject());
  return false;
}

// ---------------------------------------------------------------------------
// Byte comparisons

std::uint32_t IMR_TByteMatch::MatchLength() const {
  const std::uint32_t rest = IMR_TMatch::MatchLength();
  return iOffset > rest ? iOffset : rest;
}

bool IMR_TByteMatch::MaskedByte(const PXC_IBuffer& buffer, std::uint8_t& byte) const {
  const std::uint8_t* data = buffer.Data();
  if (data == nullptr) IMR_THROW(IMR_EPluginDataBufferEmpty);
  // A byte beyond the buffer (possible without a length guard, inside an
  // IMR_TNot) is never read: the comparison fails.
  if (iOffset >= buffer.Size()) return false;
  byte = data[iOffset] & iMask;
  return true;
}

void IMR_TByteMatch::PackParameters(ZQ_IPacking& out) const {
  out.PackU32(iOffset);
  out.PackU8(iMask);
  out.PackU8(iValue);
}

void IMR_TByteMatch::UnpackParameters(ZQ_IUnpacking& in) {
  iOffset = in.UnpackU32();
  iMask = in.UnpackU8();
  iValue = in.UnpackU8();
}

void IMR_TByteMatch::WriteParameters(ZQ_THumanReadableStream& out) const {
  out.WriteU32(iOffset);
  out.NewLine();
  out.WriteU32(iMask);
  out.NewLine();
  out.WriteU32(iValue);
  out.NewLine();
}

void IMR_TByteMatch::ReadParameters(ZQ_THumanReadableStream& in) {
  iOffset = in.ReadU32();
  iMask = static_cast<std::uint8_t>(in.ReadU32());
  iValue = static_cast<std::uint8_t>(in.ReadU32());
}

void IMR_TByteMatch::PrintComparison(std::ostream& out, const char* comparison) const {
  out << ZQ_IPrintable::Prefix() << '[' << iOffset << "] & " << static_cast<unsigned>(iMask) << ' '
      << comparison << ' ' << static_cast<unsigned>(iValue) << '\n';
  PrintNext(out);
}

// Defines what the three byte comparisons share, given their test.
#define IMR_BYTE_MATCH_DEFINE(Cls, test, comparison)                                         \
  bool Cls::operator()(const ZQ_TString& entryArgument, const PXC_IBuffer& buffer,           \
                       PXC_TImageTicket& ticket, bool& pluginRequested, PXC_TFillLevel level, \
                       unsigned int passThrough) const {                                     \
    std::uint8_t byte;                                                                       \
    if (!MaskedByte(buffer, byte) || !(test)) return false;                                  \
    return CallNext(entryArgument, buffer, ticket, pluginRequested, level, passThrough);     \
  }                                                                                          \
  void Cls::ZQ_Pack(ZQ_IPacking& out) const {                                                \
    PackParameters(out);                                                                     \
    IMR_TMatch::ZQ_Pack(out);                                                                \
  }                                                                                          \
  void Cls::ZQ_Unpack(ZQ_IUnpacking& in) {                                                   \
    UnpackParameters(in);                                                                    \
    IMR_TMatch::ZQ_Unpack(in);                                                               \
  }                                                                                          \
  bool Cls::ZQ_IsIdent(const ZQ_IPackable& other) const {                                    \
    const Cls* match = ZQ_DynamicCast<Cls>(&other);                                          \
    return match != nullptr && *this == *match;                                              \
  }                                                                                          \
  void Cls::PrintOn(std::ostream& out) const { PrintComparison(out, comparison); }           \
  bool Cls::WriteTo(ZQ_THumanReadableStream& out) const {                                    \
    WriteParameters(out);                                                                    \
    return IMR_TMatch::WriteTo(out);                                                         \
  }                                                                                          \
  bool Cls::ReadFrom(ZQ_THumanReadableStream& in) {                                          \
    ReadParameters(in);                                                                      \
    return IMR_TMatch::ReadFrom(in);                                                         \
  }

IMR_BYTE_MATCH_DEFINE(IMR_TEqual, byte == Value(), "==")
IMR_BYTE_MATCH_DEFINE(IMR_TLess, byte < Value(), "<")
IMR_BYTE_MATCH_DEFINE(IMR_TMore, byte > Value(), ">")

// ---------------------------------------------------------------------------
// IMR_TNot

IMR_TNot::IMR_TNot(const IMR_TMatch* negated)
    : iNegated(negated ? AdoptMatch(dynamic_cast<ZQ_TObject*>(negated->ZQ_Clone())) : nullptr) {}

IMR_TNot::IMR_TNot(const IMR_TNot& other)
    : ZQ_IInterface(), ZQ_IPackable(), ZQ_IPrintable(), ZQ_IHumanReadable(), IMR_TMatch(other),
      iNegated(other.iNegated ? AdoptMatch(dynamic_cast<ZQ_TObject*>(other.iNegated->ZQ_Clone()))
                              : nullptr) {}

IMR_TNot& IMR_TNot::operator=(const IMR_TNot& other) {
  if (this != &other) {
    IMR_TMatch::operator=(other);
    IMR_TMatch* copy = other.iNegated
                           ? AdoptMatch(dynamic_cast<ZQ_TObject*>(other.iNegated->ZQ_Clone()))
                           : nullptr;
    delete iNegated;
    iNegated = copy;
  }
  return *this;
}

IMR_TNot::~IMR_TNot() { delete iNegated; }

bool IMR_TNot::operator()(const ZQ_TString& entryArgument, const PXC_IBuffer& buffer,
                          PXC_TImageTicket& ticket, bool& pluginRequested, PXC_TFillLevel level,
                          unsigned int passThrough) const {
  if (iNegated == nullptr) return false;
  if ((*iNegated)(entryArgument, buffer, ticket, pluginRequested, level, passThrough)) return false;
  return CallNext(entryArgument, buffer, ticket, pluginRequested, level, passThrough);
}

void IMR_TNot::ZQ_Pack(ZQ_IPacking& out) const {
  out.PackObject(iNegated);
  IMR_TMatch::ZQ_Pack(out);
}

void IMR_TNot::ZQ_Unpack(ZQ_IUnpacking& in) {
  IMR_TMatch* negated = AdoptMatch(in.UnpackObject());
  delete iNegated;
  iNegated = negated;
  IMR_TMatch::ZQ_Unpack(in);
}

bool IMR_TNot::ZQ_IsIdent(const ZQ_IPackable& other) const {
  const IMR_TNot* match = ZQ_DynamicCast<IMR_TNot>(&other);
  return match != nullptr && *this == *match;
}

void IMR_TNot::PrintOn(std::ostream& out) const {
  out << ZQ_IPrintable::Prefix() << "NOT\n";
  if (iNegated != nullptr) {
    ZQ_IPrintable::Indent();
    iNegated->PrintOn(out);
    ZQ_IPrintable::ReverseIndent();
  }
  PrintNext(out);
}

bool IMR_TNot::WriteTo(ZQ_THumanReadableStream& out) const {
  out.WriteObject(iNegated);  // NULL when there is none
  out.NewLine();
  return IMR_TMatch::WriteTo(out);
}

bool IMR_TNot::ReadFrom(ZQ_THumanReadableStream& in) {
  IMR_TMatch* negated = AdoptMatch(in.ReadObject());
  delete iNegated;
  iNegated = negated;
  return IMR_TMatch::ReadFrom(in);
}

// ---------------------------------------------------------------------------
// IMR_TSearch

IMR_TSearch::IMR_TSearch() { iPattern[0] = '\0'; }

IMR_TSearch::IMR_TSearch(const char* pattern, unsigned int offset) : iOffset(offset) {
  SetPattern(pattern, std::strlen(pattern));
}

IMR_TSearch::IMR_TSearch(const char* pattern, unsigned int offsetPosition,
                         unsigned int offsetBytes, bool littleEndian)
    : iOffsetPosition(offsetPosition), iOffsetBytes(offsetBytes), iLittleEndian(littleEndian) {
  SetPattern(pattern, std::strlen(pattern));
}

void IMR_TSearch::SetPattern(const char* pattern, std::size_t length) {
  if (length > kMaxPattern) length = kMaxPattern;
  std::memcpy(iPattern, pattern, length);
  iPattern[length] = '\0';
  iPatternLength = static_cast<std::uint32_t>(length);
}

bool IMR_TSearch::Start(const PXC_IBuffer& buffer, std::uint32_t& start) const {
  if (iOffsetBytes == 0) {
    start = iOffset;
    return true;
  }
  PXC_TBuffer file(buffer);
  const std::uint8_t* bytes;
  try {
    bytes = file.ReadAt(iOffsetPosition, iOffsetBytes);
  } catch (const PXC_EBuffer&) {
    return false;  // the stored start lies beyond the data
  }
  std::uint32_t number = 0;
  for (std::uint32_t i = 0; i < iOffsetBytes; ++i) {
    number = number * 256 + bytes[iLittleEndian ? iOffsetBytes - 1 - i : i];
  }
  start = number;
  return true;
}

bool IMR_TSearch::operator()(const ZQ_TString& entryArgument, const PXC_IBuffer& buffer,
                             PXC_TImageTicket& ticket, bool& pluginRequested, PXC_TFillLevel level,
                             unsigned int passThrough) const {
  std::uint32_t start;
  if (!Start(buffer, start)) return false;
  std::unique_ptr<PXC_IBuffer> extended(PXC_IBuffer::ExtendBuffer(buffer));
  const PXC_IBuffer& searched = extended ? *extended : buffer;
  if (searched.Size() <= start) return false;
  std::size_t window = searched.Size() - start;
  if (window > kWindow) window = kWindow;
  if (buffer.Size() > 0 && window > buffer.Size()) window = buffer.Size();
  std::unique_ptr<PXC_IBuffer> slice(searched.SubBuffer(start, window, false));
  const char* data = reinterpret_cast<const char*>(slice->Data());
  const std::size_t size = slice->Size();
  if (data == nullptr || size <= iPatternLength) return false;
  // Candidates p run while p + length < size: a match may not end on the
  // window's last byte.  At each, strncmp(data + p, pattern, length) == 0,
  // which stops at the pattern's first NUL: the bytes up to and including
  // that NUL, or all `length` bytes when the pattern has none, must agree.
  // An empty pattern matches where its NUL does, at a zero byte.
  const std::size_t stored = std::strlen(iPattern);
  const std::size_t compared = stored < iPatternLength ? stored + 1 : iPatternLength;
  // The first byte is looked for with memchr, which skips most of a window
  // at a time, and only its hits are compared.
  const std::size_t candidates = size - iPatternLength;
  bool found = false;
  for (const char* at = data; !found;) {
    at = static_cast<const char*>(std::memchr(at, iPattern[0], candidates - (at - data)));
    if (at == nullptr) break;
    found = compared == 0 || std::memcmp(at, iPattern, compared) == 0;
    ++at;
    if (at == data + candidates) break;
  }
  if (!found) return false;
  return CallNext(entryArgument, buffer, ticket, pluginRequested, level, passThrough);
}

bool IMR_TSearch::operator==(const IMR_TSearch& other) const {
  return std::strncmp(iPattern, other.iPattern, sizeof iPattern) == 0 && iOffset == other.iOffset &&
         iPatternLength == other.iPatternLength && iOffsetPosition == other.iOffsetPosition &&
         iOffsetBytes == other.iOffsetBytes && iLittleEndian == other.iLittleEndian &&
         IMR_TMatch::operator==(other);
}

void IMR_TSearch::ZQ_Pack(ZQ_IPacking& out) const {
  out.PackU32(iOffset);
  out.PackU32(iPatternLength);
  out.PackU32(iOffsetPosition);
  out.PackU32(iOffsetBytes);
  out.PackBool(iLittleEndian);
  out.PackChars(iPattern, iPatternLength);
  IMR_TMatch::ZQ_Pack(out);
}

void IMR_TSearch::ZQ_Unpack(ZQ_IUnpacking& in) {
  iOffset = in.UnpackU32();
  const std::uint32_t length = in.UnpackU32();
  iOffsetPosition = in.UnpackU32();
  iOffsetBytes = in.UnpackU32();
  iLittleEndian = in.UnpackBool();
  if (length > kMaxPattern) {
    IMR_THROW_DATA(ZQ_EStreamFormat, "A packed search pattern of %s characters is too long",
                   ZQ_TAny(length));
  }
  in.UnpackChars(iPattern, length);
  iPattern[length] = '\0';
  iPatternLength = length;
  IMR_TMatch::ZQ_Unpack(in);
}

bool IMR_TSearch::ZQ_IsIdent(const ZQ_IPackable& other) const {
  const IMR_TSearch* match = ZQ_DynamicCast<IMR_TSearch>(&other);
  return match != nullptr && *this == *match;
}

void IMR_TSearch::PrintOn(std::ostream& out) const {
  out << ZQ_IPrintable::Prefix() << "Search string: " << iPattern << " Offset: " << iOffset
      << " Pos: " << iOffsetPosition << " Bytes: " << iOffsetBytes << '\n';
  PrintNext(out);
}

bool IMR_TSearch::WriteTo(ZQ_THumanReadableStream& out) const {
  for (std::uint32_t number : {iOffset, iPatternLength, iOffsetPosition, iOffsetBytes}) {
    out.WriteU32(number);
    out.NewLine();
  }
  out.WriteBool(iLittleEndian);
  out.NewLine();
  // All `length` characters: a packed pattern may hold a NUL before its end.
  ZQ_TString pattern(std::string_view(iPattern, iPatternLength));
  out.WriteObject(&pattern);
  out.NewLine();
  return IMR_TMatch::WriteTo(out);
}

bool IMR_TSearch::ReadFrom(ZQ_THumanReadableStream& in) {
  iOffset = in.ReadU32();
  const std::uint32_t length = in.ReadU32();
  iOffsetPosition = in.ReadU32();
  iOffsetBytes = in.ReadU32();
  iLittleEndian = in.ReadBool();
  std::unique_ptr<ZQ_TObject> object(in.ReadObject());
  const ZQ_TString* pattern = ZQ_DynamicCast<ZQ_TString>(object.get());
  if (pattern == nullptr) return true;
  // Only the first `length` characters are ever compared: the pattern keeps
  // no more, so that the packed form (which holds `length` characters) and
  // the printed form describe the same element.
  SetPattern(pattern->Narrow(), length < pattern->Length() ? length : pattern->Length());
  return IMR_TMatch::ReadFrom(in);
}

// ---------------------------------------------------------------------------
// IMR_TTrue

IMR_TTrue& IMR_TTrue::operator=(const IMR_TTrue& other) {
  IMR_TMatch::operator=(other);
  iMinimalLength.store(0, std::memory_order_relaxed);
  return *this;
}

std::uint32_t IMR_TTrue::MatchLength() const {
  std::uint32_t length = iMinimalLength.load(std::memory_order_relaxed);
  if (length == 0) {
    length = IMR_TMatch::MatchLength();
    iMinimalLength.store(length, std::memory_order_relaxed);
  }
  return length;
}

bool IMR_TTrue::operator()(const ZQ_TString& entryArgument, const PXC_IBuffer& buffer,
                           PXC_TImageTicket& ticket, bool& pluginRequested, PXC_TFillLevel level,
                           unsigned int passThrough) const {
  if (MatchLength() >= buffer.Size()) return false;
  return CallNext(entryArgument, buffer, ticket, pluginRequested, level, passThrough);
}

bool IMR_TTrue::operator==(const IMR_TTrue& other) const {
  return MatchLength() == other.MatchLength() && IMR_TMatch::operator==(other);
}

void IMR_TTrue::ZQ_Pack(ZQ_IPacking& out) const { IMR_TMatch::ZQ_Pack(out); }

void IMR_TTrue::ZQ_Unpack(ZQ_IUnpacking& in) {
  iMinimalLength.store(0, std::memory_order_relaxed);
  IMR_TMatch::ZQ_Unpack(in);
}

bool IMR_TTrue::ZQ_IsIdent(const ZQ_IPackable& other) const {
  const IMR_TTrue* match = ZQ_DynamicCast<IMR_TTrue>(&other);
  return match != nullptr && *this == *match;
}

void IMR_TTrue::PrintOn(std::ostream& out) const {
  out << ZQ_IPrintable::Prefix() << "MinimalLength: " << MatchLength() << '\n';
  PrintNext(out);
}

bool IMR_TTrue::WriteTo(ZQ_THumanReadableStream& out) const { return IMR_TMatch::WriteTo(out); }

bool IMR_TTrue::ReadFrom(ZQ_THumanReadableStream& in) {
  iMinimalLength.store(0, std::memory_order_relaxed);
  return IMR_TMatch::ReadFrom(in);
}

// ---------------------------------------------------------------------------
// Registration

ZQ_CLASS_IMPLEMENT(IMR_TMatch, ZQ_TObject, &IMR_TMatch::ZQ_Create, nullptr, ZQ_IPackable,
                   ZQ_IPrintable, ZQ_IHumanReadable)
#define IMR_MATCH_SUBCLASS(Cls)                                                             \
  ZQ_CLASS_DEFINE(Cls, false, IMR_TMatch::ZQ_ClassObject(), &Cls::ZQ_Create, nullptr,        \
                  ZQ_IInterface, ZQ_IPackable, ZQ_IPrintable, ZQ_IHumanReadable)             \
  ZQ_DYNAMIC_INFO(Cls, IMR_TMatch)
IMR_MATCH_SUBCLASS(IMR_TEqual)
IMR_MATCH_SUBCLASS(IMR_TLess)
IMR_MATCH_SUBCLASS(IMR_TMore)
IMR_MATCH_SUBCLASS(IMR_TNot)
IMR_MATCH_SUBCLASS(IMR_TSearch)
IMR_MATCH_SUBCLASS(IMR_TTrue)
IMR_MATCH_SUBCLASS(IMR_TSet)
