#include "magic_test_support.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace magictest {

namespace {

// Reaches the protected linking of IMR_TMatch through pointers to members,
// which a derived class may name.
struct Linker : IMR_TMatch {
  static constexpr auto kAttach = &Linker::AttachNext;
  static constexpr auto kNext = &Linker::Next;
};

}  // namespace

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) bytes += static_cast<char>(value);
  return bytes;
}

std::string Padded(std::string bytes, std::size_t size, char fill) {
  if (bytes.size() < size) bytes.append(size - bytes.size(), fill);
  return bytes;
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
  std::unique_ptr<IMR_TMatch> head;
  IMR_TMatch* last = nullptr;
  if (guarded) {
    head = std::make_unique<IMR_TTrue>();
    last = head.get();
  }
  for (const char* text : texts) {
    std::unique_ptr<IMR_TMatch> element = Parse(text);
    if (last == nullptr) {
      head = std::move(element);
      last = head.get();
    } else {
      last = Attach(*last, element.release());
    }
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
  if (list == nullptr) return "-";
  std::string text;
  for (const ZQ_TList::Entry& entry : *list) {
    if (!text.empty()) text += ',';
    text += entry.value.ToText().Std();
  }
  return text;
}

std::string Extended(const PXC_TImageTicket& ticket, const char* key) {
  const ZQ_TAny* value = ticket.ExtendedInfo().ValueOfKey(key);
  return value ? value->ToText().Std() : "-";
}

std::string Printed(const IMR_TMatch& chain) {
  std::ostringstream out;
  chain.PrintOn(out);
  return out.str();
}

std::string Packed(const ZQ_IPackable& object) {
  ZQ_TMemoryStream memory;
  ZQ_TDataStream stream(memory);
  stream.Insert(object);
  return std::string(memory.View());
}

std::unique_ptr<IMR_TMatch> Unpacked(const std::string& bytes) {
  ZQ_TMemoryStream memory(bytes.data(), bytes.size());
  ZQ_TDataStream stream(memory);
  std::unique_ptr<ZQ_TObject> object(stream.Extract(true));
  IMR_TMatch* match = ZQ_DynamicCast<IMR_TMatch>(object.get());
  if (match != nullptr) object.release();
  return std::unique_ptr<IMR_TMatch>(match);
}

std::string Written(const ZQ_IInterface& object) {
  ZQ_TMemoryStream memory;
  ZQ_THumanReadableStream stream(memory);
  stream.Insert(object);
  return std::string(memory.View());
}

std::unique_ptr<IMR_TMatch> ReadBack(const std::string& text) {
  ZQ_TMemoryStream memory(text.data(), text.size());
  ZQ_THumanReadableStream stream(memory);
  std::unique_ptr<ZQ_TObject> object(stream.Extract(true));
  IMR_TMatch* match = ZQ_DynamicCast<IMR_TMatch>(object.get());
  if (match != nullptr) object.release();
  return std::unique_ptr<IMR_TMatch>(match);
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

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/imrmagic.XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot make a temporary folder: " + std::string(strerror(errno)));
  }
  iPath = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(iPath, ignored);
}

void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

std::size_t Count(const std::string& text, const std::string& needle) {
  std::size_t count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
}

TraceCapture::TraceCapture(unsigned int mask) : iOldMask(IMR_DebugFlag) {
  if (const char* old = std::getenv("ZQMESG_LOG_FILE")) iOldFile = old;
  ::setenv("ZQMESG_LOG_FILE", (iDir / "log.txt").c_str(), 1);
  IMR_DebugFlag = mask;
}

TraceCapture::~TraceCapture() {
  IMR_DebugFlag = iOldMask;
  if (iOldFile) {
    ::setenv("ZQMESG_LOG_FILE", iOldFile->c_str(), 1);
  } else {
    ::unsetenv("ZQMESG_LOG_FILE");
  }
}

std::string Items(const ZQ_TList& list) {
  std::string text;
  for (const ZQ_TList::Entry& entry : list) {
    if (!text.empty()) text += ' ';
    text += entry.value.ToText().Std();
  }
  return text;
}

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
