// libFuzzer target: the input as the configured magic text, in both forms:
// as it is (the human-readable form) and spelled in hexadecimal (the packed
// form).  Each goes through IMR_ReadMagicText, the reader LoadConfiguration
// uses, which must never raise; the chains of any table it gives are run,
// printed, cloned, packed and written.
#include <iostream>

#include "tests/magic/magic_fuzz_checks.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The reader reports a packed form it cannot read on standard error.
  std::cerr.rdbuf(nullptr);
  return magicfuzz::Initialise() ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  magicfuzz::CheckConfiguration(data, size);
  return 0;
}
