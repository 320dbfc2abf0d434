#include "formats/common/iso_box.h"

#include <algorithm>

#include "formats/common/byte_reader.h"

namespace imr::formats::box {

bool ReadBox(const ByteSource& source, std::uint64_t position, std::uint64_t limit, Box& out) {
  ByteReader reader(source);
  limit = std::min(limit, reader.Size());
  if (position > limit || limit - position < 8) return false;
  std::uint64_t size = reader.U32BE(position);
  out.type = reader.U32BE(position + 4);
  out.offset = position;
  std::uint64_t header = 8;
  if (size == 1) {
    if (limit - position < 16) return false;
    size = reader.U64BE(position + 8);
    header = 16;
  } else if (size == 0) {
    size = limit - position;
  }
  if (reader.Failed() || size < header || size > limit - position) return false;
  out.content = position + header;
  out.end = position + size;
  return true;
}

}  // namespace imr::formats::box
