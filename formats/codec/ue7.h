// Numbers of 7-bit groups, most significant first, the top bit of each byte
// asking for another: BPG's picture sizes, FLIF's.
#pragma once

#include <cstdint>

#include "formats/common/byte_reader.h"

namespace imr::formats {

// Reads one at `at` and moves past it; false past five groups (35 bits) or
// at the end of the source.
inline bool ReadUe7(ByteReader& r, std::uint64_t& at, std::uint64_t& value) {
  value = 0;
  for (int i = 0; i < 5; ++i) {
    const std::uint8_t b = r.U8(at++);
    if (r.Failed()) return false;
    value = (value << 7) | (b & 0x7F);
    if (!(b & 0x80)) return true;
  }
  return false;
}

}  // namespace imr::formats
