// The description text of an embedded ICC profile, for the "ColorProfile"
// detail of readers whose files carry one (BMP V5, PSD, XCF).
#pragma once

#include <cstdint>
#include <string>

#include "formats/common/byte_reader.h"

namespace imr::formats {

// Reads the 'desc' tag of the ICC profile at [offset, offset + length) of the
// reader's source: the ASCII text of a v2 'desc' or the first record of a v4
// 'mluc', as UTF-8.  Returns "embedded" when the profile has no readable
// description, and "" when the range does not hold an ICC profile at all.
std::string IccDescription(ByteReader& reader, std::uint64_t offset, std::uint64_t length);

// Appends a UTF-16BE code unit sequence as UTF-8 (unpaired surrogates become
// U+FFFD); shared with readers that store Unicode names.
void AppendUtf16Be(std::string& out, const std::uint8_t* units, std::size_t count);

}  // namespace imr::formats
