#include "formats/common/tiff_structure.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "formats/common/byte_reader.h"
#include "formats/common/text_util.h"

namespace imr::formats::tiff {

const Entry* Ifd::Find(std::uint16_t tag) const {
  for (const Entry& e : entries) {
    if (e.tag == tag) return &e;
  }
  return nullptr;
}

unsigned TypeSize(std::uint16_t type) {
  switch (type) {
    case 1: case 2: case 6: case 7: return 1;      // BYTE ASCII SBYTE UNDEFINED
    case 3: case 8: return 2;                      // SHORT SSHORT
    case 4: case 9: case 11: case 13: return 4;    // LONG SLONG FLOAT IFD
    case 5: case 10: case 12: case 16: case 17: case 18: return 8;  // RATIONAL ... IFD8
    default: return 0;
  }
}

std::uint64_t Structure::Decode(const std::uint8_t* b, unsigned size) const {
  std::uint64_t v = 0;
  for (unsigned i = 0; i < size; ++i) v = (v << 8) | b[iLittle ? size - 1 - i : i];
  return v;
}

bool Structure::ReadHeader(bool rawVariants) {
  std::uint8_t h[16];
  ByteReader reader(iSource);
  if (!reader.Bytes(0, h, 8)) return false;
  if (h[0] == 'I' && h[1] == 'I') iLittle = true;
  else if (h[0] == 'M' && h[1] == 'M') iLittle = false;
  else return false;
  const std::uint64_t version = Decode(h + 2, 2);
  iBig = false;
  if (version == 42) {
    iVariant = Variant::kClassic;
  } else if (version == 43) {
    // BigTIFF: offset size 8, reserved 0, then an 8-byte first offset.
    if (!reader.Bytes(8, h + 8, 8) || Decode(h + 4, 2) != 8 || Decode(h + 6, 2) != 0) return false;
    iBig = true;
    iVariant = Variant::kBigTiff;
    iFirstIfd = Decode(h + 8, 8);
    return iFirstIfd >= 16 && iFirstIfd < iSize;
  } else if (rawVariants && (version == 0x4F52 || version == 0x5352)) {
    iVariant = Variant::kOlympus;  // "IIRO", "IIRS", "MMOR"
  } else if (rawVariants && version == 0x55) {
    iVariant = Variant::kPanasonic;
  } else {
    return false;
  }
  iFirstIfd = Decode(h + 4, 4);
  return iFirstIfd >= 8 && iFirstIfd < iSize;
}

bool Structure::ReadJpegXrHeader() {
  std::uint8_t h[8];
  ByteReader reader(iSource);
  if (!reader.Bytes(0, h, 8) || h[0] != 'I' || h[1] != 'I' || h[2] != 0xBC || h[3] != 0x01) return false;
  iLittle = true;
  iBig = false;
  iVariant = Variant::kJpegXr;
  iFirstIfd = Decode(h + 4, 4);
  return iFirstIfd >= 8 && iFirstIfd < iSize;
}

bool Structure::ReadIfd(std::uint64_t offset, Ifd& out) const {
  out = Ifd{};
  out.offset = offset;
  const unsigned countSize = iBig ? 8 : 2;
  const unsigned entrySize = iBig ? 20 : 12;
  const unsigned offsetSize = iBig ? 8 : 4;
  if (offset >= iSize || iSize - offset < countSize) return false;
  std::uint8_t c[8];
  if (iSource.Read(offset, c, countSize) != countSize) return false;
  const std::uint64_t count = Decode(c, countSize);
  if (count == 0 || count > kMaxEntries) return false;
  const std::uint64_t bytes = count * entrySize;
  if (iSize - offset - countSize < bytes) return false;
  std::vector<std::uint8_t> block(static_cast<std::size_t>(bytes));
  if (iSource.Read(offset + countSize, block.data(), block.size()) != block.size()) return false;
  out.entries.reserve(static_cast<std::size_t>(count));
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint8_t* e = block.data() + i * entrySize;
    Entry entry;
    entry.tag = static_cast<std::uint16_t>(Decode(e, 2));
    entry.type = static_cast<std::uint16_t>(Decode(e + 2, 2));
    entry.count = Decode(e + 4, offsetSize);
    const std::uint64_t valuePos = offset + countSize + i * entrySize + 4 + offsetSize;
    const unsigned size = TypeSize(entry.type);
    // Values that fit in the offset field are stored there.
    if (size != 0 && entry.count <= offsetSize / size) {
      entry.position = valuePos;
    } else {
      entry.position = Decode(e + 4 + offsetSize, offsetSize);
    }
    out.entries.push_back(entry);
  }
  const std::uint64_t nextPos = offset + countSize + bytes;
  std::uint8_t n[8];
  if (nextPos <= iSize && iSize - nextPos >= offsetSize &&
      iSource.Read(nextPos, n, offsetSize) == offsetSize) {
    out.next = Decode(n, offsetSize);
  }
  return true;
}

