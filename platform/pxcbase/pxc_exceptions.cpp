#include "pxcbase/pxc_exceptions.h"

ZQ_EXCEPTION_IMPLEMENT(PXC_EAssertFailed, ZQ_EException)
ZQ_EXCEPTION_IMPLEMENT(PXC_EBuffer, ZQ_EException)
ZQ_EXCEPTION_IMPLEMENT(PXC_EDynamicLoader, ZQ_EException)
ZQ_EXCEPTION_IMPLEMENT(PXC_EPXCBASE, ZQ_EException)
ZQ_EXCEPTION_IMPLEMENT(PXC_EImageProxy, ZQ_EException)
ZQ_EXCEPTION_IMPLEMENT(PXC_EImageTicket, ZQ_EException)
ZQ_EXCEPTION_IMPLEMENT(PXC_EMetadataException, ZQ_EException)
ZQ_EXCEPTION_IMPLEMENT(PXC_EUnsupportedProtocol, PXC_EPXCBASE)
ZQ_EXCEPTION_IMPLEMENT(PXC_EEmbedRegionTooLarge, PXC_EPXCBASE)
ZQ_EXCEPTION_IMPLEMENT(PXC_ENotEmbeddedFile, PXC_EPXCBASE)
ZQ_EXCEPTION_IMPLEMENT(PXC_ESystemError, PXC_EPXCBASE)
ZQ_EXCEPTION_IMPLEMENT(PXC_EWrongInkPreviewType, PXC_EPXCBASE)
ZQ_EXCEPTION_IMPLEMENT(PXC_EIllegalRGBInkPreviewValues, PXC_EPXCBASE)
ZQ_EXCEPTION_IMPLEMENT(PXC_EIllegalCMYKInkPreviewValues, PXC_EPXCBASE)
ZQ_EXCEPTION_IMPLEMENT(PXC_EUnicodePSStringNotSupported, PXC_EPXCBASE)
ZQ_EXCEPTION_IMPLEMENT(PXC_EWrongInkName, PXC_EPXCBASE)
ZQ_EXCEPTION_IMPLEMENT(PXC_EBufferNotEnoughMemory, PXC_EBuffer)
ZQ_EXCEPTION_IMPLEMENT(PXC_EBufferSliceTooLarge, PXC_EBuffer)
ZQ_EXCEPTION_IMPLEMENT(PXC_EBufferSliceStartsAfterEnd, PXC_EBuffer)
ZQ_EXCEPTION_IMPLEMENT(PXC_EBufferRegionTooLarge, PXC_EBuffer)
ZQ_EXCEPTION_IMPLEMENT(PXC_EBufferCannotLink, PXC_EBuffer)
ZQ_EXCEPTION_IMPLEMENT(PXC_EBufferCannotOpenFile, PXC_EBuffer)
ZQ_EXCEPTION_IMPLEMENT(PXC_EBufferCannotReadFile, PXC_EBuffer)
ZQ_EXCEPTION_IMPLEMENT(PXC_EBufferCannotCreateMapping, PXC_EBuffer)
ZQ_EXCEPTION_IMPLEMENT(PXC_EBufferCannotMapFile, PXC_EBuffer)
ZQ_EXCEPTION_IMPLEMENT(PXC_EBufferCannotDetermineFileSize, PXC_EBuffer)
ZQ_EXCEPTION_IMPLEMENT(PXC_EBufferEmptyFile, PXC_EBuffer)
ZQ_EXCEPTION_IMPLEMENT(PXC_EBufferEmptyBuffer, PXC_EBuffer)
ZQ_EXCEPTION_IMPLEMENT(PXC_EBufferUnknownProtocol, PXC_EBuffer)
ZQ_EXCEPTION_IMPLEMENT(PXC_EBufferDestinationTooSmall, PXC_EBuffer)
ZQ_EXCEPTION_IMPLEMENT(PXC_EBufferNotEmbeddedFile, PXC_EBuffer)
ZQ_EXCEPTION_IMPLEMENT(PXC_EBufferInternal, PXC_EBuffer)
ZQ_EXCEPTION_IMPLEMENT(PXC_EMetadataNotImplemented, PXC_EMetadataException)
ZQ_EXCEPTION_IMPLEMENT(PXC_EMetadataInterfaceCalled, PXC_EMetadataException)
ZQ_EXCEPTION_IMPLEMENT(PXC_EMetadataFileDoesNotExist, PXC_EMetadataException)
ZQ_EXCEPTION_IMPLEMENT(PXC_EMetadataCouldNotRead, PXC_EMetadataException)
ZQ_EXCEPTION_IMPLEMENT(PXC_EMetadataCouldNotWrite, PXC_EMetadataException)
ZQ_EXCEPTION_IMPLEMENT(PXC_EMetadataKeyDoesNotExist, PXC_EMetadataException)
ZQ_EXCEPTION_IMPLEMENT(PXC_EMetadataInternal, PXC_EMetadataException)
ZQ_EXCEPTION_IMPLEMENT(PXC_EImageTicketNoExtendedInfo, PXC_EImageTicket)
ZQ_EXCEPTION_IMPLEMENT(PXC_EImageTicketKeyNotFound, PXC_EImageTicket)
ZQ_EXCEPTION_IMPLEMENT(PXC_EImageTicketCannotCheckValidity, PXC_EImageTicket)
ZQ_EXCEPTION_IMPLEMENT(PXC_EImageTicketCannotGetDependencies, PXC_EImageTicket)
ZQ_EXCEPTION_IMPLEMENT(PXC_EImageTicketFileCorrupted, PXC_EImageTicket)
ZQ_EXCEPTION_IMPLEMENT(PXC_EImageMemoryAllocationError, PXC_EImageTicket)
ZQ_EXCEPTION_IMPLEMENT(PXC_EImageTicketCannotCreateTicket, PXC_EImageTicket)
ZQ_EXCEPTION_IMPLEMENT(PXC_EImageTicketUnkownFileFormat, PXC_EImageTicket)
ZQ_EXCEPTION_IMPLEMENT(PXC_EImageTicketUnsupprotedFileFormat, PXC_EImageTicket)
ZQ_EXCEPTION_IMPLEMENT(PXC_EImageTicketInternalError, PXC_EImageTicket)
ZQ_EXCEPTION_IMPLEMENT(PXC_EImageTicketNoExternalRefs, PXC_EImageTicket)
ZQ_EXCEPTION_IMPLEMENT(PXC_EImageProxyEmpty, PXC_EImageProxy)
ZQ_EXCEPTION_IMPLEMENT(PXC_EImageProxyNotImplemented, PXC_EImageProxy)
ZQ_EXCEPTION_IMPLEMENT(PXC_EImageProxyInternal, PXC_EImageProxy)
ZQ_EXCEPTION_IMPLEMENT(PXC_EDynamicLoaderInternal, PXC_EDynamicLoader)
ZQ_EXCEPTION_IMPLEMENT(PXC_EDynamicLoaderAlreadyLoaded, PXC_EDynamicLoader)
ZQ_EXCEPTION_IMPLEMENT(PXC_EDynamicLoaderNoSuchProvider, PXC_EDynamicLoader)
ZQ_EXCEPTION_IMPLEMENT(PXC_EDynamicLoaderNoSuchPlugin, PXC_EDynamicLoader)
ZQ_EXCEPTION_IMPLEMENT(PXC_EDynamicLoaderNoSuchCreator, PXC_EDynamicLoader)
ZQ_EXCEPTION_IMPLEMENT(PXC_EDynamicLoaderDoubleInstance, PXC_EDynamicLoader)
ZQ_EXCEPTION_IMPLEMENT(PXC_EDynamicLoaderDoubleProvider, PXC_EDynamicLoader)
ZQ_EXCEPTION_IMPLEMENT(PXC_EDynamicLoaderDoubleCreator, PXC_EDynamicLoader)

