// The formats the library knows, one declaration each, in the order the
// magic entries try them.  Everything else about a format is derived from
// its declaration: its magic entry (the signatures, then the format's name,
// the plugin that reads it and GENERIC), its place in the default selection,
// the module the loader maps its plugin to, and what `imr formats` shows.
//
// Signatures.  Each alternative is a list of tests on the first bytes of a
// file, separated by ", ":
//   "TEXT"@OFF                     the bytes of TEXT at offset OFF; TEXT
//                                  takes the escapes \xHH \0 \r \n \t \\ \"
//   [OFF]==V, [OFF]&MASK==V,       one byte, as a magic entry text (also
//   [OFF]<V, [OFF]>V               with the operators !=, <=, >=)
//   [OFF] in A..B                  one byte within A..B
//   find "TEXT" from OFF           TEXT within the 4096 bytes from OFF
//   find "TEXT" from *POSlW        the same, from the W-byte little-endian
//                                  (l) or big-endian (b) number at POS
//   version V                      the file format's version, when the
//                                  signature tells it
// A signature of a format that refines another (DNG within TIFF) must come
// before that format's; weak signatures (two bytes or none) come after every
// strong one.  The catalog test checks both.
#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/common/reader_registry.h"

namespace imr::formats {

// How far the library describes a format: recognised by its magic entry
// only, or by a reader up to its geometry, every image, the details, or the
// files it depends on.
enum class Depth { kRecognised, kGeometry, kImages, kDetails, kDependencies };

struct Format {
  const char* name;         // the FileFormat name: short, upper case
  const char* description;  // a few words for people
  const char* mime;         // the MIME type
  const char* extensions;   // the usual file extensions, most usual first, blank separated
  const char* plugin;       // the reader plugin that describes it (a registered
                            // reader's name), or null: the magic entry alone
  Depth depth;
  const char* within;       // the format whose signature this one refines, or null
  bool weak;                // signatures so short that they are tried last
  std::initializer_list<const char*> signatures;  // alternatives
};

// Every format, in the order their signatures are tried.
std::span<const Format> Formats();
// The format of `name`, or null.
const Format* FindFormat(std::string_view name);
// "recognised", "geometry", "images", "details" or "dependencies".
const char* DepthName(Depth depth);

// What is wrong with the catalog, given the readers of the build: names
// that repeat, signatures that do not read, plugins that no reader serves or
// readers no format uses, refinements tried after what they refine, strong
// signatures after weak ones.  Empty when all is well.
std::vector<std::string> CatalogProblems(std::span<const RegisteredReader> readers);

}  // namespace imr::formats
