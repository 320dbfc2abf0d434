// PDF objects and the bounded lexer and parser that read them from a byte
// source: just enough of the object syntax to walk a document's structure.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/common/format_reader.h"

namespace imr::formats::pdf {

struct PdfObject {
  enum class Kind : std::uint8_t {
    kNull, kBool, kInteger, kReal, kString, kName, kArray, kDictionary, kReference
  };
  Kind kind = Kind::kNull;
  bool boolean = false;
  std::int64_t integer = 0;      // integers; the object number of a reference
  double real = 0;               // reals
  std::uint32_t generation = 0;  // references
  std::string text;              // string bytes; name without its slash
  std::vector<PdfObject> items;  // array items; dictionary values
  std::vector<std::string> keys; // dictionary keys, parallel to items

  bool IsNull() const { return kind == Kind::kNull; }
  bool IsInteger() const { return kind == Kind::kInteger; }
  bool IsNumber() const { return kind == Kind::kInteger || kind == Kind::kReal; }
  bool IsName() const { return kind == Kind::kName; }
  bool IsName(std::string_view name) const { return kind == Kind::kName && text == name; }
  bool IsString() const { return kind == Kind::kString; }
  bool IsArray() const { return kind == Kind::kArray; }
  bool IsDictionary() const { return kind == Kind::kDictionary; }
  bool IsReference() const { return kind == Kind::kReference; }
  double Number() const { return kind == Kind::kReal ? real : static_cast<double>(integer); }
  // The value of a dictionary key; nullptr when absent or not a dictionary.
  const PdfObject* Get(std::string_view key) const;
};

// Reads tokens from a byte source through a small buffer.  Every read stays
// within the source; past its end the lexer sees end-of-data (-1).
class PdfLexer {
 public:
  PdfLexer(const ByteSource& source, std::uint64_t position);

  std::uint64_t Position() const { return iPosition; }
  void Seek(std::uint64_t position) { iPosition = position; }
  std::uint64_t Size() const { return iSize; }
  // Positions at or past the limit read as end-of-data.
  void SetLimit(std::uint64_t limit) { iLimit = limit; }
  std::uint64_t Limit() const { return iLimit; }
  int Peek();
  int Get();
  // Skips white space and comments.
  void SkipSpace();
  // Reads a regular-character run (a keyword or number) after SkipSpace.
  std::string Word(std::size_t maxLength = 64);

 private:
  bool Fill();

  const ByteSource& iSource;
  std::uint64_t iSize;
  std::uint64_t iPosition;
  std::uint64_t iLimit = UINT64_MAX;
  std::uint64_t iBufferStart = 0;
  std::size_t iBufferLength = 0;
  unsigned char iBuffer[4096];
};

bool IsPdfSpace(int c);
bool IsPdfDelimiter(int c);

// Parses one object at the lexer's position.  Bounded: nesting depth,
// elements kept per array or dictionary, bytes kept per string, and a total
// token budget per call; false on a syntax error or an exhausted budget.
// Keywords other than true/false/null (obj, endobj, stream, R) are not objects:
// on meeting one the lexer is left before it and false is returned.
bool ParsePdfObject(PdfLexer& lexer, PdfObject& out);

// Parses "N G obj <object>" at the lexer's position; on success the lexer
// stands after the object, `number` and `generation` hold the header's.
bool ParseIndirectObjectHeader(PdfLexer& lexer, std::uint32_t& number, std::uint32_t& generation);

// A PDF text string as UTF-8 (UTF-16BE with byte-order mark, UTF-8 with
// byte-order mark, or PDFDocEncoding).
std::string PdfTextToUtf8(const std::string& bytes);

// Inflates the zlib (or raw deflate) data at [offset, offset + length) of
// `source` into `out`, keeping at most `limit` bytes; true when it yields
// data (a damaged or truncated stream still yields what came before).
bool PdfInflate(const ByteSource& source, std::uint64_t offset, std::uint64_t length,
                std::size_t limit, std::string& out);

// Undoes a PNG (Predictor >= 10) or TIFF (2) predictor in place.
bool PdfUnpredict(std::string& data, int predictor, int colors, int bitsPerComponent, int columns);

}  // namespace imr::formats::pdf
