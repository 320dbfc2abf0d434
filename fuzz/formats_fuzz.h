// What the format family fuzz targets share.  Each input goes to every reader
// of one family: each reader opens it and describes image 0, 1, ... until it
// refuses one, and the same bytes then go through the plugin adapter (a
// buffer over the input and the plugin's context, as the pipeline drives
// it), which writes tickets and resolves embedded images.
//
// Seeds: the family's samples and regression inputs (tests/data/formats/
// <family>) and the shared corpus, added to the corpus folders libFuzzer is
// given when it is fuzzing (not when it runs single inputs).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/format_plugin.h"
#include "formats/common/reader_registry.h"

namespace formatsfuzz {

using imr::formats::RegisteredReader;

constexpr std::uint32_t kMaxImages = 64;

// Adds the seed folders to the arguments when at least one argument is a
// folder: libFuzzer reads every folder given, and writes new inputs to the
// first.
inline void AddSeeds(int* argc, char*** argv, const char* family) {
  bool fuzzing = false;
  for (int i = 1; i < *argc; ++i) {
    const std::string argument = (*argv)[i];
    if (argument.rfind("-merge", 0) == 0) return;
    if (argument[0] != '-' && std::filesystem::is_directory(argument)) fuzzing = true;
  }
  if (!fuzzing) return;
  static std::vector<std::string> folders;
  folders.push_back(std::string(IMR_SOURCE_DIR "/tests/data/formats/") + family);
  folders.push_back(IMR_SOURCE_DIR "/tests/data/corpus/exiftool");
  static std::vector<char*> arguments((*argv), (*argv) + *argc);
  for (std::string& folder : folders) {
    if (std::filesystem::is_directory(folder)) arguments.push_back(folder.data());
  }
  arguments.push_back(nullptr);
  *argc = static_cast<int>(arguments.size() - 1);
  *argv = arguments.data();
}

// The plugin adapter's view of one reader: a context over a buffer of the
// input, asked for every image at the deepest level.
class AdapterRun : private IMR_TTicketAccess {
 public:
  static void Describe(const RegisteredReader& reader, const PXC_TBuffer& buffer) {
    imr::formats::ReaderPlugin plugin(ZQ_TString(), reader.plugin, reader.make);
    const ZQ_TList plugins;
    IMR_IContextPlugin* context =
        plugin.CreateContextPlugin(buffer.URL(), &buffer, PXC_FL_DEPENDENCIES, IMR_IT_ALL, plugins);
    for (std::uint32_t index = 0; index < kMaxImages; ++index) {
      PXC_TImageTicket ticket;
      SetFile(ticket, buffer.URL());
      const IMR_TPluginStatus status = context->ImageInfo(ticket, index);
      if (status != IMR_PS_RECOGNIZED && status != IMR_PS_EMBEDDED_RESOLVED) break;
      if (status == IMR_PS_EMBEDDED_RESOLVED) {
        // The range must lie within the file the plugin was given.
        const std::uint64_t end = ticket.File().EmbedOffset() + ticket.File().EmbedLength();
        if (end > buffer.SourceSize()) __builtin_trap();
      }
    }
    delete context;
  }
};

// Runs the readers registered under `family`.
inline int Run(std::string_view family, const std::uint8_t* data, std::size_t size) {
  static const bool ready = __ZQ_INITIALIZATION_FUNCTION_IMR__();
  if (!ready) __builtin_trap();
  static const std::vector<RegisteredReader> readers = [family] {
    std::vector<RegisteredReader> own;
    for (const RegisteredReader& reader : imr::formats::RegisteredReaders()) {
      if (family == reader.family) own.push_back(reader);
    }
    return own;
  }();
  imr::formats::MemorySource source(data, size);
  for (const RegisteredReader& reader : readers) {
    auto formatReader = reader.make();
    if (!formatReader->Open(source)) continue;
    imr::formats::ImageDescription image;
    for (std::uint32_t index = 0; index < kMaxImages && formatReader->Describe(index, image); ++index) {
      if (image.embedded &&
          (image.embeddedOffset > size || image.embeddedLength > size - image.embeddedOffset)) {
        __builtin_trap();
      }
    }
  }
  const PXC_TBuffer buffer(data, size, ZQ_TURL::FromPath(ZQ_TString("/fuzz/input")));
  for (const RegisteredReader& reader : readers) AdapterRun::Describe(reader, buffer);
  return 0;
}

}  // namespace formatsfuzz
