// The module of the web format plugins: PNG, GIF, WEBP.
#include "formats/common/format_plugin.h"
#include "formats/gif/gif_reader.h"
#include "formats/png/png_reader.h"
#include "formats/webp/webp_reader.h"

extern "C" __attribute__((visibility("default"))) bool PXC_RegisterModule() {
  using namespace imr::formats;
  IMR_TPlugin::RegisterCreator(ZQ_TString("PNG"), &CreateReaderPlugin<&MakePngReader>);
  IMR_TPlugin::RegisterCreator(ZQ_TString("GIF"), &CreateReaderPlugin<&MakeGifReader>);
  IMR_TPlugin::RegisterCreator(ZQ_TString("WEBP"), &CreateReaderPlugin<&MakeWebpReader>);
  return true;
}
