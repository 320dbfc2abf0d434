// PNG and APNG: the chunks in front of the image data, and for APNG the
// frame controls that follow it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "formats/common/format_reader.h"

namespace imr::formats {

// Image 0 is the IHDR image.  In an APNG the further frames of the animation
// (fcTL chunks after the one that the IHDR image is frame 0 of) are images
// 1, 2, ..., found by walking the chunk headers as they are asked for.
class PngReader : public FormatReader {
 public:
  bool Open(const ByteSource& source) override;
  bool Describe(std::uint32_t index, ImageDescription& out) override;

  static constexpr std::size_t kMaxFrames = 65536;

 private:
  struct Frame {
    std::uint32_t columns = 0;
    std::uint32_t rows = 0;
  };
  // Reads chunk headers from iNext until one more frame is found.
  bool NextFrame();

  const ByteSource* iSource = nullptr;
  ImageDescription iMain;
  bool iApng = false;
  std::uint32_t iFrameCount = 0;  // acTL num_frames
  bool iMainIsFrame = false;      // an fcTL came before IDAT
  std::vector<Frame> iFrames;     // frames after the IHDR image
  std::uint64_t iNext = 0;        // next chunk to look at
  bool iDone = false;
  bool iPalette = false;
  bool iTransparency = false;
};

std::unique_ptr<FormatReader> MakePngReader();
// MNG: the MHDR frame as image 0, its further embedded PNG and JNG images as
// pages.  JNG: the JHDR image.
std::unique_ptr<FormatReader> MakeMngReader();
std::unique_ptr<FormatReader> MakeJngReader();

}  // namespace imr::formats
