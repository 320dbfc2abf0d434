// The module of the document format plugins: EPS, PDF, PICT.
#include "formats/common/format_plugin.h"
#include "formats/modules/reader_families.h"

extern "C" __attribute__((visibility("default"))) bool PXC_RegisterModule() {
  return imr::formats::RegisterReaders<imr::formats::kDocumentReaders>();
}
