#include "zqtypes/zq_url.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <ostream>
#include <utility>
#include <vector>

#include "zqtypes/zq_streams.h"

namespace {

const char kFilePrefix[] = "file://";
const char kEmbedPrefix[] = "embed:";

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The scheme of `text` when it has the form scheme:rest, else empty.
std::string_view SchemeOf(std::string_view text) {
  if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0]))) return {};
  for (std::size_t i = 1; i < text.size(); ++i) {
    char c = text[i];
    if (c == ':') return i >= 2 ? text.substr(0, i) : std::string_view();
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
      return {};
    }
  }
  return {};
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Decode(std::string_view text) {
  if (text.find('%') == std::string_view::npos) return std::string(text);  // the common case
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    int high = text[i] == '%' && i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
    int low = high >= 0 ? HexDigit(text[i + 2]) : -1;
    if (low >= 0) {
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Appends `path` to `out` with each '%' written "%25".
void AppendEncoded(std::string& out, std::string_view path) {
  for (std::size_t percent; (percent = path.find('%')) != std::string_view::npos;) {
    out.append(path.substr(0, percent)).append("%25");
    path.remove_prefix(percent + 1);
  }
  out.append(path);
}

// Whether `path` is absolute and has no "." or ".." parts, no empty ones and
// no trailing slash: what Normalise gives, and most paths are.
bool IsNormal(std::string_view path) {
  if (path.empty() || path[0] != '/') return false;
  if (path.size() == 1) return true;
  std::size_t start = 1;
  for (;;) {
    const std::size_t slash = path.find('/', start);
    const std::string_view part = path.substr(start, slash == std::string_view::npos ? slash : slash - start);
    if (part.empty() || part == "." || part == "..") return false;
    if (slash == std::string_view::npos) return true;
    start = slash + 1;
  }
}

// `path` made absolute and cleaned of "." and ".." parts and double slashes.
std::string Normalise(std::string_view path) {
  if (IsNormal(path)) return std::string(path);
  std::string absolute;
  if (path.empty() || path[0] != '/') {
    std::vector<char> cwd(4096);
    if (getcwd(cwd.data(), cwd.size()) != nullptr) absolute = cwd.data();
    absolute += '/';
  }
  absolute.append(path);
  std::vector<std::string_view> parts;
  std::string_view rest(absolute);
  while (!rest.empty()) {
    std::size_t slash = rest.find('/');
    std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string out;
  for (std::string_view part : parts) {
    out += '/';
    out.append(part);
  }
  return out.empty() ? "/" : out;
}

std::string FileText(std::string_view path) {
  std::string normalised;
  if (!IsNormal(path)) {
    normalised = Normalise(path);
    path = normalised;
  }
  std::string text(kFilePrefix);
  text.reserve(text.size() + path.size() + 2);
  AppendEncoded(text, path);
  return text;
}

bool ReadNumber(std::string_view& text, std::uint64_t& value) {
  std::size_t i = 0;
  value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    std::uint64_t digit = static_cast<std::uint64_t>(text[i] - '0');
    if (value > (UINT64_MAX - digit) / 10) return false;
    value = value * 10 + digit;
    ++i;
  }
  if (i == 0 || i >= text.size() || text[i] != ':') return false;
  text.remove_prefix(i + 1);
  return true;
}

// "embed:OFFSET:LENGTH:" followed by `inner`.
std::string EmbedText(std::uint64_t offset, std::uint64_t length, std::string_view inner) {
  char prefix[64];
  int size = std::snprintf(prefix, sizeof prefix, "%s%" PRIu64 ":%" PRIu64 ":", kEmbedPrefix,
                           offset, length);
  std::string text(prefix, static_cast<std::size_t>(size));
  text.append(inner);
  return text;
}

}  // namespace

// ---------------------------------------------------------------------------
// ZQ_TTime

ZQ_TObject* ZQ_TTime::ZQ_Create() { return new ZQ_TTime; }

ZQ_TTime ZQ_TTime::Now() {
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return ZQ_TTime(now.tv_sec, static_cast<std::uint32_t>(now.tv_nsec));
}

void ZQ_TTime::ZQ_Pack(ZQ_IPacking& out) const {
  out.PackU64(static_cast<std::uint64_t>(iSeconds));
  out.PackU32(iNanoseconds);
}

void ZQ_TTime::ZQ_Unpack(ZQ_IUnpacking& in) {
  iSeconds = static_cast<std::int64_t>(in.UnpackU64());
  iNanoseconds = in.UnpackU32();
}

bool ZQ_TTime::ZQ_IsIdent(const ZQ_IPackable& other) const {
  const ZQ_TTime* time = ZQ_DynamicCast<ZQ_TTime>(&other);
  return time != nullptr && *time == *this;
}

void ZQ_TTime::PrintOn(std::ostream& out) const {
  std::time_t seconds = static_cast<std::time_t>(iSeconds);
  std::tm parts{};
  if (gmtime_r(&seconds, &parts) == nullptr) {
    out << '@' << iSeconds;  // beyond the years the calendar functions handle
    return;
  }
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  out << text;
}

bool ZQ_TTime::WriteTo(ZQ_THumanReadableStream& out) const {
  out.WriteWord(std::to_string(iSeconds));
  out.WriteU32(iNanoseconds);
  return false;
}

bool ZQ_TTime::ReadFrom(ZQ_THumanReadableStream& in) {
  const ZQ_TString word = in.ReadWord();
  errno = 0;
  char* end = nullptr;
  const long long seconds = std::strtoll(word.Narrow(), &end, 10);
  if (word.IsEmpty() || errno != 0 || end != word.Narrow() + word.Length()) {
    ZQ_THROW(ZQ_EStreamFormat,
             ZQ_TString::Format("Expected a signed 64-bit number but found '%%s' at line %d",
                                in.LineNumber()),
             word);
  }
  iSeconds = seconds;
  iNanoseconds = in.ReadU32();
  return false;
}

// ---------------------------------------------------------------------------
// ZQ_TURL

ZQ_TURL::ZQ_TURL(const ZQ_TString& text) {
  std::string_view view = text.View();
  if (view.empty()) return;
  std::string_view scheme = SchemeOf(view);
  if (scheme.empty()) {
    iText = ZQ_TString(FileText(view));
  } else if (scheme == "file") {
    std::string_view rest = view.substr(5);
    if (StartsWith(rest, "//")) rest.remove_prefix(2);
    // Already in the form this class writes: kept as it is (packed URLs are).
    if (rest.size() + sizeof kFilePrefix - 1 == view.size() && rest.find('%') == std::string_view::npos &&
        IsNormal(rest)) {
      iText = text;
      return;
    }
    if (!StartsWith(rest, "/")) {
      // file://host/path: the host part is dropped
      std::size_t slash = rest.find('/');
      rest = slash == std::string_view::npos ? std::string_view("/") : rest.substr(slash);
    }
    iText = ZQ_TString(FileText(Decode(rest)));
  } else if (scheme == "embed") {
    // The leading ranges, outermost first; a loop, as texts may nest deeply.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
    std::string_view rest = view;
    while (StartsWith(rest, kEmbedPrefix)) {
      std::string_view numbers = rest.substr(sizeof kEmbedPrefix - 1);
      std::uint64_t offset = 0;
      std::uint64_t length = 0;
      if (!ReadNumber(numbers, offset) || !ReadNumber(numbers, length)) break;
      ranges.emplace_back(offset, length);
      rest = numbers;
    }
    if (ranges.empty()) {
      iText = text;  // kept as written; it names no file
      return;
    }
    // What the innermost range is taken from; its text starts with no range.
    const ZQ_TURL inner{ZQ_TString(rest)};
    std::string innerText(inner.iText.View());
    std::size_t outer = ranges.size();
    if (inner.IsFile()) {
      // Ranges of a file add up to one range of it, as Embed does, as long
      // as the offsets fit.
      std::uint64_t offset = 0;
      std::uint64_t length = 0;
      while (outer > 0 && ranges[outer - 1].first <= UINT64_MAX - offset) {
        offset += ranges[outer - 1].first;
        length = ranges[outer - 1].second;
        --outer;
      }
      innerText = EmbedText(offset, length, innerText);
    }
    // Ranges of anything else stay nested, as written.
    std::string out;
    for (std::size_t i = 0; i < outer; ++i) out += EmbedText(ranges[i].first, ranges[i].second, {});
    out += innerText;
    iText = ZQ_TString(out);
  } else {
    iText = text;
  }
}

ZQ_TURL ZQ_TURL::FromPath(const ZQ_TString& path) {
  ZQ_TURL url;
  if (!path.IsEmpty()) url.iText = ZQ_TString(FileText(path.View()));
  return url;
}

ZQ_TURL ZQ_TURL::Embed(const ZQ_TURL& outer, std::uint64_t offset, std::uint64_t length) {
  ZQ_TURL url;
  EmbedParts parts;
  if (outer.SplitEmbed(parts) && offset <= UINT64_MAX - parts.offset) {
    url.iText = ZQ_TString(EmbedText(parts.offset + offset, length, parts.root.View()));
  } else {
    // A file, or a range that cannot be added up (not of a file, or an offset
    // beyond 64 bits): the range is taken from `outer` as it is.
    url.iText = ZQ_TString(EmbedText(offset, length, outer.iText.View()));
  }
  return url;
}

ZQ_TObject* ZQ_TURL::ZQ_Create() { return new ZQ_TURL; }

ZQ_TString ZQ_TURL::Protocol() const { return ZQ_TString(SchemeOf(iText.View())); }

bool ZQ_TURL::IsFile() const { return StartsWith(iText.View(), kFilePrefix); }

bool ZQ_TURL::IsEmbed() const {
  EmbedParts parts;
  return SplitEmbed(parts);
}

bool ZQ_TURL::SplitEmbed(EmbedParts& parts) const {
  std::string_view view = iText.View();
  if (!StartsWith(view, kEmbedPrefix)) return false;
  view.remove_prefix(sizeof kEmbedPrefix - 1);
  if (!ReadNumber(view, parts.offset) || !ReadNumber(view, parts.length)) return false;
  if (!StartsWith(view, kFilePrefix)) return false;
  parts.root = ZQ_TString(view);
  return true;
}

ZQ_TString ZQ_TURL::Path() const {
  EmbedParts parts;
  std::string_view file = iText.View();
  if (SplitEmbed(parts)) file = parts.root.View();
  if (!StartsWith(file, kFilePrefix)) return ZQ_TString();
  return ZQ_TString(Decode(file.substr(sizeof kFilePrefix - 1)));
}

ZQ_TURL ZQ_TURL::Root() const {
  EmbedParts parts;
  if (!SplitEmbed(parts)) return *this;
  ZQ_TURL root;
  root.iText = parts.root;
  return root;
}

std::uint64_t ZQ_TURL::EmbedOffset() const {
  EmbedParts parts;
  return SplitEmbed(parts) ? parts.offset : 0;
}

std::uint64_t ZQ_TURL::EmbedLength() const {
  EmbedParts parts;
  return SplitEmbed(parts) ? parts.length : 0;
}

ZQ_TURL ZQ_TURL::Resolve(const ZQ_TString& reference) const {
  if (!SchemeOf(reference.View()).empty()) return ZQ_TURL(reference);
  if (!reference.IsEmpty() && reference[0] == '/') return FromPath(reference);
  std::string base = Path().Std();
  std::size_t slash = base.rfind('/');
  std::string folder = slash == std::string::npos ? std::string() : base.substr(0, slash + 1);
  return FromPath(ZQ_TString(folder + reference.Std()));
}

// Packed texts are read as URLs, as texts of the text form are, so that both
// forms agree on what a URL holds.
void ZQ_TURL::ZQ_Unpack(ZQ_IUnpacking& in) { iText = ZQ_TURL(in.UnpackString()).iText; }

bool ZQ_TURL::ZQ_IsIdent(const ZQ_IPackable& other) const {
  const ZQ_TURL* url = ZQ_DynamicCast<ZQ_TURL>(&other);
  return url != nullptr && *url == *this;
}

bool ZQ_TURL::WriteTo(ZQ_THumanReadableStream& out) const {
  out.WriteText(iText);
  return false;
}

bool ZQ_TURL::ReadFrom(ZQ_THumanReadableStream& in) {
  *this = ZQ_TURL(in.ReadText());
  return false;
}

// ---------------------------------------------------------------------------
// ZQ_TFileInfo

ZQ_TFileFacts ZQ_TFileFacts::FromStat(const struct ::stat& facts) {
  ZQ_TFileFacts out;
  out.exists = true;
  out.regular = S_ISREG(facts.st_mode);
  out.size = static_cast<std::uint64_t>(facts.st_size);
  out.modified = ZQ_TTime(facts.st_mtim.tv_sec, static_cast<std::uint32_t>(facts.st_mtim.tv_nsec));
  out.changed = ZQ_TTime(facts.st_ctim.tv_sec, static_cast<std::uint32_t>(facts.st_ctim.tv_nsec));
  out.device = static_cast<std::uint64_t>(facts.st_dev);
  out.inode = static_cast<std::uint64_t>(facts.st_ino);
  out.examined = ZQ_TTime::Now();
  return out;
}

ZQ_TFileInfo::ZQ_TFileInfo(const ZQ_TURL& url, bool readFacts) : iURL(url) {
  if (!readFacts) return;
  ZQ_TString path = url.Path();
  struct stat facts;
  if (path.IsEmpty() || ::stat(path.Narrow(), &facts) != 0) return;
  iFacts = ZQ_TFileFacts::FromStat(facts);
  if (url.IsEmbed()) iFacts.size = url.EmbedLength();
}

std::uint32_t ZQ_TFileInfo::SmartID() const {
  // FNV-1a over the URL text, the size and the modification time.
  std::uint64_t hash = 14695981039346656037ull;
  auto mix = [&hash](const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
  };
  mix(iURL.Text().Narrow(), iURL.Text().Length());
  mix(&iFacts.size, sizeof iFacts.size);
  std::int64_t seconds = iFacts.modified.Seconds();
  std::uint32_t nanoseconds = iFacts.modified.Nanoseconds();
  mix(&seconds, sizeof seconds);
  mix(&nanoseconds, sizeof nanoseconds);
  return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

ZQ_CLASS_IMPLEMENT(ZQ_TTime, ZQ_TObject, &ZQ_TTime::ZQ_Create, nullptr, ZQ_IPackable,
                   ZQ_IPrintable, ZQ_IHumanReadable)
ZQ_CLASS_IMPLEMENT(ZQ_TURL, ZQ_TObject, &ZQ_TURL::ZQ_Create, nullptr, ZQ_IPackable,
                   ZQ_IPrintable, ZQ_IHumanReadable)
