// Feeds arbitrary bytes to every reader of the raster family (TGA, PCX/DCX,
// SGI, Netpbm, QOI, DDS): open, then describe every image.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "formats/common/byte_reader.h"
#include "formats/raster/raster_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace imr::formats;
  MemorySource source(data, size);
  std::unique_ptr<FormatReader> (*const factories[])() = {
      MakeTgaReader, MakePcxReader, MakeSgiReader, MakePnmReader, MakeQoiReader, MakeDdsReader};
  for (auto make : factories) {
    auto reader = make();
    if (!reader->Open(source)) continue;
    ImageDescription description;
    for (std::uint32_t i = 0; i < 64 && reader->Describe(i, description); ++i) {
    }
  }
  return 0;
}
