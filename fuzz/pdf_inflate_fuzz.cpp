// The PDF stream inflater on arbitrary bytes, which reaches far more of it
// than whole files do.
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/document/pdf_object_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  imr::formats::MemorySource source(data, size);
  std::string out;
  imr::formats::pdf::PdfInflate(source, 0, size, 1 << 20, out);
  return 0;
}
