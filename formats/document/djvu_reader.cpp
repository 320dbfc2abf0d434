// DjVu pages: the INFO chunk of each (size, resolution, version, rotation)
// and the kind of its first image layer (IW44 colour or grey, JB2 bilevel).
// A bundled document's DIRM chunk lists the offsets of its components in
// page order; pages are its FORM:DJVU components.
#include "formats/document/djvu_reader.h"

#include <algorithm>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"

namespace imr::formats {
namespace {

constexpr std::size_t kMaxPages = 10000;
constexpr int kMaxChunks = 64;  // chunks of a page looked at for its layers

struct Form {
  std::uint32_t type = 0;
  std::uint64_t content = 0;  // the first chunk
  std::uint64_t end = 0;
};

// The FORM chunk at `at`, clamped to the source.
bool ReadForm(ByteReader& r, std::uint64_t at, Form& out) {
  if (r.U32BE(at) != FourCC("FORM")) return false;
  const std::uint64_t size = r.U32BE(at + 4);
  out.type = r.U32BE(at + 8);
  out.content = at + 12;
  out.end = std::min(at + 8 + size, r.Size());
  return !r.Failed() && size >= 4;
}

PXC_TImageRotation Rotation(std::uint8_t flags) {
  switch (flags & 7) {
    case 6: return PXC_IR_270;  // turned a quarter counter-clockwise
    case 2: return PXC_IR_180;
    case 5: return PXC_IR_90;
    default: return PXC_IR_NONE;
  }
}

class DjvuReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source);
    Form form;
    if (r.U32BE(0) != FourCC("AT&T") || !ReadForm(r, 4, form)) return false;
    if (form.type == FourCC("DJVU")) {
      ImageDescription page;
      if (!ReadPage(r, form, page)) return Refuse("the page has no valid INFO chunk");
      iImages.push_back(page);
    } else if (form.type == FourCC("DJVM")) {
      if (!ReadDocument(r, form)) return false;
    } else {
      return Refuse("a FORM of type " + r.Text(12, 4) + " is not a page or a document");
    }
    const auto count = static_cast<std::int32_t>(iImages.size());
    for (ImageDescription& page : iImages) {
      page.pages = count;
      page.type = &page == &iImages.front() ? PXC_IT_MAIN : PXC_IT_PAGE;
    }
    return true;
  }

 private:
  bool ReadDocument(ByteReader& r, const Form& document) {
    if (r.U32BE(document.content) != FourCC("DIRM")) return Refuse("the document does not start with DIRM");
    const std::uint64_t dirm = document.content + 8;
    const std::uint8_t flags = r.U8(dirm);
    const std::uint16_t files = r.U16BE(dirm + 1);
    if (r.Failed()) return Refuse("the DIRM chunk is cut short");
    if (!(flags & 0x80)) return Refuse("an indirect document: its pages are files of their own");
    for (std::uint16_t i = 0; i < files && iImages.size() < kMaxPages; ++i) {
      const std::uint64_t offset = r.U32BE(dirm + 3 + 4u * i);
      if (r.Failed()) return Refuse("the DIRM chunk is cut short");
      // Each component is read on its own: one out of bounds spoils no other.
      ByteReader c(r.Source());
      Form component;
      if (!ReadForm(c, offset, component) || component.type != FourCC("DJVU")) continue;  // shared data, thumbnails
      ImageDescription page;
      if (ReadPage(c, component, page)) iImages.push_back(page);
    }
    return !iImages.empty() || Refuse("the document has no readable page");
  }

  static bool ReadPage(ByteReader& r, const Form& form, ImageDescription& d) {
    const std::uint64_t info = form.content + 8;
    const std::uint32_t length = r.U32BE(form.content + 4);
    if (r.U32BE(form.content) != FourCC("INFO") || length < 5) return false;
    d.format = "DJVU";
    d.columns = r.U16BE(info);
    d.rows = r.U16BE(info + 2);
    d.version = std::to_string(r.U8(info + 4));
    if (length >= 8) {
      const std::uint16_t dpi = r.U16LE(info + 6);
      if (dpi >= 25 && dpi <= 6000) SetResolution(d, dpi, dpi);
    }
    if (length >= 10) d.rotation = Rotation(r.U8(info + 9));
    if (r.Failed() || d.columns == 0 || d.rows == 0) return false;
    d.channelEncoding = PXC_CE_UNKNOWN;
    std::uint64_t at = info + length + (length & 1);
    for (int i = 0; i < kMaxChunks && at + 8 <= form.end && d.channelEncoding == PXC_CE_UNKNOWN; ++i) {
      const std::uint32_t id = r.U32BE(at), size = r.U32BE(at + 4);
      if (id == FourCC("BG44") && size >= 3 && r.U8(at + 8) == 0) {
        // The first IW44 chunk's major version has its top bit set for grey.
        const bool grey = r.U8(at + 10) & 0x80;
        d.channelEncoding = grey ? PXC_CE_GRAY : PXC_CE_YCBCR;
        d.inks = grey ? 1 : 3;
        d.extended.emplace_back("Compression", "IW44");
      } else if (id == FourCC("Sjbz")) {
        d.channelEncoding = PXC_CE_BILEVEL;
        d.inks = 1;
        d.extended.emplace_back("Compression", "JB2");
      }
      if (r.Failed()) break;
      at += 8 + std::uint64_t{size} + (size & 1);
    }
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeDjvuReader() { return std::make_unique<DjvuReader>(); }
IMR_READER(DJVU, MakeDjvuReader);

}  // namespace imr::formats
