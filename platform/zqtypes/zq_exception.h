// ZQ_EException: the root of every exception family.  An exception carries a
// message (which may hold one "%s", filled from the datum when printed), a
// datum, and the place it was thrown from, with the stack when stacks are
// recorded (ZQ_EXCEPTION_STACKS=1 in the environment, or RecordStacks):
// walking the stack costs more than the rest of a throw.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "zqtypes/zq_any.h"

class ZQ_IThrowable : public virtual ZQ_IInterface {
  ZQ_CLASS_BOILERPLATE(ZQ_IThrowable)
 public:
  // Throws a copy of the object as its most-derived class.
  [[noreturn]] virtual void ZQ_Raise() const = 0;
};

class ZQ_EException : public ZQ_TObject,
                      public virtual ZQ_IThrowable,
                      public virtual ZQ_IPackable,
                      public virtual ZQ_IPrintable,
                      public virtual ZQ_IHumanReadable,
                      public std::exception {
  ZQ_CLASS_BOILERPLATE(ZQ_EException)
 public:
  ZQ_EException() = default;
  ZQ_EException(const ZQ_TString& message, const ZQ_TAny& data);
  ZQ_EException(const ZQ_EException& other);
  ZQ_EException& operator=(const ZQ_EException& other);
  ~ZQ_EException() override = default;

  static ZQ_TObject* ZQ_Create();

  const ZQ_TString& Message() const { return iMessage; }
  void SetMessage(const ZQ_TString& message);
  const ZQ_TAny& Data() const { return iData; }
  int Line() const { return iLine; }
  const ZQ_TString& File() const { return iFile; }
  // The message with its "%s" replaced by the datum's text.
  ZQ_TString Text() const;
  // One line per recorded frame.
  ZQ_TString StackTrace() const;

  // Records the throwing place, and the current stack when stacks are recorded.
  void __PREPARE_FOR_THROW__(int line, const char* file);
  // Whether throws record the stack; the default comes from the environment.
  static bool RecordsStacks();
  static void RecordStacks(bool record);

  [[noreturn]] void ZQ_Raise() const override { throw *this; }
  const char* what() const noexcept override;

  // "<class>: <text>", the place, then the stack.
  void PrintOn(std::ostream& out) const override;

  void ZQ_Pack(ZQ_IPacking& out) const override;
  void ZQ_Unpack(ZQ_IUnpacking& in) override;
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new ZQ_EException(*this); }
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override;
  // Text form: the message, the datum, the line, the file and the stack.
  bool WriteTo(ZQ_THumanReadableStream& out) const override;
  bool ReadFrom(ZQ_THumanReadableStream& in) override;

 private:
  void RefreshWhat();

  ZQ_TString iMessage;
  ZQ_TAny iData;
  int iLine = 0;
  ZQ_TString iFile;
  std::vector<void*> iFrames;  // raw return addresses, symbolised on demand
  ZQ_TString iStack;           // symbolised frames carried by a packed copy
  std::string iWhat;
};

// Writes a whole exception class: constructors, raise, clone and the class
// boilerplate.  Its class object comes from ZQ_EXCEPTION_IMPLEMENT.
#define ZQ_DECLARE_EXCEPTION_BODY(Cls, Parent)                                    \
 public:                                                                          \
  Cls() = default;                                                                \
  Cls(const Cls&) = default;                                                      \
  Cls& operator=(const Cls&) = default;                                           \
  ~Cls() override = default;                                                      \
  static ZQ_TObject* ZQ_Create() { return new Cls; }                              \
  [[noreturn]] void ZQ_Raise() const override { throw *this; }                    \
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new Cls(*this); } \
  ZQ_CLASS_BOILERPLATE(Cls)

// An exception class with a (message, data) constructor.
#define ZQ_DECLARE_EXCEPTION(API, Cls, Parent)                                    \
  class API Cls : public Parent {                                                 \
    ZQ_DECLARE_EXCEPTION_BODY(Cls, Parent)                                        \
   public:                                                                        \
    Cls(const ZQ_TString& message, const ZQ_TAny& data) : Parent(message, data) {} \
  };

// An exception class with the default constructor only.
#define ZQ_DECLARE_EXCEPTION_PLAIN(API, Cls, Parent)                              \
  class API Cls : public Parent {                                                 \
    ZQ_DECLARE_EXCEPTION_BODY(Cls, Parent)                                        \
  };

#define ZQ_EXCEPTION_IMPLEMENT(Cls, Parent)                                       \
  ZQ_CLASS_DEFINE(Cls, false, Parent::ZQ_ClassObject(), &Cls::ZQ_Create, nullptr)  \
  ZQ_DYNAMIC_INFO(Cls, Parent)

#define ZQ_EXPORT __attribute__((visibility("default")))

// The foundation library's own failures.
ZQ_DECLARE_EXCEPTION(ZQ_EXPORT, ZQ_EStream, ZQ_EException)
// The data ended before the item being read.
ZQ_DECLARE_EXCEPTION(ZQ_EXPORT, ZQ_EStreamTruncated, ZQ_EStream)
// The data is not in the form expected (wrong section, bad text, bad length).
ZQ_DECLARE_EXCEPTION(ZQ_EXPORT, ZQ_EStreamFormat, ZQ_EStream)
// A stream names a class that is not registered or cannot be created.
ZQ_DECLARE_EXCEPTION(ZQ_EXPORT, ZQ_EUnknownClass, ZQ_EStream)
// An index or key outside a container.
ZQ_DECLARE_EXCEPTION(ZQ_EXPORT, ZQ_ERange, ZQ_EException)

// Builds an exception, records the place and raises it as its own class.
template <class E>
[[noreturn]] void ZQ_Throw(int line, const char* file, const ZQ_TString& message,
                           const ZQ_TAny& data = ZQ_TAny()) {
  E error(message, data);
  error.__PREPARE_FOR_THROW__(line, file);
  error.ZQ_Raise();
}
#define ZQ_THROW(E, ...) ZQ_Throw<E>(__LINE__, __FILE__, __VA_ARGS__)
