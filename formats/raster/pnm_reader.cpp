// Netpbm: PBM, PGM and PPM in their plain (P1-P3) and raw (P4-P6) forms,
// PAM (P7, with TUPLTYPE) and PFM (Pf grey, PF colour; a negative scale
// means little-endian samples).  Raw files may hold several images one
// after another; each is an image of the file.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/raster/raster_reader.h"

namespace imr::formats {

namespace {

// Headers longer than this (comments included) are not read.
constexpr std::size_t kMaxHeader = 16384;
constexpr std::uint32_t kMaxPamDepth = 64;
// Images walked after the first; the caller asks for at most 64.
constexpr std::size_t kMaxImages = 1024;

struct PnmHeader {
  char kind = 0;  // '1'..'7', 'f' (Pf) or 'F' (PF)
  std::uint32_t width = 0, height = 0, depth = 1, maxval = 1;
  double scale = 0;
  std::string tupleType;
  std::uint64_t dataStart = 0;
  std::uint64_t dataBytes = 0;  // raw forms only
  bool headerRead = false;      // the header is complete and its values in range
};

class Tokens {
 public:
  explicit Tokens(std::string text) : iText(std::move(text)) {}

  // Skips whitespace and comments; false at the end of the text.
  bool SkipBlanks() {
    while (iAt < iText.size()) {
      const char c = iText[iAt];
      if (c == '#') {
        while (iAt < iText.size() && iText[iAt] != '\n' && iText[iAt] != '\r') ++iAt;
      } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
        ++iAt;
      } else {
        return true;
      }
    }
    return false;
  }

  std::string Word() {
    if (!SkipBlanks()) return {};
    const std::size_t start = iAt;
    while (iAt < iText.size() && !IsSpace(iText[iAt]) && iText[iAt] != '#') ++iAt;
    return iText.substr(start, iAt - start);
  }

  // A decimal number of at most nine digits; false otherwise.
  bool Number(std::uint32_t& value) {
    const std::string word = Word();
    if (word.empty() || word.size() > 9) return false;
    value = 0;
    for (char c : word) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return true;
  }

  // The rest of the current line, trimmed.
  std::string Line() {
    std::size_t end = iAt;
    while (end < iText.size() && iText[end] != '\n' && iText[end] != '\r') ++end;
    std::string line = iText.substr(iAt, end - iAt);
    iAt = end;
    while (!line.empty() && IsSpace(line.front())) line.erase(line.begin());
    while (!line.empty() && IsSpace(line.back())) line.pop_back();
    return line;
  }

  // The header ends with exactly one whitespace byte after its last token.
  bool EndOfHeader(std::size_t& dataStart) {
    if (iAt >= iText.size() || !IsSpace(iText[iAt])) return false;
    dataStart = iAt + 1;
    return true;
  }
  // PAM: the line holding ENDHDR ends with a newline.
  bool EndOfLine(std::size_t& dataStart) {
    while (iAt < iText.size() && iText[iAt] != '\n') {
      if (!IsSpace(iText[iAt])) return false;
      ++iAt;
    }
    if (iAt >= iText.size()) return false;
    dataStart = iAt + 1;
    return true;
  }

 private:
  static bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
  }

  std::string iText;
  std::size_t iAt = 2;  // after the magic
};

// `a * b`, or false when it exceeds `limit`.
bool MultiplyWithin(std::uint64_t a, std::uint64_t b, std::uint64_t limit, std::uint64_t& out) {
  if (a != 0 && b > limit / a) return false;
  out = a * b;
  return out <= limit;
}

