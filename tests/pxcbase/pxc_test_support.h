// Helpers of the image-object library's tests: a temporary folder per test,
// files written and read whole, environment variables set for one scope, and
// the exception a call raises.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "pxcbase/pxcbase.h"

namespace pxctest {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it.
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

// `size` bytes that differ from their neighbours, so that a wrong offset shows.
std::string Pattern(std::size_t size, unsigned seed = 0);
// Random bytes that do not compress.
std::string RandomBytes(std::size_t size, unsigned seed);
void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);
// Sets the file's modification time to `seconds` past the epoch.
void SetModified(const std::string& path, std::int64_t seconds, long nanoseconds = 0);

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

// Sends the log to a file of `dir` for the scope; Text() gives what was written.
class LogCapture {
 public:
  explicit LogCapture(const TempDir& dir, const std::string& name = "log.txt");
  std::string Text() const { return ReadFile(iPath); }
  const std::string& Path() const { return iPath; }

 private:
  std::string iPath;
  ScopedEnv iEnv;
};

// Number of times `needle` occurs in `text`.
std::size_t Count(const std::string& text, const std::string& needle);

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

// The exception's datum as text.
inline std::string Datum(const ZQ_EException& error) {
  return error.Data().IsIllegal() ? std::string() : error.Data().ToText().Std();
}
inline std::string Text(const ZQ_EException& error) { return error.Text().Std(); }

// Tickets filled in every field (defined with the ticket tests, which reach
// the restricted setters).  `seed` varies the values.
PXC_TImageTicket FullTicket(const ZQ_TURL& file, unsigned seed);

// The packed form of `object` and the object rebuilt from it.
std::string Packed(const ZQ_IPackable& object);
ZQ_TObject* Unpacked(const std::string& bytes);

// A configuration overlay written to `dir` and made current; the previous
// configuration is restored at the end of the scope.
class ScopedOverlay {
 public:
  ScopedOverlay(const TempDir& dir, const std::string& json, const std::string& name = "imr.json");
  ~ScopedOverlay();
  const std::string& Path() const { return iPath; }

 private:
  std::string iPath;
  std::optional<ScopedEnv> iEnv;
};

}  // namespace pxctest
