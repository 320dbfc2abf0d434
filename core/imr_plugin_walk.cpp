// Recording what the plugins answer, for people who ask why a file was
// described as it was.
#include "core/imr_core.h"

const char* const IMR_kRefusalKey = "Refusal";

namespace {
thread_local IMR_TPluginWalk* tWalk = nullptr;  // the innermost one recording
}  // namespace

IMR_TPluginWalk::IMR_TPluginWalk() : iOuter(tWalk) { tWalk = this; }

IMR_TPluginWalk::~IMR_TPluginWalk() { tWalk = iOuter; }

void IMR_TPluginWalk::Record(const PXC_TImageTicket& ticket, std::uint32_t image,
                             const ZQ_TString& name, const ZQ_TString& key,
                             IMR_TPluginStatus status) {
  if (tWalk == nullptr) return;
  Step step;
  step.file = ticket.File().Text();
  step.image = image;
  step.plugin = key.IsEmpty() ? name : name + "[" + key.View() + "]";
  step.status = status;
  // A reader that declined says why in the ticket, its name first.
  if (status == IMR_PS_NOT_RECOGNIZED) {
    if (const ZQ_TAny* refusal = ticket.ExtendedInfo().ValueOfKey(IMR_kRefusalKey)) {
      const ZQ_TString text = refusal->ToText();
      const ZQ_TString prefix = name + ": ";
      if (text.View().substr(0, prefix.Length()) == prefix.View()) step.reason = text.Substring(prefix.Length());
    }
  }
  tWalk->iSteps.push_back(std::move(step));
}
