// A file's description as IMR reports it to its users: the outcome of
// describing one file, and its JSON form, which the imr command prints and
// the C interface returns.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <utility>

#include "core/imr_core.h"

// The outcome of describing one file.
struct IdentifyResult {
  std::string path;  // as the user named it
  bool recognized = false;
  PXC_TImageProxy proxy;     // filled when recognised
  std::string errorClass;    // the exception's class when not recognised
  std::string errorMessage;  // its text (with the cause, for a read failure)
};

// Inside a handler: the class and message of the exception being handled
// (rethrows what is neither a ZQ_EException nor a std::exception).  A read
// failure gives its cause's message, which names the file and the reason.
std::pair<std::string, std::string> CurrentFailure();

// Describes the file at `path` with `core`; a failure is kept in the result,
// never thrown.
IdentifyResult DescribeFile(const IMR_TCore& core, const std::string& path, PXC_TFillLevel level,
                            IMR_TImageTypes types);

// The identity of the file at `path` and of every file it needs (see
// IMR_TCore::SmartID); throws what IMR_TCore::FillImageProxy throws.
std::uint32_t FileSmartID(const IMR_TCore& core, const std::string& path);

// The JSON object of `result`: "path", "recognized", "selected", "error"
// ("class", "message") and "images", each image with its ticket's fields and
// the MIME type of its format.
nlohmann::ordered_json DescriptionObject(const IdentifyResult& result);
// The same object on one line.
std::string DescribeJson(const IdentifyResult& result);
