// Helpers of the magic recognition tests: chains built from entry texts,
// buffers over bytes in memory, runs of a chain on a ticket, the three
// serialized forms, captured traces and temporary folders.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "magic/imr_magic-priv.h"
#include "magic/imr_magic.h"

namespace magictest {

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

// The printed form.
std::string Printed(const IMR_TMatch& chain);
// The packed form and the element rebuilt from it through the class registry.
std::string Packed(const ZQ_IPackable& object);
std::unique_ptr<IMR_TMatch> Unpacked(const std::string& bytes);
// The human-readable form and the element rebuilt from it.
std::string Written(const ZQ_IInterface& object);
std::unique_ptr<IMR_TMatch> ReadBack(const std::string& text);

// Hexadecimal spelling of bytes.
std::string Hex(const std::string& bytes, bool upper);

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return iPath; }
  std::string operator/(const std::string& name) const { return iPath + "/" + name; }

 private:
  std::string iPath;
};

void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);
std::size_t Count(const std::string& text, const std::string& needle);

// Sends trace and log output to a file for the scope, with IMR_DebugFlag set
// to `mask` (restored afterwards).
class TraceCapture {
 public:
  explicit TraceCapture(unsigned int mask);
  ~TraceCapture();
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;
  std::string Text() const { return ReadFile(iDir / "log.txt"); }

 private:
  TempDir iDir;
  std::optional<std::string> iOldFile;
  unsigned int iOldMask;
};

// The exception of class E that `body` raises; a failure when it raises
// nothing or something else.
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

// The items of a selection list as "a b c".
std::string Items(const ZQ_TList& list);
// A list of selection items.
ZQ_TList List(std::initializer_list<const char*> items);
// The default selection.
const ZQ_TList& DefaultSelection();

}  // namespace magictest
