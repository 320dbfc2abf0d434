#include "formats/common/format_plugin.h"

namespace imr::formats {

std::size_t BufferSource::Read(std::uint64_t position, void* out, std::size_t count) const {
  try {
    return iBuffer.Read(position, out, count);
  } catch (const PXC_EBuffer&) {
    return 0;  // the reader sees a short read and declines
  }
}

namespace {

// Writes a reader's description of one image into a ticket, up to `level`.
class TicketWriter : private IMR_TTicketAccess {
 public:
  static void Write(const ImageDescription& image, const char* format, PXC_TImageTicket& ticket,
                    PXC_TFillLevel level) {
    SetFileFormat(ticket, ZQ_TString(image.format.empty() ? format : image.format.c_str()));
    SetFileFormatVersion(ticket, ZQ_TString(image.version));
    // An embedded image is what its container says it is.
    SetImageType(ticket, ImrValidInfo(ticket) && ImrImageType(ticket) != PXC_IT_UNKNOWN
                             ? ImrImageType(ticket)
                             : image.type);
    SetImageSubtype(ticket, image.subtype);
    if (level >= PXC_FL_GEOMETRY) {
      SetNrColumns(ticket, image.columns);
      SetNrRows(ticket, image.rows);
      SetHResolution(ticket, image.hResolution);
      SetVResolution(ticket, image.vResolution);
      SetHRealSize(ticket, image.hRealSize);
      SetVRealSize(ticket, image.vRealSize);
      SetMeasurementUnits(ticket, image.units);
      SetRotation(ticket, image.rotation);
      SetChannelEncoding(ticket, image.channelEncoding);
      SetAlphaPlane(ticket, image.alphaPlane);
      SetNrInks(ticket, image.inks);
      SetNrPages(ticket, image.pages);
    }
    if (level >= PXC_FL_DETAILS) {
      ZQ_TDict& extended = ExtendedInfo(ticket);
      for (const auto& [key, value] : image.extended) extended.Add(key, ZQ_TAny(ZQ_TString(value)));
      if (!image.inkNames.empty()) {
        ZQ_TList names;
        for (const std::string& name : image.inkNames) names.AddAtTail(ZQ_TAny(ZQ_TString(name)));
        extended.Add("InkNames", ZQ_TAny(names));
      }
    }
    if (level >= PXC_FL_DEPENDENCIES) {
      ZQ_TList& references = ExternalRefs(ticket);
      for (const std::string& reference : image.externalRefs) {
        references.AddAtTail(ZQ_TAny(PXC_TReference(ZQ_TString(reference), ZQ_TString("linked"))));
      }
    }
    if (ticket.FillLevel() < level) SetFillLevel(ticket, level);
  }

