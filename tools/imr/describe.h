// What `imr identify` prints for one file: a line of text or a JSON object.
#pragma once

#include <string>
#include <vector>

#include "core/imr_core.h"

// The outcome of describing one file.
struct IdentifyResult {
  std::string path;           // as the user named it
  bool recognized = false;
  PXC_TImageProxy proxy;      // filled when recognised
  std::string errorClass;     // the exception's class when not recognised
  std::string errorMessage;   // its text (with the cause, for a read failure)
  std::vector<IMR_TPluginWalk::Step> steps;  // with --explain, what the plugins answered
};

// "path: TIFF 6.0, main image, 2480 x 3508 px, 300 dpi, CMYK, 2 images",
// then, with the plugins' answers recorded, one indented line per answer.
std::string DescribeLine(const IdentifyResult& result);
// The first of those lines.
std::string SummaryLine(const IdentifyResult& result);
// One JSON object on one line.
std::string DescribeJson(const IdentifyResult& result);
