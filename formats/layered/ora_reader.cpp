// OpenRaster: a ZIP archive whose first entry, stored, is the MIME type.
// Image 0 is the layer stack that stack.xml describes (size, resolution,
// layers); the merged image and the thumbnail follow as a preview and a
// thumbnail: stored ones as embedded PNG files, deflated ones described
// from the head of their PNG stream.
#include "formats/layered/ora_reader.h"

#include <charconv>
#include <cstring>

#include "formats/common/byte_reader.h"
#include "formats/common/embedded_image.h"
#include "formats/common/png_header.h"
#include "formats/common/reader_registry.h"
#include "formats/common/xml_markup.h"
#include "formats/layered/zip_archive.h"

namespace imr::formats {
namespace {

constexpr std::size_t kMaxStack = 1 << 20;  // stack.xml inflated at most
constexpr std::size_t kPngHead = 33;

// A decimal attribute value; 0 when it is not one.
double Number(std::string_view text) {
  text = TrimXmlSpace(text);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

class OraReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source);
    if (r.Text(0, 4) != "PK\x03\x04" || r.Text(30, 24) != "mimetypeimage/openraster") return false;
    std::vector<zip::Entry> entries;
    std::string why;
    if (!zip::ReadDirectory(source, entries, why)) return Refuse(why);
    const zip::Entry* stack = Find(entries, "stack.xml");
    if (!stack) return Refuse("the archive has no stack.xml");
    std::string xml;
    if (!zip::ReadContent(source, *stack, kMaxStack, xml)) return Refuse("stack.xml cannot be read");
    ImageDescription d;
    if (!ReadStack(xml, d, why)) return Refuse(why);
    iImages.push_back(d);
    AddPng(source, Find(entries, "mergedimage.png"), PXC_IT_PREVIEW);
    AddPng(source, Find(entries, "Thumbnails/thumbnail.png"), PXC_IT_THUMBNAIL);
    return true;
  }

 private:
  static const zip::Entry* Find(const std::vector<zip::Entry>& entries, std::string_view name) {
    for (const zip::Entry& e : entries) {
      if (e.name == name) return &e;
    }
    return nullptr;
  }

  static bool ReadStack(std::string_view xml, ImageDescription& d, std::string& why) {
    XmlMarkup markup(xml);
    if (!markup.SkipProlog() || markup.Name() != "image") {
      why = "stack.xml does not hold an <image> element";
      return false;
    }
    double width = 0, height = 0, xres = 0, yres = 0;
    std::string_view key, value;
    bool ended = false;
    while (markup.Attribute(key, value, ended)) {
      if (key == "w") width = Number(value);
      else if (key == "h") height = Number(value);
      else if (key == "xres") xres = Number(value);
      else if (key == "yres") yres = Number(value);
      else if (key == "version") d.version = std::string(value.substr(0, 16));
    }
    if (!(width >= 1 && height >= 1 && width <= 0x7FFFFFFF && height <= 0x7FFFFFFF)) {
      why = "the <image> element has no valid size";
      return false;
    }
    std::size_t layers = 0;
    while (markup.Find("layer")) ++layers;
    d.columns = static_cast<std::uint32_t>(width);
    d.rows = static_cast<std::uint32_t>(height);
    d.channelEncoding = PXC_CE_RGB;
    d.inks = 3;
    d.alphaPlane = PXC_AP_UNASSOCIATED;
    SetResolution(d, xres, yres);
    d.extended.emplace_back("Layers", std::to_string(layers));
    return true;
  }

  void AddPng(const ByteSource& source, const zip::Entry* entry, PXC_TImageType type) {
    if (!entry) return;
    if (entry->method == 0) {
      const std::uint64_t data = zip::DataOffset(source, *entry);
      if (data != 0 && HoldsImage(source, data, entry->compressedSize, EmbeddedKind::kPng)) {
        iImages.push_back(EmbeddedImage(type, data, entry->compressedSize));
      }
      return;
    }
    std::string head;
    ImageDescription d;
    if (!zip::ReadContent(source, *entry, kPngHead, head) || !DescribePngHead(head, d)) return;
    d.format = "PNG";
    d.type = type;
    iImages.push_back(d);
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeOraReader() { return std::make_unique<OraReader>(); }
IMR_READER(ORA, MakeOraReader);

}  // namespace imr::formats
