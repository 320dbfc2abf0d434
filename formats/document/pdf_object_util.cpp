#include "formats/document/pdf_object_util.h"

#include <algorithm>
#include <cstring>
#include <cstdlib>

#include "formats/common/text_util.h"

namespace imr::formats::pdf {

namespace {

constexpr int kMaxDepth = 32;
constexpr std::size_t kMaxElements = 4096;       // kept per array or dictionary
constexpr std::size_t kMaxStringBytes = 1 << 16; // kept per string
constexpr std::size_t kTokenBudget = 1 << 20;    // values parsed per call
constexpr std::uint64_t kByteBudget = 16u << 20; // bytes consumed per call

struct ParseState {
  std::size_t tokens = 0;
  std::uint64_t end = 0;  // no reading at or past this position
};

int HexValue(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Classifies a regular-character run as a number; false for keywords.
bool ParseNumber(const std::string& word, PdfObject& out) {
  if (word.empty()) return false;
  std::size_t i = 0;
  bool negative = false;
  if (word[0] == '+' || word[0] == '-') {
    negative = word[0] == '-';
    i = 1;
  }
  bool digits = false, point = false;
  std::int64_t integer = 0;
  bool overflow = false;
  for (std::size_t j = i; j < word.size(); ++j) {
    char c = word[j];
    if (c >= '0' && c <= '9') {
      digits = true;
      if (!point) {
        if (integer > (INT64_MAX - 9) / 10) overflow = true;
        else integer = integer * 10 + (c - '0');
      }
    } else if (c == '.' && !point) {
      point = true;
    } else if (c == '-' && j > 0) {
      // "0.00-5" and similar typos: the rest is ignored, as readers do
      break;
    } else {
      return false;
    }
  }
  if (!digits) return false;
  if (point || overflow) {
    out.kind = PdfObject::Kind::kReal;
    out.real = std::strtod(word.c_str(), nullptr);
  } else {
    out.kind = PdfObject::Kind::kInteger;
    out.integer = negative ? -integer : integer;
  }
  return true;
}

bool AtEnd(PdfLexer& lexer, const ParseState& state) {
  return lexer.Position() >= state.end || lexer.Peek() < 0;
}

bool ParseValue(PdfLexer& lexer, PdfObject& out, int depth, ParseState& state);

bool ParseLiteralString(PdfLexer& lexer, PdfObject& out, const ParseState& state) {
  out.kind = PdfObject::Kind::kString;
  int nesting = 1;
  auto put = [&out](int c) {
    if (out.text.size() < kMaxStringBytes) out.text.push_back(static_cast<char>(c));
  };
  while (!AtEnd(lexer, state)) {
    int c = lexer.Get();
    if (c == '\\') {
      if (AtEnd(lexer, state)) return false;
      c = lexer.Get();
      switch (c) {
        case 'n': put('\n'); break;
        case 'r': put('\r'); break;
        case 't': put('\t'); break;
        case 'b': put('\b'); break;
        case 'f': put('\f'); break;
        case '\r':
          if (lexer.Peek() == '\n') lexer.Get();
          break;
        case '\n': break;
        default:
          if (c >= '0' && c <= '7') {
            int value = c - '0';
            for (int k = 0; k < 2 && lexer.Peek() >= '0' && lexer.Peek() <= '7'; ++k) {
              value = value * 8 + (lexer.Get() - '0');
            }
            put(value & 0xFF);
          } else {
            put(c);
          }
      }
    } else if (c == '(') {
      ++nesting;
      put(c);
    } else if (c == ')') {
      if (--nesting == 0) return true;
      put(c);
    } else {
      put(c);
    }
  }
  return false;
}

bool ParseHexString(PdfLexer& lexer, PdfObject& out, const ParseState& state) {
  out.kind = PdfObject::Kind::kString;
  int high = -1;
  while (!AtEnd(lexer, state)) {
    int c = lexer.Get();
    if (c == '>') {
      if (high >= 0 && out.text.size() < kMaxStringBytes) out.text.push_back(static_cast<char>(high << 4));
      return true;
    }
    if (IsPdfSpace(c)) continue;
    int value = HexValue(c);
    if (value < 0) return false;
    if (high < 0) {
      high = value;
    } else {
      if (out.text.size() < kMaxStringBytes) out.text.push_back(static_cast<char>((high << 4) | value));
      high = -1;
    }
  }
  return false;
}

void ParseName(PdfLexer& lexer, PdfObject& out, const ParseState& state) {
  out.kind = PdfObject::Kind::kName;
  while (!AtEnd(lexer, state)) {
    int c = lexer.Peek();
    if (IsPdfSpace(c) || IsPdfDelimiter(c)) break;
    lexer.Get();
    if (c == '#') {
      int h = HexValue(lexer.Peek());
      if (h >= 0) {
        lexer.Get();
        int l = HexValue(lexer.Peek());
        if (l >= 0) {
          lexer.Get();
          c = (h << 4) | l;
        } else {
          c = h;
        }
      }
    }
    if (out.text.size() < 256) out.text.push_back(static_cast<char>(c));
  }
}

bool ParseArray(PdfLexer& lexer, PdfObject& out, int depth, ParseState& state) {
  out.kind = PdfObject::Kind::kArray;
  while (true) {
    lexer.SkipSpace();
    if (AtEnd(lexer, state)) return false;
    if (lexer.Peek() == ']') {
      lexer.Get();
      return true;
    }
    PdfObject item;
    if (!ParseValue(lexer, item, depth + 1, state)) return false;
    if (out.items.size() < kMaxElements) out.items.push_back(std::move(item));
  }
}

bool ParseDictionary(PdfLexer& lexer, PdfObject& out, int depth, ParseState& state) {
  out.kind = PdfObject::Kind::kDictionary;
  while (true) {
    lexer.SkipSpace();
    if (AtEnd(lexer, state)) return false;
    int c = lexer.Peek();
    if (c == '>') {
      lexer.Get();
      if (lexer.Peek() != '>') return false;
      lexer.Get();
      return true;
    }
    if (c != '/') return false;
    lexer.Get();
    PdfObject key;
    ParseName(lexer, key, state);
    lexer.SkipSpace();
    PdfObject value;  // a key right before ">>" is taken as null
    if (lexer.Peek() != '>' && !ParseValue(lexer, value, depth + 1, state)) return false;
    if (out.keys.size() < kMaxElements) {
      out.keys.push_back(std::move(key.text));
      out.items.push_back(std::move(value));
    }
  }
}

bool ParseValue(PdfLexer& lexer, PdfObject& out, int depth, ParseState& state) {
  if (depth > kMaxDepth || ++state.tokens > kTokenBudget) return false;
  lexer.SkipSpace();
  if (AtEnd(lexer, state)) return false;
  int c = lexer.Peek();
  switch (c) {
    case '/':
      lexer.Get();
      ParseName(lexer, out, state);
      return true;
    case '(':
      lexer.Get();
      return ParseLiteralString(lexer, out, state);
    case '[':
      lexer.Get();
      return ParseArray(lexer, out, depth, state);
    case '<':
      lexer.Get();
      if (lexer.Peek() == '<') {
        lexer.Get();
        return ParseDictionary(lexer, out, depth, state);
      }
      return ParseHexString(lexer, out, state);
    case '{':
    case '}':
    case ']':
    case '>':
    case ')':
      return false;
    default:
      break;
  }
  std::uint64_t start = lexer.Position();
  std::string word = lexer.Word();
  if (word.empty()) {
    return false;
  }
  if (word == "true" || word == "false") {
    out.kind = PdfObject::Kind::kBool;
    out.boolean = word == "true";
    return true;
  }
  if (word == "null") {
    out.kind = PdfObject::Kind::kNull;
    return true;
  }
  if (!ParseNumber(word, out)) {
    lexer.Seek(start);
    return false;
  }
  // "N G R" is a reference
  if (out.kind == PdfObject::Kind::kInteger && out.integer >= 0 && word[0] != '+') {
    std::uint64_t after = lexer.Position();
    lexer.SkipSpace();
    std::string second = lexer.Word(12);
    if (!second.empty() && second.size() <= 10 &&
        second.find_first_not_of("0123456789") == std::string::npos) {
      lexer.SkipSpace();
      if (lexer.Word(2) == "R") {
        out.kind = PdfObject::Kind::kReference;
        out.generation = static_cast<std::uint32_t>(std::strtoul(second.c_str(), nullptr, 10));
        return true;
      }
    }
    lexer.Seek(after);
  }
  return true;
}

}  // namespace

const PdfObject* PdfObject::Get(std::string_view key) const {
  if (kind != Kind::kDictionary) return nullptr;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (keys[i] == key) return &items[i];
  }
  return nullptr;
}

bool IsPdfSpace(int c) {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == 0;
}

bool IsPdfDelimiter(int c) {
  return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' ||
         c == '}' || c == '/' || c == '%';
}

PdfLexer::PdfLexer(const ByteSource& source, std::uint64_t position)
    : iSource(source), iSize(source.Size()), iPosition(position) {}

bool PdfLexer::Fill() {
  if (iPosition >= iSize) return false;
  iBufferStart = iPosition;
  iBufferLength = iSource.Read(iPosition, iBuffer, sizeof iBuffer);
  return iBufferLength > 0;
}

int PdfLexer::Peek() {
  if (iPosition >= iLimit) return -1;
  if (iPosition < iBufferStart || iPosition >= iBufferStart + iBufferLength) {
    if (!Fill()) return -1;
  }
  return iBuffer[iPosition - iBufferStart];
}

int PdfLexer::Get() {
  int c = Peek();
  if (c >= 0) ++iPosition;
  return c;
}

void PdfLexer::SkipSpace() {
  while (true) {
    int c = Peek();
    if (c < 0) return;
    if (IsPdfSpace(c)) {
      ++iPosition;
    } else if (c == '%') {
      while (c >= 0 && c != '\n' && c != '\r') {
        ++iPosition;
        c = Peek();
      }
    } else {
      return;
    }
  }
}

std::string PdfLexer::Word(std::size_t maxLength) {
  std::string word;
  while (word.size() < maxLength) {
    int c = Peek();
    if (c < 0 || IsPdfSpace(c) || IsPdfDelimiter(c)) break;
    word.push_back(static_cast<char>(c));
    ++iPosition;
  }
  return word;
}

bool ParsePdfObject(PdfLexer& lexer, PdfObject& out) {
  ParseState state;
  std::uint64_t start = lexer.Position();
  state.end = start > UINT64_MAX - kByteBudget ? UINT64_MAX : start + kByteBudget;
  std::uint64_t limit = lexer.Limit();
  lexer.SetLimit(std::min(limit, state.end));
  out = PdfObject();
  bool ok = ParseValue(lexer, out, 0, state);
  lexer.SetLimit(limit);
  return ok;
}

bool ParseIndirectObjectHeader(PdfLexer& lexer, std::uint32_t& number, std::uint32_t& generation) {
  lexer.SkipSpace();
  std::string first = lexer.Word(12);
  lexer.SkipSpace();
  std::string second = lexer.Word(12);
  lexer.SkipSpace();
  std::string keyword = lexer.Word(4);
  if (first.empty() || second.empty() || keyword != "obj" || first.size() > 10 || second.size() > 10 ||
      first.find_first_not_of("0123456789") != std::string::npos ||
      second.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  unsigned long long n = std::strtoull(first.c_str(), nullptr, 10);
  unsigned long long g = std::strtoull(second.c_str(), nullptr, 10);
  if (n > UINT32_MAX || g > 65535) return false;
  number = static_cast<std::uint32_t>(n);
  generation = static_cast<std::uint32_t>(g);
  return true;
}

namespace {

// PDFDocEncoding 0x80..0xA0, where it departs from Latin-1.
constexpr std::uint16_t kDocEncodingHigh[33] = {
    0x2022, 0x2020, 0x2021, 0x2026, 0x2014, 0x2013, 0x0192, 0x2044, 0x2039, 0x203A, 0x2212,
    0x2030, 0x201E, 0x201C, 0x201D, 0x2018, 0x2019, 0x201A, 0x2122, 0xFB01, 0xFB02, 0x0141,
    0x0152, 0x0160, 0x0178, 0x017D, 0x0131, 0x0142, 0x0153, 0x0161, 0x017E, 0xFFFD, 0x20AC};

}  // namespace

std::string PdfTextToUtf8(const std::string& bytes) {
  std::string out;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
      static_cast<unsigned char>(bytes[1]) == 0xFF) {
    AppendUtf16(out, reinterpret_cast<const std::uint8_t*>(bytes.data()) + 2, (bytes.size() - 2) / 2);
  } else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    out = bytes.substr(3);
  } else {
    for (unsigned char c : bytes) {
      if (c >= 0x80 && c <= 0xA0) {
        AppendUtf8(out, kDocEncodingHigh[c - 0x80]);
      } else if (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') {
        AppendUtf8(out, c);
      }
    }
  }
  while (!out.empty() && (out.back() == '\0' || out.back() == ' ')) out.pop_back();
  return out;
}

