// GENERIC: the last plugin every shipped magic entry names.  For image 0 it
// keeps what the magic entry set and raises the fill level to the request,
// so a file stays recognised when its format has no plugin, when that
// plugin's module is missing, or when the plugin cannot read a damaged
// header.  Every other image number it declines.
//
// A ticket raised later (an update, a cache hit, SmartID) comes back wiped,
// with no magic entry in front: GENERIC then asks the magic entries to name
// the file again.
#include "core/imr_core.h"

namespace {

class GenericPlugin : public IMR_TPlugin {
 public:
  explicit GenericPlugin(const ZQ_TString& key) : IMR_TPlugin(key) {}

  IMR_TPluginStatus ImageInfo(const PXC_IBuffer& buffer, PXC_TImageTicket& ticket,
                              PXC_TFillLevel level, unsigned int index,
                              IMR_TImageTypes types) override {
    if (index != 0) return IMR_PS_NOT_RECOGNIZED;
    if (ticket.FileFormat().IsEmpty()) {
      // The default magic plugin at level 2 sets what its entry knows and
      // stops before it names any plugin.
      IMR_TCore::PluginByName(ZQ_TString("IMR_TMagic"), ZQ_TString())
          .ImageInfo(buffer, ticket, PXC_FL_FORMAT, 0, types);
      if (ticket.FileFormat().IsEmpty()) return IMR_PS_NOT_RECOGNIZED;
    }
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
