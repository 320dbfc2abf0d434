#include "formats/document/pdf_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <utility>

#include "formats/common/reader_registry.h"
#include "formats/document/pdf_document_util.h"

namespace imr::formats {

namespace {

using pdf::PdfDocument;
using pdf::PdfObject;

constexpr int kMaxTreeDepth = 64;
constexpr std::int64_t kMaxPages = 100000000;

struct Box {
  bool valid = false;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  double Width() const { return std::fabs(x2 - x1); }
  double Height() const { return std::fabs(y2 - y1); }
};

bool ReadBox(PdfDocument& document, const PdfObject* value, Box& box) {
  PdfObject array;
  if (!value || !document.Resolve(*value, array) || !array.IsArray() || array.items.size() < 4) return false;
  double numbers[4];
  for (int i = 0; i < 4; ++i) {
    PdfObject number;
    if (!document.Resolve(array.items[i], number) || !number.IsNumber() || !std::isfinite(number.Number())) {
      return false;
    }
    numbers[i] = number.Number();
  }
  box = {true, numbers[0], numbers[1], numbers[2], numbers[3]};
  return box.Width() > 0 && box.Height() > 0 && box.Width() < 1e7 && box.Height() < 1e7;
}

std::string BoxText(const Box& box) {
  char text[128];
  std::snprintf(text, sizeof text, "%g %g %g %g", box.x1, box.y1, box.x2, box.y2);
  return text;
}

class PdfReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override;

 private:
  void ReadFirstPage(PdfDocument& document, const PdfObject& pages, Box& media, Box& crop, int& rotate);
};

void PdfReader::ReadFirstPage(PdfDocument& document, const PdfObject& pages, Box& media, Box& crop,
                              int& rotate) {
  // Inheritable attributes: a node's own value overrides its ancestors'.
  PdfObject node = pages;
  std::set<std::int64_t> seen;
  for (int depth = 0; depth < kMaxTreeDepth && node.IsDictionary(); ++depth) {
    Box box;
    if (ReadBox(document, node.Get("MediaBox"), box)) media = box;
    if (ReadBox(document, node.Get("CropBox"), box)) crop = box;
    PdfObject value;
    if (const PdfObject* r = node.Get("Rotate"); r && document.Resolve(*r, value) && value.IsNumber()) {
      double degrees = value.Number();
      if (std::fabs(degrees) < 1e6) rotate = static_cast<int>(degrees);
    }
    const PdfObject* type = node.Get("Type");
    if (type && type->IsName("Page")) break;
    PdfObject kids;
    const PdfObject* kidsValue = node.Get("Kids");
    if (!kidsValue || !document.Resolve(*kidsValue, kids) || !kids.IsArray() || kids.items.empty()) break;
    const PdfObject& first = kids.items[0];
    if (first.IsReference() && !seen.insert(first.integer).second) break;
    PdfObject child;
    if (!document.Resolve(first, child) || !child.IsDictionary()) break;
    node = std::move(child);
  }
}

bool PdfReader::Open(const ByteSource& source) {
  iImages.clear();
  PdfDocument document(source);
  if (!document.Load()) return false;
  const PdfObject& trailer = document.Trailer();
  PdfObject catalog;
  if (!document.Resolve(*trailer.Get("Root"), catalog) || !catalog.IsDictionary()) return false;
  const bool encrypted = trailer.Get("Encrypt") != nullptr;

  std::int64_t pageCount = -1;
  Box media, crop;
  int rotate = 0;
  PdfObject pages;
  const PdfObject* pagesValue = catalog.Get("Pages");
  bool havePages = pagesValue && document.Resolve(*pagesValue, pages) && pages.IsDictionary();
  if (havePages) {
    PdfObject count;
    if (const PdfObject* c = pages.Get("Count"); c && document.Resolve(*c, count) && count.IsInteger() &&
                                                 count.integer >= 0 && count.integer <= kMaxPages) {
      pageCount = count.integer;
    }
    ReadFirstPage(document, pages, media, crop, rotate);
  } else if (!encrypted) {
    // an encrypted file may keep its page tree in an object stream that
    // cannot be read; any other file without one is broken
    return false;
  }

  ImageDescription image;
  image.version = document.Version();
  image.type = PXC_IT_MAIN;
  image.channelEncoding = PXC_CE_VECTOR;
  if (havePages) {
    // Ghostscript renders a page without a media box on a letter-size page.
    double width = media.valid ? media.Width() : 612;
    double height = media.valid ? media.Height() : 792;
    // The page as stored; /Rotate says how a viewer turns it.
    rotate = ((rotate % 360) + 360) % 360;
    image.rotation = rotate == 90 ? PXC_IR_90 : rotate == 180 ? PXC_IR_180 : rotate == 270 ? PXC_IR_270 : PXC_IR_NONE;
    image.columns = PagePixels(width);
    image.rows = PagePixels(height);
    SetResolution(image, 72, 72);
    image.hRealSize = width / 72;  // the page, not its rounded pixels
    image.vRealSize = height / 72;
  }
  if (pageCount >= 0) {
    image.pages = static_cast<std::int32_t>(std::min<std::int64_t>(pageCount, INT32_MAX));
    image.extended.emplace_back("Pages", std::to_string(pageCount));
  }
  if (!encrypted) {
    PdfObject info;
    if (const PdfObject* i = trailer.Get("Info"); i && document.Resolve(*i, info) && info.IsDictionary()) {
      for (const auto& [key, name] : {std::pair<const char*, const char*>{"Title", "Title"},
                                      {"Creator", "Creator"}, {"Producer", "Software"}}) {
        PdfObject value;
        if (const PdfObject* v = info.Get(key); v && document.Resolve(*v, value) && value.IsString()) {
          std::string text = pdf::PdfTextToUtf8(value.text);
          if (!text.empty()) image.extended.emplace_back(name, text);
        }
      }
    }
  }
  if (catalog.Get("Metadata")) image.extended.emplace_back("XMP", "yes");
  if (encrypted) image.extended.emplace_back("Encrypted", "yes");
  if (document.Linearized()) image.extended.emplace_back("Linearized", "yes");
  if (crop.valid) image.extended.emplace_back("CropBox", BoxText(crop));
  iImages.push_back(std::move(image));
  return true;
}

}  // namespace

std::unique_ptr<FormatReader> MakePdfReader() { return std::make_unique<PdfReader>(); }
IMR_READER(PDF, MakePdfReader);

}  // namespace imr::formats