bool PdfUnpredict(std::string& data, int predictor, int colors, int bitsPerComponent, int columns) {
  if (predictor <= 1) return true;
  if (colors < 1 || colors > 32 || columns < 1 || columns > (1 << 24) ||
      (bitsPerComponent != 1 && bitsPerComponent != 2 && bitsPerComponent != 4 &&
       bitsPerComponent != 8 && bitsPerComponent != 16)) {
    return false;
  }
  std::size_t rowBytes = (static_cast<std::size_t>(columns) * colors * bitsPerComponent + 7) / 8;
  std::size_t pixelBytes = std::max<std::size_t>(1, static_cast<std::size_t>(colors) * bitsPerComponent / 8);
  if (predictor == 2) {
    if (bitsPerComponent != 8) return false;
    for (std::size_t row = 0; row + rowBytes <= data.size(); row += rowBytes) {
      for (std::size_t i = pixelBytes; i < rowBytes; ++i) {
        data[row + i] = static_cast<char>(data[row + i] + data[row + i - pixelBytes]);
      }
    }
    return true;
  }
  if (predictor < 10) return false;
  std::string out;
  out.reserve(data.size() / (rowBytes + 1) * rowBytes);
  std::string previous(rowBytes, '\0');
  for (std::size_t pos = 0; pos + 1 + rowBytes <= data.size(); pos += 1 + rowBytes) {
    int filter = static_cast<unsigned char>(data[pos]);
    const unsigned char* in = reinterpret_cast<const unsigned char*>(data.data() + pos + 1);
    std::string row(rowBytes, '\0');
    for (std::size_t i = 0; i < rowBytes; ++i) {
      int left = i >= pixelBytes ? static_cast<unsigned char>(row[i - pixelBytes]) : 0;
      int up = static_cast<unsigned char>(previous[i]);
      int upLeft = i >= pixelBytes ? static_cast<unsigned char>(previous[i - pixelBytes]) : 0;
      int value = in[i];
      switch (filter) {
        case 0: break;
        case 1: value += left; break;
        case 2: value += up; break;
        case 3: value += (left + up) / 2; break;
        case 4: {
          int p = left + up - upLeft;
          int pa = std::abs(p - left), pb = std::abs(p - up), pc = std::abs(p - upLeft);
          value += (pa <= pb && pa <= pc) ? left : (pb <= pc ? up : upLeft);
          break;
        }
        default: return false;
      }
      row[i] = static_cast<char>(value);
    }
    out += row;
    previous.swap(row);
  }
  data.swap(out);
  return true;
}

}  // namespace imr::formats::pdf