std::uint64_t Structure::ValueBytes(const Entry& entry) const {
  const unsigned size = TypeSize(entry.type);
  if (size == 0 || entry.position >= iSize) return 0;
  const std::uint64_t available = iSize - entry.position;
  if (entry.count > available / size) return available - available % size;
  return entry.count * size;
}

std::optional<std::uint64_t> Structure::UInt(const Entry& entry, std::uint64_t index) const {
  const unsigned size = TypeSize(entry.type);
  if (size == 0 || index >= entry.count || entry.type == 2) return std::nullopt;
  if (entry.position >= iSize || index > iSize / size) return std::nullopt;
  std::uint8_t b[8];
  const std::uint64_t pos = entry.position + index * size;
  if (pos >= iSize || iSize - pos < size ||
      iSource.Read(pos, b, size) != size) {
    return std::nullopt;
  }
  switch (entry.type) {
    case 5: case 10: {  // rational: numerator / denominator
      const std::uint64_t num = Decode(b, 4), den = Decode(b + 4, 4);
      if (entry.type == 10) {
        const auto sn = static_cast<std::int32_t>(num), sd = static_cast<std::int32_t>(den);
        if (sd == 0 || sn / sd < 0) return std::nullopt;
        return static_cast<std::uint64_t>(sn / sd);
      }
      return den == 0 ? std::nullopt : std::optional<std::uint64_t>(num / den);
    }
    case 11: case 12: return std::nullopt;
    case 6: case 8: case 9: case 17: {  // signed: negative values are not counts
      const std::uint64_t v = Decode(b, size);
      const std::uint64_t sign = std::uint64_t{1} << (size * 8 - 1);
      if (v & sign) return std::nullopt;
      return v;
    }
    default: return Decode(b, size);
  }
}

std::optional<std::uint64_t> Structure::UInt(const Ifd& ifd, std::uint16_t tag,
                                             std::uint64_t index) const {
  const Entry* e = ifd.Find(tag);
  return e ? UInt(*e, index) : std::nullopt;
}

