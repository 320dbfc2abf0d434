#include "capi/arguments.h"

#include <string>
#include <string_view>

#include "capi/errors.h"

namespace imr::capi {
namespace {

// True when `text` is well-formed UTF-8: no stray or missing continuation
// bytes, no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length;
    char32_t code;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

}  // namespace

imr_status CheckPath(const char* path, const char* what) {
  if (path == nullptr) return Fail(IMR_E_ARGUMENT, std::string("the ") + what + " is null");
  if (*path == '\0') return Fail(IMR_E_ARGUMENT, std::string("the ") + what + " is empty");
  if (!IsUtf8(path)) return Fail(IMR_E_ARGUMENT, std::string("the ") + what + " is not UTF-8");
  return IMR_OK;
}

imr_status CheckRequest(int level, unsigned types) {
  if (level < IMR_LEVEL_MIN || level > IMR_LEVEL_MAX) {
    return Fail(IMR_E_ARGUMENT, "level " + std::to_string(level) + " is not from " +
                                    std::to_string(IMR_LEVEL_MIN) + " to " + std::to_string(IMR_LEVEL_MAX));
  }
  if (types == 0 || types > IMR_TYPES_ALL) {
    return Fail(IMR_E_ARGUMENT, "image type mask " + std::to_string(types) + " is not from 1 to " +
                                    std::to_string(IMR_TYPES_ALL));
  }
  return IMR_OK;
}

}  // namespace imr::capi
