#include "magic_test_support.h"

#include <cstdlib>
#include <utility>

namespace magictest {

namespace {

// Reaches the protected linking of IMR_TMatch, as pointers to members.
struct Linker : IMR_TMatch {
  static constexpr auto kAttach = &Linker::AttachNext;
  static constexpr auto kNext = &Linker::Next;
};

std::string Joined(const ZQ_TList& list, char separator) {
  std::string text;
  for (const ZQ_TList::Entry& entry : list) {
    if (!text.empty()) text += separator;
    text += entry.value.ToText().Std();
  }
  return text;
}

}  // namespace

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) bytes += static_cast<char>(value);
  return bytes;
}

std::string Padded(std::string bytes, std::size_t size) {
  return bytes.size() < size ? bytes.append(size - bytes.size(), '\0') : bytes;
}

PXC_TBuffer Buffer(const std::string& bytes) {
  if (bytes.empty()) return PXC_TBuffer();
  return PXC_TBuffer(bytes.data(), bytes.size(), ZQ_TURL::FromPath(ZQ_TString("/magic/test")));
}

std::unique_ptr<IMR_TMatch> Parse(const char* text) {
  return std::unique_ptr<IMR_TMatch>(ParseMagicEntry(text));
}

IMR_TMatch* Attach(IMR_TMatch& element, IMR_TMatch* next) { return (element.*Linker::kAttach)(next); }

const IMR_TMatch* NextOf(const IMR_TMatch& element) { return (element.*Linker::kNext)(); }

std::unique_ptr<IMR_TMatch> Chain(const std::vector<const char*>& texts, bool guarded) {
  std::unique_ptr<IMR_TMatch> head(guarded ? new IMR_TTrue : nullptr);
  IMR_TMatch* last = head.get();
  for (const char* text : texts) {
    std::unique_ptr<IMR_TMatch> element = Parse(text);
    last = last ? Attach(*last, element.release()) : (head = std::move(element)).get();
  }
  return head;
}

Outcome RunOn(const IMR_TMatch& chain, const std::string& bytes, PXC_TImageTicket& ticket,
              PXC_TFillLevel level, const char* argument) {
  PXC_TBuffer buffer = Buffer(bytes);
  Outcome run;
  run.passed = chain(ZQ_TString(argument), buffer, ticket, run.pluginRequested, level, 0);
  return run;
}

bool Passes(const IMR_TMatch& chain, const std::string& bytes, PXC_TFillLevel level) {
  PXC_TImageTicket ticket;
  return RunOn(chain, bytes, ticket, level).passed;
}

std::string PluginList(const PXC_TImageTicket& ticket) {
  PXC_TImageTicket copy(ticket);
  const ZQ_TAny* value = Tickets::Internal(copy).ValueOfKey("imr_plugins");
  const ZQ_TList* list = value ? value->DynamicCast<ZQ_TList>() : nullptr;
  return list ? Joined(*list, ',') : "-";
}

std::string Extended(const PXC_TImageTicket& ticket, const char* key) {
  const ZQ_TAny* value = ticket.ExtendedInfo().ValueOfKey(key);
  return value ? value->ToText().Std() : "-";
}

std::string Hex(const std::string& bytes, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string text;
  for (unsigned char byte : bytes) {
    text += digits[byte >> 4];
    text += digits[byte & 15];
  }
  return text;
}

bool UseShippedModules() {
  ::setenv("IMR_PLUGIN_PATH", IMR_MODULE_DIR, 1);
  if (!__ZQ_INITIALIZATION_FUNCTION_IMR__()) return false;
  IMR_TCore::sReadFromCache = false;
  IMR_TCore::sWriteToCache = false;
  return true;
}

std::string FormatOf(const IMR_TCore& core, const std::string& path, PXC_TFillLevel level) {
  PXC_TImageProxy proxy;
  try {
    core.FillImageProxy(proxy, ZQ_TURL::FromPath(ZQ_TString(path)), level, IMR_IT_ALL);
  } catch (const IMR_EPluginFileNotRecognized&) {
    return "";
  } catch (const IMR_EPluginCannotReadFile&) {
    return "";
  } catch (const ZQ_EException& error) {
    return std::string("!") + error.ClassName() + ": " + error.Text().Std();
  }
  const PXC_TImageTicket* selected = proxy.Selected();
  if (selected == nullptr) return "!no selected image";
  if (selected->FillLevel() < level) return "!filled to " + std::to_string(selected->FillLevel());
  return selected->FileFormat().Std();
}

std::string Items(const ZQ_TList& list) { return Joined(list, ' '); }

ZQ_TList List(std::initializer_list<const char*> items) {
  ZQ_TList list;
  for (const char* item : items) list.AddAtTail(ZQ_TAny(ZQ_TString(item)));
  return list;
}

const ZQ_TList& DefaultSelection() {
  const ZQ_TAny* entry = std::as_const(IMR_TMagic::Selections()).ValueOfKey(IMR_kDefaultSelection);
  static const ZQ_TList kNone;
  const ZQ_TList* list = entry ? entry->DynamicCast<ZQ_TList>() : nullptr;
  return list ? *list : kNone;
}

}  // namespace magictest
