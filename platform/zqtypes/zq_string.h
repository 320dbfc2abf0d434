// ZQ_TString: immutable-storage UTF-8 text.  Short texts (up to 15 bytes) are
// held inline; longer ones share one reference-counted buffer, so copies never
// allocate.
#pragma once

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

#include "zqtypes/zq_protocols.h"

class ZQ_TString : public ZQ_TObject,
                   public virtual ZQ_IPackable,
                   public virtual ZQ_IHumanReadable {
  ZQ_CLASS_BOILERPLATE(ZQ_TString)
 public:
  ZQ_TString() noexcept { iInline[0] = '\0'; }
  // `length` -1 reads up to the terminator.
  ZQ_TString(const char* text, int length = -1);
  ZQ_TString(std::string_view text) { Assign(text.data(), text.size()); }
  ZQ_TString(const std::string& text) { Assign(text.data(), text.size()); }
  // From wide text (UTF-32 code points).
  explicit ZQ_TString(const wchar_t* text);
  explicit ZQ_TString(const std::wstring& text);
  ZQ_TString(const ZQ_TString& other) noexcept;
  ZQ_TString(ZQ_TString&& other) noexcept;
  ZQ_TString& operator=(const ZQ_TString& other) noexcept;
  ZQ_TString& operator=(ZQ_TString&& other) noexcept;
  ~ZQ_TString() override { Release(); }

  static const ZQ_TString sEmpty;
  static ZQ_TObject* ZQ_Create();
  // printf-style formatting.
  static ZQ_TString Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

  const char* Narrow() const noexcept { return iHeap ? iRep->chars : iInline; }
  const char* c_str() const noexcept { return Narrow(); }
  std::wstring Wide() const;
  std::uint32_t Length() const noexcept { return iLength; }
  bool IsEmpty() const noexcept { return iLength == 0; }
  std::string_view View() const noexcept { return {Narrow(), iLength}; }
  operator std::string_view() const noexcept { return View(); }
  std::string Std() const { return std::string(View()); }
  char operator[](std::uint32_t index) const { return Narrow()[index]; }

  // Index of the first `c` at or after `start` (or the last at or before it
  // when `backwards`), -1 when there is none.
  int Find(char c, int start = 0, bool backwards = false) const;
  // Index of the first occurrence of `text` at or after `start`, or -1.
  int Find(std::string_view text, int start = 0) const;
  // At most `length` bytes from `start` (-1: to the end); clamped to the text.
  ZQ_TString Substring(int start, int length = -1) const;
  // Keeps the first `length` bytes.
  void Truncate(std::uint32_t length);

  ZQ_TString& operator+=(std::string_view text);
  friend ZQ_TString operator+(const ZQ_TString& a, std::string_view b) {
    ZQ_TString result(a);
    result += b;
    return result;
  }

  bool operator==(const ZQ_TString& other) const noexcept { return View() == other.View(); }
  bool operator==(const char* other) const noexcept { return View() == std::string_view(other); }
  bool operator==(std::string_view other) const noexcept { return View() == other; }
  bool operator==(const wchar_t* other) const;
  bool operator<(const ZQ_TString& other) const noexcept { return View() < other.View(); }
  std::size_t Hash() const noexcept { return std::hash<std::string_view>()(View()); }

  // Prints the text as it is.
  void PrintOn(std::ostream& out) const;

  void ZQ_Pack(ZQ_IPacking& out) const override;
  void ZQ_Unpack(ZQ_IUnpacking& in) override;
  ZQ_IPackable* ZQ_Clone(void* place = nullptr) const override;
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override;
  bool WriteTo(ZQ_THumanReadableStream& out) const override;
  bool ReadFrom(ZQ_THumanReadableStream& in) override;

 private:
  struct Rep {
    std::atomic<std::uint32_t> refs;
    char chars[1];  // the text and its terminator
  };
  static constexpr std::uint32_t kInline = 15;
  void Assign(const char* text, std::size_t length);
  void Release() noexcept;

  union {
    char iInline[kInline + 1];
    Rep* iRep;
  };
  std::uint32_t iLength = 0;
  bool iHeap = false;
};

std::ostream& operator<<(std::ostream& out, const ZQ_TString& text);

template <>
struct std::hash<ZQ_TString> {
  std::size_t operator()(const ZQ_TString& s) const noexcept { return s.Hash(); }
};
