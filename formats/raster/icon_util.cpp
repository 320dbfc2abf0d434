#include "formats/raster/icon_util.h"

#include <algorithm>
#include <memory>
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/boxed/jp2_reader.h"
#include "formats/web/png_reader.h"

namespace imr::formats {

namespace {

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::uint8_t kJp2Signature[12] = {0, 0, 0, 0x0C, 'j', 'P', ' ', ' ',
                                            0x0D, 0x0A, 0x87, 0x0A};
constexpr std::uint8_t kCodestream[4] = {0xFF, 0x4F, 0xFF, 0x51};

}  // namespace

IconStream IconStreamKind(const ByteSource& source, std::uint64_t offset, std::uint64_t length) {
  SliceSource stream(source, offset, length);
  std::uint8_t head[12] = {};
  const std::size_t got = stream.Read(0, head, sizeof head);
  auto starts = [&](const std::uint8_t* bytes, std::size_t count) {
    return got >= count && std::equal(bytes, bytes + count, head);
  };
  if (starts(kPngSignature, sizeof kPngSignature)) return IconStream::kPng;
  if (starts(kJp2Signature, sizeof kJp2Signature) || starts(kCodestream, sizeof kCodestream)) {
    return IconStream::kJpeg2000;
  }
  return IconStream::kNone;
}

bool DescribeIconStream(const ByteSource& source, std::uint64_t offset, std::uint64_t length,
                        ImageDescription& out) {
  const IconStream kind = IconStreamKind(source, offset, length);
  if (kind == IconStream::kNone) return false;
  SliceSource stream(source, offset, length);
  std::unique_ptr<FormatReader> reader = kind == IconStream::kPng ? MakePngReader() : MakeJp2Reader();
  ImageDescription image;
  if (!reader->Open(stream) || !reader->Describe(0, image)) return false;
  image.format = out.format;
  image.version = out.version;
  image.type = out.type;
  image.subtype = out.subtype;
  // The stream's format is the icon's compression.
  std::erase_if(image.extended, [](const auto& detail) { return detail.first == "Compression"; });
  image.extended.insert(image.extended.begin(),
                        {"Compression", kind == IconStream::kPng ? "PNG" : "JPEG 2000"});
  out = std::move(image);
  return true;
}

}  // namespace imr::formats
