// The module of the layered format plugins: PSD, XCF.
#include "formats/common/format_plugin.h"
#include "formats/psd/psd_reader.h"
#include "formats/xcf/xcf_reader.h"

extern "C" __attribute__((visibility("default"))) bool PXC_RegisterModule() {
  using namespace imr::formats;
  IMR_TPlugin::RegisterCreator(ZQ_TString("PSD"), &CreateReaderPlugin<&MakePsdReader>);
  IMR_TPlugin::RegisterCreator(ZQ_TString("XCF"), &CreateReaderPlugin<&MakeXcfReader>);
  return true;
}
