// The plugin interfaces, the base plugin, the plugin creator registry and the
// fallback plugin for unrecognised files.
#include "core/imr_core.h"

namespace {
const ZQ_TString kPluginKind("IMR_TPlugin");
const ZQ_TString kExtListKind("IMR_TPluginExtMap");
}  // namespace

bool IMR_IPlugin::IsSafePlugin(PXC_TFillLevel) const { return false; }

ZQ_TObject* IMR_TPlugin::ZQ_Create() { return new IMR_TPlugin(ZQ_TString()); }

bool IMR_TPlugin::ZQ_Initialize() {
  IMR_TRACE(0x04, "ZQ_Initialize of IMR_IPlugin\n");
  PXC_TDynamicLoader::sLoader.RegisterProvider(kPluginKind);
  PXC_TDynamicLoader::sLoader.RegisterProvider(kExtListKind);
  return true;
}

void IMR_TPlugin::RegisterCreator(const ZQ_TString& name, IMR_TPluginCreator creator) {
  PXC_TDynamicLoader::sLoader.RegisterCreator(
      kPluginKind, name, reinterpret_cast<PXC_TDynamicLoader::Function>(creator));
}

void IMR_TPlugin::RegisterExtList(const ZQ_TString& name, IMR_TPluginExtList extList) {
  PXC_TDynamicLoader::sLoader.RegisterCreator(
      kExtListKind, name, reinterpret_cast<PXC_TDynamicLoader::Function>(extList));
}

IMR_TPluginCreator IMR_TPlugin::CreatorByName(const ZQ_TString& name) {
  return reinterpret_cast<IMR_TPluginCreator>(PXC_TDynamicLoader::sLoader.LoadedCreator(kPluginKind, name));
}

IMR_TPluginExtList IMR_TPlugin::ExtListByName(const ZQ_TString& name) {
  return reinterpret_cast<IMR_TPluginExtList>(PXC_TDynamicLoader::sLoader.LoadedCreator(kExtListKind, name));
}

ZQ_TObject* IMR_TPluginUnknown::ZQ_Create() { return new IMR_TPluginUnknown(ZQ_TString()); }

bool IMR_TPluginUnknown::ZQ_Initialize() {
  PXC_TDynamicLoader::sLoader.RegisterCreator(
      kPluginKind, ZQ_TString("IMR_TPluginUnknown"),
      reinterpret_cast<PXC_TDynamicLoader::Function>(&IMR_TPluginUnknown::Creator));
  return true;
}

IMR_IPlugin* IMR_TPluginUnknown::Creator(const ZQ_TString& key) {
  IMR_TPluginUnknown* plugin = new IMR_TPluginUnknown(key);
  return ZQ_DynamicCast<IMR_TPlugin>(static_cast<ZQ_TObject*>(plugin), __FILE__, __LINE__);
}

IMR_TPluginStatus IMR_TPluginUnknown::ImageInfo(const PXC_IBuffer&, PXC_TImageTicket&,
                                                PXC_TFillLevel, unsigned int, IMR_TImageTypes) {
  if (Key().IsEmpty()) return IMR_PS_NOT_RECOGNIZED;
  IMR_THROW(IMR_EPluginFileNotRecognized);
}

// ---------------------------------------------------------------------------

bool IMR_IContextPlugin::IsSafePlugin(PXC_TFillLevel) const { return false; }

IMR_TContextPlugin::IMR_TContextPlugin(IMR_IPlugin* plugin, const ZQ_TURL& file,
                                       const PXC_IBuffer* buffer, PXC_TFillLevel level,
                                       IMR_TImageTypes types, const ZQ_TList& pluginList)
    : iPlugin(plugin), iFile(file), iBuffer(*buffer), iLevel(level), iTypes(types),
      iPluginList(pluginList) {}

IMR_TContextPlugin::IMR_TContextPlugin() { IMR_THROW(IMR_EPluginInternal); }

IMR_TContextPlugin::IMR_TContextPlugin(const IMR_TContextPlugin& other)
    : ZQ_IInterface(), ZQ_TObject(), iPlugin(other.iPlugin), iFile(other.iFile),
      iBuffer(other.iBuffer), iLevel(other.iLevel), iTypes(other.iTypes),
      iPluginList(other.iPluginList) {}

IMR_TContextPlugin& IMR_TContextPlugin::operator=(const IMR_TContextPlugin& other) {
  iPlugin = other.iPlugin;
  iFile = other.iFile;
  iBuffer = other.iBuffer;
  iLevel = other.iLevel;
  iTypes = other.iTypes;
  iPluginList = other.iPluginList;
  return *this;
}

ZQ_TObject* IMR_TContextPlugin::ZQ_Create() { return new IMR_TContextPlugin; }

IMR_TPluginStatus IMR_TContextPlugin::ImageInfo(PXC_TImageTicket&, unsigned int) {
  IMR_THROW(IMR_ENoContextPlugin);
}

ZQ_INTERFACE_IMPLEMENT(IMR_IPlugin, ZQ_IInterface)
ZQ_INTERFACE_IMPLEMENT(IMR_IContextPlugin, ZQ_IInterface)
ZQ_CLASS_IMPLEMENT(IMR_TPlugin, ZQ_TObject, &IMR_TPlugin::ZQ_Create, &IMR_TPlugin::ZQ_Initialize,
                   IMR_IPlugin)
ZQ_CLASS_DEFINE(IMR_TPluginUnknown, false, IMR_TPlugin::ZQ_ClassObject(),
                &IMR_TPluginUnknown::ZQ_Create, &IMR_TPluginUnknown::ZQ_Initialize)
ZQ_DYNAMIC_INFO(IMR_TPluginUnknown, IMR_TPlugin)
ZQ_CLASS_IMPLEMENT(IMR_TContextPlugin, ZQ_TObject, &IMR_TContextPlugin::ZQ_Create, nullptr,
                   ZQ_IInterface)