  // Declines the ticket's image; a reader that could not read a file of its
  // family says why in the ticket, for the plugin after it to keep.
  static IMR_TPluginStatus Decline(const FormatReader& reader, const char* plugin,
                                   PXC_TImageTicket& ticket) {
    if (reader.Refusal().empty()) return IMR_PS_NOT_RECOGNIZED;
    IMR_TRACE(0x10, "IMR: the %s reader declined %s: %s\n", plugin, ticket.File().Text().Narrow(),
              reader.Refusal().c_str());
    ExtendedInfo(ticket).Add(IMR_kRefusalKey,
                             ZQ_TAny(ZQ_TString(std::string(plugin) + ": " + reader.Refusal())));
    return IMR_PS_NOT_RECOGNIZED;
  }
};

// Describes image `index` of an opened reader into `ticket`.
IMR_TPluginStatus Describe(FormatReader& reader, const char* format, const PXC_IBuffer& buffer,
                           PXC_TImageTicket& ticket, PXC_TFillLevel level, unsigned int index,
                           IMR_TImageTypes types) {
  ImageDescription image;
  if (!reader.Describe(index, image)) return TicketWriter::Decline(reader, format, ticket);
  if (image.embedded) {
    // Readers check what the bytes hold; a range outside the file is a
    // reader's fault, and no image.
    const std::uint64_t size = buffer.SourceSize();
    if (image.embeddedLength == 0 || image.embeddedOffset >= size ||
        image.embeddedLength > size - image.embeddedOffset) {
      return IMR_PS_NOT_RECOGNIZED;
    }
    return IMR_TCore::ResolveEmbeddedImage(ticket, buffer, level, types,
                                           static_cast<double>(image.embeddedLength),
                                           static_cast<double>(image.embeddedOffset), image.type);
  }
  TicketWriter::Write(image, format, ticket, level);
  return IMR_PS_RECOGNIZED;
}

// One file's reader, kept across its images.
class ReaderContext : public IMR_TContextPlugin, public virtual IMR_IContextPlugin {
 public:
  ReaderContext(ReaderPlugin* plugin, const char* format, const ZQ_TURL& file,
                const PXC_IBuffer* buffer, PXC_TFillLevel level, IMR_TImageTypes types,
                const ZQ_TList& pluginList, std::unique_ptr<FormatReader> reader)
      : IMR_TContextPlugin(plugin, file, buffer, level, types, pluginList),
        iFormat(format),
        iReader(std::move(reader)),
        iSource(IMR_TContextPlugin::Buffer()),
        iOpened(iReader->Open(iSource)) {}

  IMR_TPluginStatus ImageInfo(PXC_TImageTicket& ticket, unsigned int index) override {
    if (!iOpened) return TicketWriter::Decline(*iReader, iFormat, ticket);
    return Describe(*iReader, iFormat, IMR_TContextPlugin::Buffer(), ticket,
                    IMR_TContextPlugin::Level(), index, IMR_TContextPlugin::ImageTypes());
  }
  IMR_IPlugin& Plugin() override { return IMR_TContextPlugin::Plugin(); }
  ZQ_TURL& File() override { return IMR_TContextPlugin::File(); }
  PXC_TBuffer& Buffer() override { return IMR_TContextPlugin::Buffer(); }
  PXC_TFillLevel Level() override { return IMR_TContextPlugin::Level(); }
  IMR_TImageTypes ImageTypes() override { return IMR_TContextPlugin::ImageTypes(); }
  ZQ_TList& PluginList() override { return IMR_TContextPlugin::PluginList(); }
  // A context serves one run on one thread.
  bool IsSafePlugin(PXC_TFillLevel) const override { return true; }
  // Casts by class name reach both of its hierarchies.
  void* ZQ_DynamicInfo(const char* name) const override {
    if (void* found = IMR_TContextPlugin::ZQ_DynamicInfo(name)) return found;
    return name != nullptr ? IMR_IContextPlugin::ZQ_DynamicInfo(name) : nullptr;
  }

 private:
  const char* iFormat;
  std::unique_ptr<FormatReader> iReader;
  BufferSource iSource;
  bool iOpened;
};

}  // namespace

IMR_TPluginStatus ReaderPlugin::ImageInfo(const PXC_IBuffer& buffer, PXC_TImageTicket& ticket,
                                          PXC_TFillLevel level, unsigned int index,
                                          IMR_TImageTypes types) {
  std::unique_ptr<FormatReader> reader = iFactory();
  BufferSource source(buffer);
  if (!reader->Open(source)) return TicketWriter::Decline(*reader, iFormat, ticket);
  return Describe(*reader, iFormat, buffer, ticket, level, index, types);
}

IMR_IContextPlugin* ReaderPlugin::CreateContextPlugin(const ZQ_TURL& file, const PXC_IBuffer* buffer,
                                                      PXC_TFillLevel level, IMR_TImageTypes types,
                                                      const ZQ_TList& pluginList) {
  return new ReaderContext(this, iFormat, file, buffer, level, types, pluginList, iFactory());
}

}  // namespace imr::formats
