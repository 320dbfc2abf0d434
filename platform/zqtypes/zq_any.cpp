#include "zqtypes/zq_any.h"

#include <atomic>
#include <ostream>
#include <sstream>

#include "zqtypes/zq_streams.h"

struct ZQ_TAny::Box {
  std::atomic<std::uint32_t> refs{1};
  ZQ_IPackable* object;
  explicit Box(ZQ_IPackable* o) : object(o) {}
  ~Box() { delete object; }
};

namespace {
// Packed tags of a variant.
enum : std::uint8_t { kTagIllegal = 0, kTagText = 1, kTagObject = 2, kTagBool = 3, kTagU32 = 4 };
}  // namespace

ZQ_TAny::ZQ_TAny(bool value) : iKind(Kind::Object), iBox(new Box(new ZQ_TBool(value))) {}

ZQ_TAny::ZQ_TAny(unsigned int value)
    : iKind(Kind::Object), iBox(new Box(new ZQ_TUInt32(value))) {}

ZQ_TAny::ZQ_TAny(const ZQ_IPackable& object) {
  if (const ZQ_TString* text = ZQ_DynamicCast<ZQ_TString>(&object)) {
    iKind = Kind::Text;
    iText = *text;
    return;
  }
  ZQ_IPackable* copy = object.ZQ_Clone();
  if (copy == nullptr) throw std::bad_alloc();
  iKind = Kind::Object;
  iBox = new Box(copy);
}

ZQ_TAny::ZQ_TAny(const ZQ_TAny& other) noexcept
    : iKind(other.iKind), iText(other.iText), iBox(other.iBox) {
  if (iBox) iBox->refs.fetch_add(1, std::memory_order_relaxed);
}

ZQ_TAny::ZQ_TAny(ZQ_TAny&& other) noexcept
    : iKind(other.iKind), iText(std::move(other.iText)), iBox(other.iBox) {
  other.iBox = nullptr;
  other.iKind = Kind::Illegal;
}

ZQ_TAny& ZQ_TAny::operator=(const ZQ_TAny& other) noexcept {
  if (this != &other) {
    ZQ_TAny copy(other);
    *this = std::move(copy);
  }
  return *this;
}

ZQ_TAny& ZQ_TAny::operator=(ZQ_TAny&& other) noexcept {
  if (this != &other) {
    ReleaseObject();
    iKind = other.iKind;
    iText = std::move(other.iText);
    iBox = other.iBox;
    other.iBox = nullptr;
    other.iKind = Kind::Illegal;
  }
  return *this;
}

