// Reading the words and numbers of the text headers of XBM, XPM and CALS
// files: blanks are spaces and tabs, a line end ends a word.
#pragma once

#include <cstdint>
#include <string>

namespace imr::formats {

class TextCursor {
 public:
  explicit TextCursor(const std::string& text, std::size_t at = 0) : iText(text), iAt(at) {}

  // The characters up to the next blank or line end, after blanks.
  std::string Word();
  // A decimal number of one to nine digits, after blanks; false (and the
  // cursor where it was) otherwise.
  bool Number(std::uint32_t& value);
  // Skips blanks, then `c`; false when something else comes.
  bool Skip(char c);

 private:
  void SkipBlanks();

  const std::string& iText;
  std::size_t iAt;
};

}  // namespace imr::formats
