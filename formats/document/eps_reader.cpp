#include "formats/document/eps_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/embedded_image.h"
#include "formats/common/reader_registry.h"

namespace imr::formats {

namespace {

constexpr std::uint64_t kRegion = 64 * 1024;  // bytes read at each end of the PostScript
constexpr std::size_t kMaxNames = 256;        // ink names and plate files kept


// Splits text at CR, LF or CRLF.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.push_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\0')) s.remove_suffix(1);
  return s;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// "(text)" without its parentheses.
std::string Unparenthesize(std::string_view s) {
  s = Trim(s);
  if (s.size() >= 2 && s.front() == '(' && s.back() == ')') s = s.substr(1, s.size() - 2);
  return std::string(s);
}

// Words and parenthesised names of a DSC value.
std::vector<std::string> Tokens(std::string_view s) {
  std::vector<std::string> tokens;
  std::size_t i = 0;
  while (i < s.size() && tokens.size() < kMaxNames) {
    if (s[i] == ' ' || s[i] == '\t') {
      ++i;
    } else if (s[i] == '(') {
      int depth = 0;
      std::size_t start = i + 1;
      for (; i < s.size(); ++i) {
        if (s[i] == '(') ++depth;
        if (s[i] == ')' && --depth == 0) break;
      }
      tokens.emplace_back(s.substr(start, std::min(i, s.size()) - start));
      ++i;
    } else {
      std::size_t start = i;
      while (i < s.size() && s[i] != ' ' && s[i] != '\t') ++i;
      tokens.emplace_back(s.substr(start, i - start));
    }
  }
  return tokens;
}

bool ParseNumbers(std::string_view s, double* values, int count) {
  std::string text(Trim(s));
  const char* p = text.c_str();
  for (int i = 0; i < count; ++i) {
    char* end = nullptr;
    values[i] = std::strtod(p, &end);
    if (end == p || !std::isfinite(values[i])) return false;
    p = end;
  }
  return true;
}

struct Box {
  bool valid = false;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

bool ParseBox(std::string_view value, Box& box) {
  double v[4];
  if (!ParseNumbers(value, v, 4)) return false;
  box = {true, v[0], v[1], v[2], v[3]};
  double w = std::fabs(v[2] - v[0]), h = std::fabs(v[3] - v[1]);
  box.valid = w > 0 && h > 0 && w < 1e7 && h < 1e7;
  return box.valid;
}

bool IsAtEnd(std::string_view value) { return Trim(value) == "(atend)"; }

void AddName(std::vector<std::string>& names, const std::string& name) {
  if (name.empty() || names.size() >= kMaxNames) return;
  if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

// The DSC comments of one region (the header or the trailer).
struct Comments {
  bool haveBox = false, boxAtEnd = false;
  Box box;
  bool haveHiRes = false, hiResAtEnd = false;
  Box hiRes;
  bool havePages = false, pagesAtEnd = false;
  long pages = 0;
  std::string creator, title;
  bool processAtEnd = false, customAtEnd = false;
  std::vector<std::string> processColors, customColors;
  std::vector<std::pair<std::string, std::string>> dcs1Plates;  // colour, file
  struct Plate {
    std::string name, file;
    bool local = false;  // in this file at #offset
  };
  std::vector<Plate> dcs2Plates;
};

// Reads the DSC comments of `lines`; `header` stops at the end of the header
// comments, otherwise every comment line is read and later values win.
void ReadComments(const std::vector<std::string_view>& lines, std::size_t first, bool header, Comments& c) {
  std::string_view key;  // of the comment a "%%+" line continues
  for (std::size_t i = first; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    if (header) {
      if (line.empty()) continue;
      if (line[0] != '%' || StartsWith(line, "%%EndComments") || StartsWith(line, "%%BeginProlog") ||
          StartsWith(line, "%%BeginSetup") || StartsWith(line, "%%Page:") || StartsWith(line, "%%BeginDocument")) {
        break;
      }
    }
    std::string_view value;
    if (StartsWith(line, "%%+")) {
      value = line.substr(3);
    } else if (StartsWith(line, "%%")) {
      std::size_t colon = line.find(':');
      key = colon == std::string_view::npos ? line : line.substr(0, colon + 1);
      value = colon == std::string_view::npos ? std::string_view() : line.substr(colon + 1);
    } else {
      key = {};
      continue;
    }
    bool continued = StartsWith(line, "%%+");
    if (key == "%%BoundingBox:" && !continued) {
      if (IsAtEnd(value)) {
        c.boxAtEnd = true;
      } else if (!c.haveBox || !header) {
        c.haveBox = ParseBox(value, c.box) || c.haveBox;
      }
    } else if (key == "%%HiResBoundingBox:" && !continued) {
      if (IsAtEnd(value)) {
        c.hiResAtEnd = true;
      } else if (!c.haveHiRes || !header) {
        c.haveHiRes = ParseBox(value, c.hiRes) || c.haveHiRes;
      }
    } else if (key == "%%Pages:" && !continued) {
      if (IsAtEnd(value)) {
        c.pagesAtEnd = true;
      } else if (!c.havePages || !header) {
        double n[1];
        if (ParseNumbers(value, n, 1) && n[0] >= 0 && n[0] < 1e9) {
          c.pages = static_cast<long>(n[0]);
          c.havePages = true;
        }
      }
    } else if (key == "%%Creator:" && !continued) {
      if (c.creator.empty()) c.creator = Unparenthesize(value);
    } else if (key == "%%Title:" && !continued) {
      if (c.title.empty()) c.title = Unparenthesize(value);
    } else if (key == "%%DocumentProcessColors:") {
      if (IsAtEnd(value)) {
        c.processAtEnd = true;
      } else {
        for (const std::string& t : Tokens(value)) AddName(c.processColors, t);
      }
    } else if (key == "%%DocumentCustomColors:") {
      if (IsAtEnd(value)) {
        c.customAtEnd = true;
      } else {
        for (const std::string& t : Tokens(value)) AddName(c.customColors, t);
      }
    } else if (key == "%%CMYKCustomColor:" || key == "%%RGBCustomColor:") {
      // c m y k (name) / r g b (name)
      std::vector<std::string> tokens = Tokens(value);
      std::size_t count = key == "%%CMYKCustomColor:" ? 5 : 4;
      for (std::size_t t = count - 1; t < tokens.size(); t += count) AddName(c.customColors, tokens[t]);
    } else if ((key == "%%CyanPlate:" || key == "%%MagentaPlate:" || key == "%%YellowPlate:" ||
                key == "%%BlackPlate:") && !continued) {
      std::string file = Unparenthesize(value);
      if (!file.empty() && c.dcs1Plates.size() < kMaxNames) {
        c.dcs1Plates.emplace_back(std::string(key.substr(2, key.size() - 8)), file);
      }
    } else if (key == "%%PlateFile:") {
      // (Name) EPS Local file | (Name) EPS #offset length
      std::string_view rest = Trim(value);
      if (rest.empty() || rest[0] != '(' || c.dcs2Plates.size() >= kMaxNames) continue;
      std::size_t close = rest.find(')');
      if (close == std::string_view::npos) continue;
      Comments::Plate plate;
      plate.name = std::string(rest.substr(1, close - 1));
      rest = Trim(rest.substr(close + 1));
      std::size_t space = rest.find(' ');
      rest = space == std::string_view::npos ? std::string_view() : Trim(rest.substr(space + 1));  // file type
      if (!rest.empty() && rest[0] == '#') {
        plate.local = true;
      } else {
        space = rest.find(' ');
        plate.file = space == std::string_view::npos ? std::string() : std::string(Trim(rest.substr(space + 1)));
      }
      c.dcs2Plates.push_back(std::move(plate));
    }
  }
}

class EpsReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override;
};

bool EpsReader::Open(const ByteSource& source) {
  iImages.clear();
  ByteReader reader(source, true);
  const std::uint64_t size = reader.Size();
  std::uint64_t psOffset = 0, psLength = size;
  std::vector<ImageDescription> embedded;
  if (size >= 30 && reader.U32BE(0) == 0xC5D0D3C6) {
    // DOS EPS binary header: PostScript, WMF and TIFF sections
    psOffset = reader.U32(4);
    psLength = reader.U32(8);
    if (psOffset < 30 || psOffset >= size) return false;
    psLength = std::min(psLength, size - psOffset);
    // the TIFF preview, then the WMF one
    for (int section = 0; section < 2; ++section) {
      const std::uint64_t offset = reader.U32(section == 0 ? 20 : 12);
      const std::uint64_t length = reader.U32(section == 0 ? 24 : 16);
      const EmbeddedKind kind = section == 0 ? EmbeddedKind::kTiff : EmbeddedKind::kWmf;
      if (offset >= 30 && HoldsImage(source, offset, length, kind)) {
        embedded.push_back(EmbeddedImage(PXC_IT_PREVIEW, offset, length));
      }
    }
  }

  std::string head = reader.Text(psOffset, static_cast<std::size_t>(std::min(psLength, 2 * kRegion)));
  std::string tail;
  if (psLength > 2 * kRegion) {
    head.resize(kRegion);
    tail = reader.Text(psOffset + psLength - kRegion, kRegion);
  }
  // a ^D or a printer-job prologue may come before "%!PS"
  std::size_t start = 0;
  if (!head.empty() && head[0] == '\x04') start = 1;
  if (StartsWith(head, "\x1B%-12345X")) {
    start = head.find("%!PS");
    if (start == std::string::npos || start > 4096) return false;
  }
  if (head.compare(start, 4, "%!PS") != 0) return false;

  std::vector<std::string_view> lines = SplitLines(std::string_view(head).substr(start));
  std::string_view first = lines.empty() ? std::string_view() : lines[0];
  // "%!PS" alone or "%!PS-Adobe-n.n"; fonts ("%!PS-AdobeFont-1.0") and other
  // DSC resources ("%!PS-Adobe-3.0 Resource-Font") are no pictures
  bool plain = first.size() == 4 || first[4] == ' ' || first[4] == '\t';
  bool adobe = StartsWith(first, "%!PS-Adobe-") && first.size() > 11 && first[11] >= '0' && first[11] <= '9';
  if ((!plain && !adobe) || first.find("Resource-") != std::string_view::npos) return false;
  ImageDescription image;
  bool eps = false;
  // "%!PS-Adobe-3.0 EPSF-3.0": the EPSF version makes it an EPS
  if (std::size_t at = first.find("EPSF-"); at != std::string_view::npos) {
    eps = true;
    std::string_view v = first.substr(at + 5);
    image.version = std::string(v.substr(0, std::min(v.find_first_not_of("0123456789."), std::size_t{8})));
  } else if (StartsWith(first, "%!PS-Adobe-")) {
    std::string_view v = first.substr(11);
    image.version = std::string(v.substr(0, std::min(v.find_first_not_of("0123456789."), std::size_t{8})));
  }

  Comments header;
  ReadComments(lines, 1, true, header);
  if (header.boxAtEnd || header.hiResAtEnd || header.pagesAtEnd || header.processAtEnd || header.customAtEnd) {
    // the trailer: after the last %%Trailer of the PostScript
    std::string_view region = tail.empty() ? std::string_view(head) : std::string_view(tail);
    std::size_t at = region.rfind("%%Trailer");
    if (at != std::string_view::npos) {
      Comments trailer;
      ReadComments(SplitLines(region.substr(at)), 1, false, trailer);
      if (header.boxAtEnd && trailer.haveBox) header.box = trailer.box, header.haveBox = true;
      if (header.hiResAtEnd && trailer.haveHiRes) header.hiRes = trailer.hiRes, header.haveHiRes = true;
      if (header.pagesAtEnd && trailer.havePages) header.pages = trailer.pages, header.havePages = true;
      if (header.processAtEnd) header.processColors = trailer.processColors;
      if (header.customAtEnd) {
        for (const std::string& name : trailer.customColors) AddName(header.customColors, name);
      }
    }
  }

  // Photoshop's %ImageData (columns rows depth mode ...), an EPSI preview and
  // XMP, outside the documents the file embeds
  int depth = 0, mode = 0;
  double dataColumns = 0, dataRows = 0;
  bool xmp = false;
  ImageDescription epsi;
  bool haveEpsi = false;
  std::size_t nesting = 0;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    if (StartsWith(line, "%%BeginDocument")) {
      ++nesting;
    } else if (StartsWith(line, "%%EndDocument")) {
      if (nesting > 0) --nesting;
    } else if (nesting > 0) {
      continue;
    } else if (StartsWith(line, "%ImageData:") && mode == 0) {
      double v[4];
      if (ParseNumbers(line.substr(11), v, 4) && v[2] >= 1 && v[2] <= 16 && v[3] >= 1 && v[3] <= 4) {
        depth = static_cast<int>(v[2]);
        mode = static_cast<int>(v[3]);
        if (v[0] >= 1 && v[1] >= 1 && v[0] < 1e6 && v[1] < 1e6) {
          dataColumns = std::floor(v[0]);
          dataRows = std::floor(v[1]);
        }
      }
    } else if (StartsWith(line, "%%BeginPreview:") && !haveEpsi) {
      double v[3];
      if (ParseNumbers(line.substr(15), v, 3) && v[0] >= 1 && v[1] >= 1 && v[0] < 1e6 && v[1] < 1e6 &&
          v[2] >= 1 && v[2] <= 8) {
        haveEpsi = true;
        epsi.columns = static_cast<std::uint32_t>(v[0]);
        epsi.rows = static_cast<std::uint32_t>(v[1]);
        epsi.type = std::max(epsi.columns, epsi.rows) <= 256 ? PXC_IT_THUMBNAIL : PXC_IT_PREVIEW;
        epsi.channelEncoding = v[2] == 1 ? PXC_CE_BILEVEL : PXC_CE_GRAY;
        epsi.inks = 1;
        epsi.extended.emplace_back("BitsPerSample", std::to_string(static_cast<int>(v[2])));
      }
    } else if (StartsWith(line, "%begin_xml_packet") || line.find("<x:xmpmeta") != std::string_view::npos) {
      xmp = true;
    }
  }

