#include "describe/description.h"

#include <tuple>

#include "describe/format_facts.h"
#include "describe/text_forms.h"

namespace {

using Json = nlohmann::ordered_json;

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
  image["mime"] = FormatFactsOf(t.FileFormat().View()).mime;
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
  image["file"] = UrlText(t.File().Text().View());
  Json extended = Json::object();
  for (const ZQ_TDict::Entry& entry : t.ExtendedInfo()) extended[entry.key.Std()] = ValueJson(entry.value);
  image["extended_info"] = extended;
  Json references = Json::array();
  for (const ZQ_TList::Entry& entry : t.ExternalRefs()) references.push_back(ValueJson(entry.value));
  image["external_refs"] = references;
  return image;
}

std::string Dump(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

// Everything of the object but the images and the explanation.
Json HeadObject(const IdentifyResult& result) {
  Json object;
  object["path"] = result.path;
  // A name that is not UTF-8 shows replacement characters above; its bytes
  // follow, so that a program can name the file again.
  if (!IsUtf8(result.path)) object["path_hex"] = HexBytes(result.path);
  object["recognized"] = result.recognized;
  object["selected"] = result.recognized ? Json(result.proxy.IndexOfSelected()) : Json(nullptr);
  object["error"] = result.errorClass.empty()
                        ? Json(nullptr)
                        : Json{{"class", result.errorClass}, {"message", result.errorMessage}};
  return object;
}

Json StepsJson(const std::vector<IMR_TPluginWalk::Step>& steps) {
  Json array = Json::array();
  for (const IMR_TPluginWalk::Step& step : steps) {
    array.push_back({{"file", step.file.Std()},
                     {"image", step.image},
                     {"plugin", step.plugin.Std()},
                     {"status", step.status},
                     {"answer", PluginAnswer(step.status)},
                     {"reason", step.reason.Std()}});
  }
  return array;
}

}  // namespace

std::pair<std::string, std::string> CurrentFailure() {
  try {
    throw;
  } catch (const ZQ_EException& error) {
    // A read failure carries its cause, which names the file and the reason.
    const ZQ_EException* cause = error.Data().DynamicCast<ZQ_EException>();
    return {error.ClassName(), (cause ? cause->Text() : error.Text()).Std()};
  } catch (const std::exception& error) {
    return {"std::exception", error.what()};
  }
}

IdentifyResult DescribeFile(const IMR_TCore& core, const std::string& path, PXC_TFillLevel level,
                            IMR_TImageTypes types) {
  return DescribeFile(core, path, ZQ_TURL::FromPath(ZQ_TString(path)), level, types);
}

IdentifyResult DescribeFile(const IMR_TCore& core, const std::string& path, const ZQ_TURL& url,
                            PXC_TFillLevel level, IMR_TImageTypes types) {
  IdentifyResult result;
  result.path = path;
  try {
    result.recognized = core.FillImageProxy(result.proxy, url, level, types, std::nothrow) != nullptr;
    if (!result.recognized) {
      result.errorClass = "IMR_EPluginFileNotRecognized";
      result.errorMessage = "File " + url.Text().Std() + " not recognized";
    }
  } catch (...) {
    std::tie(result.errorClass, result.errorMessage) = CurrentFailure();
  }
  return result;
}

const char* PluginAnswer(IMR_TPluginStatus status) {
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

std::uint32_t FileSmartID(const IMR_TCore& core, const std::string& path) {
  PXC_TImageProxy proxy;
  core.FillImageProxy(proxy, ZQ_TURL::FromPath(ZQ_TString(path)), PXC_FL_DEPENDENCIES, IMR_IT_ALL);
  return core.SmartID(proxy, false);
}

Json DescriptionObject(const IdentifyResult& result) {
  Json object = HeadObject(result);
  Json images = Json::array();
  for (std::uint32_t i = 0; result.recognized && i < result.proxy.Entries(); ++i) {
    images.push_back(TicketJson(result.proxy.TicketAt(i)));
  }
  object["images"] = images;
  if (!result.steps.empty()) object["explain"] = StepsJson(result.steps);
  return object;
}

std::string DescribeJson(const IdentifyResult& result) {
  std::string text = Dump(HeadObject(result));
  text.pop_back();  // the closing brace
  text += ",\"images\":[";
  for (std::uint32_t i = 0; result.recognized && i < result.proxy.Entries(); ++i) {
    if (i > 0) text += ',';
    text += Dump(TicketJson(result.proxy.TicketAt(i)));
  }
  text += ']';
  if (!result.steps.empty()) text += ",\"explain\":" + Dump(StepsJson(result.steps));
  text += '}';
  return text;
}
