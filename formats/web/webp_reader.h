// WebP: RIFF with a VP8 (lossy), VP8L (lossless) or VP8X (extended) chunk.
#pragma once

#include <memory>
#include <vector>

#include "formats/common/format_reader.h"

namespace imr::formats {

// Image 0 is the canvas (the first frame of an animation); further ANMF
// frames are images 1, 2, ... of their own sizes.  Frames are found by
// walking the chunk headers as they are asked for; Describe(0) of an
// animation counts them for "Frames".
class WebpReader : public FormatReader {
 public:
  bool Open(const ByteSource& source) override;
  bool Describe(std::uint32_t index, ImageDescription& out) override;

  static constexpr std::size_t kMaxFrames = 65536;

 private:
  struct Frame {
    std::uint32_t columns = 0;
    std::uint32_t rows = 0;
    bool lossless = false;
    bool alpha = false;
  };
  bool NextFrame();
  void Fill(const Frame& frame, ImageDescription& out) const;
  // Reads the image chunks (ALPH, VP8, VP8L) of [pos, end) into `frame`.
  bool ReadBitstream(std::uint64_t pos, std::uint64_t end, Frame& frame) const;

  const ByteSource* iSource = nullptr;
  std::uint64_t iEnd = 0;  // end of the RIFF data within the source
  bool iExtended = false, iAnimated = false, iIcc = false, iExif = false, iXmp = false;
  std::string iColorProfile;
  std::uint64_t iOrientation = 0;
  Frame iMain;
  std::vector<Frame> iFrames;  // ANMF frames, the first being image 0's
  std::uint64_t iNext = 0;
  bool iDone = false;
};

std::unique_ptr<FormatReader> MakeWebpReader();

}  // namespace imr::formats
