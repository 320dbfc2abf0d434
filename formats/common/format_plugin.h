// Format plugins: a FormatReader turned into an IMR plugin.  For each file the
// plugin hands the pipeline a context that opens the reader once and then
// describes image 0, 1, 2, ... in turn; images held inside the file in a
// format of their own go back to the pipeline as embedded images.
//
// A reader that cannot read the file, or has no image of the number asked,
// makes the plugin decline, so the GENERIC plugin after it keeps the magic
// entry's description.  What the plugin writes it takes from the reader
// alone, never from what the magic entry set before it: the same plugin
// raises the ticket later (an update, a cache hit, SmartID) with no magic
// entry in front.
#pragma once

#include <memory>

#include "core/imr_core.h"
#include "formats/common/format_reader.h"

namespace imr::formats {

// The bytes of a plugin's buffer, read on demand beyond what it holds.
class BufferSource : public ByteSource {
 public:
  explicit BufferSource(const PXC_IBuffer& buffer) : iBuffer(buffer) {}
  std::uint64_t Size() const override { return iBuffer.SourceSize(); }
  std::size_t Read(std::uint64_t position, void* out, std::size_t count) const override;

 private:
  const PXC_IBuffer& iBuffer;
};

class ReaderPlugin : public IMR_TPlugin {
 public:
  // `format` names the files the reader describes unless it names them
  // itself (see ImageDescription::format).
  ReaderPlugin(const ZQ_TString& key, const char* format, ReaderFactory factory)
      : IMR_TPlugin(key), iFormat(format), iFactory(factory) {}

  // Describes image `index` with a reader of its own (the pipeline normally
  // goes through the context instead).
  IMR_TPluginStatus ImageInfo(const PXC_IBuffer& buffer, PXC_TImageTicket& ticket,
                              PXC_TFillLevel level, unsigned int index,
                              IMR_TImageTypes types) override;
  IMR_IContextPlugin* CreateContextPlugin(const ZQ_TURL& file, const PXC_IBuffer* buffer,
                                          PXC_TFillLevel level, IMR_TImageTypes types,
                                          const ZQ_TList& pluginList) override;
  // Instances keep no state of a file: the context does.
  bool IsSafePlugin(PXC_TFillLevel) const override { return true; }

 private:
  const char* iFormat;
  ReaderFactory iFactory;
};

}  // namespace imr::formats
