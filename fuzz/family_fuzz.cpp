// The readers of one family (IMR_READER_FAMILY) on arbitrary bytes, directly
// and through the plugin adapter.  Built once per family as <family>_fuzz.
#include "fuzz/formats_fuzz.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  formatsfuzz::AddSeeds(argc, argv, IMR_READER_FAMILY);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return formatsfuzz::Run(IMR_READER_FAMILY, data, size);
}