  // DCS: plates named in the header
  std::vector<std::string> inkNames;
  bool dcs1 = !header.dcs1Plates.empty();
  bool dcs2 = !header.dcs2Plates.empty();
  if (dcs2) {
    image.format = "DCS";
    image.version = "2.0";
    for (const auto& plate : header.dcs2Plates) {
      if (plate.name != "Composite") AddName(inkNames, plate.name);
      if (!plate.local && !plate.file.empty()) image.externalRefs.push_back(plate.file);
    }
  } else if (dcs1) {
    image.format = "DCS";
    image.version = "1.0";
    for (const auto& [colour, file] : header.dcs1Plates) {
      AddName(inkNames, colour);
      image.externalRefs.push_back(file);
    }
  } else {
    image.format = eps ? "EPS" : "PS";
    inkNames = header.processColors;
  }
  for (const std::string& name : header.customColors) AddName(inkNames, name);

  image.type = PXC_IT_MAIN;
  // ImageMagick's page: the high-resolution box first, letter size without any
  Box box = header.haveHiRes ? header.hiRes : header.box;
  double width = box.valid ? std::fabs(box.x2 - box.x1) : 612;
  double height = box.valid ? std::fabs(box.y2 - box.y1) : 792;
  if (dataColumns > 0) {
    // Photoshop's picture: its pixels over the box
    image.columns = static_cast<std::uint32_t>(dataColumns);
    image.rows = static_cast<std::uint32_t>(dataRows);
    if (!box.valid) {
      width = dataColumns;
      height = dataRows;
    }
    SetResolution(image, dataColumns * 72 / width, dataRows * 72 / height);
  } else {
    image.columns = PagePixels(width);
    image.rows = PagePixels(height);
    SetResolution(image, 72, 72);
  }
  image.hRealSize = width / 72;  // the page, not its rounded pixels
  image.vRealSize = height / 72;
  if (mode != 0) {
    static constexpr PXC_TChannelEnc kModes[] = {PXC_CE_GRAY, PXC_CE_LAB, PXC_CE_RGB, PXC_CE_CMYK};
    static constexpr std::uint16_t kInks[] = {1, 3, 3, 4};
    image.channelEncoding = mode == 1 && depth == 1 ? PXC_CE_BILEVEL : kModes[mode - 1];
    image.inks = kInks[mode - 1];
    image.extended.emplace_back("BitsPerSample", std::to_string(depth));
  } else if (dcs1 || dcs2) {
    bool process = std::all_of(inkNames.begin(), inkNames.end(), [](const std::string& n) {
      return n == "Cyan" || n == "Magenta" || n == "Yellow" || n == "Black";
    });
    image.channelEncoding = process ? PXC_CE_CMYK : PXC_CE_MULTICHANNEL;
  } else {
    image.channelEncoding = PXC_CE_VECTOR;
  }
  if (!inkNames.empty()) {
    image.inks = static_cast<std::uint16_t>(inkNames.size());
    image.inkNames = inkNames;
  }
  if (header.havePages) {
    // an EPS with "%%Pages: 0" is still one page
    image.pages = static_cast<std::int32_t>(std::max(header.pages, 1L));
    image.extended.emplace_back("Pages", std::to_string(image.pages));
  }
  if (!header.title.empty()) image.extended.emplace_back("Title", header.title);
  if (!header.creator.empty()) image.extended.emplace_back("Creator", header.creator);
  if (xmp) image.extended.emplace_back("XMP", "yes");

  iImages.push_back(std::move(image));
  if (haveEpsi) iImages.push_back(std::move(epsi));
  for (ImageDescription& preview : embedded) iImages.push_back(std::move(preview));
  return true;
}

}  // namespace

std::unique_ptr<FormatReader> MakeEpsReader() { return std::make_unique<EpsReader>(); }
IMR_READER(EPS, MakeEpsReader);

}  // namespace imr::formats
