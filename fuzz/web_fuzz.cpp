// The readers of the web module (PNG, GIF, WebP) on arbitrary bytes, directly
// and through the plugin adapter.
#include "fuzz/formats_fuzz.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  formatsfuzz::AddSeeds(argc, argv, {"png", "gif", "webp"});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return formatsfuzz::Run(imr::formats::kWebReaders, data, size);
}
