// The readers of the jpeg module (JPEG, JFIF, EXIF, MPO) on arbitrary bytes, directly
// and through the plugin adapter.
#include "fuzz/formats_fuzz.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  formatsfuzz::AddSeeds(argc, argv, {"jpeg"});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return formatsfuzz::Run(imr::formats::kJpegReaders, data, size);
}