bool ParsePam(Tokens& t, PnmHeader& h, std::size_t& dataStart) {
  bool width = false, height = false, depth = false, maxval = false;
  for (int lines = 0; lines < 256; ++lines) {
    const std::string key = t.Word();
    if (key.empty()) return false;
    if (key == "ENDHDR") {
      if (!width || !height || !depth || !maxval || !t.EndOfLine(dataStart)) return false;
      return h.depth >= 1 && h.depth <= kMaxPamDepth;
    }
    if (key == "WIDTH") {
      width = t.Number(h.width);
      if (!width) return false;
    } else if (key == "HEIGHT") {
      height = t.Number(h.height);
      if (!height) return false;
    } else if (key == "DEPTH") {
      depth = t.Number(h.depth);
      if (!depth) return false;
    } else if (key == "MAXVAL") {
      maxval = t.Number(h.maxval);
      if (!maxval) return false;
    } else if (key == "TUPLTYPE") {
      const std::string value = t.Line();
      if (h.tupleType.size() + value.size() > 256) return false;
      if (!h.tupleType.empty()) h.tupleType += ' ';
      h.tupleType += value;
    } else {
      return false;
    }
  }
  return false;
}

// Parses the header at `at`; false unless it is complete and consistent,
// and, for the raw forms, the file holds all its pixel data.
bool ParsePnm(ByteReader& reader, std::uint64_t at, PnmHeader& h) {
  ByteReader r(reader);
  const std::uint64_t size = r.Size();
  if (at >= size || size - at < 3) return false;
  const std::string magic = r.Text(at, 2);
  if (magic[0] != 'P') return false;
  h = PnmHeader{};
  h.kind = magic[1];
  if (!((h.kind >= '1' && h.kind <= '7') || h.kind == 'f' || h.kind == 'F')) return false;
  Tokens t(r.Text(at, static_cast<std::size_t>(std::min<std::uint64_t>(kMaxHeader, size - at))));
  std::size_t dataStart = 0;
  if (h.kind == '7') {
    if (!ParsePam(t, h, dataStart)) return false;
  } else {
    if (!t.Number(h.width) || !t.Number(h.height)) return false;
    if (h.kind == 'f' || h.kind == 'F') {
      const std::string word = t.Word();
      if (word.empty() || word.size() > 32) return false;
      char* end = nullptr;
      h.scale = std::strtod(word.c_str(), &end);
      if (end != word.c_str() + word.size() || !std::isfinite(h.scale) || h.scale == 0) return false;
      h.depth = h.kind == 'F' ? 3 : 1;
    } else if (h.kind != '1' && h.kind != '4') {
      if (!t.Number(h.maxval)) return false;
      h.depth = h.kind == '3' || h.kind == '6' ? 3 : 1;
    }
    if (!t.EndOfHeader(dataStart)) return false;
  }
  if (h.width == 0 || h.height == 0 || h.maxval == 0 || h.maxval > 65535) return false;
  h.dataStart = at + dataStart;
  h.headerRead = true;

  if (h.kind >= '1' && h.kind <= '3') return h.dataStart < size;
  std::uint64_t rowBytes = 0;
  if (h.kind == '4') {
    rowBytes = (std::uint64_t{h.width} + 7) / 8;
  } else {
    const std::uint64_t sampleBytes = h.kind == 'f' || h.kind == 'F' ? 4 : (h.maxval > 255 ? 2 : 1);
    rowBytes = std::uint64_t{h.width} * h.depth * sampleBytes;
  }
  const std::uint64_t room = size - std::min(size, h.dataStart);
  return MultiplyWithin(rowBytes, h.height, room, h.dataBytes);
}

std::string BitsOf(std::uint32_t maxval) {
  int bits = 0;
  while (maxval > 0) {
    ++bits;
    maxval >>= 1;
  }
  return std::to_string(bits);
}

class PnmReader : public FormatReader {
 public:
  bool Open(const ByteSource& source) override {
    iSource = &source;
    iHeaders.clear();
    iDone = false;
    ByteReader r(source);
    PnmHeader first;
    if (!ParsePnm(r, 0, first)) {
      if (first.kind == 0) return false;
      return Refuse(first.headerRead ? "the pixel data is cut short"
                                     : "the header is incomplete or holds values out of range");
    }
    iHeaders.push_back(first);
    return true;
  }

