// An object's printed, packed and human-readable forms, and objects rebuilt
// from the last two through the class registry.  Header only and free of the
// test framework, so that the fuzz checks use it as well as the tests.
#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <type_traits>

#include "zqtypes/zqtypes.h"

namespace testsupport {

// The diagnostic form of `object` (PrintOn).
inline std::string Printed(const ZQ_IPrintable& object) {
  std::ostringstream out;
  object.PrintOn(out);
  return out.str();
}

// The packed form of `object`.
inline std::string Packed(const ZQ_IPackable& object) {
  ZQ_TMemoryStream memory;
  ZQ_TDataStream stream(memory);
  stream.Insert(object);
  return std::string(memory.View());
}

// The human-readable form of `object`.
inline std::string Written(const ZQ_IInterface& object) {
  ZQ_TMemoryStream memory;
  ZQ_THumanReadableStream stream(memory);
  stream.Insert(object);
  return std::string(memory.View());
}

// The object that `bytes` hold, read whole through a Stream (ZQ_TDataStream
// or ZQ_THumanReadableStream), as a T; null when it is of another class.
template <class T, class Stream>
std::unique_ptr<T> Rebuilt(const std::string& bytes) {
  ZQ_TMemoryStream memory(bytes.data(), bytes.size());
  Stream stream(memory);
  std::unique_ptr<ZQ_TObject> object(stream.Extract(true));
  if constexpr (std::is_same_v<T, ZQ_TObject>) {
    return object;
  } else {
    T* typed = ZQ_DynamicCast<T>(object.get());
    if (typed != nullptr) object.release();
    return std::unique_ptr<T>(typed);
  }
}

// The object rebuilt from its packed form.
template <class T = ZQ_TObject>
std::unique_ptr<T> Unpacked(const std::string& bytes) {
  return Rebuilt<T, ZQ_TDataStream>(bytes);
}

// The object rebuilt from its human-readable form.
template <class T = ZQ_TObject>
std::unique_ptr<T> ReadBack(const std::string& text) {
  return Rebuilt<T, ZQ_THumanReadableStream>(text);
}

}  // namespace testsupport
