#include "formats/common/inflate.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

namespace imr::formats {

bool Inflate(const ByteSource& source, std::uint64_t offset, std::uint64_t length, Deflate wrapper,
             std::size_t limit, std::string& out) {
  out.clear();
  const std::uint64_t size = source.Size();
  if (offset > size || limit == 0) return false;
  length = std::min(length, size - offset);
  const int bits = wrapper == Deflate::kRaw ? -MAX_WBITS : wrapper == Deflate::kZlib ? MAX_WBITS : MAX_WBITS + 16;
  z_stream stream{};
  if (inflateInit2(&stream, bits) != Z_OK) return false;
  constexpr std::size_t kChunk = 16384;
  std::vector<unsigned char> input(kChunk), output(kChunk);
  int status = Z_OK;
  std::uint64_t read = 0;
  while (status == Z_OK && out.size() < limit) {
    if (stream.avail_in == 0) {
      const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, length - read));
      const std::size_t got = want == 0 ? 0 : source.Read(offset + read, input.data(), want);
      if (got == 0) break;  // cut short: keep what came before
      read += got;
      stream.next_in = input.data();
      stream.avail_in = static_cast<uInt>(got);
    }
    stream.next_out = output.data();
    stream.avail_out = static_cast<uInt>(std::min(kChunk, limit - out.size()));
    status = inflate(&stream, Z_NO_FLUSH);
    out.append(reinterpret_cast<const char*>(output.data()),
               static_cast<std::size_t>(stream.next_out - output.data()));
  }
  inflateEnd(&stream);
  return !out.empty();
}

}  // namespace imr::formats
