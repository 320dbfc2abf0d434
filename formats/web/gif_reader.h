// GIF 87a and 89a: the logical screen and the image descriptors.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "formats/common/format_reader.h"

namespace imr::formats {

// Image 0 is the first frame at the logical screen size; every further image
// descriptor is a page of its own size.  Frames are found by skipping data
// sub-blocks, only as far as they are asked for; Describe(0) counts them all
// for "Frames".
class GifReader : public FormatReader {
 public:
  bool Open(const ByteSource& source) override;
  bool Describe(std::uint32_t index, ImageDescription& out) override;

  static constexpr std::size_t kMaxFrames = 100000;

 private:
  struct Frame {
    std::uint16_t columns = 0;
    std::uint16_t rows = 0;
    std::uint8_t paletteBits = 0;  // 0 without a local palette
    bool interlaced = false;
    bool transparent = false;
  };
  // Reads blocks from iNext up to and past the next image; false at the end.
  bool NextFrame();
  void Fill(const Frame& frame, ImageDescription& out) const;

  const ByteSource* iSource = nullptr;
  std::string iVersion;
  std::uint16_t iScreenColumns = 0, iScreenRows = 0;
  std::uint8_t iGlobalBits = 0;  // 0 without a global palette
  bool iXmp = false, iIcc = false;
  std::vector<Frame> iFrames;
  std::uint64_t iNext = 0;
  bool iDone = false;
  bool iPendingTransparent = false;
};

std::unique_ptr<FormatReader> MakeGifReader();

}  // namespace imr::formats
