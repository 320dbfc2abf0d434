// Reading the description of an ICC profile, which readers report as the
// image's "ColorProfile".
#pragma once

#include <string>

#include "formats/common/format_reader.h"

namespace imr::formats::tiff {

// The text of the profile's 'desc' tag ('desc' type of version 2 profiles,
// 'mluc' of version 4, English preferred), or empty when the source does not
// hold a readable profile.  Reads only the header, the tag table and the tag.
std::string IccProfileDescription(const ByteSource& profile);

// The description when there is one, else "embedded".
std::string IccColorProfileValue(const ByteSource& profile);

}  // namespace imr::formats::tiff
