// Helpers of the magic recognition tests, besides the shared ones
// (tests/support): chains built from entry texts, buffers over bytes in
// memory, runs of a chain on a ticket, captured traces, selections.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "magic/imr_magic-priv.h"
#include "magic/imr_magic.h"
#include "tests/support/test_support.h"

namespace magictest {

using namespace testsupport;

// The ticket setters the tests need.
class Tickets : public IMR_TTicketAccess {
 public:
  using IMR_TTicketAccess::Internal;
  using IMR_TTicketAccess::SetFileFormat;
  using IMR_TTicketAccess::SetFillLevel;
};

// Bytes from a list of byte values.
std::string Bytes(std::initializer_list<int> values);
// `bytes` followed by zero bytes up to `size` bytes.
std::string Padded(std::string bytes, std::size_t size);
// A buffer over a copy of `bytes`, or an empty buffer (no data) for "".
PXC_TBuffer Buffer(const std::string& bytes);
// Hexadecimal spelling of bytes.
std::string Hex(const std::string& bytes, bool upper);

// One element parsed from `text`.
std::unique_ptr<IMR_TMatch> Parse(const char* text);
// Makes `next` the successor of `element` (AttachNext); returns `next`.
IMR_TMatch* Attach(IMR_TMatch& element, IMR_TMatch* next);
// The successor of `element` (Next), or null.
const IMR_TMatch* NextOf(const IMR_TMatch& element);
// A chain of the parsed `texts`, headed by an IMR_TTrue when `guarded`, as
// the magic tables build one.
std::unique_ptr<IMR_TMatch> Chain(const std::vector<const char*>& texts, bool guarded = true);

struct Outcome {
  bool passed = false;
  bool pluginRequested = false;
};
// Runs `chain` over `bytes` on `ticket` for `level` with `argument`.
Outcome RunOn(const IMR_TMatch& chain, const std::string& bytes, PXC_TImageTicket& ticket,
              PXC_TFillLevel level = PXC_FL_DEPENDENCIES, const char* argument = "");
// Whether `chain` passes over `bytes` on a fresh ticket.
bool Passes(const IMR_TMatch& chain, const std::string& bytes, PXC_TFillLevel level = PXC_FL_DEPENDENCIES);

// The ticket's plugin list "imr_plugins" as "name,argument,..." ("-" when absent).
std::string PluginList(const PXC_TImageTicket& ticket);
// The ticket's extended-information text of `key` ("-" when absent).
std::string Extended(const PXC_TImageTicket& ticket, const char* key);

// The log and trace output of the scope, with IMR_DebugFlag set to `mask`.
class TraceCapture {
 public:
  explicit TraceCapture(unsigned int mask) : iOldMask(IMR_DebugFlag) { IMR_DebugFlag = mask; }
  ~TraceCapture() { IMR_DebugFlag = iOldMask; }
  std::string Text() const { return iLog.Text(); }

 private:
  LogCapture iLog;
  unsigned int iOldMask;
};

// Initialises the library over the modules of this build (IMR_MODULE_DIR)
// with the result cache off, so that nothing is written beside the files nor
// read from earlier runs.  False when the library does not initialise.
bool UseShippedModules();
// The format `core` gives the file at `path` at `level`: "" when the file is
// declined, "!" and what went wrong otherwise (an error, no selected image,
// or a ticket filled short of `level`).
std::string FormatOf(const IMR_TCore& core, const std::string& path, PXC_TFillLevel level);

// File starts, each with the file format it must be given ("" when no
// magic entry may describe it): the small files written by ImageMagick
// (tests/data/magic/samples, named "im-..."), and hand-made ones for the
// chains of the shipped entries that neither those nor the corpus files
// pinned to one format (tests/e2e corpus_test) reach (magic_samples.cpp).
struct Sample {
  std::string name;  // a file name, with an extension that does not matter
  std::string bytes;
  std::string format;
};
std::vector<Sample> Samples();

// The items of a selection list as "a b c".
std::string Items(const ZQ_TList& list);
// A list of selection items.
ZQ_TList List(std::initializer_list<const char*> items);
// The default selection.
const ZQ_TList& DefaultSelection();

}  // namespace magictest
