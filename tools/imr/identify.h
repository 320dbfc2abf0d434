// `imr identify`: describes many files on worker threads and prints the
// results in input order.
#pragma once

#include <string>
#include <vector>

#include "core/imr_core.h"

struct IdentifyOptions {
  std::vector<std::string> paths;
  std::string filesFrom;  // a file of paths, one per line; "-" for standard input
  bool json = false;
  bool recursive = false;
  bool noCache = false;
  bool explain = false;  // also show what each plugin asked answered (the cache is not used)
  PXC_TFillLevel level = PXC_FL_DEPENDENCIES;
  IMR_TImageTypes types = IMR_IT_MAIN | IMR_IT_THUMBNAIL | IMR_IT_PREVIEW;
  unsigned int jobs = 0;  // 0: one per core
  std::uint32_t maxImages = 0;  // images described per file; 0: the configured bound
};

// Returns the exit status: 0 when every file was recognised, 1 otherwise,
// 2 when the paths could not be read.
int RunIdentify(const IdentifyOptions& options);
