#include "zqtypes/zq_string.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <ostream>

#include "zqtypes/zq_streams.h"
#include "zqtypes/zq_utf8.h"


const ZQ_TString ZQ_TString::sEmpty;

ZQ_TString::ZQ_TString(const char* text, int length) {
  if (text == nullptr) {
    iInline[0] = '\0';
    return;
  }
  Assign(text, length < 0 ? std::strlen(text) : static_cast<std::size_t>(length));
}

ZQ_TString::ZQ_TString(const wchar_t* text) : ZQ_TString(std::wstring(text ? text : L"")) {}

ZQ_TString::ZQ_TString(const std::wstring& text) {
  std::string narrow = ZQ_Utf8FromWide(text);
  Assign(narrow.data(), narrow.size());
}

ZQ_TString::ZQ_TString(const ZQ_TString& other) noexcept
    : ZQ_IInterface(), ZQ_IPackable(), ZQ_IHumanReadable(), ZQ_TObject() {
  iLength = other.iLength;
  iHeap = other.iHeap;
  if (iHeap) {
    iRep = other.iRep;
    iRep->refs.fetch_add(1, std::memory_order_relaxed);
  } else {
    std::memcpy(iInline, other.iInline, sizeof iInline);
  }
}

ZQ_TString::ZQ_TString(ZQ_TString&& other) noexcept
    : ZQ_IInterface(), ZQ_IPackable(), ZQ_IHumanReadable(), ZQ_TObject() {
  iLength = other.iLength;
  iHeap = other.iHeap;
  std::memcpy(iInline, other.iInline, sizeof iInline);
  other.iHeap = false;
  other.iLength = 0;
  other.iInline[0] = '\0';
}

ZQ_TString& ZQ_TString::operator=(const ZQ_TString& other) noexcept {
  if (this != &other) {
    ZQ_TString copy(other);
    *this = std::move(copy);
  }
  return *this;
}

ZQ_TString& ZQ_TString::operator=(ZQ_TString&& other) noexcept {
  if (this != &other) {
    Release();
    iLength = other.iLength;
    iHeap = other.iHeap;
    std::memcpy(iInline, other.iInline, sizeof iInline);
    other.iHeap = false;
    other.iLength = 0;
    other.iInline[0] = '\0';
  }
  return *this;
}

void ZQ_TString::Assign(const char* text, std::size_t length) {
  if (length > 0xFFFFFFF0u) throw std::length_error("ZQ_TString too long");
  iLength = static_cast<std::uint32_t>(length);
  if (length <= kInline) {
    iHeap = false;
    if (length != 0) std::memcpy(iInline, text, length);
    iInline[length] = '\0';
  } else {
    void* memory = std::malloc(sizeof(Rep) + length);
    if (memory == nullptr) throw std::bad_alloc();
    iRep = new (memory) Rep;
    iRep->refs.store(1, std::memory_order_relaxed);
    std::memcpy(iRep->chars, text, length);
    iRep->chars[length] = '\0';
    iHeap = true;
  }
}

void ZQ_TString::Release() noexcept {
  if (iHeap && iRep->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) std::free(iRep);
  iHeap = false;
}

ZQ_TObject* ZQ_TString::ZQ_Create() { return new ZQ_TString; }

ZQ_TString ZQ_TString::Format(const char* format, ...) {
  char small[256];
  va_list args;
  va_start(args, format);
  int needed = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (needed < 0) return ZQ_TString();
  if (static_cast<std::size_t>(needed) < sizeof small) return ZQ_TString(small, needed);
  std::string large(static_cast<std::size_t>(needed) + 1, '\0');
  va_start(args, format);
  std::vsnprintf(large.data(), large.size(), format, args);
  va_end(args);
  return ZQ_TString(large.data(), needed);
}

std::wstring ZQ_TString::Wide() const { return ZQ_WideFromUtf8(View()); }

int ZQ_TString::Find(char c, int start, bool backwards) const {
  const int length = static_cast<int>(iLength);
  const char* chars = Narrow();
  if (backwards) {
    for (int i = start < length ? start : length - 1; i >= 0; --i) {
      if (chars[i] == c) return i;
    }
    return -1;
  }
  for (int i = start < 0 ? 0 : start; i < length; ++i) {
    if (chars[i] == c) return i;
  }
  return -1;
}

int ZQ_TString::Find(std::string_view text, int start) const {
  if (start < 0) start = 0;
  std::size_t at = View().find(text, static_cast<std::size_t>(start));
  return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

ZQ_TString ZQ_TString::Substring(int start, int length) const {
  const int total = static_cast<int>(iLength);
  if (start < 0) start = 0;
  if (start >= total) return ZQ_TString();
  int available = total - start;
  if (length < 0 || length > available) length = available;
  if (start == 0 && length == total) return *this;
  return ZQ_TString(Narrow() + start, length);
}

void ZQ_TString::Truncate(std::uint32_t length) {
  if (length < iLength) *this = Substring(0, static_cast<int>(length));
}

ZQ_TString& ZQ_TString::operator+=(std::string_view text) {
  if (text.empty()) return *this;
  std::string joined;
  joined.reserve(iLength + text.size());
  joined.append(View());
  joined.append(text);
  *this = ZQ_TString(joined);
  return *this;
}

bool ZQ_TString::operator==(const wchar_t* other) const {
  return other != nullptr && View() == ZQ_Utf8FromWide(other);
}

void ZQ_TString::PrintOn(std::ostream& out) const { out.write(Narrow(), iLength); }

std::ostream& operator<<(std::ostream& out, const ZQ_TString& text) {
  text.PrintOn(out);
  return out;
}

void ZQ_TString::ZQ_Pack(ZQ_IPacking& out) const { out.PackString(*this); }

void ZQ_TString::ZQ_Unpack(ZQ_IUnpacking& in) { *this = in.UnpackString(); }

ZQ_IPackable* ZQ_TString::ZQ_Clone(void*) const { return new ZQ_TString(*this); }

bool ZQ_TString::ZQ_IsIdent(const ZQ_IPackable& other) const {
  const ZQ_TString* text = ZQ_DynamicCast<ZQ_TString>(&other);
  return text != nullptr && *text == *this;
}

bool ZQ_TString::WriteTo(ZQ_THumanReadableStream& out) const {
  out.WriteText(View());
  return false;
}

bool ZQ_TString::ReadFrom(ZQ_THumanReadableStream& in) {
  *this = in.ReadText();
  return false;
}

ZQ_CLASS_IMPLEMENT(ZQ_TString, ZQ_TObject, &ZQ_TString::ZQ_Create, nullptr, ZQ_IPackable,
                   ZQ_IHumanReadable)
