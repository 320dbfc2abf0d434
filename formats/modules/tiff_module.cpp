// The module of the tiff format plugins: TIFF.
#include "formats/common/format_plugin.h"
#include "formats/tiff/tiff_reader.h"

extern "C" __attribute__((visibility("default"))) bool PXC_RegisterModule() {
  using namespace imr::formats;
  IMR_TPlugin::RegisterCreator(ZQ_TString("TIFF"), &CreateReaderPlugin<&MakeTiffReader>);
  return true;
}
