#include "formats/raster/text_header.h"

namespace imr::formats {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

void TextCursor::SkipBlanks() {
  while (iAt < iText.size() && IsBlank(iText[iAt])) ++iAt;
}

std::string TextCursor::Word() {
  SkipBlanks();
  const std::size_t start = iAt;
  while (iAt < iText.size() && !IsBlank(iText[iAt]) && iText[iAt] != '\n' && iText[iAt] != '\r') ++iAt;
  return iText.substr(start, iAt - start);
}

bool TextCursor::Number(std::uint32_t& value) {
  SkipBlanks();
  std::size_t end = iAt;
  std::uint32_t number = 0;
  while (end < iText.size() && IsDigit(iText[end]) && end - iAt < 10) {
    number = number * 10 + static_cast<std::uint32_t>(iText[end++] - '0');
  }
  if (end == iAt || end - iAt > 9) return false;
  iAt = end;
  value = number;
  return true;
}

bool TextCursor::Skip(char c) {
  SkipBlanks();
  if (iAt >= iText.size() || iText[iAt] != c) return false;
  ++iAt;
  return true;
}

}  // namespace imr::formats
