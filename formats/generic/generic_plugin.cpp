// GENERIC: the last plugin every shipped magic entry names.  For image 0 it
// keeps what the magic entry set and raises the fill level to the request,
// so a file stays recognised when its format has no plugin, when that
// plugin's module is missing, or when the plugin cannot read a damaged
// header.  Every other image number it declines.
#include "core/imr_core.h"

namespace {

class GenericPlugin : public IMR_TPlugin {
 public:
  explicit GenericPlugin(const ZQ_TString& key) : IMR_TPlugin(key) {}

  IMR_TPluginStatus ImageInfo(const PXC_IBuffer&, PXC_TImageTicket& ticket, PXC_TFillLevel level,
                              unsigned int index, IMR_TImageTypes) override {
    if (index != 0 || ticket.FileFormat().IsEmpty()) return IMR_PS_NOT_RECOGNIZED;
    // An embedded image is what its container says it is.
    if (ImrValidInfo(ticket) && ImrImageType(ticket) != PXC_IT_UNKNOWN) {
      SetImageType(ticket, ImrImageType(ticket));
    }
    if (ticket.FillLevel() < level) SetFillLevel(ticket, level);
    return IMR_PS_RECOGNIZED;
  }
  bool IsSafePlugin(PXC_TFillLevel) const override { return true; }
};

IMR_IPlugin* CreateGeneric(const ZQ_TString& key) { return new GenericPlugin(key); }

}  // namespace

extern "C" __attribute__((visibility("default"))) bool PXC_RegisterModule() {
  IMR_TPlugin::RegisterCreator(ZQ_TString("GENERIC"), &CreateGeneric);
  return true;
}
