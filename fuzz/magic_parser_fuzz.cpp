// libFuzzer target: the input as one magic entry text (up to its first NUL).
// It is parsed or refused with IMR_EMagicInvalidMagicEntry; a parsed element
// is run alone and behind a guard on fixed buffers, cloned, packed and
// written, and every copy must print, compare and behave as the original.
#include "tests/magic/magic_fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool ready = magicfuzz::Initialise();
  if (!ready) std::abort();
  magicfuzz::CheckEntryText(data, size);
  return 0;
}
