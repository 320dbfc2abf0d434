// The module of the boxed format plugins: JP2, HEIF.
#include "formats/common/format_plugin.h"
#include "formats/heif/heif_reader.h"
#include "formats/jp2/jp2_reader.h"

extern "C" __attribute__((visibility("default"))) bool PXC_RegisterModule() {
  using namespace imr::formats;
  IMR_TPlugin::RegisterCreator(ZQ_TString("JP2"), &CreateReaderPlugin<&MakeJp2Reader>);
  IMR_TPlugin::RegisterCreator(ZQ_TString("HEIF"), &CreateReaderPlugin<&MakeHeifReader>);
  return true;
}
