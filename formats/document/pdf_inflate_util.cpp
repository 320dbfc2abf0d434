// Inflating the Flate-compressed streams of a PDF's structure (cross-reference
// and object streams) with zlib, reading the input in chunks and stopping at
// the caller's limit.
#include <zlib.h>

#include <algorithm>
#include <vector>

#include "formats/document/pdf_object_util.h"

namespace imr::formats::pdf {

bool PdfInflate(const ByteSource& source, std::uint64_t offset, std::uint64_t length, std::size_t limit,
                std::string& out) {
  out.clear();
  const std::uint64_t size = source.Size();
  if (offset > size || limit == 0) return false;
  length = std::min(length, size - offset);
  // A zlib wrapper (deflate, no preset dictionary) is optional: some writers
  // store raw deflate data.
  unsigned char header[2] = {0, 0};
  const bool wrapped = source.Read(offset, header, 2) == 2 && (header[0] & 0x0F) == 8 &&
                       (header[0] >> 4) <= 7 && ((header[0] << 8) | header[1]) % 31 == 0 &&
                       !(header[1] & 0x20);
  z_stream stream{};
  if (inflateInit2(&stream, wrapped ? MAX_WBITS : -MAX_WBITS) != Z_OK) return false;
  constexpr std::size_t kChunk = 65536;
  std::vector<unsigned char> input(kChunk);
  std::vector<unsigned char> output(kChunk);
  int status = Z_OK;
  std::uint64_t read = 0;
  while (status == Z_OK && out.size() < limit) {
    if (stream.avail_in == 0) {
      const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, length - read));
      if (want == 0) break;  // the stream is cut short: keep what came before
      const std::size_t got = source.Read(offset + read, input.data(), want);
      if (got == 0) break;
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
  // A damaged or truncated stream still yields the data decoded before the fault.
  return status == Z_OK || status == Z_STREAM_END || status == Z_BUF_ERROR ? !out.empty() || status == Z_STREAM_END
                                                                             : !out.empty();
}

}  // namespace imr::formats::pdf
