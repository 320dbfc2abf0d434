// The imr command's roads against one another over the same real files: a
// run that answers from the cache prints what a run without it prints,
// whether the records were written at level 6 or at level 4 and raised.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "tests/system/system_samples.h"

namespace systemtest {
namespace {

// What `imr ARGUMENTS` prints on standard output, and on standard error.
struct Printed {
  std::string out;
  std::string err;
};

Printed Imr(const std::string& arguments, const testsupport::TempDir& scratch) {
  const std::string errors = scratch / "stderr";
  const std::string command = "IMR_PLUGIN_PATH=" IMR_MODULE_DIR " " IMR_BINARY " " + arguments +
                              " 2>" + errors;
  Printed printed;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return printed;
  char chunk[4096];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
    printed.out.append(chunk, got);
  }
  pclose(pipe);
  printed.err = testsupport::ReadFile(errors);
  return printed;
}

TEST(CommandRoads, CachedRunsPrintWhatUncachedRunsPrint) {
  const testsupport::TempDir scratch;
  for (const char* form : {"", "--json"}) {
    SCOPED_TRACE(form);
    const testsupport::TempDir dir;
    CopySamples(dir);
    const std::string walk = " " + std::string(form) + " -j 2 -r " + dir.Path();
    const Printed uncached = Imr("identify --no-cache" + walk, scratch);
    ASSERT_GT(uncached.out.size(), 10000u);
    EXPECT_EQ(uncached.err, "");
    // Records of level 4, raised on every run.
    EXPECT_EQ(Imr("identify --level 4" + walk, scratch).err, "");
    for (int run = 0; run < 2; ++run) {
      const Printed raised = Imr("identify" + walk, scratch);
      EXPECT_EQ(raised.out, uncached.out);
      EXPECT_EQ(raised.err, "");
    }
  }
  const testsupport::TempDir dir;
  CopySamples(dir);
  const std::string walk = " -j 2 -r " + dir.Path();
  const Printed uncached = Imr("identify --no-cache" + walk, scratch);
  for (int run = 0; run < 2; ++run) {  // the first writes the records, the second reads them
    const Printed cached = Imr("identify" + walk, scratch);
    EXPECT_EQ(cached.out, uncached.out);
    EXPECT_EQ(cached.err, "");
  }
}

}  // namespace
}  // namespace systemtest
