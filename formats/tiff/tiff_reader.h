// TIFF and BigTIFF, and the formats built on the TIFF structure: camera raw
// files (DNG, CR2, NEF, ORF, RW2, ARW, PEF, SRW, IIQ) and TIFF/IT.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "formats/common/format_reader.h"
#include "formats/common/tiff_structure.h"

namespace imr::formats {

// Image 0 is the main image: IFD0, or, when IFD0 is a reduced-resolution
// image, its full-resolution SubIFD; in a raw file, the IFD holding the
// sensor's data, with the sensor geometry that maker data give where the IFD
// does not (CR2, IIQ).  Every other IFD with an image size follows in file
// order, each SubIFD after its parent, typed by what it is (reduced images
// are thumbnails up to 256 pixels, previews above; masks are auxiliary
// images; the rest pages), and each JPEG stream an IFD or a maker note only
// points to (JPEGInterchangeFormat, RW2's JpgFromRaw, Nikon's PreviewIFD) as
// an embedded image.  The main chain of a plain TIFF is read one IFD at a
// time as images are asked for; a raw file's is read at once, since its
// main image may come late in it.
class TiffReader : public FormatReader {
 public:
  bool Open(const ByteSource& source) override;
  bool Describe(std::uint32_t index, ImageDescription& out) override;

  // Bounds on what one file may make the reader walk.
  static constexpr std::size_t kMaxImages = 65536;
  static constexpr std::size_t kMaxSubIfds = 64;   // SubIFDs of one IFD, their chains included
  static constexpr std::size_t kMaxRawIfds = 256;  // IFDs of a raw file, read when it is opened

 private:
  enum class Role { kMain, kReduced, kPage, kMask };
  struct Image {
    std::uint64_t ifdOffset = 0;  // the IFD that describes it; 0 for a JPEG stream
    Role role = Role::kPage;
    std::uint64_t jpegOffset = 0, jpegLength = 0;
    PXC_TImageType jpegType = PXC_IT_PREVIEW;
  };

  bool ReadIfd(std::uint64_t offset, tiff::Ifd& ifd);
  // Appends `ifd` and its SubIFDs (with their chains) to `tree`.
  void ReadTree(const tiff::Ifd& ifd, std::vector<tiff::Ifd>& tree);
  // Reads the next IFD of the main chain with its SubIFDs; false at its end.
  bool ReadChain(std::vector<tiff::Ifd>& tree);
  // Picks the main image among `tree`; false when none has a size.
  bool ChooseMain(const std::vector<tiff::Ifd>& tree);
  // Adds the images of `ifd` after the main one: the IFD itself unless it
  // is the main image, then the JPEG streams it points to.
  void AddImages(const tiff::Ifd& ifd);
  void AddJpeg(std::uint64_t offset, std::uint64_t length);
  bool Step();
  bool HasSize(const tiff::Ifd& ifd) const;
  void Size(const tiff::Ifd& ifd, std::uint32_t& columns, std::uint32_t& rows) const;
  bool RawData(const tiff::Ifd& ifd) const;
  void Fill(const tiff::Ifd& ifd, Role role, ImageDescription& out) const;
  void FillMain(ImageDescription& out);

  const ByteSource* iSource = nullptr;
  std::unique_ptr<tiff::Structure> iTiff;
  tiff::Ifd iIfd0;
  std::vector<Image> iImages;
  std::set<std::uint64_t> iVisited;
  std::uint64_t iNext = 0;
  bool iChainDone = false;
  std::string iFormat;  // TIFF, BIGTIFF, TIFF_IT or a raw format (tiffraw::FormatOf)
  bool iRaw = false;
  std::uint64_t iMainIfd = 0;       // the IFD of image 0's pixels; 0 when maker data alone give them
  bool iMakerSensor = false;        // its geometry comes from maker data (iSensor)
  ImageDescription iSensor;
  std::uint64_t iMainArea = 0;
};

std::unique_ptr<FormatReader> MakeTiffReader();

}  // namespace imr::formats
