// The readers of the raster module (BMP, ICO/CUR/ICNS, TGA, PCX, SGI, Netpbm, QOI, DDS) on arbitrary bytes, directly
// and through the plugin adapter.
#include "fuzz/formats_fuzz.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  formatsfuzz::AddSeeds(argc, argv, {"bmp", "ico", "raster"});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return formatsfuzz::Run(imr::formats::kRasterReaders, data, size);
}
