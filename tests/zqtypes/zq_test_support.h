// Helpers of the foundation library's tests: the shared helpers
// (tests/support), and objects carried through both stream forms.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "fuzz/zqtypes_streams_check.h"
#include "tests/support/test_support.h"
#include "zqtypes/zqtypes.h"

namespace zqtest {

// Registers the library's classes before any test runs, as a program does
// when it starts; streams rebuild objects only of registered classes.
inline const bool kLibraryInitialised = __ZQ_INITIALIZATION_FUNCTION_zqtypes__();

using testsupport::ReadFile;
using testsupport::SetModified;
using testsupport::TempDir;
using testsupport::WriteFile;

using zq_check::ExtractPacked;
using zq_check::ExtractText;
using zq_check::PackedBytes;
using zq_check::TextBytes;

// The object written in the packed (or the text) form and rebuilt as a T.
template <class T>
T Copy(const ZQ_IPackable& object, bool packed) {
  std::unique_ptr<ZQ_TObject> back =
      packed ? ExtractPacked(PackedBytes(object)) : ExtractText(TextBytes(object));
  const T* typed = ZQ_DynamicCast<T>(back.get());
  if (typed == nullptr) {
    ADD_FAILURE() << (packed ? "packed" : "text") << " copy of " << object.ClassName()
                  << " is not a " << T::ZQ_ClassName();
    return T();
  }
  return *typed;
}

// "" when `object` comes back equal through both forms and writes the same
// bytes again; else what differs.
inline std::string RoundTrip(const ZQ_TObject& object) {
  std::string problem = zq_check::RewriteOnce(object, true, "packed");
  return problem.empty() ? zq_check::RewriteOnce(object, false, "text") : problem;
}

// The fuzz target's check of `bytes`: "" unless something other than a
// stream error escapes, or an object read fails to round-trip.
inline std::string Check(const std::string& bytes) {
  return zq_check::CheckStreams(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace zqtest
