// The entry syntax: one text per match element.
//   [OFFSET]==VALUE  [OFFSET]&MASK!=VALUE  < <= > >=   a masked byte comparison
//   ?OFFSET=PATTERN                                    a search from a fixed start
//   ?*POSITION<l|other>WIDTH=PATTERN                   a search from a stored start
//   KEY=VALUE                                          an assignment (IMR_TSet)
// Numbers follow strtoul with base 0; where none stands the number is 0.
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "magic/imr_magic-priv.h"

namespace {

[[noreturn]] void Invalid(const char* entry) {
  IMR_THROW_DATA(IMR_EMagicInvalidMagicEntry, "Invalid magic entry %s", ZQ_TString(entry));
}

// The position just behind the first `separator` at or after `position`;
// invalid when there is none or it is the entry's last character.
std::size_t SkipPast(const char* entry, std::size_t position, char separator) {
  const char* found = std::strchr(entry + position, separator);
  if (found == nullptr || found[1] == '\0') Invalid(entry);
  return static_cast<std::size_t>(found - entry) + 1;
}

// The position where the number at `position` ends (itself when none stands
// there); invalid when nothing follows `position`.
std::size_t SkipNumber(const char* entry, std::size_t position) {
  if (entry[position] == '\0') Invalid(entry);
  char* end = nullptr;
  std::strtoul(entry + position, &end, 0);
  return static_cast<std::size_t>(end - entry);
}

std::uint32_t Number(const char* text) {
  return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 0));
}

IMR_TMatch* Comparison(const char* entry) {
  const std::uint32_t offset = Number(entry + 1);
  std::size_t position = SkipPast(entry, 0, ']');
  std::uint8_t mask = 0xFF;
  if (entry[position] == '&') {
    mask = static_cast<std::uint8_t>(Number(entry + position + 1));
    position = SkipNumber(entry, position + 1);
  }
  enum { Equal, NotEqual, Less, LessOrEqual, More, MoreOrEqual } op;
  switch (entry[position]) {
    case '!':
      op = NotEqual;
      position = SkipPast(entry, position, '=');
      break;
    case '=':
      op = Equal;
      position = SkipPast(entry, position, '=');
      if (entry[position] == '=') position = SkipPast(entry, position, '=');
      break;
    case '<':
      op = entry[position + 1] == '=' ? LessOrEqual : Less;
      position = SkipPast(entry, position, op == Less ? '<' : '=');
      break;
    case '>':
      op = entry[position + 1] == '=' ? MoreOrEqual : More;
      position = SkipPast(entry, position, op == More ? '>' : '=');
      break;
    default:
      Invalid(entry);
  }
  const std::uint8_t value = static_cast<std::uint8_t>(Number(entry + position));
  switch (op) {
    case Equal:
      return new IMR_TEqual(offset, mask, value);
    case NotEqual: {
      IMR_TEqual test(offset, mask, value);
      return new IMR_TNot(&test);
    }
    case Less:
      return new IMR_TLess(offset, mask, value);
    case LessOrEqual: {
      IMR_TMore test(offset, mask, value);
      return new IMR_TNot(&test);
    }
    case More:
      return new IMR_TMore(offset, mask, value);
    case MoreOrEqual: {
      IMR_TLess test(offset, mask, value);
      return new IMR_TNot(&test);
    }
  }
  Invalid(entry);
}

IMR_TMatch* StoredStartSearch(const char* entry) {
  const std::uint32_t position = Number(entry + 2);
  std::size_t at = SkipNumber(entry, 2);
  if (entry[at] == '\0') Invalid(entry);  // no byte-order letter
  const bool little = std::tolower(static_cast<unsigned char>(entry[at])) == 'l';
  ++at;
  const std::uint32_t width = Number(entry + at);
  const std::size_t pattern = SkipPast(entry, at, '=');
  if (width == 0) Invalid(entry);
  return new IMR_TSearch(entry + pattern, position, width, little);
}

}  // namespace

IMR_TMatch* ParseMagicEntry(const char* entry) {
  if (entry == nullptr) Invalid("");
  try {
    if (entry[0] == '[') return Comparison(entry);
    if (entry[0] == '?' && entry[1] == '*') return StoredStartSearch(entry);
    if (entry[0] == '?') {
      const std::uint32_t offset = Number(entry + 1);
      return new IMR_TSearch(entry + SkipPast(entry, 1, '='), offset);
    }
    const std::size_t value = SkipPast(entry, 0, '=');
    return new IMR_TSet(ZQ_TString(entry, static_cast<int>(value - 1)), ZQ_TString(entry + value));
  } catch (const std::bad_alloc&) {
    Invalid(entry);
  }
}
