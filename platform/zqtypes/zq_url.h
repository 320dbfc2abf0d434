// ZQ_TURL names a file or a byte range of one; ZQ_TFileInfo holds a file's
// facts; ZQ_TTime is a point in time with nanoseconds.
//
// Text forms of a URL:
//   file:///abs/path      a file; "%" in the path is written %25, and %XX
//                         escapes are decoded when a URL is read
//   embed:OFFSET:LENGTH:file:///abs/path
//                         LENGTH bytes of that file from byte OFFSET (decimal)
// Anything else of the form scheme:rest keeps its scheme and names no file.
// A text without a scheme is a path, made absolute against the working
// directory and cleaned of "." and ".." parts.
#pragma once

#include <cstdint>
#include <string>

#include "zqtypes/zq_string.h"

class ZQ_TTime : public ZQ_TObject,
                 public virtual ZQ_IPackable,
                 public virtual ZQ_IPrintable,
                 public virtual ZQ_IHumanReadable {
  ZQ_CLASS_BOILERPLATE(ZQ_TTime)
 public:
  ZQ_TTime() = default;
  ZQ_TTime(std::int64_t seconds, std::uint32_t nanoseconds)
      : iSeconds(seconds), iNanoseconds(nanoseconds) {}
  static ZQ_TObject* ZQ_Create();
  std::int64_t Seconds() const { return iSeconds; }
  std::uint32_t Nanoseconds() const { return iNanoseconds; }
  bool operator==(const ZQ_TTime& other) const {
    return iSeconds == other.iSeconds && iNanoseconds == other.iNanoseconds;
  }
  bool operator!=(const ZQ_TTime& other) const { return !(*this == other); }

  void ZQ_Pack(ZQ_IPacking& out) const override;
  void ZQ_Unpack(ZQ_IUnpacking& in) override;
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new ZQ_TTime(*this); }
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override;
  // ISO 8601 in UTC.
  void PrintOn(std::ostream& out) const override;
  // Text form: the seconds (signed) and the nanoseconds.
  bool WriteTo(ZQ_THumanReadableStream& out) const override;
  bool ReadFrom(ZQ_THumanReadableStream& in) override;

 private:
  std::int64_t iSeconds = 0;
  std::uint32_t iNanoseconds = 0;
};

class ZQ_TURL : public ZQ_TObject,
                public virtual ZQ_IPackable,
                public virtual ZQ_IPrintable,
                public virtual ZQ_IHumanReadable {
  ZQ_CLASS_BOILERPLATE(ZQ_TURL)
 public:
  ZQ_TURL() = default;
  // A URL text or a path (see above).
  ZQ_TURL(const ZQ_TString& text);
  ZQ_TURL(const char* text) : ZQ_TURL(ZQ_TString(text)) {}
  explicit ZQ_TURL(const std::wstring& text) : ZQ_TURL(ZQ_TString(text)) {}
  // A path, even one that contains a colon.
  static ZQ_TURL FromPath(const ZQ_TString& path);
  // `length` bytes from `offset` of the file that `outer` names.  When `outer`
  // is itself an embed URL, `offset` counts from the start of its range.
  static ZQ_TURL Embed(const ZQ_TURL& outer, std::uint64_t offset, std::uint64_t length);
  static ZQ_TObject* ZQ_Create();

  const ZQ_TString& Text() const { return iText; }
  bool IsEmpty() const { return iText.IsEmpty(); }
  // "file", "embed", another scheme, or empty for an empty URL.
  ZQ_TString Protocol() const;
  bool IsFile() const;
  bool IsEmbed() const;
  // The path of the file read (for an embed URL, of its root file).
  ZQ_TString Path() const;
  std::wstring WPath() const { return Path().Wide(); }
  // The root file of an embed URL (the URL itself for a file URL).
  ZQ_TURL Root() const;
  std::uint64_t EmbedOffset() const;
  std::uint64_t EmbedLength() const;
  // `reference` (a URL, an absolute path, or a path relative to this URL's
  // folder) as a URL.
  ZQ_TURL Resolve(const ZQ_TString& reference) const;

  bool operator==(const ZQ_TURL& other) const { return iText == other.iText; }
  bool operator!=(const ZQ_TURL& other) const { return !(iText == other.iText); }

  void ZQ_Pack(ZQ_IPacking& out) const override { out.PackString(iText); }
  void ZQ_Unpack(ZQ_IUnpacking& in) override;
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new ZQ_TURL(*this); }
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override;
  void PrintOn(std::ostream& out) const override { iText.PrintOn(out); }
  bool WriteTo(ZQ_THumanReadableStream& out) const override;
  bool ReadFrom(ZQ_THumanReadableStream& in) override;

 private:
  struct EmbedParts {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    ZQ_TString root;
  };
  bool SplitEmbed(EmbedParts& parts) const;

  ZQ_TString iText;
};

class ZQ_TFileInfo {
 public:
  ZQ_TFileInfo() = default;
  // With `readFacts`, the file is examined now (for an embed URL, its root
  // file; the size is then the range's length).
  explicit ZQ_TFileInfo(const ZQ_TURL& url, bool readFacts = true);
  // The facts of an existing regular file, known already (from an open file).
  ZQ_TFileInfo(const ZQ_TURL& url, std::uint64_t size, const ZQ_TTime& modified)
      : iURL(url), iExists(true), iRegular(true), iSize(size), iModified(modified) {}

  const ZQ_TURL& URL() const { return iURL; }
  bool Exists() const { return iExists; }
  bool IsRegular() const { return iRegular; }
  std::uint64_t Size() const { return iSize; }
  const ZQ_TTime& ModificationTime() const { return iModified; }
  // A 32-bit identity of the URL text, the size and the modification time.
  std::uint32_t SmartID() const;

 private:
  ZQ_TURL iURL;
  bool iExists = false;
  bool iRegular = false;
  std::uint64_t iSize = 0;
  ZQ_TTime iModified;
};
