#include "pxcbase/pxc_digest.h"

#include <cstring>

#include "pxcbase/pxc_exceptions.h"

namespace {

// Four independent lanes of multiply-and-fold over 8-byte words, so that the
// multiplications overlap; about a nanosecond per word.
class Mixer {
 public:
  explicit Mixer(std::uint64_t seed) {
    for (unsigned i = 0; i < 4; ++i) iLanes[i] = seed ^ (0x9E3779B97F4A7C15ull * (i + 1));
  }
  void Add(const std::uint8_t* bytes, std::size_t size) {
    std::size_t at = 0;
    for (; at + 8 <= size; at += 8) {
      std::uint64_t word;
      std::memcpy(&word, bytes + at, 8);
      Mix(iLanes[iNext], word);
      iNext = (iNext + 1) & 3;
    }
    if (at < size) {
      std::uint64_t word = 0;
      std::memcpy(&word, bytes + at, size - at);
      Mix(iLanes[iNext], word ^ (size - at) << 56);
      iNext = (iNext + 1) & 3;
    }
  }
  std::uint64_t Result() const {
    std::uint64_t result = 0;
    for (std::uint64_t lane : iLanes) Mix(result, lane);
    return result;
  }

 private:
  static void Mix(std::uint64_t& lane, std::uint64_t word) {
    lane = (lane ^ word) * 0xBF58476D1CE4E5B9ull;
    lane ^= lane >> 31;
  }
  std::uint64_t iLanes[4];
  unsigned iNext = 0;
};

}  // namespace

std::uint64_t PXC_WindowDigest(const PXC_IBuffer& window) {
  const std::uint64_t size = window.SourceSize();
  Mixer mixer(size);
  std::uint8_t bytes[kPXC_DigestSpan];
  const std::size_t head = window.Read(0, bytes, sizeof bytes);
  mixer.Add(bytes, head);
  if (size > head) {
    const std::uint64_t tailStart = size - kPXC_DigestSpan > head ? size - kPXC_DigestSpan : head;
    mixer.Add(bytes, window.Read(tailStart, bytes, sizeof bytes));
  }
  return mixer.Result();
}

std::optional<std::uint64_t> PXC_FileDigest(const ZQ_TURL& url) {
  try {
    return PXC_WindowDigest(PXC_TBuffer(url, 0, 0, 0));
  } catch (const PXC_EBuffer&) {
    return std::nullopt;
  }
}
