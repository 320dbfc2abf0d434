// The module of the jpeg format plugins: JPEG.
#include "formats/common/format_plugin.h"
#include "formats/modules/reader_families.h"

extern "C" __attribute__((visibility("default"))) bool PXC_RegisterModule() {
  return imr::formats::RegisterReaders<imr::formats::kJpegReaders>();
}
