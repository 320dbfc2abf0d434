#include "zqtypes/zq_protocols.h"

#include <string>

#include "zqtypes/zq_streams.h"

std::uint32_t ZQ_IPackable::ZQ_PackTypeID() const {
  // FNV-1a of the class name.
  std::uint32_t hash = 2166136261u;
  for (const char* c = ClassName(); *c != '\0'; ++c) {
    hash = (hash ^ static_cast<unsigned char>(*c)) * 16777619u;
  }
  return hash;
}

namespace {
thread_local int tIndentLevel = 0;
thread_local std::string tPrefix;
}  // namespace

void ZQ_IPrintable::Indent() { tPrefix.assign(static_cast<std::size_t>(++tIndentLevel) * 2, ' '); }

void ZQ_IPrintable::ReverseIndent() {
  if (tIndentLevel > 0) --tIndentLevel;
  tPrefix.assign(static_cast<std::size_t>(tIndentLevel) * 2, ' ');
}

const char* ZQ_IPrintable::Prefix() { return tPrefix.c_str(); }

void ZQ_IHumanReadable::ZQ_WriteTo(ZQ_THumanReadableStream& out) const { out.WriteObject(this); }

void ZQ_IHumanReadable::ZQ_ReadFrom(ZQ_THumanReadableStream& in) {
  if (ReadFrom(in)) {
    ZQ_THROW(ZQ_EStreamFormat, "Cannot read %s from text", ZQ_TString(ClassName()));
  }
}

ZQ_INTERFACE_IMPLEMENT(ZQ_IPackable, ZQ_IInterface)
ZQ_INTERFACE_IMPLEMENT(ZQ_IPrintable, ZQ_IInterface)
ZQ_INTERFACE_IMPLEMENT(ZQ_IHumanReadable, ZQ_IInterface)
