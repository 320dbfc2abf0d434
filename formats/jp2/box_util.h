// Boxes of the JPEG 2000 and ISO base media file formats (size, type,
// optional 64-bit size), and the ICC profile details the readers report.
#pragma once

#include <cstdint>
#include <string>

#include "formats/common/byte_reader.h"

namespace imr::formats::box {

constexpr std::uint32_t Type(const char (&name)[5]) {
  return (static_cast<std::uint32_t>(static_cast<unsigned char>(name[0])) << 24) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(name[1])) << 16) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(name[2])) << 8) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(name[3]));
}

struct Box {
  std::uint32_t type = 0;
  std::uint64_t offset = 0;  // of the box header
  std::uint64_t content = 0; // of the box content
  std::uint64_t end = 0;     // one past the box
  std::uint64_t ContentSize() const { return end - content; }
};

// Reads the box header at `position`; the box must lie within [position,
// limit).  A size of 0 means "to the limit".  False when the header does not
// fit or states an impossible size.
bool ReadBox(const ByteSource& source, std::uint64_t position, std::uint64_t limit, Box& out);

// What an ICC profile says about itself.
struct IccInfo {
  std::uint32_t colorSpace = 0;  // header data colour space ('RGB ', 'CMYK', ...)
  std::string description;       // the 'desc' tag as UTF-8, empty when unreadable
};

// Reads the profile at [offset, offset + length); false when it is no profile.
bool ReadIccProfile(const ByteSource& source, std::uint64_t offset, std::uint64_t length, IccInfo& out);

}  // namespace imr::formats::box
