// The real files the system tests run every road over: the corpus of files
// written by other programs, the end-to-end samples of every format family
// and the damaged files kept as regression inputs, copied into a temporary folder so that the result cache can write
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

// The kinds of image the system tests ask for: main images, thumbnails and
// previews, the kinds the result cache keeps.
constexpr IMR_TImageTypes kTypes = IMR_IT_MAIN | IMR_IT_THUMBNAIL | IMR_IT_PREVIEW;

// The fill of `url` at `level`, or an empty proxy when nothing recognises it.
PXC_TImageProxy Filled(const IMR_TCore& core, const ZQ_TURL& url, PXC_TFillLevel level);

// What a user sees of a ticket, and of a proxy: its tickets, and which one
// is selected.
std::string Printed(const PXC_TImageTicket& ticket);
std::string Printed(const PXC_TImageProxy& proxy);

}  // namespace systemtest
