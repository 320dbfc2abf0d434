#include "formats/catalog/signature.h"

#include <cstdio>
#include <cstdlib>

namespace imr::formats {
namespace {

// Reads one signature clause by clause.
class SignatureReader {
 public:
  explicit SignatureReader(const std::string& text) : iText(text) {}

  // Appends the entry texts of every test to `tests`; sets `version`.
  void Read(std::vector<std::string>& tests, std::string& version) {
    if (iText.empty()) Fail("an empty signature");
    for (;;) {
      Clause(tests, version);
      if (iAt == iText.size()) return;
      Expect(", ");
    }
  }

 private:
  void Clause(std::vector<std::string>& tests, std::string& version) {
    if (Peek('"')) {
      const std::string bytes = String();
      Expect("@");
      const unsigned long offset = Number();
      for (std::size_t i = 0; i < bytes.size(); ++i) {
        tests.push_back(Byte(offset + i, "==", static_cast<unsigned char>(bytes[i])));
      }
    } else if (Skip("find ")) {
      const std::string pattern = String();
      if (pattern.empty() || pattern.find('\0') != std::string::npos) {
        Fail("a search text that is empty or holds a NUL byte");
      }
      Expect(" from ");
      if (Skip("*")) {
        const unsigned long position = Number();
        if (!Peek('l') && !Peek('b')) Fail("no byte order after *position");
        const char order = iText[iAt++];
        const unsigned long width = Number();
        if (width == 0 || width > 8) Fail("a stored start of width 1 to 8");
        tests.push_back("?*" + std::to_string(position) + order + std::to_string(width) + "=" + pattern);
      } else {
        tests.push_back("?" + std::to_string(Number()) + "=" + pattern);
      }
    } else if (Skip("version ")) {
      version = Token();
      if (version.empty()) Fail("a version without its text");
    } else if (Peek('[')) {
      const std::size_t close = iText.find(']', iAt);
      if (close != std::string::npos && iText.compare(close, 5, "] in ") == 0) {
        ++iAt;
        const unsigned long offset = Number();
        Expect("] in ");
        const unsigned long low = Number();
        Expect("..");
        const unsigned long high = Number();
        if (low > high || high > 255) Fail("a byte range outside 0..255");
        if (low > 0) tests.push_back(Byte(offset, ">", low - 1));
        if (high < 255) tests.push_back(Byte(offset, "<", high + 1));
      } else {
        tests.push_back(Token());  // a magic entry text as it is
      }
    } else {
      Fail("an unknown test");
    }
  }

  static std::string Byte(unsigned long offset, const char* op, unsigned long value) {
    char text[48];
    std::snprintf(text, sizeof text, "[%lu]%s0x%02lX", offset, op, value);
    return text;
  }

  bool Peek(char c) const { return iAt < iText.size() && iText[iAt] == c; }
  bool Skip(const char* word) {
    const std::string_view w(word);
    if (iText.compare(iAt, w.size(), w) != 0) return false;
    iAt += w.size();
    return true;
  }
  void Expect(const char* word) {
    if (!Skip(word)) Fail(std::string("'") + word + "' expected");
  }
  // Everything up to the next ", " or the end.
  std::string Token() {
    const std::size_t end = std::min(iText.find(", ", iAt), iText.size());
    std::string token = iText.substr(iAt, end - iAt);
    iAt = end;
    return token;
  }
  unsigned long Number() {
    const char* start = iText.c_str() + iAt;
    char* end = nullptr;
    const unsigned long value = std::strtoul(start, &end, 0);
    if (end == start || *start == '-' || *start == '+' || *start == ' ') Fail("a number expected");
    iAt += static_cast<std::size_t>(end - start);
    return value;
  }
  std::string String() {
    Expect("\"");
    std::string bytes;
    while (iAt < iText.size() && iText[iAt] != '"') {
      const char c = iText[iAt++];
      if (c != '\\') {
        bytes += c;
        continue;
      }
      if (iAt == iText.size()) break;
      const char e = iText[iAt++];
      switch (e) {
        case 'x': {
          if (iAt + 2 > iText.size()) Fail("\\x needs two hexadecimal digits");
          const std::string digits = iText.substr(iAt, 2);
          char* end = nullptr;
          const unsigned long value = std::strtoul(digits.c_str(), &end, 16);
          if (end != digits.c_str() + 2) Fail("\\x needs two hexadecimal digits");
          bytes += static_cast<char>(value);
          iAt += 2;
          break;
        }
        case '0': bytes += '\0'; break;
        case 'r': bytes += '\r'; break;
        case 'n': bytes += '\n'; break;
        case 't': bytes += '\t'; break;
        case '\\': bytes += '\\'; break;
        case '"': bytes += '"'; break;
        default: Fail(std::string("an unknown escape \\") + e);
      }
    }
    Expect("\"");
    return bytes;
  }
  [[noreturn]] void Fail(const std::string& what) const {
    throw SignatureError(what + " at " + std::to_string(iAt) + " of: " + iText);
  }

  const std::string& iText;
  std::size_t iAt = 0;
};

}  // namespace

std::vector<std::string> EntryTexts(const Format& format, const std::string& signature) {
  std::vector<std::string> texts;
  std::string version;
  SignatureReader(signature).Read(texts, version);
  texts.push_back(std::string("FileFormat=") + format.name);
  if (!version.empty()) texts.push_back("FileFormatVersion=" + version);
  texts.push_back("ImageType=3");
  texts.push_back("FillLevel=2");
  if (format.plugin != nullptr) texts.push_back(std::string("imr_plugin=") + format.plugin);
  texts.push_back("imr_plugin=GENERIC");
  return texts;
}

}  // namespace imr::formats
