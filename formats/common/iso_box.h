// Boxes of the JPEG 2000 and ISO base media file formats (JP2, JPX, HEIF,
// AVIF, CR3): a 32-bit size, a four-character type and an optional 64-bit
// size.
#pragma once

#include <cstdint>

#include "formats/common/format_reader.h"

namespace imr::formats::box {

struct Box {
  std::uint32_t type = 0;     // FourCC("ftyp"), ...
  std::uint64_t offset = 0;   // of the box header
  std::uint64_t content = 0;  // of the box content
  std::uint64_t end = 0;      // one past the box
  std::uint64_t ContentSize() const { return end - content; }
};

// Reads the box header at `position`; the box must lie within [position,
// limit) and the source.  A size of 0 means "to the limit".  False when the
// header does not fit or states an impossible size.
bool ReadBox(const ByteSource& source, std::uint64_t position, std::uint64_t limit, Box& out);

}  // namespace imr::formats::box
