// Inflating the Flate-compressed streams of a PDF's structure (cross-reference
// and object streams): zlib-wrapped or, as some writers store them, raw.
#include "formats/common/inflate.h"
#include "formats/document/pdf_object_util.h"

namespace imr::formats::pdf {

bool PdfInflate(const ByteSource& source, std::uint64_t offset, std::uint64_t length, std::size_t limit,
                std::string& out) {
  // A zlib header: deflate, a window of at most 32 KiB, no preset dictionary,
  // and a check that makes the first two bytes a multiple of 31.
  unsigned char header[2] = {0, 0};
  const bool wrapped = source.Read(offset, header, 2) == 2 && (header[0] & 0x0F) == 8 &&
                       (header[0] >> 4) <= 7 && ((header[0] << 8) | header[1]) % 31 == 0 &&
                       !(header[1] & 0x20);
  return Inflate(source, offset, length, wrapped ? Deflate::kZlib : Deflate::kRaw, limit, out);
}

}  // namespace imr::formats::pdf
