// The readers a build contains.  The source that defines a reader registers
// it with one line, naming the plugin the magic entries ask for:
//   IMR_READER(PNG, MakePngReader);
// It is filed under the family it was compiled in (its folder under
// formats/, IMR_READER_FAMILY), whose module imr_<family> registers it as a
// plugin.
#pragma once

#include <span>
#include <string_view>

#include "formats/common/format_reader.h"

namespace imr::formats {

struct RegisteredReader {
  const char* plugin;  // the plugin name, as the magic entries ask for it
  const char* family;  // the module imr_<family> that registers its plugin
  ReaderFactory make;
};

// Every reader registered so far, in the order of registration.
std::span<const RegisteredReader> RegisteredReaders();
// The reader of `plugin`, or null.
const RegisteredReader* FindReader(std::string_view plugin);

struct ReaderRegistration {
  ReaderRegistration(const char* plugin, const char* family, ReaderFactory make);
};

}  // namespace imr::formats

#define IMR_READER(plugin, factory)                                                          \
  static const ::imr::formats::ReaderRegistration imr_registration_##plugin(#plugin,           \
                                                                            IMR_READER_FAMILY, \
                                                                            &factory)
