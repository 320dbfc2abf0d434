// The readers of the boxed module (JPEG 2000, HEIF/AVIF/CR3) on arbitrary bytes, directly
// and through the plugin adapter.
#include "fuzz/formats_fuzz.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  formatsfuzz::AddSeeds(argc, argv, {"jp2", "heif"});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return formatsfuzz::Run(imr::formats::kBoxedReaders, data, size);
}
