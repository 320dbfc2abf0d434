// The readers of the document module (EPS/DCS, PDF, PICT) on arbitrary bytes,
// directly and through the plugin adapter; the bytes are also inflated as a
// PDF stream, which reaches far more of the inflater than whole files do.
#include <string>

#include "formats/pdf/pdf_object_util.h"
#include "fuzz/formats_fuzz.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  formatsfuzz::AddSeeds(argc, argv, {"eps", "pdf", "pict"});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  formatsfuzz::Run(imr::formats::kDocumentReaders, data, size);
  imr::formats::MemorySource source(data, size);
  std::string out;
  imr::formats::pdf::PdfInflate(source, 0, size, 1 << 20, out);
  return 0;
}
