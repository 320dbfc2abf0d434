// Helpers of the image-object library's tests: the shared helpers
// (tests/support), bytes to write, exception texts, full tickets and
// configuration overlays.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "pxcbase/pxcbase.h"
#include "tests/support/test_support.h"

namespace pxctest {

using testsupport::Count;
using testsupport::LogCapture;
using testsupport::Packed;
using testsupport::Raised;
using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::SetModified;
using testsupport::TempDir;
using testsupport::Unpacked;
using testsupport::WriteFile;

// `size` bytes that differ from their neighbours, so that a wrong offset shows.
std::string Pattern(std::size_t size, unsigned seed = 0);
// Random bytes that do not compress.
std::string RandomBytes(std::size_t size, unsigned seed);

// The exception's datum as text.
inline std::string Datum(const ZQ_EException& error) {
  return error.Data().IsIllegal() ? std::string() : error.Data().ToText().Std();
}
inline std::string Text(const ZQ_EException& error) { return error.Text().Std(); }

// The object written in the packed form and rebuilt as a T.
template <class T>
T PackedCopy(const T& object) {
  std::unique_ptr<ZQ_TObject> back(Unpacked(Packed(object)));
  const T* copy = ZQ_DynamicCast<T>(back.get());
  if (copy == nullptr) {
    ADD_FAILURE() << "the packed " << object.ClassName() << " does not come back as one";
    return T();
  }
  return *copy;
}

// Tickets filled in every field (defined with the ticket tests, which reach
// the restricted setters).  `seed` varies the values.
PXC_TImageTicket FullTicket(const ZQ_TURL& file, unsigned seed);

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
