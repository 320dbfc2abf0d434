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
#include <vector>

#include "magic/imr_magic-priv.h"
#include "magic/imr_magic.h"
#include "tests/support/object_forms.h"

namespace magicfuzz {

using testsupport::Packed;
using testsupport::Printed;
using testsupport::ReadBack;
using testsupport::Unpacked;
using testsupport::Written;

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
    std::vector<std::string> list = {"", "I", "II*\0\x08\0\0\0MM\0*[a=b]%%EOF\x10\0\x20\0"};
    std::string wide(5000, '\0');
    for (std::size_t i = 0; i < wide.size(); ++i) wide[i] = static_cast<char>(i * 7 + (i >> 8));
    list.push_back(wide);
    list.push_back(std::string(4096, '\xFF'));
    return list;
  }();
  return probes;
}

inline PXC_TBuffer ProbeBuffer(const std::string& probe) {
  return probe.empty() ? PXC_TBuffer()
                       : PXC_TBuffer(probe.data(), probe.size(), ZQ_TURL::FromPath(ZQ_TString("/fuzz/probe")));
}

// Whether running `chain` over `probe` raises.
inline bool Raises(const IMR_TMatch& chain, const std::string& probe) {
  PXC_TBuffer buffer = ProbeBuffer(probe);
  PXC_TImageTicket ticket;
  bool requested = false;
  try {
    chain(ZQ_TString("arg"), buffer, ticket, requested, PXC_FL_DEPENDENCIES, 0);
  } catch (const ZQ_EException&) {
    return true;
  }
  return false;
}

// What `chain` does on every probe: "P", "F" or the class of what it raised,
// and the ticket's format, plugin list and extended information.
inline std::string Behaviour(const IMR_TMatch& chain) {
  std::string text;
  for (const std::string& probe : Probes()) {
    PXC_TBuffer buffer = ProbeBuffer(probe);
    for (PXC_TFillLevel level : {PXC_FL_FORMAT, PXC_FL_DEPENDENCIES}) {
      PXC_TImageTicket ticket;
      bool requested = false;
      try {
        text += chain(ZQ_TString("arg"), buffer, ticket, requested, level, 0) ? 'P' : 'F';
      } catch (const ZQ_EException& error) {
        text += error.ClassName();
      }
      text += requested ? "r " : " ";
      text += ticket.FileFormat().Std() + " " +
              PXC_Any2String(ZQ_TAny(static_cast<const ZQ_IPackable&>(ticket))).Std() + "\n";
    }
  }
  return text;
}

// A chain must survive copying, packing and writing unchanged: the copies
// print alike, compare equal and behave alike.
inline void CheckCopies(const IMR_TMatch& chain) {
  const std::string printed = Printed(chain);
  const std::string behaviour = Behaviour(chain);
  std::unique_ptr<ZQ_IPackable> clone(chain.ZQ_Clone());
  const IMR_TMatch* cloned = dynamic_cast<const IMR_TMatch*>(clone.get());
  if (cloned == nullptr || !chain.ZQ_IsIdent(*cloned) || Printed(*cloned) != printed ||
      Behaviour(*cloned) != behaviour) {
    Fail("clone differs", printed);
  }
  std::unique_ptr<IMR_TMatch> unpacked = Unpacked<IMR_TMatch>(Packed(chain));
  if (!unpacked || !chain.ZQ_IsIdent(*unpacked) || Printed(*unpacked) != printed ||
      Behaviour(*unpacked) != behaviour) {
    Fail("packed copy differs", printed + "\n--\n" + (unpacked ? Printed(*unpacked) : "null"));
  }
  const std::string text = Written(chain);
  std::unique_ptr<IMR_TMatch> read = ReadBack<IMR_TMatch>(text);
  if (!read || !chain.ZQ_IsIdent(*read) || Printed(*read) != printed ||
      Behaviour(*read) != behaviour) {
    Fail("written copy differs", text + "\n--\n" + (read ? Printed(*read) : "null"));
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
    if (!probe.empty() && Raises(*element, probe)) Fail("an element raised", text);
  }
  // Behind a guard, as the table builder links it, nothing raises.
  const std::uint32_t length = element->MatchLength();
  std::unique_ptr<IMR_TMatch> chain(new IMR_TTrue);
  (chain.get()->*Linker::kAttach)(element.release());
  if (chain->MatchLength() != length) Fail("guard length", text);
  for (const std::string& probe : Probes()) {
    if (Raises(*chain, probe)) Fail("a guarded chain raised", text);
  }
  CheckCopies(*chain);
}

// One configured magic text: read as ReadMagicText reads the configuration
// value, which never raises; whatever table it gives can be run, printed,
// copied and traced.
inline void CheckMagicText(const ZQ_TString& text) {
  std::unique_ptr<ZQ_TDict> table(IMR_ReadMagicText(text));
  if (!table) return;
  const std::string traced = PXC_Any2String(ZQ_TAny(static_cast<const ZQ_IPackable&>(*table))).Std();
  (void)traced;
  for (const ZQ_TDict::Entry& entry : *table) {
    const ZQ_TList* chains = entry.value.DynamicCast<ZQ_TList>();
    if (chains == nullptr) continue;
    for (const ZQ_TList::Entry& chain : *chains) {
      if (const IMR_TMatch* match = chain.value.DynamicCast<IMR_TMatch>()) CheckCopies(*match);
    }
  }
}

inline std::string Hex(const std::uint8_t* data, std::size_t size) {
  static const char* const kDigits = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 15];
  }
  return text;
}

// The input as the text form, and spelled in hexadecimal as the packed form.
inline void CheckConfiguration(const std::uint8_t* data, std::size_t size) {
  CheckMagicText(ZQ_TString(std::string(reinterpret_cast<const char*>(data), size)));
  CheckMagicText(ZQ_TString(Hex(data, size)));
}

}  // namespace magicfuzz
