// Helpers of the magic recognition tests: the shared helpers (tests/support),
// chains built from entry texts, buffers over bytes in memory, runs of a
// chain on a ticket and captured traces.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "magic/imr_magic-priv.h"
#include "magic/imr_magic.h"
#include "tests/support/test_support.h"

namespace magictest {

using testsupport::Count;
using testsupport::LogCapture;
using testsupport::Packed;
using testsupport::Printed;
using testsupport::Raised;
using testsupport::ReadBack;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::Unpacked;
using testsupport::WriteFile;
using testsupport::Written;

// The ticket setters the tests need to prepare tickets.
class Tickets : public IMR_TTicketAccess {
 public:
  using IMR_TTicketAccess::ExtendedInfo;
  using IMR_TTicketAccess::Internal;
  using IMR_TTicketAccess::SetFileFormat;
  using IMR_TTicketAccess::SetFillLevel;
};

// Bytes from a list of byte values.
std::string Bytes(std::initializer_list<int> values);
// `bytes` followed by `fill` up to `size` bytes.
std::string Padded(std::string bytes, std::size_t size, char fill = '\0');

// A buffer over a copy of `bytes`, or an empty buffer (no data) for "".
PXC_TBuffer Buffer(const std::string& bytes);

// One element parsed from `text` (owned by the caller).
std::unique_ptr<IMR_TMatch> Parse(const char* text);
// Makes `next` the successor of `element` (AttachNext); returns `next`.
IMR_TMatch* Attach(IMR_TMatch& element, IMR_TMatch* next);
// The successor of `element` (Next), or null.
const IMR_TMatch* NextOf(const IMR_TMatch& element);
// A chain of the parsed `texts`, headed by an IMR_TTrue when `guarded`, as
// the magic tables build one.
std::unique_ptr<IMR_TMatch> Chain(const std::vector<const char*>& texts, bool guarded = true);

// The result of one run of a chain.
struct Outcome {
  bool passed = false;
  bool pluginRequested = false;
};
// Runs `chain` over `bytes` on `ticket` for `level` with `argument`.
Outcome RunOn(const IMR_TMatch& chain, const std::string& bytes, PXC_TImageTicket& ticket,
          PXC_TFillLevel level = PXC_FL_DEPENDENCIES, const char* argument = "");
// The same on a fresh ticket; only whether it passed.
bool Passes(const IMR_TMatch& chain, const std::string& bytes,
            PXC_TFillLevel level = PXC_FL_DEPENDENCIES);

// The ticket's plugin list "imr_plugins" as "name,argument,..." ("-" when absent).
std::string PluginList(const PXC_TImageTicket& ticket);
// The ticket's extended-information text of `key` ("-" when absent).
std::string Extended(const PXC_TImageTicket& ticket, const char* key);

// Hexadecimal spelling of bytes.
std::string Hex(const std::string& bytes, bool upper);

// Sends trace and log output to a file for the scope, with IMR_DebugFlag set
// to `mask` (restored afterwards).
class TraceCapture {
 public:
  explicit TraceCapture(unsigned int mask);
  ~TraceCapture();
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;
  std::string Text() const { return iLog.Text(); }

 private:
  LogCapture iLog;
  unsigned int iOldMask;
};

// Initialises the library over the modules of this build (IMR_MODULE_DIR)
// with the result cache off, so that nothing is written beside the files nor
// read from earlier runs.  False when the library does not initialise.
bool UseShippedModules();

// The items of a selection list as "a b c".
std::string Items(const ZQ_TList& list);
// A list of selection items.
ZQ_TList List(std::initializer_list<const char*> items);
// The default selection.
const ZQ_TList& DefaultSelection();

}  // namespace magictest
