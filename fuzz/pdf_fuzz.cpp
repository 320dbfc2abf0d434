// Opens arbitrary bytes with the PDF reader and describes every image; the
// bytes are also inflated directly, which reaches far more of the inflater.
#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/pdf/pdf_object_util.h"
#include "formats/pdf/pdf_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  imr::formats::MemorySource source(data, size);
  auto reader = imr::formats::MakePdfReader();
  if (reader->Open(source)) {
    imr::formats::ImageDescription image;
    for (std::uint32_t index = 0; index < 64 && reader->Describe(index, image); ++index) {
    }
  }
  std::string out;
  imr::formats::pdf::PdfInflate(source, 0, size, 1 << 20, out);
  return 0;
}
