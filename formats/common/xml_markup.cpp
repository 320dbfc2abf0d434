#include "formats/common/xml_markup.h"

namespace imr::formats {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::string_view TrimXmlSpace(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

bool XmlMarkup::SkipProlog() {
  while (true) {
    while (iAt < iText.size() && IsSpace(iText[iAt])) ++iAt;
    if (Next("<?")) {
      if (!SkipPast("?>")) return false;
    } else if (Next("<!--")) {
      if (!SkipPast("-->")) return false;
    } else if (Next("<!")) {
      // A document type declaration, with an internal subset in brackets.
      int depth = 0;
      for (; iAt < iText.size(); ++iAt) {
        const char c = iText[iAt];
        if (c == '[') ++depth;
        if (c == ']') --depth;
        if (c == '>' && depth <= 0) break;
      }
      if (iAt++ >= iText.size()) return false;
    } else {
      return Next("<");
    }
  }
}

std::string_view XmlMarkup::Name() {
  const std::size_t start = iAt;
  while (iAt < iText.size() && !IsSpace(iText[iAt]) && iText[iAt] != '>' && iText[iAt] != '/') ++iAt;
  return iText.substr(start, iAt - start);
}

bool XmlMarkup::Attribute(std::string_view& name, std::string_view& value, bool& ended) {
  ended = false;
  while (iAt < iText.size() && IsSpace(iText[iAt])) ++iAt;
  if (iAt < iText.size() && (iText[iAt] == '>' || iText[iAt] == '/')) {
    ended = true;
    return false;
  }
  const std::size_t equals = iText.find('=', iAt);
  if (equals == std::string_view::npos) return false;
  name = TrimXmlSpace(iText.substr(iAt, equals - iAt));
  std::size_t quote = equals + 1;
  while (quote < iText.size() && IsSpace(iText[quote])) ++quote;
  if (quote >= iText.size() || (iText[quote] != '"' && iText[quote] != '\'')) return false;
  const std::size_t close = iText.find(iText[quote], quote + 1);
  if (close == std::string_view::npos) return false;
  value = iText.substr(quote + 1, close - quote - 1);
  iAt = close + 1;
  return true;
}

bool XmlMarkup::Find(std::string_view name) {
  while (iAt < iText.size()) {
    const std::size_t open = iText.find('<', iAt);
    if (open == std::string_view::npos) break;
    iAt = open + 1;
    if (iText.substr(iAt, name.size()) != name) continue;
    const std::size_t after = iAt + name.size();
    if (after < iText.size() && (IsSpace(iText[after]) || iText[after] == '/' || iText[after] == '>')) {
      iAt = after;
      return true;
    }
  }
  iAt = iText.size();
  return false;
}

bool XmlMarkup::Next(std::string_view s) {
  if (iText.substr(iAt, s.size()) != s) return false;
  iAt += s.size();
  return true;
}

bool XmlMarkup::SkipPast(std::string_view s) {
  const std::size_t found = iText.find(s, iAt);
  if (found == std::string_view::npos) return false;
  iAt = found + s.size();
  return true;
}

}  // namespace imr::formats
