// The module of the raster format plugins: BMP, ICO, TGA, PCX, SGI, PNM, QOI, DDS.
#include "formats/common/format_plugin.h"
#include "formats/bmp/bmp_reader.h"
#include "formats/ico/ico_reader.h"
#include "formats/raster/raster_reader.h"

extern "C" __attribute__((visibility("default"))) bool PXC_RegisterModule() {
  using namespace imr::formats;
  IMR_TPlugin::RegisterCreator(ZQ_TString("BMP"), &CreateReaderPlugin<&MakeBmpReader>);
  IMR_TPlugin::RegisterCreator(ZQ_TString("ICO"), &CreateReaderPlugin<&MakeIcoReader>);
  IMR_TPlugin::RegisterCreator(ZQ_TString("TGA"), &CreateReaderPlugin<&MakeTgaReader>);
  IMR_TPlugin::RegisterCreator(ZQ_TString("PCX"), &CreateReaderPlugin<&MakePcxReader>);
  IMR_TPlugin::RegisterCreator(ZQ_TString("SGI"), &CreateReaderPlugin<&MakeSgiReader>);
  IMR_TPlugin::RegisterCreator(ZQ_TString("PNM"), &CreateReaderPlugin<&MakePnmReader>);
  IMR_TPlugin::RegisterCreator(ZQ_TString("QOI"), &CreateReaderPlugin<&MakeQoiReader>);
  IMR_TPlugin::RegisterCreator(ZQ_TString("DDS"), &CreateReaderPlugin<&MakeDdsReader>);
  return true;
}
