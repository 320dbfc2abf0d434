// Reads bytes as a packed object and as a text object; every object that comes
// back is written again in both forms and read back, and must come back equal
// and write the same bytes.  Shared by the zqtypes fuzz target and the
// regression test over the fuzz findings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "zqtypes/zqtypes.h"

namespace zq_check {

inline std::string PackedBytes(const ZQ_IPackable& object) {
  ZQ_TMemoryStream memory;
  ZQ_TDataStream out(memory);
  out.Insert(object);
  return std::string(memory.View());
}

inline std::string TextBytes(const ZQ_IInterface& object) {
  ZQ_TMemoryStream memory;
  ZQ_THumanReadableStream out(memory);
  out.Insert(object);
  return std::string(memory.View());
}

inline std::unique_ptr<ZQ_TObject> ExtractPacked(const std::string& bytes) {
  ZQ_TMemoryStream memory(bytes.data(), bytes.size());
  ZQ_TDataStream in(memory);
  return std::unique_ptr<ZQ_TObject>(in.Extract());
}

inline std::unique_ptr<ZQ_TObject> ExtractText(const std::string& bytes) {
  ZQ_TMemoryStream memory(bytes.data(), bytes.size());
  ZQ_THumanReadableStream in(memory);
  return std::unique_ptr<ZQ_TObject>(in.Extract());
}

// Equal in both directions (an object of a subclass may compare equal one way).
inline bool Same(const ZQ_IPackable& a, const ZQ_TObject* b) {
  const ZQ_IPackable* other = ZQ_DynamicCast<ZQ_IPackable>(b);
  return other != nullptr && a.ZQ_IsIdent(*other) && other->ZQ_IsIdent(a);
}

// Writes `object` in one form, reads it back and writes it again.  Returns a
// description of the first difference, or "".
inline std::string RewriteOnce(const ZQ_TObject& object, bool packed, const char* origin) {
  const ZQ_IPackable* packable = ZQ_DynamicCast<ZQ_IPackable>(&object);
  if (packable == nullptr) return std::string(origin) + ": object is not packable";
  const char* form = packed ? "packed" : "text";
  std::string first;
  std::unique_ptr<ZQ_TObject> back;
  try {
    first = packed ? PackedBytes(*packable) : TextBytes(object);
    back = packed ? ExtractPacked(first) : ExtractText(first);
  } catch (const ZQ_EException& e) {
    return std::string(origin) + ": " + object.ClassName() + " in " + form +
           " form fails: " + e.what();
  }
  if (!Same(*packable, back.get())) {
    return std::string(origin) + ": " + object.ClassName() + " changes through the " + form +
           " form";
  }
  const ZQ_IPackable* again = ZQ_DynamicCast<ZQ_IPackable>(back.get());
  std::string second = packed ? PackedBytes(*again) : TextBytes(*back);
  if (second != first) {
    return std::string(origin) + ": " + object.ClassName() + " writes different " + form +
           " bytes the second time";
  }
  return {};
}

// Feeds `data` to both readers.  Stream errors are expected; anything else
// escapes to the caller.
inline std::string CheckStreams(const std::uint8_t* data, std::size_t size) {
  __ZQ_INITIALIZATION_FUNCTION_zqtypes__();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (int packedInput = 1; packedInput >= 0; --packedInput) {
    std::unique_ptr<ZQ_TObject> object;
    try {
      object = packedInput ? ExtractPacked(bytes) : ExtractText(bytes);
    } catch (const ZQ_EStream&) {
      continue;
    }
    if (!object) continue;
    const char* origin = packedInput ? "packed input" : "text input";
    for (bool packed : {true, false}) {
      std::string problem = RewriteOnce(*object, packed, origin);
      if (!problem.empty()) return problem;
    }
  }
  return {};
}

}  // namespace zq_check
