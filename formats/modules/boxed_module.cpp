// The module of the boxed format plugins: JP2, HEIF.
#include "formats/common/format_plugin.h"
#include "formats/modules/reader_families.h"

extern "C" __attribute__((visibility("default"))) bool PXC_RegisterModule() {
  return imr::formats::RegisterReaders<imr::formats::kBoxedReaders>();
}
