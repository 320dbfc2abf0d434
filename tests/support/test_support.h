// Helpers shared by the test suites: temporary folders, files written and
// read whole, modification times, environment variables and the log sent to
// a file for one scope, the exception a call raises, and an object's
// printed, packed and human-readable forms (object_forms.h).
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "tests/support/object_forms.h"
#include "zqtypes/zqtypes.h"

namespace testsupport {

// A fresh folder under $TMPDIR (or /tmp), named after the program, removed
// with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return iPath; }
  // `name` inside the folder.
  std::string operator/(const std::string& name) const { return iPath + "/" + name; }

 private:
  std::string iPath;
};

void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);
// Sets the file's access and modification times to `seconds` (and
// `nanoseconds`) past the epoch.
void SetModified(const std::string& path, std::int64_t seconds, long nanoseconds = 0);
// Number of times `needle` occurs in `text`, without overlaps.
std::size_t Count(const std::string& text, const std::string& needle);

// Sets (or with nullopt unsets) an environment variable until the end of the
// scope, then restores it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string iName;
  std::optional<std::string> iOld;
};

// Sends the log to a file for the scope: "log.txt" in a folder of its own, or
// `name` in `dir`.  Text() gives what was written.
class LogCapture {
 public:
  LogCapture();
  explicit LogCapture(const TempDir& dir, const std::string& name = "log.txt");
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::string Text() const { return ReadFile(iPath); }
  const std::string& Path() const { return iPath; }

 private:
  std::unique_ptr<TempDir> iOwnDir;  // only without a folder given
  std::string iPath;
  ScopedEnv iEnv;
};

// The exception of class E that `body` raises; a failure is recorded when it
// raises nothing or something else.
template <class E, class Body>
E Raised(Body&& body) {
  try {
    body();
    ADD_FAILURE() << "no " << E::ZQ_ClassName() << " was raised";
  } catch (const E& error) {
    return error;
  } catch (const ZQ_EException& other) {
    ADD_FAILURE() << "expected " << E::ZQ_ClassName() << ", got " << other.ClassName() << ": "
                  << other.Text();
  } catch (const std::exception& other) {
    ADD_FAILURE() << "expected " << E::ZQ_ClassName() << ", got " << other.what();
  }
  return E();
}

}  // namespace testsupport
