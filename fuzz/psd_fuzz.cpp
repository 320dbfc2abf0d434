// Feeds arbitrary bytes to the PSD reader: open, then describe every image.
#include <cstddef>
#include <cstdint>

#include "formats/common/byte_reader.h"
#include "formats/psd/psd_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  imr::formats::MemorySource source(data, size);
  auto reader = imr::formats::MakePsdReader();
  if (reader->Open(source)) {
    imr::formats::ImageDescription description;
    for (std::uint32_t i = 0; i < 64 && reader->Describe(i, description); ++i) {
    }
  }
  return 0;
}
