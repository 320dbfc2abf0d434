// The library's initialisation: the platform libraries, then every run-time
// class of the library in a fixed order.  The order matters: the loader's
// class comes before any plugin class; IMR_TPlugin (which registers the
// loader kinds) before IMR_TPluginUnknown and IMR_TMagic (which register
// creators under them); IMR_TCore (which builds the plugin caches and lists)
// before the plugins.
#include "core/imr_core.h"
#include "magic/imr_magic.h"

namespace {

bool InitializeAll(std::initializer_list<const ZQ_TClass*> classes) {
  for (const ZQ_TClass* object : classes) {
    if (!object->Initialize()) return false;
  }
  return true;
}

bool RegisterClasses() {
  return InitializeAll({
             PXC_EPXCBASE::ZQ_ClassObject(), PXC_EUnsupportedProtocol::ZQ_ClassObject(),
             PXC_EEmbedRegionTooLarge::ZQ_ClassObject(), PXC_ENotEmbeddedFile::ZQ_ClassObject(),
             PXC_ESystemError::ZQ_ClassObject(), PXC_EWrongInkPreviewType::ZQ_ClassObject(),
             PXC_EIllegalRGBInkPreviewValues::ZQ_ClassObject(),
             PXC_EIllegalCMYKInkPreviewValues::ZQ_ClassObject(),
             PXC_EUnicodePSStringNotSupported::ZQ_ClassObject(), PXC_EWrongInkName::ZQ_ClassObject(),
             PXC_TTag::ZQ_ClassObject(), PXC_TReference::ZQ_ClassObject(),
             PXC_TKnot::ZQ_ClassObject(), PXC_TInk::ZQ_ClassObject(),
             PXC_EAssertFailed::ZQ_ClassObject(), PXC_EBuffer::ZQ_ClassObject(),
             PXC_EBufferNotEnoughMemory::ZQ_ClassObject(), PXC_EBufferSliceTooLarge::ZQ_ClassObject(),
             PXC_EBufferSliceStartsAfterEnd::ZQ_ClassObject(),
             PXC_EBufferRegionTooLarge::ZQ_ClassObject(), PXC_EBufferCannotLink::ZQ_ClassObject(),
             PXC_EBufferCannotOpenFile::ZQ_ClassObject(), PXC_EBufferCannotReadFile::ZQ_ClassObject(),
             PXC_EBufferCannotCreateMapping::ZQ_ClassObject(),
             PXC_EBufferCannotMapFile::ZQ_ClassObject(),
             PXC_EBufferCannotDetermineFileSize::ZQ_ClassObject(),
             PXC_EBufferEmptyFile::ZQ_ClassObject(), PXC_EBufferEmptyBuffer::ZQ_ClassObject(),
             PXC_EBufferUnknownProtocol::ZQ_ClassObject(),
             PXC_EBufferDestinationTooSmall::ZQ_ClassObject(),
             PXC_EBufferNotEmbeddedFile::ZQ_ClassObject(), PXC_EBufferInternal::ZQ_ClassObject(),
             PXC_IBuffer::ZQ_ClassObject(), PXC_TBuffer::ZQ_ClassObject(),
             PXC_EMetadataException::ZQ_ClassObject(), PXC_EMetadataNotImplemented::ZQ_ClassObject(),
             PXC_EMetadataInterfaceCalled::ZQ_ClassObject(),
             PXC_EMetadataFileDoesNotExist::ZQ_ClassObject(),
             PXC_EMetadataCouldNotRead::ZQ_ClassObject(), PXC_EMetadataCouldNotWrite::ZQ_ClassObject(),
             PXC_EMetadataKeyDoesNotExist::ZQ_ClassObject(), PXC_EMetadataInternal::ZQ_ClassObject(),
             PXC_IRelocatable::ZQ_ClassObject(), PXC_IMetadata::ZQ_ClassObject(),
             PXC_TMetadata::ZQ_ClassObject(),
             PXC_EImageTicket::ZQ_ClassObject(), PXC_EImageTicketNoExtendedInfo::ZQ_ClassObject(),
             PXC_EImageTicketKeyNotFound::ZQ_ClassObject(),
             PXC_EImageTicketCannotCheckValidity::ZQ_ClassObject(),
             PXC_EImageTicketCannotGetDependencies::ZQ_ClassObject(),
             PXC_EImageTicketFileCorrupted::ZQ_ClassObject(),
             PXC_EImageMemoryAllocationError::ZQ_ClassObject(),
             PXC_EImageTicketCannotCreateTicket::ZQ_ClassObject(),
             PXC_EImageTicketUnkownFileFormat::ZQ_ClassObject(),
             PXC_EImageTicketUnsupprotedFileFormat::ZQ_ClassObject(),
             PXC_EImageTicketInternalError::ZQ_ClassObject(),
             PXC_EImageTicketNoExternalRefs::ZQ_ClassObject(), PXC_TImageTicket::ZQ_ClassObject(),
             PXC_EImageProxy::ZQ_ClassObject(), PXC_EImageProxyEmpty::ZQ_ClassObject(),
             PXC_EImageProxyNotImplemented::ZQ_ClassObject(),
             PXC_EImageProxyInternal::ZQ_ClassObject(), PXC_TImageProxy::ZQ_ClassObject(),
             PXC_EDynamicLoader::ZQ_ClassObject(), PXC_EDynamicLoaderInternal::ZQ_ClassObject(),
             PXC_EDynamicLoaderAlreadyLoaded::ZQ_ClassObject(),
             PXC_EDynamicLoaderNoSuchProvider::ZQ_ClassObject(),
             PXC_EDynamicLoaderNoSuchPlugin::ZQ_ClassObject(),
             PXC_EDynamicLoaderNoSuchCreator::ZQ_ClassObject(),
             PXC_EDynamicLoaderDoubleInstance::ZQ_ClassObject(),
             PXC_EDynamicLoaderDoubleProvider::ZQ_ClassObject(),
             PXC_EDynamicLoaderDoubleCreator::ZQ_ClassObject(),
             PXC_TDynamicLoader::ZQ_ClassObject(), PXC_ICfs::ZQ_ClassObject(),
         }) &&
         InitializeAll({
             IMR_EPlugin::ZQ_ClassObject(), IMR_EPluginInterfaceCalled::ZQ_ClassObject(),
             IMR_EPluginNoDefaultPluginList::ZQ_ClassObject(), IMR_EPluginNotFound::ZQ_ClassObject(),
             IMR_EPluginFileNotRecognized::ZQ_ClassObject(),
             IMR_EPluginListNotFound::ZQ_ClassObject(), IMR_EPluginCannotReadFile::ZQ_ClassObject(),
             IMR_EPluginCannotUpdateTicket::ZQ_ClassObject(),
             IMR_EPluginDataBufferEmpty::ZQ_ClassObject(),
             IMR_EPluginParentProxyUndefined::ZQ_ClassObject(),
             IMR_ENoContextPlugin::ZQ_ClassObject(), IMR_EPluginInternal::ZQ_ClassObject(),
         }) &&
         InitializeAll({
             IMR_TPluginCache::ZQ_ClassObject(), IMR_TPluginHandle::ZQ_ClassObject(),
             IMR_IPlugin::ZQ_ClassObject(), IMR_TPlugin::ZQ_ClassObject(),
             IMR_IContextPlugin::ZQ_ClassObject(), IMR_TContextPlugin::ZQ_ClassObject(),
             IMR_TCore::ZQ_ClassObject(), IMR_TPluginUnknown::ZQ_ClassObject(),
         }) &&
         InitializeAll({
             IMR_EMagic::ZQ_ClassObject(), IMR_EMagicInternal::ZQ_ClassObject(),
             IMR_EMagicFileNotGiven::ZQ_ClassObject(), IMR_EMagicFileNotFound::ZQ_ClassObject(),
             IMR_EMagicSelectionNotFound::ZQ_ClassObject(),
             IMR_EMagicDoubleMagicEntry::ZQ_ClassObject(),
             IMR_EMagicDoubleSelectionEntry::ZQ_ClassObject(),
             IMR_EMagicInvalidSelectionEntry::ZQ_ClassObject(),
             IMR_EMagicInvalidMagicEntry::ZQ_ClassObject(),
             IMR_EMagicMatchInterfaceCalled::ZQ_ClassObject(),
         }) &&
         IMR_RegisterMagicClasses();
}

bool sInitialised = false;

}  // namespace

bool __ZQ_INITIALIZATION_FUNCTION_IMR__() {
  if (sInitialised) return true;
  sInitialised = __ZQ_INITIALIZATION_FUNCTION_zqtypes__() &&
                 __ZQ_INITIALIZATION_FUNCTION_PXCBASE__() &&
                 __ZQ_INITIALIZATION_FUNCTION_PXC_NS__() && RegisterClasses();
  return sInitialised;
}
