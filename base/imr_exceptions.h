// The detection library's exceptions.  IMR_EPlugin and IMR_EMagic pack
// themselves as named sections around their parent's packed form; every
// other class packs as its group class does.
#pragma once

#include "hostlib/imr_host.h"

#define IMR_EXPORT __attribute__((visibility("default")))

// The root of the detection library's exceptions.
class IMR_EXPORT IMR_EPlugin : public ZQ_EException {
  ZQ_DECLARE_EXCEPTION_BODY(IMR_EPlugin, ZQ_EException)
 public:
  IMR_EPlugin(const ZQ_TString& message, const ZQ_TAny& data) : ZQ_EException(message, data) {}
  // A section "IMR_EPlugin" holding the ZQ_EException section.
  void ZQ_Pack(ZQ_IPacking& out) const override;
  void ZQ_Unpack(ZQ_IUnpacking& in) override;
};

ZQ_DECLARE_EXCEPTION_PLAIN(IMR_EXPORT, IMR_ENoContextPlugin, IMR_EPlugin)
ZQ_DECLARE_EXCEPTION(IMR_EXPORT, IMR_EPluginCannotReadFile, IMR_EPlugin)
ZQ_DECLARE_EXCEPTION_PLAIN(IMR_EXPORT, IMR_EPluginCannotUpdateTicket, IMR_EPlugin)
ZQ_DECLARE_EXCEPTION_PLAIN(IMR_EXPORT, IMR_EPluginDataBufferEmpty, IMR_EPlugin)
ZQ_DECLARE_EXCEPTION(IMR_EXPORT, IMR_EPluginFileNotRecognized, IMR_EPlugin)
ZQ_DECLARE_EXCEPTION_PLAIN(IMR_EXPORT, IMR_EPluginInterfaceCalled, IMR_EPlugin)
ZQ_DECLARE_EXCEPTION_PLAIN(IMR_EXPORT, IMR_EPluginInternal, IMR_EPlugin)
ZQ_DECLARE_EXCEPTION_PLAIN(IMR_EXPORT, IMR_EPluginListNotFound, IMR_EPlugin)
ZQ_DECLARE_EXCEPTION_PLAIN(IMR_EXPORT, IMR_EPluginNoDefaultPluginList, IMR_EPlugin)
ZQ_DECLARE_EXCEPTION_PLAIN(IMR_EXPORT, IMR_EPluginNotFound, IMR_EPlugin)
ZQ_DECLARE_EXCEPTION_PLAIN(IMR_EXPORT, IMR_EPluginParentProxyUndefined, IMR_EPlugin)
// The root of the magic recognition's exceptions.
class IMR_EXPORT IMR_EMagic : public IMR_EPlugin {
  ZQ_DECLARE_EXCEPTION_BODY(IMR_EMagic, IMR_EPlugin)
 public:
  IMR_EMagic(const ZQ_TString& message, const ZQ_TAny& data) : IMR_EPlugin(message, data) {}
  // A section "IMR_EMagic" holding exactly what IMR_EPlugin packs.
  void ZQ_Pack(ZQ_IPacking& out) const override;
  void ZQ_Unpack(ZQ_IUnpacking& in) override;
};

ZQ_DECLARE_EXCEPTION_PLAIN(IMR_EXPORT, IMR_EMagicDoubleMagicEntry, IMR_EMagic)
ZQ_DECLARE_EXCEPTION(IMR_EXPORT, IMR_EMagicDoubleSelectionEntry, IMR_EMagic)
ZQ_DECLARE_EXCEPTION_PLAIN(IMR_EXPORT, IMR_EMagicFileNotFound, IMR_EMagic)
ZQ_DECLARE_EXCEPTION_PLAIN(IMR_EXPORT, IMR_EMagicFileNotGiven, IMR_EMagic)
ZQ_DECLARE_EXCEPTION_PLAIN(IMR_EXPORT, IMR_EMagicInternal, IMR_EMagic)
ZQ_DECLARE_EXCEPTION(IMR_EXPORT, IMR_EMagicInvalidMagicEntry, IMR_EMagic)
ZQ_DECLARE_EXCEPTION_PLAIN(IMR_EXPORT, IMR_EMagicInvalidSelectionEntry, IMR_EMagic)
ZQ_DECLARE_EXCEPTION_PLAIN(IMR_EXPORT, IMR_EMagicMatchInterfaceCalled, IMR_EMagic)
ZQ_DECLARE_EXCEPTION_PLAIN(IMR_EXPORT, IMR_EMagicSelectionNotFound, IMR_EMagic)

// Class objects of the 22 classes, in registration order.
const ZQ_TClass* const* IMR_ExceptionClasses(std::size_t& count);

// The one way the library throws: the exception gets its class name as
// message when it has none, records the throwing line, file and stack, and is
// raised as its most-derived class.
template <class E>
[[noreturn]] void IMR_Raise(const E& error, int line, const char* file) {
  ZQ_TAny holder(static_cast<const ZQ_IPackable&>(error));
  ZQ_EException* raised = holder.DynamicCast<ZQ_EException>(file, line);
  if (raised->Message().IsEmpty()) raised->SetMessage(ZQ_TString(raised->ClassName()));
  raised->__PREPARE_FOR_THROW__(line, file);
  raised->ZQ_Raise();
  __builtin_unreachable();  // ZQ_Raise always throws
}
#define IMR_THROW(E) IMR_Raise(E(), __LINE__, __FILE__)
#define IMR_THROW_DATA(E, message, data) IMR_Raise(E(message, data), __LINE__, __FILE__)
