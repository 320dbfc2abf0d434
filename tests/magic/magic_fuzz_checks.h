// What the magic fuzz targets do with one input, shared with the test that
// replays their reproducers (tests/data/magic/regress).  A check returns
// normally or aborts (through the sanitizers, or an uncaught exception) on
// a fault; failed expectations call `Fail`.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "magic/imr_magic-priv.h"
#include "magic/imr_magic.h"
#include "tests/support/object_forms.h"

namespace magicfuzz {

using namespace testsupport;

// Reaches the protected linking of IMR_TMatch, as the table builder links.
struct Linker : IMR_TMatch {
  static constexpr auto kAttach = &Linker::AttachNext;
};

[[noreturn]] inline void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "magic fuzz check failed: %s\n%s\n", what, detail.c_str());
  std::abort();
}

inline bool Initialise() {
  static const bool ready = __ZQ_INITIALIZATION_FUNCTION_IMR__();
  return ready;
}

// The buffers every element is run on: none, short, a typical header, and
// longer than the search window.
inline const std::vector<std::string>& Probes() {
  static const std::vector<std::string> probes = [] {
    static const char kHeader[] = "II*\0\x08\0\0\0MM\0*[a=b]%%EOF\x10\0\x20\0";
    std::vector<std::string> list = {"", "I", std::string(kHeader, sizeof kHeader - 1)};
    std::string wide(5000, '\0');
    for (std::size_t i = 0; i < wide.size(); ++i) wide[i] = static_cast<char>(i * 7 + (i >> 8));
    list.push_back(wide);
    list.push_back(std::string(4096, '\xFF'));
    return list;
  }();
  return probes;
}

// One run of `chain` over `probe` (no data when empty) at `level`: 'P' or
// 'F', or '!' and the class of what it raised; 'r' when it asked for a
// plugin; the ticket's format and everything it holds.
inline std::string Run(const IMR_TMatch& chain, const std::string& probe, PXC_TFillLevel level) {
  PXC_TBuffer buffer = probe.empty() ? PXC_TBuffer()
                                     : PXC_TBuffer(probe.data(), probe.size(),
                                                   ZQ_TURL::FromPath(ZQ_TString("/fuzz/probe")));
  PXC_TImageTicket ticket;
  bool requested = false;
  std::string text;
  try {
    text = chain(ZQ_TString("arg"), buffer, ticket, requested, level, 0) ? "P" : "F";
  } catch (const ZQ_EException& error) {
    text = std::string("!") + error.ClassName();
  }
  return text + (requested ? "r " : " ") + ticket.FileFormat().Std() + " " +
         PXC_Any2String(ZQ_TAny(static_cast<const ZQ_IPackable&>(ticket))).Std() + "\n";
}

// What `chain` does on every probe at two levels.
inline std::string Behaviour(const IMR_TMatch& chain) {
  std::string text;
  for (const std::string& probe : Probes()) {
    for (PXC_TFillLevel level : {PXC_FL_FORMAT, PXC_FL_DEPENDENCIES}) text += Run(chain, probe, level);
  }
  return text;
}

// A chain must survive copying, packing and writing unchanged: the copies
// print alike, compare equal and behave alike.
inline void CheckCopies(const IMR_TMatch& chain) {
  const std::string printed = Printed(chain);
  const std::string behaviour = Behaviour(chain);
  const std::string text = Written(chain);
  std::unique_ptr<ZQ_IPackable> clone(chain.ZQ_Clone());
  std::unique_ptr<IMR_TMatch> unpacked = Unpacked<IMR_TMatch>(Packed(chain));
  std::unique_ptr<IMR_TMatch> read = ReadBack<IMR_TMatch>(text);
  const std::pair<const char*, const IMR_TMatch*> copies[] = {
      {"clone differs", dynamic_cast<const IMR_TMatch*>(clone.get())},
      {"packed copy differs", unpacked.get()},
      {"written copy differs", read.get()}};
  for (const auto& [what, copy] : copies) {
    if (copy == nullptr || !chain.ZQ_IsIdent(*copy) || Printed(*copy) != printed ||
        Behaviour(*copy) != behaviour) {
      Fail(what, text + "\n--\n" + (copy ? Printed(*copy) : "null"));
    }
  }
}

// One entry text: parsed, or refused with IMR_EMagicInvalidMagicEntry and
// the text as datum; a parsed element survives evaluation alone and behind a
// guard, and copying.
inline void CheckEntryText(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);  // up to its first NUL
  std::unique_ptr<IMR_TMatch> element;
  try {
    element.reset(ParseMagicEntry(text.c_str()));
  } catch (const IMR_EMagicInvalidMagicEntry& error) {
    if (error.Message() != ZQ_TString("Invalid magic entry %s") ||
        error.Data().ToText() != ZQ_TString(text.c_str())) {
      Fail("refusal without the text", error.Text().Std());
    }
    return;
  }
  if (!element) Fail("no element and no refusal", text);
  CheckCopies(*element);
  // Alone, only a buffer without data may make an element raise.
  for (const std::string& probe : Probes()) {
    if (!probe.empty() && Run(*element, probe, PXC_FL_DEPENDENCIES)[0] == '!') {
      Fail("an element raised", text);
    }
  }
  // Behind a guard, as the table builder links it, nothing raises.
  const std::uint32_t length = element->MatchLength();
  std::unique_ptr<IMR_TMatch> chain(new IMR_TTrue);
  (chain.get()->*Linker::kAttach)(element.release());
  if (chain->MatchLength() != length) Fail("guard length", text);
  for (const std::string& probe : Probes()) {
    if (Run(*chain, probe, PXC_FL_DEPENDENCIES)[0] == '!') Fail("a guarded chain raised", text);
  }
  CheckCopies(*chain);
}

// One configured magic text: read as ReadMagicText reads the configuration
// value, which never raises; whatever table it gives can be run, printed,
// copied and traced.
inline void CheckMagicText(const ZQ_TString& text) {
  std::unique_ptr<ZQ_TDict> table(IMR_ReadMagicText(text));
  if (!table) return;
  PXC_Any2String(ZQ_TAny(static_cast<const ZQ_IPackable&>(*table)));  // the trace of a loaded table
  for (const ZQ_TDict::Entry& entry : *table) {
    const ZQ_TList* chains = entry.value.DynamicCast<ZQ_TList>();
    if (chains == nullptr) continue;
    for (const ZQ_TList::Entry& chain : *chains) {
      if (const IMR_TMatch* match = chain.value.DynamicCast<IMR_TMatch>()) CheckCopies(*match);
    }
  }
}

// The input as the text form, and spelled in hexadecimal as the packed form.
inline void CheckConfiguration(const std::uint8_t* data, std::size_t size) {
  CheckMagicText(ZQ_TString(std::string(reinterpret_cast<const char*>(data), size)));
  std::string hex;
  for (std::size_t i = 0; i < size; ++i) {
    hex += "0123456789ABCDEF"[data[i] >> 4];
    hex += "0123456789ABCDEF"[data[i] & 15];
  }
  CheckMagicText(ZQ_TString(hex));
}

}  // namespace magicfuzz
