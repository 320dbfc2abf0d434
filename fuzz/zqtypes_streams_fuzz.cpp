// Feeds the input to the packed and the text reader of the foundation
// library; an object that comes back is written in both forms and read back,
// and must come back equal.  Stream errors are the expected outcome of most
// inputs; any other exception, a crash or a broken round trip is a finding.
#include <cstdio>
#include <cstdlib>

#include "fuzz/zqtypes_streams_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string problem = zq_check::CheckStreams(data, size);
  if (!problem.empty()) {
    std::fprintf(stderr, "zqtypes round trip: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
