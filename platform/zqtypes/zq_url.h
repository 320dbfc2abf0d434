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

#include <sys/stat.h>

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
  // The system's clock.
  static ZQ_TTime Now();
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

// What the file system says of a file, and when it was asked.  Size,
// modification time, device and inode change when the file is rewritten or
// replaced; the status change time moves on any change to the file,
// metadata included; the digest, when taken, covers the bytes a rewrite that
// keeps the other facts would change first (see PXC_WindowDigest).
struct ZQ_TFileFacts {
  bool exists = false;
  bool regular = false;
  std::uint64_t size = 0;  // of an embedded range: its length
  ZQ_TTime modified;
  ZQ_TTime changed;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  // The clock when the facts were last known to hold: when the file was
  // examined, or when a description made of it was stored in its metadata.
  ZQ_TTime examined;
  bool hasDigest = false;
  std::uint64_t digest = 0;

  // The facts of a stat call made now.
  static ZQ_TFileFacts FromStat(const struct ::stat& facts);
  // Both name one existing file with the same size and modification time.
  bool SameFile(const ZQ_TFileFacts& other) const {
    return exists && other.exists && size == other.size && modified == other.modified &&
           device == other.device && inode == other.inode;
  }
};

class ZQ_TFileInfo {
 public:
  ZQ_TFileInfo() = default;
  // With `readFacts`, the file is examined now (for an embed URL, its root
  // file; the size is then the range's length).
  explicit ZQ_TFileInfo(const ZQ_TURL& url, bool readFacts = true);
  // Facts known already (from an open file).
  ZQ_TFileInfo(const ZQ_TURL& url, const ZQ_TFileFacts& facts) : iURL(url), iFacts(facts) {}

  const ZQ_TURL& URL() const { return iURL; }
  const ZQ_TFileFacts& Facts() const { return iFacts; }
  bool Exists() const { return iFacts.exists; }
  bool IsRegular() const { return iFacts.regular; }
  std::uint64_t Size() const { return iFacts.size; }
  const ZQ_TTime& ModificationTime() const { return iFacts.modified; }
  // A 32-bit identity of the URL text, the size and the modification time.
  std::uint32_t SmartID() const;

 private:
  ZQ_TURL iURL;
  ZQ_TFileFacts iFacts;
};
