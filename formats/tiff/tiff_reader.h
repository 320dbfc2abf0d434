// TIFF and BigTIFF, and the formats built on the TIFF structure: camera raw
// files (DNG, CR2, NEF, ORF, RW2, PEF, ARW, IIQ, ...) and TIFF/IT.
#pragma once

#include <memory>
#include <set>
#include <vector>

#include "formats/common/format_reader.h"
#include "formats/common/tiff_structure.h"

namespace imr::formats {

// Image 0 is IFD0, or, when IFD0 is a reduced-resolution image with SubIFDs
// (DNG, NEF), the full-resolution SubIFD; IFD0 and the other SubIFDs follow
// it.  Further IFDs of the main chain are read one at a time as they are
// asked for.  JPEG streams that an IFD only points to (JPEGInterchangeFormat,
// the RW2 JpgFromRaw) come last, as embedded images.
class TiffReader : public FormatReader {
 public:
  bool Open(const ByteSource& source) override;
  bool Describe(std::uint32_t index, ImageDescription& out) override;

  // Bounds on what one file may make the reader walk.
  static constexpr std::size_t kMaxImages = 65536;
  static constexpr std::size_t kMaxSubIfds = 64;

 private:
  enum class Role { kMain, kReduced, kPage, kMask };
  struct Image {
    std::uint64_t ifdOffset = 0;
    Role role = Role::kPage;
  };
  struct Embedded {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    PXC_TImageType type = PXC_IT_THUMBNAIL;
  };

  bool ReadIfd(std::uint64_t offset, tiff::Ifd& ifd);
  // Reads the next IFD of the main chain; false at its end.
  bool Step();
  // Adds an IFD of the chain or a SubIFD after image 0.
  void AddImage(const tiff::Ifd& ifd, bool fromSubIfd);
  // Queues the JPEG streams an IFD points to.
  void AddEmbedded(const tiff::Ifd& ifd, bool fromSubIfd);
  bool HasSize(const tiff::Ifd& ifd) const;
  void Size(const tiff::Ifd& ifd, std::uint32_t& columns, std::uint32_t& rows) const;
  void Fill(const tiff::Ifd& ifd, Role role, ImageDescription& out) const;

  const ByteSource* iSource = nullptr;
  std::unique_ptr<tiff::Structure> iTiff;
  tiff::Ifd iIfd0;
  std::vector<Image> iImages;
  std::vector<Embedded> iEmbedded;
  std::set<std::uint64_t> iVisited;
  std::uint64_t iNext = 0;
  bool iChainDone = false;
  std::string iFormat;  // TIFF, BIGTIFF, DNG, CR2, NEF, ORF, RW2, IIQ or TIFF_IT
  bool iRawLike = false;
  std::uint32_t iMainColumns = 0;
  std::uint32_t iMainRows = 0;
};

std::unique_ptr<FormatReader> MakeTiffReader();

}  // namespace imr::formats