const ZQ_TClass* const* PXC_ExceptionClasses(std::size_t& count) {
  static const ZQ_TClass* const classes[] = {
      PXC_EAssertFailed::ZQ_ClassObject(),
      PXC_EBuffer::ZQ_ClassObject(),
      PXC_EDynamicLoader::ZQ_ClassObject(),
      PXC_EPXCBASE::ZQ_ClassObject(),
      PXC_EImageProxy::ZQ_ClassObject(),
      PXC_EImageTicket::ZQ_ClassObject(),
      PXC_EMetadataException::ZQ_ClassObject(),
      PXC_EUnsupportedProtocol::ZQ_ClassObject(),
      PXC_EEmbedRegionTooLarge::ZQ_ClassObject(),
      PXC_ENotEmbeddedFile::ZQ_ClassObject(),
      PXC_ESystemError::ZQ_ClassObject(),
      PXC_EWrongInkPreviewType::ZQ_ClassObject(),
      PXC_EIllegalRGBInkPreviewValues::ZQ_ClassObject(),
      PXC_EIllegalCMYKInkPreviewValues::ZQ_ClassObject(),
      PXC_EUnicodePSStringNotSupported::ZQ_ClassObject(),
      PXC_EWrongInkName::ZQ_ClassObject(),
      PXC_EBufferNotEnoughMemory::ZQ_ClassObject(),
      PXC_EBufferSliceTooLarge::ZQ_ClassObject(),
      PXC_EBufferSliceStartsAfterEnd::ZQ_ClassObject(),
      PXC_EBufferRegionTooLarge::ZQ_ClassObject(),
      PXC_EBufferCannotLink::ZQ_ClassObject(),
      PXC_EBufferCannotOpenFile::ZQ_ClassObject(),
      PXC_EBufferCannotReadFile::ZQ_ClassObject(),
      PXC_EBufferCannotCreateMapping::ZQ_ClassObject(),
      PXC_EBufferCannotMapFile::ZQ_ClassObject(),
      PXC_EBufferCannotDetermineFileSize::ZQ_ClassObject(),
      PXC_EBufferEmptyFile::ZQ_ClassObject(),
      PXC_EBufferEmptyBuffer::ZQ_ClassObject(),
      PXC_EBufferUnknownProtocol::ZQ_ClassObject(),
      PXC_EBufferDestinationTooSmall::ZQ_ClassObject(),
      PXC_EBufferNotEmbeddedFile::ZQ_ClassObject(),
      PXC_EBufferInternal::ZQ_ClassObject(),
      PXC_EMetadataNotImplemented::ZQ_ClassObject(),
      PXC_EMetadataInterfaceCalled::ZQ_ClassObject(),
      PXC_EMetadataFileDoesNotExist::ZQ_ClassObject(),
      PXC_EMetadataCouldNotRead::ZQ_ClassObject(),
      PXC_EMetadataCouldNotWrite::ZQ_ClassObject(),
      PXC_EMetadataKeyDoesNotExist::ZQ_ClassObject(),
      PXC_EMetadataInternal::ZQ_ClassObject(),
      PXC_EImageTicketNoExtendedInfo::ZQ_ClassObject(),
      PXC_EImageTicketKeyNotFound::ZQ_ClassObject(),
      PXC_EImageTicketCannotCheckValidity::ZQ_ClassObject(),
      PXC_EImageTicketCannotGetDependencies::ZQ_ClassObject(),
      PXC_EImageTicketFileCorrupted::ZQ_ClassObject(),
      PXC_EImageMemoryAllocationError::ZQ_ClassObject(),
      PXC_EImageTicketCannotCreateTicket::ZQ_ClassObject(),
      PXC_EImageTicketUnkownFileFormat::ZQ_ClassObject(),
      PXC_EImageTicketUnsupprotedFileFormat::ZQ_ClassObject(),
      PXC_EImageTicketInternalError::ZQ_ClassObject(),
      PXC_EImageTicketNoExternalRefs::ZQ_ClassObject(),
      PXC_EImageProxyEmpty::ZQ_ClassObject(),
      PXC_EImageProxyNotImplemented::ZQ_ClassObject(),
      PXC_EImageProxyInternal::ZQ_ClassObject(),
      PXC_EDynamicLoaderInternal::ZQ_ClassObject(),
      PXC_EDynamicLoaderAlreadyLoaded::ZQ_ClassObject(),
      PXC_EDynamicLoaderNoSuchProvider::ZQ_ClassObject(),
      PXC_EDynamicLoaderNoSuchPlugin::ZQ_ClassObject(),
      PXC_EDynamicLoaderNoSuchCreator::ZQ_ClassObject(),
      PXC_EDynamicLoaderDoubleInstance::ZQ_ClassObject(),
      PXC_EDynamicLoaderDoubleProvider::ZQ_ClassObject(),
      PXC_EDynamicLoaderDoubleCreator::ZQ_ClassObject(),
  };
  count = sizeof classes / sizeof classes[0];
  return classes;
}
