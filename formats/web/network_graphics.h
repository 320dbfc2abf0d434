// What PNG, MNG and JNG share: the chunk layout (length, type, data, CRC)
// and a JNG's JHDR header.
#pragma once

#include <cstdint>
#include <string>

#include "formats/common/byte_reader.h"

namespace imr::formats::png {

constexpr std::uint32_t kMaxChunkLength = 0x7FFFFFFF;

struct Chunk {
  std::uint32_t type = 0;
  std::uint64_t data = 0;    // where its data starts
  std::uint32_t length = 0;  // of its data
  std::uint64_t Next() const { return data + length + 4; }
};

// The chunk whose header is at `at`; false when it does not fit in the source.
bool ReadChunk(ByteReader& r, std::uint64_t at, Chunk& out);

// Size, encoding and details of a JHDR chunk's data; false with `why` set
// when they are not valid.
bool ReadJngHeader(ByteReader& r, const Chunk& jhdr, ImageDescription& out, std::string& why);

}  // namespace imr::formats::png