  bool Describe(std::uint32_t index, ImageDescription& out) override {
    if (!iSource) return false;
    while (index >= iHeaders.size() && Next()) {
    }
    if (index >= iHeaders.size()) return false;
    const PnmHeader& h = iHeaders[index];
    out = ImageDescription{};
    out.type = index == 0 ? PXC_IT_MAIN : PXC_IT_PAGE;
    out.columns = h.width;
    out.rows = h.height;
    std::string bits = BitsOf(h.maxval);
    switch (h.kind) {
      case '1': case '4':
        out.format = "PBM";
        out.channelEncoding = PXC_CE_BILEVEL;
        out.inks = 1;
        break;
      case '2': case '5':
        out.format = "PGM";
        out.channelEncoding = PXC_CE_GRAY;
        out.inks = 1;
        break;
      case '3': case '6':
        out.format = "PPM";
        out.channelEncoding = PXC_CE_RGB;
        out.inks = 3;
        break;
      case '7':
        out.format = "PAM";
        DescribeTuple(h, out);
        break;
      default:
        out.format = "PFM";
        out.channelEncoding = h.kind == 'F' ? PXC_CE_RGB : PXC_CE_GRAY;
        out.inks = h.kind == 'F' ? 3 : 1;
        bits = "32";
        out.extended.emplace_back("ByteOrder", h.scale < 0 ? "little-endian" : "big-endian");
        break;
    }
    out.extended.emplace_back("BitsPerSample", bits);
    return true;
  }

 private:
  static void DescribeTuple(const PnmHeader& h, ImageDescription& out) {
    std::string type = h.tupleType;
    const std::string suffix = "_ALPHA";
    const bool alpha = type.size() > suffix.size() &&
                       type.compare(type.size() - suffix.size(), suffix.size(), suffix) == 0;
    if (alpha) type.resize(type.size() - suffix.size());
    std::uint32_t colours = h.depth;
    if (type == "BLACKANDWHITE") {
      out.channelEncoding = PXC_CE_BILEVEL;
      colours = 1;
    } else if (type == "GRAYSCALE") {
      out.channelEncoding = PXC_CE_GRAY;
      colours = 1;
    } else if (type == "RGB") {
      out.channelEncoding = PXC_CE_RGB;
      colours = 3;
    } else if (type == "CMYK") {
      out.channelEncoding = PXC_CE_CMYK;
      colours = 4;
    } else {
      // No known tuple type: the depth decides, as Netpbm's tools do.
      colours = h.depth >= 3 ? 3 : 1;
      out.channelEncoding = colours == 3 ? PXC_CE_RGB : PXC_CE_GRAY;
      if (h.depth == 2 || h.depth == 4) out.alphaPlane = PXC_AP_UNASSOCIATED;
    }
    if (alpha && colours < h.depth) out.alphaPlane = PXC_AP_UNASSOCIATED;
    if (colours > h.depth) colours = h.depth;
    out.inks = static_cast<std::uint16_t>(colours);
  }

  // Reads the header right after the last raw image's data.
  bool Next() {
    if (iDone || iHeaders.size() >= kMaxImages) return false;
    const PnmHeader& last = iHeaders.back();
    ByteReader r(*iSource);
    PnmHeader next;
    if (last.kind < '4' || !ParsePnm(r, last.dataStart + last.dataBytes, next)) {
      iDone = true;
      return false;
    }
    iHeaders.push_back(next);
    return true;
  }

  const ByteSource* iSource = nullptr;
  std::vector<PnmHeader> iHeaders;
  bool iDone = false;
};

}  // namespace

std::unique_ptr<FormatReader> MakePnmReader() { return std::make_unique<PnmReader>(); }
IMR_READER(PNM, MakePnmReader);

}  // namespace imr::formats
