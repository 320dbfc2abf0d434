#include "formats/raster/bmp_reader.h"

#include <optional>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/raster/dib_util.h"

namespace imr::formats {

namespace {

constexpr std::uint64_t kFileHeaderSize = 14;
constexpr std::uint64_t kArrayHeaderSize = 14;

class BmpReader : public FormatReader {
 public:
  bool Open(const ByteSource& source) override {
    iReader.emplace(source, true);
    iImages.clear();
    iNext = 0;
    iDone = false;
    const std::string magic = iReader->Text(0, 2);
    if (magic == "BA") {
      iArray = true;
    } else if (magic == "BM") {
      iArray = false;
    } else {
      return false;
    }
    if (ReadNext()) return true;
    return Refuse(iArray ? "the first array member is not a readable bitmap"
                         : "the bitmap header's fields cannot describe a bitmap");
  }

  bool Describe(std::uint32_t index, ImageDescription& out) override {
    if (!iReader) return false;
    while (index >= iImages.size()) {
      if (iDone || !ReadNext()) return false;
    }
    const Image& image = iImages[index];
    out = ImageDescription{};
    // Bitmap array members are the same picture for different devices,
    // alternatives like the icons of an icon file; bitmaps stored one after
    // another are further pages.
    out.type = index == 0 || iArray ? PXC_IT_MAIN : PXC_IT_PAGE;
    out.version = Version(image.dib);
    DescribeDib(*iReader, image.dib, image.fileHeader + kFileHeaderSize, out);
    return true;
  }

 private:
  struct Image {
    std::uint64_t fileHeader = 0;
    DibHeader dib;
  };

  static std::string Version(const DibHeader& dib) {
    if (dib.headerSize == 12) return "2";
    if (dib.os2) return "OS/2 2";
    if (dib.headerSize == 108) return "4";
    if (dib.headerSize == 124) return "5";
    return "3";
  }

  // Reads the bitmap at iNext (the array entry or file header there);
  // false, and no further images, when there is none.
  bool ReadNext() {
    ByteReader r(*iReader);  // a failed read here must not poison later walks
    const std::uint64_t at = iNext;
    std::uint64_t fileHeader = at;
    std::uint64_t nextArrayEntry = 0;
    if (iArray) {
      if (r.Text(at, 2) != "BA") return Stop();
      nextArrayEntry = r.U32(at + 6);
      fileHeader = at + kArrayHeaderSize;
    }
    // Icon and pointer members of arrays carry masks with their bitmap; only
    // plain bitmaps are read.
    if (r.Text(fileHeader, 2) != "BM") return Stop();
    Image image;
    image.fileHeader = fileHeader;
    if (!ReadDibHeader(r, fileHeader + kFileHeaderSize, image.dib)) return Stop();
    iImages.push_back(image);

    // Offsets only move forward, so the walk ends.
    std::uint64_t next = 0;
    if (iArray) {
      next = nextArrayEntry;
    } else {
      const std::uint64_t bits = r.U32(fileHeader + 10);
      const std::uint64_t bytes = DibPixelBytes(image.dib);
      if (bits != 0 && bytes != 0) next = fileHeader + bits + bytes;
    }
    if (next <= at || next >= r.Size() || r.Failed()) {
      iDone = true;
    } else {
      iNext = next;
    }
    return true;
  }

  bool Stop() {
    iDone = true;
    return false;
  }

  std::optional<ByteReader> iReader;
  bool iArray = false;
  bool iDone = false;
  std::uint64_t iNext = 0;
  std::vector<Image> iImages;
};

}  // namespace

std::unique_ptr<FormatReader> MakeBmpReader() { return std::make_unique<BmpReader>(); }
IMR_READER(BMP, MakeBmpReader);

}  // namespace imr::formats
