// The module of the document format plugins: EPS, PDF, PICT.
#include "formats/common/format_plugin.h"
#include "formats/eps/eps_reader.h"
#include "formats/pdf/pdf_reader.h"
#include "formats/pict/pict_reader.h"

extern "C" __attribute__((visibility("default"))) bool PXC_RegisterModule() {
  using namespace imr::formats;
  IMR_TPlugin::RegisterCreator(ZQ_TString("EPS"), &CreateReaderPlugin<&MakeEpsReader>);
  IMR_TPlugin::RegisterCreator(ZQ_TString("PDF"), &CreateReaderPlugin<&MakePdfReader>);
  IMR_TPlugin::RegisterCreator(ZQ_TString("PICT"), &CreateReaderPlugin<&MakePictReader>);
  return true;
}
