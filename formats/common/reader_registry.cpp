#include "formats/common/reader_registry.h"

#include <vector>

namespace imr::formats {
namespace {
// Filled by the static registrations before main or the module's
// registration runs, and only read afterwards.
std::vector<RegisteredReader>& Readers() {
  static std::vector<RegisteredReader> readers;
  return readers;
}
}  // namespace

std::span<const RegisteredReader> RegisteredReaders() { return Readers(); }

const RegisteredReader* FindReader(std::string_view plugin) {
  for (const RegisteredReader& reader : Readers()) {
    if (plugin == reader.plugin) return &reader;
  }
  return nullptr;
}

ReaderRegistration::ReaderRegistration(const char* plugin, const char* family, ReaderFactory make) {
  Readers().push_back({plugin, family, make});
}

}  // namespace imr::formats
