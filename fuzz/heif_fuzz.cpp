// Opens arbitrary bytes with the Heif reader and describes every image.
#include <cstddef>
#include <cstdint>

#include "formats/common/byte_reader.h"
#include "formats/heif/heif_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  imr::formats::MemorySource source(data, size);
  auto reader = imr::formats::MakeHeifReader();
  if (reader->Open(source)) {
    imr::formats::ImageDescription image;
    for (std::uint32_t index = 0; index < 64 && reader->Describe(index, image); ++index) {
    }
  }
  return 0;
}
