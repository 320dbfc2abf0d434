// Opens arbitrary bytes with the WebP reader and describes every image.
#include <cstddef>
#include <cstdint>

#include "formats/common/byte_reader.h"
#include "formats/webp/webp_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  imr::formats::MemorySource source(data, size);
  auto reader = imr::formats::MakeWebpReader();
  if (!reader->Open(source)) return 0;
  for (std::uint32_t i = 0; i < 64; ++i) {
    imr::formats::ImageDescription out;
    if (!reader->Describe(i, out)) break;
  }
  return 0;
}
