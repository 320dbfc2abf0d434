#include "tools/imr/describe.h"

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>

#include "describe/format_facts.h"
#include "describe/text_forms.h"

namespace {

const char* TypeText(PXC_TImageType type) {
  switch (type) {
    case PXC_IT_THUMBNAIL:
      return "thumbnail";
    case PXC_IT_PREVIEW:
      return "preview";
    case PXC_IT_MAIN:
      return "main image";
    case PXC_IT_AUXILIARY:
      return "auxiliary image";
    case PXC_IT_PAGE:
      return "page";
    default:
      return "image";
  }
}

// A number without needless decimals: 300, 72.5.
std::string Number(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*g", std::fabs(value) >= 1000 ? 10 : 4, value);
  return text;
}

std::string Resolution(const PXC_TImageTicket& t) {
  if (t.HResolution() <= 0) return "";
  const char* unit = t.MeasurementUnits() == PXC_MU_INCH         ? " dpi"
                     : t.MeasurementUnits() == PXC_MU_CENTIMETER ? " dpcm"
                                                                 : " (aspect)";
  if (t.VResolution() <= 0 || std::fabs(t.HResolution() - t.VResolution()) < 0.005) {
    return Number(t.HResolution()) + unit;
  }
  return Number(t.HResolution()) + " x " + Number(t.VResolution()) + unit;
}

// "  image 0 [of embedded data]: PNG declined: the IHDR chunk is cut short"
std::string StepLine(const IMR_TPluginWalk::Step& step, const std::string& file) {
  std::ostringstream line;
  line << "  image " << step.image;
  if (step.file.Std() != file) line << " of " << PrintableText(step.file.View());
  line << ": " << step.plugin << ' ' << PluginAnswer(step.status);
  if (!step.reason.IsEmpty()) line << ": " << PrintableText(step.reason.View());
  return line.str();
}

// Built by appending: a line per file, where a string stream's set-up would
// cost as much as the rest of the line.
std::string SummaryLine(const IdentifyResult& result) {
  std::string line = PrintableText(result.path) + ": ";
  if (!result.recognized) {
    if (result.errorClass == "IMR_EPluginFileNotRecognized") {
      line += "not recognized";
    } else {
      line += "error: " + PrintableText(result.errorMessage);
    }
    return line;
  }
  const PXC_TImageTicket* t = result.proxy.Selected();
  if (t == nullptr) return line + "recognized, no image described";
  line += t->FileFormat().View();
  if (!t->FileFormatVersion().IsEmpty()) (line += ' ') += t->FileFormatVersion().View();
  const std::string& mime = FormatFactsOf(t->FileFormat().View()).mime;
  if (!mime.empty()) line += " (" + mime + ')';
  (line += ", ") += TypeText(t->ImageType());
  if (t->NrColumns() > 0 && t->NrRows() > 0) {
    line += ", " + std::to_string(t->NrColumns()) + " x " + std::to_string(t->NrRows()) + " px";
  }
  const std::string resolution = Resolution(*t);
  if (!resolution.empty()) line += ", " + resolution;
  if (t->ChannelEncoding() != PXC_CE_UNKNOWN) {
    (line += ", ") += PXC_ChannelEncName(t->ChannelEncoding());
    if (t->AlphaPlane() != PXC_AP_NONE) line += " + alpha";
  }
  if (t->NrPages() > 1) line += ", " + std::to_string(t->NrPages()) + " pages";
  if (result.proxy.Entries() > 1) line += ", " + std::to_string(result.proxy.Entries()) + " images";
  return line;
}

}  // namespace

std::string DescribeLine(const IdentifyResult& result) {
  std::string line = SummaryLine(result);
  if (result.steps.empty()) return line;
  const std::string file = ZQ_TURL::FromPath(ZQ_TString(result.path)).Text().Std();
  for (const IMR_TPluginWalk::Step& step : result.steps) line += "\n" + StepLine(step, file);
  return line;
}
