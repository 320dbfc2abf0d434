#include "zqtypes/zq_exception.h"

#include <execinfo.h>

#include <atomic>
#include <cstdlib>
#include <string_view>
#include <ostream>
#include <sstream>

#include "zqtypes/zq_streams.h"

namespace {
// The innermost frames around the throw site; each frame costs an unwinding
// step, and a throw is common enough (every unrecognised file) to count.
constexpr int kMaxFrames = 8;
}

ZQ_EException::ZQ_EException(const ZQ_TString& message, const ZQ_TAny& data)
    : iMessage(message), iData(data) {
  RefreshWhat();
}

ZQ_EException::ZQ_EException(const ZQ_EException& other)
    : ZQ_IInterface(),
      ZQ_IThrowable(),
      ZQ_IPackable(),
      ZQ_IPrintable(),
      ZQ_IHumanReadable(),
      ZQ_TObject(),
      std::exception(),
      iMessage(other.iMessage),
      iData(other.iData),
      iLine(other.iLine),
      iFile(other.iFile),
      iFrames(other.iFrames),
      iStack(other.iStack),
      iWhat(other.iWhat) {}

ZQ_EException& ZQ_EException::operator=(const ZQ_EException& other) {
  iMessage = other.iMessage;
  iData = other.iData;
  iLine = other.iLine;
  iFile = other.iFile;
  iFrames = other.iFrames;
  iStack = other.iStack;
  iWhat = other.iWhat;
  return *this;
}

ZQ_TObject* ZQ_EException::ZQ_Create() { return new ZQ_EException; }

void ZQ_EException::SetMessage(const ZQ_TString& message) {
  iMessage = message;
  RefreshWhat();
}

ZQ_TString ZQ_EException::Text() const {
  int at = iMessage.Find("%s");
  if (at < 0) return iMessage;
  ZQ_TString text = iMessage.Substring(0, at);
  text += iData.IsIllegal() ? ZQ_TString() : iData.ToText();
  text += iMessage.Substring(at + 2).View();
  return text;
}

void ZQ_EException::RefreshWhat() {
  try {
    iWhat = Text().Std();
  } catch (...) {
    iWhat = iMessage.Std();
  }
}

const char* ZQ_EException::what() const noexcept {
  return iWhat.empty() ? iMessage.Narrow() : iWhat.c_str();
}

namespace {
std::atomic<bool>& StacksRecorded() {
  static std::atomic<bool> recorded = [] {
    const char* setting = std::getenv("ZQ_EXCEPTION_STACKS");
    return setting != nullptr && *setting != '\0' && std::string_view(setting) != "0";
  }();
  return recorded;
}
}  // namespace

bool ZQ_EException::RecordsStacks() { return StacksRecorded().load(std::memory_order_relaxed); }

void ZQ_EException::RecordStacks(bool record) { StacksRecorded().store(record, std::memory_order_relaxed); }

void ZQ_EException::__PREPARE_FOR_THROW__(int line, const char* file) {
  iLine = line;
  iFile = ZQ_TString(file);
  iFrames.clear();
  if (RecordsStacks()) {
    iFrames.resize(kMaxFrames);
    int count = backtrace(iFrames.data(), kMaxFrames);
    iFrames.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
  }
  RefreshWhat();
}

ZQ_TString ZQ_EException::StackTrace() const {
  if (iFrames.empty()) return iStack;
  std::string text;
  char** symbols = backtrace_symbols(iFrames.data(), static_cast<int>(iFrames.size()));
  for (std::size_t i = 0; i < iFrames.size(); ++i) {
    text += "  ";
    text += symbols ? symbols[i] : "?";
    text += '\n';
  }
  std::free(symbols);
  return ZQ_TString(text);
}

void ZQ_EException::PrintOn(std::ostream& out) const {
  out << ClassName() << ": " << Text();
  if (iLine != 0) out << " (" << iFile << ':' << iLine << ')';
  out << '\n';
  out << StackTrace();
}

void ZQ_EException::ZQ_Pack(ZQ_IPacking& out) const {
  out.BeginSection("ZQ_EException");
  out.PackString(iMessage);
  iData.Pack(out);
  out.PackI32(iLine);
  out.PackString(iFile);
  out.PackString(StackTrace());
  out.EndSection("ZQ_EException");
}

void ZQ_EException::ZQ_Unpack(ZQ_IUnpacking& in) {
  in.EnterSection("ZQ_EException");
  iMessage = in.UnpackString();
  iData = ZQ_TAny::Unpack(in);
  iLine = in.UnpackI32();
  iFile = in.UnpackString();
  iStack = in.UnpackString();
  iFrames.clear();
  in.LeaveSection("ZQ_EException");
  RefreshWhat();
}

bool ZQ_EException::WriteTo(ZQ_THumanReadableStream& out) const {
  out.WriteText(iMessage);
  iData.WriteTo(out);
  out.WriteI32(iLine);
  out.WriteText(iFile);
  out.WriteText(StackTrace());
  return false;
}

bool ZQ_EException::ReadFrom(ZQ_THumanReadableStream& in) {
  iMessage = in.ReadText();
  iData = in.ReadAny();
  iLine = in.ReadI32();
  iFile = in.ReadText();
  iStack = in.ReadText();
  iFrames.clear();
  RefreshWhat();
  return false;
}

bool ZQ_EException::ZQ_IsIdent(const ZQ_IPackable& other) const {
  if (!other.HasSuperclass(ClassName())) return false;
  const ZQ_EException* error = ZQ_DynamicCast<ZQ_EException>(&other);
  return error != nullptr && error->iMessage == iMessage && error->iData == iData;
}

ZQ_INTERFACE_IMPLEMENT(ZQ_IThrowable, ZQ_IInterface)
ZQ_CLASS_IMPLEMENT(ZQ_EException, ZQ_TObject, &ZQ_EException::ZQ_Create, nullptr,
                   ZQ_IThrowable, ZQ_IPackable, ZQ_IPrintable, ZQ_IHumanReadable)
ZQ_EXCEPTION_IMPLEMENT(ZQ_EStream, ZQ_EException)
ZQ_EXCEPTION_IMPLEMENT(ZQ_EStreamTruncated, ZQ_EStream)
ZQ_EXCEPTION_IMPLEMENT(ZQ_EStreamFormat, ZQ_EStream)
ZQ_EXCEPTION_IMPLEMENT(ZQ_EUnknownClass, ZQ_EStream)
ZQ_EXCEPTION_IMPLEMENT(ZQ_ERange, ZQ_EException)
