#include "base/imr_exceptions.h"

void IMR_EPlugin::ZQ_Pack(ZQ_IPacking& out) const {
  out.BeginSection(ZQ_ClassObject()->Name());
  ZQ_EException::ZQ_Pack(out);
  out.EndSection(ZQ_ClassObject()->Name());
}

void IMR_EPlugin::ZQ_Unpack(ZQ_IUnpacking& in) {
  in.EnterSection(ZQ_ClassObject()->Name());
  ZQ_EException::ZQ_Unpack(in);
  in.LeaveSection(ZQ_ClassObject()->Name());
}

void IMR_EMagic::ZQ_Pack(ZQ_IPacking& out) const {
  out.BeginSection(ZQ_ClassObject()->Name());
  IMR_EPlugin::ZQ_Pack(out);
  out.EndSection(ZQ_ClassObject()->Name());
}

void IMR_EMagic::ZQ_Unpack(ZQ_IUnpacking& in) {
  in.EnterSection(ZQ_ClassObject()->Name());
  IMR_EPlugin::ZQ_Unpack(in);
  in.LeaveSection(ZQ_ClassObject()->Name());
}

ZQ_EXCEPTION_IMPLEMENT(IMR_EPlugin, ZQ_EException)
ZQ_EXCEPTION_IMPLEMENT(IMR_ENoContextPlugin, IMR_EPlugin)
ZQ_EXCEPTION_IMPLEMENT(IMR_EPluginCannotReadFile, IMR_EPlugin)
ZQ_EXCEPTION_IMPLEMENT(IMR_EPluginCannotUpdateTicket, IMR_EPlugin)
ZQ_EXCEPTION_IMPLEMENT(IMR_EPluginDataBufferEmpty, IMR_EPlugin)
ZQ_EXCEPTION_IMPLEMENT(IMR_EPluginFileNotRecognized, IMR_EPlugin)
ZQ_EXCEPTION_IMPLEMENT(IMR_EPluginInterfaceCalled, IMR_EPlugin)
ZQ_EXCEPTION_IMPLEMENT(IMR_EPluginInternal, IMR_EPlugin)
ZQ_EXCEPTION_IMPLEMENT(IMR_EPluginListNotFound, IMR_EPlugin)
ZQ_EXCEPTION_IMPLEMENT(IMR_EPluginNoDefaultPluginList, IMR_EPlugin)
ZQ_EXCEPTION_IMPLEMENT(IMR_EPluginNotFound, IMR_EPlugin)
ZQ_EXCEPTION_IMPLEMENT(IMR_EPluginParentProxyUndefined, IMR_EPlugin)
ZQ_EXCEPTION_IMPLEMENT(IMR_EMagic, IMR_EPlugin)
ZQ_EXCEPTION_IMPLEMENT(IMR_EMagicDoubleMagicEntry, IMR_EMagic)
ZQ_EXCEPTION_IMPLEMENT(IMR_EMagicDoubleSelectionEntry, IMR_EMagic)
ZQ_EXCEPTION_IMPLEMENT(IMR_EMagicFileNotFound, IMR_EMagic)
ZQ_EXCEPTION_IMPLEMENT(IMR_EMagicFileNotGiven, IMR_EMagic)
ZQ_EXCEPTION_IMPLEMENT(IMR_EMagicInternal, IMR_EMagic)
ZQ_EXCEPTION_IMPLEMENT(IMR_EMagicInvalidMagicEntry, IMR_EMagic)
ZQ_EXCEPTION_IMPLEMENT(IMR_EMagicInvalidSelectionEntry, IMR_EMagic)
ZQ_EXCEPTION_IMPLEMENT(IMR_EMagicMatchInterfaceCalled, IMR_EMagic)
ZQ_EXCEPTION_IMPLEMENT(IMR_EMagicSelectionNotFound, IMR_EMagic)

const ZQ_TClass* const* IMR_ExceptionClasses(std::size_t& count) {
  static const ZQ_TClass* const classes[] = {
      IMR_EPlugin::ZQ_ClassObject(),
      IMR_EPluginInterfaceCalled::ZQ_ClassObject(),
      IMR_EPluginNoDefaultPluginList::ZQ_ClassObject(),
      IMR_EPluginNotFound::ZQ_ClassObject(),
      IMR_EPluginFileNotRecognized::ZQ_ClassObject(),
      IMR_EPluginListNotFound::ZQ_ClassObject(),
      IMR_EPluginCannotReadFile::ZQ_ClassObject(),
      IMR_EPluginCannotUpdateTicket::ZQ_ClassObject(),
      IMR_EPluginDataBufferEmpty::ZQ_ClassObject(),
      IMR_EPluginParentProxyUndefined::ZQ_ClassObject(),
      IMR_ENoContextPlugin::ZQ_ClassObject(),
      IMR_EPluginInternal::ZQ_ClassObject(),
      IMR_EMagic::ZQ_ClassObject(),
      IMR_EMagicInternal::ZQ_ClassObject(),
      IMR_EMagicFileNotGiven::ZQ_ClassObject(),
      IMR_EMagicFileNotFound::ZQ_ClassObject(),
      IMR_EMagicSelectionNotFound::ZQ_ClassObject(),
      IMR_EMagicDoubleMagicEntry::ZQ_ClassObject(),
      IMR_EMagicDoubleSelectionEntry::ZQ_ClassObject(),
      IMR_EMagicInvalidSelectionEntry::ZQ_ClassObject(),
      IMR_EMagicInvalidMagicEntry::ZQ_ClassObject(),
      IMR_EMagicMatchInterfaceCalled::ZQ_ClassObject(),
  };
  count = sizeof classes / sizeof classes[0];
  return classes;
}
