// The readers of the layered module (PSD/PSB, XCF) on arbitrary bytes, directly
// and through the plugin adapter.
#include "fuzz/formats_fuzz.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  formatsfuzz::AddSeeds(argc, argv, {"psd", "xcf"});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return formatsfuzz::Run(imr::formats::kLayeredReaders, data, size);
}
