// Helpers of the foundation library's tests: the shared helpers
// (tests/support), and objects written in both stream forms and read back as
// a given class.
#pragma once

#include <gtest/gtest.h>

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

// The object written in the packed form and rebuilt as a T.
template <class T>
T PackedCopy(const ZQ_IPackable& object) {
  std::unique_ptr<ZQ_TObject> back = ExtractPacked(PackedBytes(object));
  const T* typed = ZQ_DynamicCast<T>(back.get());
  if (typed == nullptr) {
    ADD_FAILURE() << "packed copy of " << object.ClassName() << " is not a " << T::ZQ_ClassName();
    return T();
  }
  return *typed;
}

// The object written in the text form and rebuilt as a T.
template <class T>
T TextCopy(const ZQ_IInterface& object) {
  std::unique_ptr<ZQ_TObject> back = ExtractText(TextBytes(object));
  const T* typed = ZQ_DynamicCast<T>(back.get());
  if (typed == nullptr) {
    ADD_FAILURE() << "text copy of " << object.ClassName() << " is not a " << T::ZQ_ClassName();
    return T();
  }
  return *typed;
}

// A variant carried through a one-entry list in the given form.
inline ZQ_TAny AnyCopy(const ZQ_TAny& value, bool packed) {
  ZQ_TList list;
  list.AddAtTail(value);
  ZQ_TList back = packed ? PackedCopy<ZQ_TList>(list) : TextCopy<ZQ_TList>(list);
  if (back.Entries() != 1) {
    ADD_FAILURE() << "list of one variant comes back with " << back.Entries() << " entries";
    return ZQ_TAny();
  }
  return back[0];
}

}  // namespace zqtest
