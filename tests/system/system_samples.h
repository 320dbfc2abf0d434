// The real files the system tests run every road over: the corpus of files
// written by other programs and the end-to-end samples of every format
// family, copied into a temporary folder so that the result cache can write
// beside them.
#pragma once

#include <string>
#include <vector>

#include "core/imr_core.h"
#include "tests/support/test_support.h"

namespace systemtest {

struct Sample {
  std::string name;  // where it came from, under tests/data
  ZQ_TURL url;       // the copy
};

// Copies every sample into `dir` and returns them in a fixed order.
std::vector<Sample> CopySamples(const testsupport::TempDir& dir);

// Loads the shipped modules from the build tree and starts the library.
void StartLibrary();

// A core over a copy of the default list: its results are never cached.
const IMR_TCore& UncachedCore();

}  // namespace systemtest
