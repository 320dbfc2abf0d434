// Start-up of the tests that run the whole pipeline over files of the source
// tree or temporary ones: the shipped modules from the build tree, and no
// result cache, which would write beside the files.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "core/imr_core.h"

namespace imr::formats::test {

inline void StartPipeline() {
  setenv("IMR_PLUGIN_PATH", IMR_MODULE_DIR, 1);
  ASSERT_TRUE(__ZQ_INITIALIZATION_FUNCTION_IMR__());
  IMR_TCore::sReadFromCache = false;
  IMR_TCore::sWriteToCache = false;
}

// Sends the library's log to the file `path` (emptied first) while it lives.
class LogToFile {
 public:
  explicit LogToFile(std::string path) : iPath(std::move(path)) {
    std::remove(iPath.c_str());
    setenv("ZQMESG_LOG_FILE", iPath.c_str(), 1);
  }
  ~LogToFile() { unsetenv("ZQMESG_LOG_FILE"); }
  LogToFile(const LogToFile&) = delete;
  LogToFile& operator=(const LogToFile&) = delete;
  // What was logged so far.
  std::string Text() const {
    std::ifstream in(iPath);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  std::string iPath;
};

}  // namespace imr::formats::test
