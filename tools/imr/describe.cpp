#include "tools/imr/describe.h"

#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

namespace {

using Json = nlohmann::ordered_json;

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
  std::ostringstream out;
  out.precision(std::fabs(value) >= 1000 ? 10 : 4);
  out << value;
  return out.str();
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

Json Text(const ZQ_TString& text) { return Json(text.Std()); }

// A value of the extended information or an external reference as JSON.
Json ValueJson(const ZQ_TAny& value) {
  if (value.IsText()) return Text(*value.DynamicCast<ZQ_TString>());
  if (const ZQ_TUInt32* n = value.DynamicCast<ZQ_TUInt32>()) return Json(n->Value());
  if (const ZQ_TBool* b = value.DynamicCast<ZQ_TBool>()) return Json(b->Value());
  if (const ZQ_TList* list = value.DynamicCast<ZQ_TList>()) {
    Json array = Json::array();
    for (const ZQ_TList::Entry& entry : *list) array.push_back(ValueJson(entry.value));
    return array;
  }
  if (const PXC_TReference* ref = value.DynamicCast<PXC_TReference>()) return Text(ref->Location());
  return Text(PXC_Any2String(value));
}

Json TicketJson(const PXC_TImageTicket& t) {
  Json image;
  image["file_format"] = t.FileFormat().Std();
  image["file_format_version"] = t.FileFormatVersion().Std();
  image["image_type"] = PXC_ImageTypeName(t.ImageType());
  image["image_subtype"] = PXC_ImageSubtypeName(t.ImageSubtype());
  image["fill_level"] = static_cast<int>(t.FillLevel());
  image["image_position"] = static_cast<int>(t.ImagePosition());
  image["columns"] = t.NrColumns();
  image["rows"] = t.NrRows();
  image["h_resolution"] = t.HResolution();
  image["v_resolution"] = t.VResolution();
  image["h_real_size"] = t.HRealSize();
  image["v_real_size"] = t.VRealSize();
  image["units"] = PXC_UnitsName(t.MeasurementUnits());
  image["rotation"] = PXC_ImageRotationName(t.Rotation());
  image["channel_encoding"] = PXC_ChannelEncName(t.ChannelEncoding());
  image["alpha_plane"] = PXC_AlphaPlaneName(t.AlphaPlane());
  image["inks"] = t.NrInks();
  image["pages"] = t.NrPages();
  image["margins"] = {{"top", t.MarginTop()},
                      {"left", t.MarginLeft()},
                      {"bottom", t.MarginBottom()},
                      {"right", t.MarginRight()}};
  image["creator_id"] = t.CreatorId().Std();
  image["image_processor"] = t.ImageProcessor().Std();
  image["related_index"] = t.RelatedIndex();
  image["file"] = t.File().Text().Std();
  Json extended = Json::object();
  for (const ZQ_TDict::Entry& entry : t.ExtendedInfo()) extended[entry.key.Std()] = ValueJson(entry.value);
  image["extended_info"] = extended;
  Json references = Json::array();
  for (const ZQ_TList::Entry& entry : t.ExternalRefs()) references.push_back(ValueJson(entry.value));
  image["external_refs"] = references;
  return image;
}

// What a plugin's status means, as a person would say it.
const char* Answer(IMR_TPluginStatus status) {
  switch (status) {
    case IMR_PS_RECOGNIZED: return "described";
    case IMR_PS_NOT_RECOGNIZED: return "declined";
    case IMR_PS_RECOGNIZED_LIST_CHANGED: return "described, and named further plugins";
    case IMR_PS_LIST_CHANGED: return "named the plugins to ask";
    case IMR_PS_ABORT: return "stopped the search";
    case IMR_PS_EMBEDDED_SKIPPED: return "found an embedded image of a kind not asked for";
    case IMR_PS_EMBEDDED_RESOLVED: return "found an embedded image";
    case IMR_PS_RECOGNIZED_CLEAR_FLAG: return "described (not to be cached)";
    default: return "asked to start again";
  }
}

// "  image 0 [of embedded data file]: PNG declined: the IHDR chunk is cut short"
std::string StepLine(const IMR_TPluginWalk::Step& step, const std::string& file) {
  std::ostringstream line;
  line << "  image " << step.image;
  if (step.file.Std() != file) line << " of " << step.file;
  line << ": " << step.plugin << ' ' << Answer(step.status);
  if (!step.reason.IsEmpty()) line << ": " << step.reason;
  return line.str();
}

Json StepsJson(const std::vector<IMR_TPluginWalk::Step>& steps) {
  Json array = Json::array();
  for (const IMR_TPluginWalk::Step& step : steps) {
    array.push_back({{"file", step.file.Std()},
                     {"image", step.image},
                     {"plugin", step.plugin.Std()},
                     {"status", step.status},
                     {"answer", Answer(step.status)},
                     {"reason", step.reason.Std()}});
  }
  return array;
}

}  // namespace

std::string DescribeLine(const IdentifyResult& result) {
  std::string line = SummaryLine(result);
  if (result.steps.empty()) return line;
  const std::string file = ZQ_TURL::FromPath(ZQ_TString(result.path)).Text().Std();
  for (const IMR_TPluginWalk::Step& step : result.steps) line += "\n" + StepLine(step, file);
  return line;
}

std::string SummaryLine(const IdentifyResult& result) {
  std::ostringstream line;
  line << result.path << ": ";
  if (!result.recognized) {
    if (result.errorClass == "IMR_EPluginFileNotRecognized") {
      line << "not recognized";
    } else {
      line << "error: " << result.errorMessage;
    }
    return line.str();
  }
  const PXC_TImageTicket* t = result.proxy.Selected();
  if (t == nullptr) {
    line << "recognized, no image described";
    return line.str();
  }
  line << t->FileFormat();
  if (!t->FileFormatVersion().IsEmpty()) line << ' ' << t->FileFormatVersion();
  line << ", " << TypeText(t->ImageType());
  if (t->NrColumns() > 0 && t->NrRows() > 0) line << ", " << t->NrColumns() << " x " << t->NrRows() << " px";
  const std::string resolution = Resolution(*t);
  if (!resolution.empty()) line << ", " << resolution;
  if (t->ChannelEncoding() != PXC_CE_UNKNOWN) {
    line << ", " << PXC_ChannelEncName(t->ChannelEncoding());
    if (t->AlphaPlane() != PXC_AP_NONE) line << " + alpha";
  }
  if (t->NrPages() > 1) line << ", " << t->NrPages() << " pages";
  if (result.proxy.Entries() > 1) line << ", " << result.proxy.Entries() << " images";
  return line.str();
}

std::string DescribeJson(const IdentifyResult& result) {
  // The images are written one at a time: a file of many images never has
  // all of them as JSON values at once.
  auto dump = [](const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); };
  Json head;
  head["path"] = result.path;
  head["recognized"] = result.recognized;
  head["selected"] = result.recognized ? Json(result.proxy.IndexOfSelected()) : Json(nullptr);
  head["error"] = result.errorClass.empty()
                      ? Json(nullptr)
                      : Json{{"class", result.errorClass}, {"message", result.errorMessage}};
  std::string text = dump(head);
  text.pop_back();  // the closing brace
  text += ",\"images\":[";
  for (std::uint32_t i = 0; result.recognized && i < result.proxy.Entries(); ++i) {
    if (i > 0) text += ',';
    text += dump(TicketJson(result.proxy.TicketAt(i)));
  }
  text += ']';
  if (!result.steps.empty()) text += ",\"explain\":" + dump(StepsJson(result.steps));
  text += '}';
  return text;
}
