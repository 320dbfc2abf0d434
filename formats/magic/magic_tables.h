// The magic entries shipped with the library: byte signatures that name a
// file's format from the first bytes of the file (at most 4096, the
// "buffer").
//
// An entry has a name and alternatives; an alternative is a list of entry
// texts run left to right, each one an element of the chain:
//   [OFF]==V, [OFF]&MASK==V   one byte at OFF (masked) compared with V; also
//                             !=, <, <=, >, >=.  strtoul base-0 numbers, so
//                             a leading 0 is octal.
//   ?OFF=TEXT                 TEXT found within the 4096 bytes from OFF (a
//                             match may not end on the window's last byte).
//   ?*POS<b|l>W=TEXT          the same, from the W-byte offset stored at POS
//                             (big- or little-endian).
//   KEY=VALUE                 an assignment to the ticket (FileFormat,
//                             FileFormatVersion, ImageType, FillLevel,
//                             imr_plugin, or extended information).
// A chain runs only when the buffer holds more bytes than the largest offset
// its ==, < and > tests read (the shipped tables use no other comparison).
// The entries of kShippedMagic are tried in order and the first passing
// alternative names the file.
#pragma once

#include <cstddef>

namespace imr::formats {

// One alternative: a null-terminated array of entry texts.
// One table: a null-terminated array of alternatives.
struct MagicTableEntry {
  const char* name;                   // the entry name (the format name, e.g. "TIFF")
  const char* const* const* table;    // its alternatives
};

// Every shipped entry, in the order the default selection must try them.
extern const MagicTableEntry kShippedMagic[];
extern const std::size_t kShippedMagicCount;

}  // namespace imr::formats
