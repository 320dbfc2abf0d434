// The module of the jpeg format plugins: JPEG.
#include "formats/common/format_plugin.h"
#include "formats/jpeg/jpeg_reader.h"

extern "C" __attribute__((visibility("default"))) bool PXC_RegisterModule() {
  using namespace imr::formats;
  IMR_TPlugin::RegisterCreator(ZQ_TString("JPEG"), &CreateReaderPlugin<&MakeJpegReader>);
  return true;
}
