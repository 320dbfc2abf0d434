// Text conversions the readers share: code points and UTF-16 to UTF-8, the
// trimming of the padded strings that files store, and numbers as text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace imr::formats {

// Appends code point `code` as UTF-8; values past U+10FFFF become U+FFFD.
void AppendUtf8(std::string& out, std::uint32_t code);

// Appends `count` UTF-16 code units from `bytes` (2 * count bytes, big-endian
// unless `littleEndian`) as UTF-8, up to the first NUL unit.  Surrogate pairs
// are joined; an unpaired surrogate becomes U+FFFD.
void AppendUtf16(std::string& out, const std::uint8_t* bytes, std::size_t count,
                 bool littleEndian = false);

// ISO 8859-1 text as UTF-8.
std::string Latin1ToUtf8(const std::string& text);

// `text` up to its first NUL, without trailing blanks, tabs and line ends.
std::string TrimPadding(std::string text);

// A real number as people write it: at most six significant digits, no
// trailing zeros ("23.976", "1", "0.5").
std::string DecimalText(double value);

}  // namespace imr::formats
