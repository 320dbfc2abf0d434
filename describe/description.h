// A file's description as IMR reports it to its users: the outcome of
// describing one file, and its JSON form, which the imr command prints and
// the C interface returns.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "core/imr_core.h"

// The outcome of describing one file.
struct IdentifyResult {
  std::string path;  // as the user named it
  bool recognized = false;
  PXC_TImageProxy proxy;     // filled when recognised
  std::string errorClass;    // the exception's class when not recognised
  std::string errorMessage;  // its text (with the cause, for a read failure)
  std::vector<IMR_TPluginWalk::Step> steps;  // what the plugins answered, when recorded
};

// Inside a handler: the class and message of the exception being handled
// (rethrows what is neither a ZQ_EException nor a std::exception).  A read
// failure gives its cause's message, which names the file and the reason.
std::pair<std::string, std::string> CurrentFailure();

// Describes the file at `path` with `core`; a failure is kept in the result,
// never thrown (and a file that nothing recognises costs no exception).
IdentifyResult DescribeFile(const IMR_TCore& core, const std::string& path, PXC_TFillLevel level,
                            IMR_TImageTypes types);
// The same for a caller that has made `path`'s URL already.
IdentifyResult DescribeFile(const IMR_TCore& core, const std::string& path, const ZQ_TURL& url,
                            PXC_TFillLevel level, IMR_TImageTypes types);

// What a plugin's answer means, as a person would say it: "described",
// "declined", "named the plugins to ask", ...
const char* PluginAnswer(IMR_TPluginStatus status);

// The identity of the file at `path` and of every file it needs (see
// IMR_TCore::SmartID); throws what IMR_TCore::FillImageProxy throws.
std::uint32_t FileSmartID(const IMR_TCore& core, const std::string& path);

// The JSON object of `result`: "path", "recognized", "selected", "error"
// ("class", "message") and "images", each image with its ticket's fields and
// the MIME type of its format, then "explain" (the plugins' answers) when
// they were recorded.
nlohmann::ordered_json DescriptionObject(const IdentifyResult& result);
// The same object on one line, written an image at a time: a file of many
// images never has all of them as JSON values at once.
std::string DescribeJson(const IdentifyResult& result);
