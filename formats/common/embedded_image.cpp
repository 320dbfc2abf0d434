#include "formats/common/embedded_image.h"

#include <algorithm>
#include <cstring>

#include "formats/common/byte_reader.h"

namespace imr::formats {

bool HoldsImage(const ByteSource& source, std::uint64_t offset, std::uint64_t length,
                EmbeddedKind kind) {
  const std::uint64_t size = source.Size();
  if (offset >= size || length > size - offset) return false;
  std::uint8_t b[8] = {};
  const std::size_t head = static_cast<std::size_t>(std::min<std::uint64_t>(length, sizeof b));
  if (source.Read(offset, b, head) != head) return false;
  switch (kind) {
    case EmbeddedKind::kJpeg:
      return head >= 4 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF;
    case EmbeddedKind::kTiff:
      return length >= 8 && ((b[0] == 'I' && b[1] == 'I' && b[2] == 42 && b[3] == 0) ||
                             (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == 42));
    case EmbeddedKind::kPng:
      return head == 8 && std::memcmp(b, "\x89PNG\r\n\x1A\n", 8) == 0;
    case EmbeddedKind::kWmf:
      if (head >= 4 && b[0] == 0xD7 && b[1] == 0xCD && b[2] == 0xC6 && b[3] == 0x9A) return true;
      return head >= 6 && (b[0] == 1 || b[0] == 2) && b[1] == 0 && b[2] == 9 && b[3] == 0 &&
             b[4] == 0 && (b[5] == 1 || b[5] == 3);
  }
  return false;
}

ImageDescription EmbeddedImage(PXC_TImageType type, std::uint64_t offset, std::uint64_t length) {
  ImageDescription image;
  image.type = type;
  image.embedded = true;
  image.embeddedOffset = offset;
  image.embeddedLength = length;
  return image;
}

bool ReadJpegFrame(const ByteSource& source, std::uint64_t offset, std::uint64_t length, JpegFrame& out) {
  SliceSource slice(source, offset, length);
  ByteReader r(slice);
  if (r.U16BE(0) != 0xFFD8) return false;
  std::uint64_t pos = 2;
  for (int segments = 0; segments < 1024 && pos + 4 <= r.Size(); ++segments) {
    if (r.U8(pos) != 0xFF) return false;
    const std::uint8_t marker = r.U8(pos + 1);
    if (marker == 0xFF) {
      ++pos;
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA) return false;
    const std::uint16_t len = r.U16BE(pos + 2);
    if (len < 2) return false;
    const bool sof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                     marker != 0xCC;
    if (sof) {
      out.marker = marker;
      out.precision = r.U8(pos + 4);
      out.rows = r.U16BE(pos + 5);
      out.columns = r.U16BE(pos + 7);
      out.components = r.U8(pos + 9);
      return !r.Failed() && len >= 8;
    }
    pos += 2 + len;
  }
  return false;
}

PXC_TImageType ReducedImageType(std::uint32_t columns, std::uint32_t rows) {
  return std::max(columns, rows) <= 256 ? PXC_IT_THUMBNAIL : PXC_IT_PREVIEW;
}

bool EmbeddedJpeg(const ByteSource& source, std::uint64_t offset, std::uint64_t length, ImageDescription& out) {
  if (!HoldsImage(source, offset, length, EmbeddedKind::kJpeg)) return false;
  JpegFrame frame;
  const bool sized = ReadJpegFrame(source, offset, length, frame);
  out = EmbeddedImage(sized ? ReducedImageType(frame.columns, frame.rows) : PXC_IT_PREVIEW, offset, length);
  return true;
}

}  // namespace imr::formats