void ZQ_TAny::ReleaseObject() noexcept {
  if (iBox && iBox->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete iBox;
  iBox = nullptr;
}

void ZQ_TAny::Detach() {
  if (iBox == nullptr || iBox->refs.load(std::memory_order_acquire) == 1) return;
  ZQ_IPackable* copy = iBox->object->ZQ_Clone();
  if (copy == nullptr) throw std::bad_alloc();
  Box* fresh = new Box(copy);
  ReleaseObject();
  iBox = fresh;
}

ZQ_TAny ZQ_TAny::Adopt(ZQ_IPackable* object) {
  ZQ_TAny result;
  if (object == nullptr) return result;
  if (const ZQ_TString* text = ZQ_DynamicCast<ZQ_TString>(object)) {
    result = ZQ_TAny(*text);
    delete object;
    return result;
  }
  result.iKind = Kind::Object;
  result.iBox = new Box(object);
  return result;
}

ZQ_TAny ZQ_TAny::AdoptObject(ZQ_TObject* object) {
  if (object == nullptr) return ZQ_TAny();
  ZQ_IPackable* packable = ZQ_DynamicCast<ZQ_IPackable>(object);
  if (packable == nullptr) {
    delete object;
    return ZQ_TAny();
  }
  return Adopt(packable);
}

const ZQ_TAny& ZQ_TAny::Illegal() {
  static const ZQ_TAny* const illegal = new ZQ_TAny;
  return *illegal;
}

const ZQ_IInterface* ZQ_TAny::Content() const noexcept {
  switch (iKind) {
    case Kind::Text:
      return &iText;
    case Kind::Object:
      return iBox->object;
    case Kind::Illegal:
      break;
  }
  return nullptr;
}

const void* ZQ_TAny::DynamicCast(const char* name, const char* file, int line) const {
  if (iKind == Kind::Text && std::strcmp(name, "ZQ_TString") == 0) return &iText;
  const ZQ_IInterface* content = Content();
  return content ? content->DynamicCast(name, file, line) : nullptr;
}

bool ZQ_TAny::operator==(const ZQ_TAny& other) const {
  if (iKind == Kind::Text && other.iKind == Kind::Text) return iText == other.iText;
  if (iKind == Kind::Illegal || other.iKind == Kind::Illegal) return iKind == other.iKind;
  if (iBox != nullptr && iBox == other.iBox) return true;
  const ZQ_IPackable* mine = iKind == Kind::Text ? &iText : iBox->object;
  const ZQ_IPackable* theirs = other.iKind == Kind::Text ? &other.iText : other.iBox->object;
  return mine->ZQ_IsIdent(*theirs);
}

ZQ_TString ZQ_TAny::ToText() const {
  switch (iKind) {
    case Kind::Illegal:
      return ZQ_TString("(none)");
    case Kind::Text:
      return iText;
    case Kind::Object:
      break;
  }
  if (const ZQ_IPrintable* printable = ZQ_DynamicCast<ZQ_IPrintable>(iBox->object)) {
    std::ostringstream out;
    printable->PrintOn(out);
    std::string text = out.str();
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return ZQ_TString(text);
  }
  return ZQ_TString(iBox->object->ClassName());
}

void ZQ_TAny::Pack(ZQ_IPacking& out) const {
  switch (iKind) {
    case Kind::Illegal:
      out.PackU8(kTagIllegal);
      return;
    case Kind::Text:
      out.PackU8(kTagText);
      out.PackString(iText);
      return;
    case Kind::Object:
      break;
  }
  if (const ZQ_TBool* flag = DynamicCast<ZQ_TBool>()) {
    out.PackU8(kTagBool);
    out.PackBool(flag->Value());
  } else if (const ZQ_TUInt32* number = DynamicCast<ZQ_TUInt32>()) {
    out.PackU8(kTagU32);
    out.PackU32(number->Value());
  } else {
    out.PackU8(kTagObject);
    out.PackObject(iBox->object);
  }
}

ZQ_TAny ZQ_TAny::Unpack(ZQ_IUnpacking& in) {
  const std::uint8_t tag = in.UnpackU8();
  switch (tag) {
    case kTagIllegal:
      return ZQ_TAny();
    case kTagText:
      return ZQ_TAny(in.UnpackString());
    case kTagObject:
      return AdoptObject(in.UnpackObject());
    case kTagBool:
      return ZQ_TAny(in.UnpackBool());
    case kTagU32:
      return ZQ_TAny(in.UnpackU32());
    default:
      ZQ_THROW(ZQ_EStreamFormat, "Unknown variant tag %s in packed data",
               ZQ_TAny(static_cast<unsigned int>(tag)));
  }
}

namespace {
void ExpectTag(ZQ_IUnpacking& in, std::uint8_t expected, const char* what) {
  const std::uint8_t tag = in.UnpackU8();
  if (tag != expected) {
    ZQ_THROW(ZQ_EStreamFormat,
             ZQ_TString::Format("Packed data holds the variant tag %%s where %s was expected", what),
             ZQ_TAny(static_cast<unsigned int>(tag)));
  }
}
}  // namespace

std::uint32_t ZQ_TAny::UnpackU32Value(ZQ_IUnpacking& in) {
  ExpectTag(in, kTagU32, "a number");
  return in.UnpackU32();
}

bool ZQ_TAny::UnpackBoolValue(ZQ_IUnpacking& in) {
  ExpectTag(in, kTagBool, "a boolean");
  return in.UnpackBool();
}

void ZQ_TAny::UnpackObjectTag(ZQ_IUnpacking& in) { ExpectTag(in, kTagObject, "an object"); }

void ZQ_TAny::WriteTo(ZQ_THumanReadableStream& out) const {
  switch (iKind) {
    case Kind::Illegal:
      out.WriteObject(nullptr);
      return;
    case Kind::Text:
      out.WriteText(iText);
      return;
    case Kind::Object:
      break;
  }
  if (const ZQ_TBool* flag = DynamicCast<ZQ_TBool>()) {
    out.WriteBool(flag->Value());
  } else if (const ZQ_TUInt32* number = DynamicCast<ZQ_TUInt32>()) {
    out.WriteU32(number->Value());
  } else {
    out.WriteObject(iBox->object);
  }
}

ZQ_TAny ZQ_TAny::ReadFrom(ZQ_THumanReadableStream& in) {
  ZQ_TString word = in.PeekWord();
  if (word.IsEmpty()) return ZQ_TAny(in.ReadText());  // a quoted text
  if (word == "true" || word == "false") return ZQ_TAny(in.ReadBool());
  if (word[0] >= '0' && word[0] <= '9') return ZQ_TAny(in.ReadU32());
  return AdoptObject(in.ReadObject());
}

// ---------------------------------------------------------------------------

ZQ_TObject* ZQ_TUInt32::ZQ_Create() { return new ZQ_TUInt32; }

bool ZQ_TUInt32::ZQ_IsIdent(const ZQ_IPackable& other) const {
  const ZQ_TUInt32* number = ZQ_DynamicCast<ZQ_TUInt32>(&other);
  return number != nullptr && number->iValue == iValue;
}

bool ZQ_TUInt32::WriteTo(ZQ_THumanReadableStream& out) const {
  out.WriteU32(iValue);
  return false;
}

bool ZQ_TUInt32::ReadFrom(ZQ_THumanReadableStream& in) {
  iValue = in.ReadU32();
  return false;
}

void ZQ_TUInt32::PrintOn(std::ostream& out) const { out << iValue; }

ZQ_TObject* ZQ_TBool::ZQ_Create() { return new ZQ_TBool; }

bool ZQ_TBool::ZQ_IsIdent(const ZQ_IPackable& other) const {
  const ZQ_TBool* flag = ZQ_DynamicCast<ZQ_TBool>(&other);
  return flag != nullptr && flag->iValue == iValue;
}

bool ZQ_TBool::WriteTo(ZQ_THumanReadableStream& out) const {
  out.WriteBool(iValue);
  return false;
}

bool ZQ_TBool::ReadFrom(ZQ_THumanReadableStream& in) {
  iValue = in.ReadBool();
  return false;
}

void ZQ_TBool::PrintOn(std::ostream& out) const { out << (iValue ? "true" : "false"); }

ZQ_CLASS_IMPLEMENT(ZQ_TUInt32, ZQ_TObject, &ZQ_TUInt32::ZQ_Create, nullptr, ZQ_IPackable,
                   ZQ_IHumanReadable, ZQ_IPrintable)
ZQ_CLASS_IMPLEMENT(ZQ_TBool, ZQ_TObject, &ZQ_TBool::ZQ_Create, nullptr, ZQ_IPackable,
                   ZQ_IHumanReadable, ZQ_IPrintable)
