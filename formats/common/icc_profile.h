// What an embedded ICC profile says about itself: its data colour space and
// the description readers report as the image's "ColorProfile".
#pragma once

#include <cstdint>
#include <string>

#include "formats/common/format_reader.h"

namespace imr::formats {

struct IccProfile {
  std::uint32_t colorSpace = 0;  // header data colour space ('RGB ', 'CMYK', 'GRAY', ...)
  std::string description;       // the 'desc' tag as UTF-8, empty when unreadable
};

// Reads the profile at [offset, offset + length) of `source`: the header and
// the 'desc' tag (ASCII text of a version 2 'desc', or the English record -
// else the first - of a version 4 'mluc').  False when the range holds no
// profile.  Reads only the header, the tag table and the tag.
bool ReadIccProfile(const ByteSource& source, std::uint64_t offset, std::uint64_t length,
                    IccProfile& out);

// The "ColorProfile" detail of an embedded profile: its description, or
// "embedded" when it has none or cannot be read.
std::string IccColorProfile(const ByteSource& source, std::uint64_t offset, std::uint64_t length);

}  // namespace imr::formats