std::optional<double> Structure::Real(const Entry& entry, std::uint64_t index) const {
  const unsigned size = TypeSize(entry.type);
  if (size == 0 || index >= entry.count || entry.type == 2) return std::nullopt;
  if (entry.position >= iSize || index > iSize / size) return std::nullopt;
  std::uint8_t b[8];
  const std::uint64_t pos = entry.position + index * size;
  if (pos >= iSize || iSize - pos < size || iSource.Read(pos, b, size) != size) return std::nullopt;
  double value = 0;
  switch (entry.type) {
    case 5: {
      const std::uint64_t den = Decode(b + 4, 4);
      if (den == 0) return std::nullopt;
      value = static_cast<double>(Decode(b, 4)) / static_cast<double>(den);
      break;
    }
    case 10: {
      const auto den = static_cast<std::int32_t>(Decode(b + 4, 4));
      if (den == 0) return std::nullopt;
      value = static_cast<double>(static_cast<std::int32_t>(Decode(b, 4))) / den;
      break;
    }
    case 11: {
      const auto bits = static_cast<std::uint32_t>(Decode(b, 4));
      float f;
      std::memcpy(&f, &bits, 4);
      value = f;
      break;
    }
    case 12: {
      const std::uint64_t bits = Decode(b, 8);
      std::memcpy(&value, &bits, 8);
      break;
    }
    default: {
      auto v = UInt(entry, index);
      if (!v) return std::nullopt;
      value = static_cast<double>(*v);
    }
  }
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<double> Structure::Real(const Ifd& ifd, std::uint16_t tag, std::uint64_t index) const {
  const Entry* e = ifd.Find(tag);
  return e ? Real(*e, index) : std::nullopt;
}

std::vector<std::uint64_t> Structure::UInts(const Ifd& ifd, std::uint16_t tag,
                                            std::size_t maxCount) const {
  std::vector<std::uint64_t> values;
  const Entry* e = ifd.Find(tag);
  if (!e) return values;
  const std::uint64_t n = std::min<std::uint64_t>(e->count, maxCount);
  for (std::uint64_t i = 0; i < n; ++i) {
    auto v = UInt(*e, i);
    if (!v) break;
    values.push_back(*v);
  }
  return values;
}

std::string Structure::Raw(const Entry& entry, std::size_t maxBytes) const {
  const std::uint64_t bytes = std::min<std::uint64_t>(ValueBytes(entry), maxBytes);
  std::string text(static_cast<std::size_t>(bytes), '\0');
  text.resize(iSource.Read(entry.position, text.data(), text.size()));
  return text;
}

std::string Structure::Ascii(const Ifd& ifd, std::uint16_t tag, std::size_t maxBytes) const {
  const Entry* e = ifd.Find(tag);
  if (!e || (e->type != 2 && e->type != 1 && e->type != 7)) return {};
  return TrimPadding(Raw(*e, maxBytes));
}

std::optional<Entry> MakerNote(const Structure& t, const Ifd& ifd0) {
  Ifd exif;
  auto offset = t.UInt(ifd0, kExifIfd);
  if (!offset || *offset == ifd0.offset || !t.ReadIfd(*offset, exif)) return std::nullopt;
  const Entry* note = exif.Find(kMakerNote);
  if (!note) return std::nullopt;
  return *note;
}

ExifSummary ReadExifSummary(const ByteSource& source) {
  ExifSummary summary;
  Structure tiff(source);
  Ifd ifd0;
  if (!tiff.ReadHeader(false) || !tiff.ReadIfd(tiff.FirstIfd(), ifd0)) return summary;
  summary.valid = true;
  auto x = tiff.Real(ifd0, kXResolution), y = tiff.Real(ifd0, kYResolution);
  if (x && y) {
    summary.hasResolution = true;
    summary.xResolution = *x;
    summary.yResolution = *y;
    summary.resolutionUnit = tiff.UInt(ifd0, kResolutionUnit).value_or(2);
  }
  summary.orientation = tiff.UInt(ifd0, kOrientation).value_or(0);
  summary.software = tiff.Ascii(ifd0, kSoftware, 256);
  summary.hasExifIfd = ifd0.Find(kExifIfd) != nullptr;
  Ifd ifd1;
  if (ifd0.next != 0 && ifd0.next != ifd0.offset && tiff.ReadIfd(ifd0.next, ifd1)) {
    auto offset = tiff.UInt(ifd1, kJpegInterchangeFormat);
    auto length = tiff.UInt(ifd1, kJpegInterchangeFormatLength);
    if (offset && length && *length > 0 && *offset < source.Size() &&
        *length <= source.Size() - *offset) {
      summary.thumbnailOffset = *offset;
      summary.thumbnailLength = *length;
    }
  }
  return summary;
}

PXC_TImageRotation RotationFromOrientation(std::uint64_t orientation) {
  switch (orientation) {
    case 2: return PXC_IR_MIRROR;
    case 3: return PXC_IR_180;
    case 4: return PXC_IR_MIRROR_180;
    case 5: return PXC_IR_MIRROR_270;
    case 6: return PXC_IR_90;
    case 7: return PXC_IR_MIRROR_90;
    case 8: return PXC_IR_270;
    default: return PXC_IR_NONE;
  }
}

std::string OrientationName(std::uint64_t orientation) {
  static const char* const kNames[] = {"TopLeft",  "TopRight", "BottomRight", "BottomLeft",
                                       "LeftTop",  "RightTop", "RightBottom", "LeftBottom"};
  if (orientation < 1 || orientation > 8) return {};
  return kNames[orientation - 1];
}

}  // namespace imr::formats::tiff
