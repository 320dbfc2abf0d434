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

// The format and version image 0 of a file was given.
struct FirstImage {
  ZQ_TString format;
  ZQ_TString version;
};

// Writes a reader's description of one image into a ticket, up to `level`.
class TicketWriter : private IMR_TTicketAccess {
 public:
  static void Write(const ImageDescription& image, PXC_TImageTicket& ticket, PXC_TFillLevel level,
                    const FirstImage* first) {
    SetName(ticket, &SetFileFormat, image.format, first ? &first->format : nullptr);
    SetName(ticket, &SetFileFormatVersion, image.version, first ? &first->version : nullptr);
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

 private:
  using Setter = const ZQ_TString& (*)(PXC_TImageTicket&, const ZQ_TString&);
  // The reader's name when it knows better than the magic entry; else a
  // later image of the file takes image 0's, and image 0 keeps the entry's.
  static void SetName(PXC_TImageTicket& ticket, Setter set, const std::string& read,
                      const ZQ_TString* first) {
    if (!read.empty()) {
      set(ticket, ZQ_TString(read));
    } else if (first != nullptr && !first->IsEmpty()) {
      set(ticket, *first);
    }
  }
};

// Describes image `index` of an opened reader into `ticket`; `first` is
// what image 0 was given, null when describing image 0.
IMR_TPluginStatus Describe(FormatReader& reader, const PXC_IBuffer& buffer,
                           PXC_TImageTicket& ticket, PXC_TFillLevel level, unsigned int index,
                           IMR_TImageTypes types, const FirstImage* first) {
  ImageDescription image;
  if (!reader.Describe(index, image)) return IMR_PS_NOT_RECOGNIZED;
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
  TicketWriter::Write(image, ticket, level, first);
  return IMR_PS_RECOGNIZED;
}

// One file's reader, kept across its images.
class ReaderContext : public IMR_TContextPlugin, public virtual IMR_IContextPlugin {
 public:
  ReaderContext(ReaderPlugin* plugin, const ZQ_TURL& file, const PXC_IBuffer* buffer,
                PXC_TFillLevel level, IMR_TImageTypes types, const ZQ_TList& pluginList,
                std::unique_ptr<FormatReader> reader)
      : IMR_TContextPlugin(plugin, file, buffer, level, types, pluginList),
        iReader(std::move(reader)),
        iSource(IMR_TContextPlugin::Buffer()),
        iOpened(iReader->Open(iSource)) {}

  IMR_TPluginStatus ImageInfo(PXC_TImageTicket& ticket, unsigned int index) override {
    if (!iOpened) return IMR_PS_NOT_RECOGNIZED;
    const IMR_TPluginStatus status =
        Describe(*iReader, IMR_TContextPlugin::Buffer(), ticket, IMR_TContextPlugin::Level(), index,
                 IMR_TContextPlugin::ImageTypes(), index == 0 ? nullptr : &iFirst);
    if (index == 0 && status == IMR_PS_RECOGNIZED) {
      iFirst = {ticket.FileFormat(), ticket.FileFormatVersion()};
    }
    return status;
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
  std::unique_ptr<FormatReader> iReader;
  BufferSource iSource;
  bool iOpened;
  FirstImage iFirst;
};

}  // namespace

IMR_TPluginStatus ReaderPlugin::ImageInfo(const PXC_IBuffer& buffer, PXC_TImageTicket& ticket,
                                          PXC_TFillLevel level, unsigned int index,
                                          IMR_TImageTypes types) {
  std::unique_ptr<FormatReader> reader = iFactory();
  BufferSource source(buffer);
  if (!reader->Open(source)) return IMR_PS_NOT_RECOGNIZED;
  if (index == 0) return Describe(*reader, buffer, ticket, level, index, types, nullptr);
  // A later image takes the names the reader gives image 0, if any.
  ImageDescription image0;
  if (!reader->Describe(0, image0)) return IMR_PS_NOT_RECOGNIZED;
  const FirstImage first{ZQ_TString(image0.format), ZQ_TString(image0.version)};
  return Describe(*reader, buffer, ticket, level, index, types, &first);
}

IMR_IContextPlugin* ReaderPlugin::CreateContextPlugin(const ZQ_TURL& file, const PXC_IBuffer* buffer,
                                                      PXC_TFillLevel level, IMR_TImageTypes types,
                                                      const ZQ_TList& pluginList) {
  return new ReaderContext(this, file, buffer, level, types, pluginList, iFactory());
}

}  // namespace imr::formats
