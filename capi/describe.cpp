// imr_describe, imr_describe_json, imr_describe_json_many and imr_smartid, and
// the results they fill.
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

#include "capi/arguments.h"
#include "capi/detector.h"
#include "capi/errors.h"
#include "describe/description.h"

using Json = nlohmann::ordered_json;

// A description and the texts and images it points into.
struct imr_result {
  imr_description description{"", 0, -1, "", "", "", "", "", 0, nullptr};
  std::deque<std::string> texts;  // stable addresses while it grows
  std::vector<imr_image> images;

  const char* Keep(std::string text) { return texts.emplace_back(std::move(text)).c_str(); }
  const char* Keep(const Json& text) { return Keep(text.get<std::string>()); }

  // Takes everything from the JSON description of a file.
  void Fill(const Json& object) {
    texts.clear();
    images.clear();
    description = {};
    description.path = Keep(object["path"]);
    description.recognized = object["recognized"].get<bool>();
    description.selected = object["selected"].is_null() ? -1 : object["selected"].get<long>();
    const Json& error = object["error"];
    description.error_class = error.is_null() ? "" : Keep(error["class"]);
    description.error_message = error.is_null() ? "" : Keep(error["message"]);
    for (const Json& image : object["images"]) images.push_back(Image(image));
    description.image_count = images.size();
    description.images = images.data();
    const bool selected =
        description.selected >= 0 && static_cast<std::size_t>(description.selected) < images.size();
    description.format = selected ? images[description.selected].file_format : "";
    description.version = selected ? images[description.selected].file_format_version : "";
    description.mime = selected ? images[description.selected].mime : "";
  }

  imr_image Image(const Json& image) {
    const Json& margins = image["margins"];
    return imr_image{
        .file_format = Keep(image["file_format"]),
        .file_format_version = Keep(image["file_format_version"]),
        .mime = Keep(image["mime"]),
        .image_type = Keep(image["image_type"]),
        .image_subtype = Keep(image["image_subtype"]),
        .fill_level = image["fill_level"].get<int>(),
        .image_position = image["image_position"].get<int>(),
        .columns = image["columns"].get<std::uint32_t>(),
        .rows = image["rows"].get<std::uint32_t>(),
        .h_resolution = image["h_resolution"].get<double>(),
        .v_resolution = image["v_resolution"].get<double>(),
        .h_real_size = image["h_real_size"].get<double>(),
        .v_real_size = image["v_real_size"].get<double>(),
        .units = Keep(image["units"]),
        .rotation = Keep(image["rotation"]),
        .channel_encoding = Keep(image["channel_encoding"]),
        .alpha_plane = Keep(image["alpha_plane"]),
        .inks = image["inks"].get<std::uint32_t>(),
        .pages = image["pages"].get<std::int32_t>(),
        .margin_top = margins["top"].get<double>(),
        .margin_left = margins["left"].get<double>(),
        .margin_bottom = margins["bottom"].get<double>(),
        .margin_right = margins["right"].get<double>(),
        .creator_id = Keep(image["creator_id"]),
        .image_processor = Keep(image["image_processor"]),
        .related_index = image["related_index"].get<std::int32_t>(),
        .file = Keep(image["file"]),
        .extended_info = Keep(image["extended_info"].dump()),
        .external_refs = Keep(image["external_refs"].dump()),
    };
  }
};

namespace imr::capi {
namespace {

// Describes `path` for the C interface: the JSON description of the file in
// `json` and the status it comes to.  Anything but IMR_OK with `json` empty
// means the file was not examined.
imr_status Describe(imr_detector* detector, const char* path, int level, unsigned types, std::string& json) {
  std::shared_ptr<const IMR_TCore> core;
  if (imr_status status = FindDetector(detector, core); status != IMR_OK) return status;
  if (imr_status status = CheckPath(path, "path"); status != IMR_OK) return status;
  if (imr_status status = CheckRequest(level, types); status != IMR_OK) return status;
  const IdentifyResult result = DescribeFile(*core, path, static_cast<PXC_TFillLevel>(level), types);
  json = DescribeJson(result);
  return result.recognized ? Succeed() : Fail(StatusOfClass(result.errorClass), result.errorMessage);
}

// Hands `text` to the caller as a string to release with imr_free.
imr_status HandOver(const std::string& text, char** out) {
  *out = static_cast<char*>(std::malloc(text.size() + 1));
  if (*out == nullptr) return Fail(IMR_E_NO_MEMORY, "out of memory");
  std::memcpy(*out, text.c_str(), text.size() + 1);
  return IMR_OK;
}

}  // namespace
}  // namespace imr::capi

using namespace imr::capi;

extern "C" {

imr_result* imr_result_new(void) {
  imr_result* result = new (std::nothrow) imr_result;
  if (result == nullptr) Fail(IMR_E_NO_MEMORY, "out of memory");
  return result;
}

void imr_result_free(imr_result* result) { delete result; }

const imr_description* imr_result_description(const imr_result* result) {
  return result ? &result->description : nullptr;
}

imr_status imr_describe(imr_detector* detector, const char* path, int level, unsigned types,
                        imr_result* result) {
  return Guarded([&] {
    if (result == nullptr) return Fail(IMR_E_ARGUMENT, "the result is null");
    std::string json;
    const imr_status status = Describe(detector, path, level, types, json);
    if (!json.empty()) result->Fill(Json::parse(json));
    return status;
  });
}

imr_status imr_describe_json(imr_detector* detector, const char* path, int level, unsigned types,
                             char** json) {
  return Guarded([&] {
    if (json == nullptr) return Fail(IMR_E_ARGUMENT, "the JSON pointer is null");
    *json = nullptr;
    std::string text;
    const imr_status status = Describe(detector, path, level, types, text);
    if (!text.empty()) {
      if (const imr_status handed = HandOver(text, json); handed != IMR_OK) return handed;
    }
    return status;
  });
}

imr_status imr_describe_json_many(imr_detector* detector, const char* const* paths, size_t count, int level,
                                  unsigned types, char** json) {
  return Guarded([&] {
    if (json == nullptr) return Fail(IMR_E_ARGUMENT, "the JSON pointer is null");
    *json = nullptr;
    if (paths == nullptr && count > 0) return Fail(IMR_E_ARGUMENT, "the paths are null");
    std::shared_ptr<const IMR_TCore> core;
    if (imr_status status = FindDetector(detector, core); status != IMR_OK) return status;
    if (imr_status status = CheckRequest(level, types); status != IMR_OK) return status;
    std::string text = "[";
    for (std::size_t i = 0; i < count; ++i) {
      if (i > 0) text += ',';
      if (CheckPath(paths[i], "path") == IMR_OK) {
        text += DescribeJson(DescribeFile(*core, paths[i], static_cast<PXC_TFillLevel>(level), types));
      } else {
        text += DescribeJson({paths[i] ? paths[i] : "", false, {}, "imr", imr_last_error(), {}});
      }
    }
    text += ']';
    if (const imr_status handed = HandOver(text, json); handed != IMR_OK) return handed;
    return Succeed();
  });
}

imr_status imr_smartid(imr_detector* detector, const char* path, uint32_t* id) {
  return Guarded([&] {
    if (id == nullptr) return Fail(IMR_E_ARGUMENT, "the identity pointer is null");
    *id = 0;
    std::shared_ptr<const IMR_TCore> core;
    if (imr_status status = FindDetector(detector, core); status != IMR_OK) return status;
    if (imr_status status = CheckPath(path, "path"); status != IMR_OK) return status;
    *id = FileSmartID(*core, path);
    return Succeed();
  });
}

}  // extern "C"
