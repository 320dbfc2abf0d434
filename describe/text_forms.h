// Names as people and programs read them back: a file name may hold any
// byte but '/' and NUL, and a line of output or a JSON string must not be
// broken by it.
#pragma once

#include <string>
#include <string_view>

// `text` for one line of a terminal: control characters and bytes that are
// not UTF-8 as \ooo (octal, as `file` writes them), a backslash as \\.
std::string PrintableText(std::string_view text);
// Whether `text` is well-formed UTF-8.
bool IsUtf8(std::string_view text);
// Two lower-case hexadecimal digits per byte.
std::string HexBytes(std::string_view bytes);
// A URL's text with the bytes that are not UTF-8 as %XX, which URL decoding
// turns back into them.
std::string UrlText(std::string_view url);
