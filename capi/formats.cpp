// imr_formats: the per-format facts of the configuration as C structures.
#include <vector>

#include "capi/detector.h"
#include "capi/errors.h"
#include "describe/format_facts.h"

namespace {

// The C view of AllFormatFacts(), built once: its texts are those of the
// facts, which live as long as the process.
struct FormatList {
  FormatList() {
    const std::vector<FormatFacts>& all = AllFormatFacts();
    extensions.resize(all.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
      for (const std::string& extension : all[i].extensions) extensions[i].push_back(extension.c_str());
      formats.push_back({all[i].name.c_str(), all[i].description.c_str(), all[i].mime.c_str(),
                         extensions[i].data(), extensions[i].size(), all[i].module.c_str(),
                         all[i].depth.c_str()});
    }
  }
  std::vector<std::vector<const char*>> extensions;
  std::vector<imr_format> formats;
};

}  // namespace

using namespace imr::capi;

extern "C" imr_status imr_formats(imr_detector* detector, const imr_format** formats, size_t* count) {
  return Guarded([&] {
    if (formats == nullptr || count == nullptr) return Fail(IMR_E_ARGUMENT, "a result pointer is null");
    *formats = nullptr;
    *count = 0;
    std::shared_ptr<const IMR_TCore> core;
    if (imr_status status = FindDetector(detector, core); status != IMR_OK) return status;
    static const FormatList* list = new FormatList;  // lives for the process
    *formats = list->formats.data();
    *count = list->formats.size();
    return Succeed();
  });
}
