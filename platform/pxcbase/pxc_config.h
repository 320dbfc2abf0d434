// The configuration service: one JSON document read by path
// ("/Resources/Modules/IMR/Strategy").  Objects are ZQ_TDict (in document
// order), arrays ZQ_TList, strings ZQ_TString, unsigned numbers ZQ_TUInt32,
// booleans ZQ_TBool; other numbers are kept as their text.
//
// The default document is compiled into the library.  The file named by the
// environment variable IMR_CONFIG is laid over it: objects merge key by key,
// other values replace.  An overlay that cannot be read or parsed is reported
// once on the log (file, line, column, reason) and the default stays in force.
#pragma once

#include "zqtypes/zqtypes.h"

class PXC_ICfs : public virtual ZQ_IInterface {
  ZQ_CLASS_BOILERPLATE(PXC_ICfs)
 public:
  // A copy of the value at `path`; PXC_EPXCBASE when there is none.
  virtual ZQ_TAny Value(const ZQ_TString& path) const = 0;
  virtual bool HasValue(const ZQ_TString& path) const = 0;
  // Why the IMR_CONFIG overlay was not applied, or empty.
  virtual ZQ_TString LoadError() const = 0;
};

// The process's configuration service.
PXC_ICfs& PXC_CfsWrap();
// Reads the default document and the IMR_CONFIG overlay again.
void PXC_CfsReload();
// A number that changes with every load of the configuration: what is worked
// out from the configuration may be kept while it stays the same.
std::uint64_t PXC_CfsGeneration();
// The embedded default document.
const char* PXC_DefaultConfiguration();
