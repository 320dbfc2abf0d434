#include "formats/document/pdf_document_util.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "formats/common/byte_reader.h"

namespace imr::formats::pdf {

namespace {

constexpr std::size_t kMaxSections = 64;             // cross-reference sections followed
constexpr std::size_t kMaxSubsections = 1 << 16;     // per section
constexpr std::size_t kMaxSectionBytes = 64u << 20;  // decoded cross-reference streams, all sections
constexpr std::size_t kMaxStreamBytes = 16u << 20;   // one decoded stream
constexpr std::size_t kMaxInflatedBytes = 64u << 20;   // all streams of a document
constexpr std::uint64_t kMaxCompressedBytes = 64u << 20;
constexpr std::size_t kMaxObjectStreamObjects = 1 << 20;
constexpr std::size_t kMaxCachedObjectStreams = 4;
constexpr int kMaxDepth = 12;                     // nested object look-ups
constexpr std::size_t kMaxScanObjects = 1 << 18;  // numbers remembered by the scan
constexpr std::uint64_t kScanWhole = 64u << 20;   // larger files: scan head and tail only
constexpr std::size_t kMaxScanStreamLoads = 64;

bool IsDigits(const std::string& s, std::size_t maxLength = 10) {
  return !s.empty() && s.size() <= maxLength && s.find_first_not_of("0123456789") == std::string::npos;
}

bool IsDigit(int c) { return c >= '0' && c <= '9'; }

bool IsRegular(int c) { return c >= 0 && !IsPdfSpace(c) && !IsPdfDelimiter(c); }

std::int64_t IntegerOf(const PdfObject* object, std::int64_t fallback) {
  return object && object->IsInteger() ? object->integer : fallback;
}

// Skips the end-of-line after the "stream" keyword.
void SkipStreamEol(PdfLexer& lexer) {
  if (lexer.Peek() == '\r') lexer.Get();
  if (lexer.Peek() == '\n') lexer.Get();
}

}  // namespace

bool PdfDocument::Load() {
  iSize = iSource.Size();
  ByteReader reader(iSource);
  std::string head = reader.Text(0, 1024);
  std::size_t at = head.find("%PDF-");
  if (at == std::string::npos) return false;
  iHeaderOffset = at;
  for (std::size_t i = at + 5; i < head.size() && iVersion.size() < 8; ++i) {
    char c = head[i];
    if (!IsDigit(c) && c != '.') break;
    iVersion.push_back(c);
  }
  if (iVersion.empty() || !IsDigit(iVersion[0])) iVersion.clear();
  DetectLinearized();

  std::uint64_t offset = 0;
  if (FindStartXref(offset)) {
    std::set<std::uint64_t> visited;
    bool more = true;
    while (more && iSections.size() < kMaxSections && visited.insert(offset).second) {
      PdfObject trailer;
      if (!ReadSection(offset, trailer)) break;
      MergeTrailer(trailer);
      more = false;
      // a hybrid file's table names a cross-reference stream read right after it
      if (const PdfObject* stream = trailer.Get("XRefStm");
          stream && stream->IsInteger() && stream->integer >= 0 && iSections.size() < kMaxSections &&
          visited.insert(static_cast<std::uint64_t>(stream->integer)).second) {
        PdfObject ignored;
        ReadSection(static_cast<std::uint64_t>(stream->integer), ignored);
      }
      if (const PdfObject* previous = trailer.Get("Prev"); previous && previous->IsNumber()) {
        double value = previous->Number();
        if (value >= 0 && value < static_cast<double>(iSize)) {
          offset = static_cast<std::uint64_t>(value);
          more = true;
        }
      }
    }
  }
  if (!iTrailer.Get("Root")) Scan();
  return iTrailer.Get("Root") != nullptr;
}

void PdfDocument::DetectLinearized() {
  PdfLexer lexer(iSource, iHeaderOffset);
  lexer.SetLimit(std::min<std::uint64_t>(iSize, iHeaderOffset + 4096));
  std::uint32_t number = 0, generation = 0;
  PdfObject object;
  if (ParseIndirectObjectHeader(lexer, number, generation) && ParsePdfObject(lexer, object)) {
    iLinearized = object.Get("Linearized") != nullptr;
  }
}

bool PdfDocument::FindStartXref(std::uint64_t& offset) {
  ByteReader reader(iSource);
  std::uint64_t tailSize = std::min<std::uint64_t>(iSize, 8192);
  std::string tail = reader.Text(iSize - tailSize, static_cast<std::size_t>(tailSize));
  std::size_t at = tail.rfind("startxref");
  if (at == std::string::npos) return false;
  PdfLexer lexer(iSource, iSize - tailSize + at + 9);
  lexer.SkipSpace();
  std::string word = lexer.Word(20);
  if (!IsDigits(word, 19)) return false;
  offset = std::strtoull(word.c_str(), nullptr, 10);
  return offset < iSize;
}

bool PdfDocument::ReadSection(std::uint64_t offset, PdfObject& trailer) {
  for (std::uint64_t position : {offset, offset + iHeaderOffset}) {
    if (position >= iSize) continue;
    Section section;
    PdfLexer lexer(iSource, position);
    lexer.SkipSpace();
    std::string word = lexer.Word(8);
    bool ok = word == "xref" ? ReadTableSection(lexer.Position(), section, trailer)
                             : IsDigits(word) && ReadStreamSection(position, section, trailer);
    if (ok) {
      iSectionBytes += section.data.size();
      iSections.push_back(std::move(section));
      return true;
    }
    if (iHeaderOffset == 0) break;
  }
  return false;
}

bool PdfDocument::ReadTableSection(std::uint64_t offset, Section& section, PdfObject& trailer) {
  PdfLexer lexer(iSource, offset);
  ByteReader reader(iSource);
  while (section.subsections.size() < kMaxSubsections) {
    lexer.SkipSpace();
    std::string first = lexer.Word(12);
    if (first == "trailer") {
      return ParsePdfObject(lexer, trailer) && trailer.IsDictionary();
    }
    lexer.SkipSpace();
    std::string count = lexer.Word(12);
    if (!IsDigits(first) || !IsDigits(count)) return false;
    Subsection sub;
    unsigned long long firstNumber = std::strtoull(first.c_str(), nullptr, 10);
    unsigned long long entries = std::strtoull(count.c_str(), nullptr, 10);
    if (firstNumber > UINT32_MAX || entries > UINT32_MAX - firstNumber) return false;
    sub.first = static_cast<std::uint32_t>(firstNumber);
    sub.count = static_cast<std::uint32_t>(entries);
    lexer.SkipSpace();
    sub.offset = lexer.Position();
    sub.entrySize = 20;
    if (sub.count > 0) {
      // entries are 20 bytes; some writers end them with a one-byte newline
      std::string entry = reader.Text(sub.offset, 20);
      if (entry.size() < 18) return false;
      for (int i = 0; i < 18; ++i) {
        bool ok = i == 10 || i == 16 ? entry[i] == ' ' : i == 17 ? (entry[i] == 'n' || entry[i] == 'f')
                                                                   : IsDigit(entry[i]);
        if (!ok) return false;
      }
      auto eol = [](char c) { return c == '\r' || c == '\n'; };
      if (entry.size() == 20 && (entry[18] == ' ' || eol(entry[18])) && eol(entry[19])) {
        sub.entrySize = 20;
      } else if (entry.size() >= 19 && eol(entry[18])) {
        sub.entrySize = 19;
      } else if (entry.size() == 18) {
        sub.entrySize = 20;  // the last entry of a truncated file
      } else {
        return false;
      }
      if (sub.count > (iSize - sub.offset) / 18 + 1) return false;
      lexer.Seek(sub.offset + static_cast<std::uint64_t>(sub.count) * sub.entrySize);
    }
    section.subsections.push_back(sub);
  }
  return false;
}

bool PdfDocument::ReadStreamSection(std::uint64_t offset, Section& section, PdfObject& trailer) {
  if (iSectionBytes >= kMaxSectionBytes) return false;
  PdfLexer lexer(iSource, offset);
  std::uint32_t number = 0, generation = 0;
  if (!ParseIndirectObjectHeader(lexer, number, generation) || !ParsePdfObject(lexer, trailer) ||
      !trailer.IsDictionary()) {
    return false;
  }
  lexer.SkipSpace();
  if (lexer.Word(8) != "stream") return false;
  SkipStreamEol(lexer);
  const PdfObject* widths = trailer.Get("W");
  if (!widths || !widths->IsArray() || widths->items.size() != 3) return false;
  int rowSize = 0;
  for (int i = 0; i < 3; ++i) {
    const PdfObject& width = widths->items[i];
    if (!width.IsInteger() || width.integer < 0 || width.integer > 8) return false;
    section.widths[i] = static_cast<int>(width.integer);
    rowSize += section.widths[i];
  }
  if (rowSize == 0) return false;
  std::int64_t size = IntegerOf(trailer.Get("Size"), -1);
  if (size < 0 || size > INT64_C(0xFFFFFFFF)) return false;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
  if (const PdfObject* index = trailer.Get("Index"); index && index->IsArray()) {
    for (std::size_t i = 0; i + 1 < index->items.size(); i += 2) {
      const PdfObject& first = index->items[i];
      const PdfObject& count = index->items[i + 1];
      if (!first.IsInteger() || !count.IsInteger() || first.integer < 0 || count.integer < 0 ||
          first.integer > UINT32_MAX || count.integer > UINT32_MAX - first.integer) {
        return false;
      }
      ranges.emplace_back(first.integer, count.integer);
    }
  } else {
    ranges.emplace_back(0, size);
  }
  if (!StreamData(trailer, lexer.Position(), section.data)) return false;
  section.stream = true;
  std::uint64_t row = 0;
  for (const auto& [first, count] : ranges) {
    if (section.subsections.size() >= kMaxSubsections) break;
    section.subsections.push_back({static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(count), row});
    row += count;
  }
  return true;
}

void PdfDocument::MergeTrailer(const PdfObject& trailer) {
  if (!trailer.IsDictionary()) return;
  iTrailer.kind = PdfObject::Kind::kDictionary;
  for (std::size_t i = 0; i < trailer.keys.size(); ++i) {
    const std::string& key = trailer.keys[i];
    if (key != "Root" && key != "Info" && key != "Encrypt" && key != "ID") continue;
    if (iTrailer.Get(key)) continue;
    iTrailer.keys.push_back(key);
    iTrailer.items.push_back(trailer.items[i]);
  }
}

bool PdfDocument::Lookup(std::uint32_t number, Entry& entry) {
  ByteReader reader(iSource);
  for (const Section& section : iSections) {
    for (const Subsection& sub : section.subsections) {
      if (number < sub.first || number - sub.first >= sub.count) continue;
      std::uint64_t index = number - sub.first;
      if (!section.stream) {
        std::string text = reader.Text(sub.offset + index * sub.entrySize, 18);
        if (text.size() < 18 || !IsDigits(text.substr(0, 10)) || text[10] != ' ' ||
            !IsDigits(text.substr(11, 5)) || text[16] != ' ') {
          return false;
        }
        entry.type = text[17] == 'n' ? 1 : 0;
        entry.offset = std::strtoull(text.substr(0, 10).c_str(), nullptr, 10);
        return entry.type == 1;
      }
      std::uint64_t rowSize = section.widths[0] + section.widths[1] + section.widths[2];
      std::uint64_t row = sub.offset + index;
      if (row >= section.data.size() / rowSize) return false;
      const unsigned char* bytes = reinterpret_cast<const unsigned char*>(section.data.data()) + row * rowSize;
      std::uint64_t fields[3] = {1, 0, 0};
      for (int f = 0; f < 3; ++f) {
        if (section.widths[f] == 0) continue;
        std::uint64_t value = 0;
        for (int b = 0; b < section.widths[f]; ++b) value = (value << 8) | *bytes++;
        fields[f] = value;
      }
      if (fields[0] != 1 && fields[0] != 2) return false;
      entry.type = static_cast<int>(fields[0]);
      entry.offset = fields[1];
      entry.index = static_cast<std::uint32_t>(std::min<std::uint64_t>(fields[2], UINT32_MAX));
      return entry.type == 1 || fields[1] <= UINT32_MAX;
    }
  }
  return false;
}

bool PdfDocument::ReadObjectAt(std::uint64_t offset, std::uint32_t number, PdfObject& out,
                               std::uint64_t* streamOffset) {
  for (std::uint64_t position : {offset, offset + iHeaderOffset}) {
    if (position < iSize) {
      PdfLexer lexer(iSource, position);
      std::uint32_t found = 0, generation = 0;
      if (ParseIndirectObjectHeader(lexer, found, generation) && found == number &&
          ParsePdfObject(lexer, out)) {
        if (streamOffset) {
          *streamOffset = 0;
          lexer.SkipSpace();
          if (lexer.Word(8) == "stream") {
            SkipStreamEol(lexer);
            *streamOffset = lexer.Position();
          }
        }
        return true;
      }
    }
    if (iHeaderOffset == 0) break;
  }
  return false;
}

bool PdfDocument::Object(std::uint32_t number, PdfObject& out, std::uint64_t* streamOffset) {
  if (iDepth >= kMaxDepth) return false;
  struct DepthGuard {
    int& depth;
    explicit DepthGuard(int& d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
  } guard(iDepth);
  if (streamOffset) *streamOffset = 0;

  Entry entry;
  if (Lookup(number, entry)) {
    if (entry.type == 1 && ReadObjectAt(entry.offset, number, out, streamOffset)) return true;
    if (entry.type == 2 && entry.offset != number &&
        ReadFromObjectStream(static_cast<std::uint32_t>(entry.offset), entry.index, number, out)) {
      return true;
    }
  }
  if (!iScanned) Scan();
  if (auto it = iScanOffsets.find(number); it != iScanOffsets.end() &&
                                           ReadObjectAt(it->second, number, out, streamOffset)) {
    return true;
  }
  // object streams found by the scan are indexed once, a bounded number of them
  while (iScanStreamsIndexed < iScanObjectStreams.size() && iScanStreamsIndexed < kMaxScanStreamLoads &&
         !iScanCompressed.count(number)) {
    std::uint32_t stream = iScanObjectStreams[iScanStreamsIndexed++];
    if (stream == number) continue;
    if (const ObjectStream* loaded = LoadObjectStream(stream)) {
      for (const auto& [found, at] : loaded->offsets) iScanCompressed.emplace(found, stream);
    }
  }
  auto compressed = iScanCompressed.find(number);
  return compressed != iScanCompressed.end() && compressed->second != number &&
         ReadFromObjectStream(compressed->second, UINT32_MAX, number, out);
}

bool PdfDocument::Resolve(const PdfObject& in, PdfObject& out) {
  out = in;
  for (int hops = 0; out.IsReference(); ++hops) {
    if (hops >= 8 || out.integer > UINT32_MAX) return false;
    PdfObject next;
    if (!Object(static_cast<std::uint32_t>(out.integer), next)) return false;
    out = std::move(next);
  }
  return true;
}

bool PdfDocument::StreamData(const PdfObject& dictionary, std::uint64_t offset, std::string& out) {
  out.clear();
  if (offset == 0 || offset >= iSize) return false;
  std::uint64_t length = std::min(iSize - offset, kMaxCompressedBytes);
  if (const PdfObject* declared = dictionary.Get("Length")) {
    PdfObject value;
    if (declared->IsInteger()) {
      value = *declared;
    } else if (declared->IsReference() && iDepth < kMaxDepth - 1) {
      Resolve(*declared, value);
    }
    if (value.IsInteger() && value.integer >= 0 && static_cast<std::uint64_t>(value.integer) <= length) {
      length = static_cast<std::uint64_t>(value.integer);
    }
  }
  const PdfObject* filter = dictionary.Get("Filter");
  const PdfObject* parameters = dictionary.Get("DecodeParms");
  if (filter && filter->IsArray()) {
    if (filter->items.size() > 1) return false;
    filter = filter->items.empty() ? nullptr : &filter->items[0];
    if (parameters && parameters->IsArray()) {
      parameters = parameters->items.empty() ? nullptr : &parameters->items[0];
    }
  }
  if (!filter || filter->IsNull()) {
    ByteReader reader(iSource);
    if (iInflated >= kMaxInflatedBytes) return false;
    out = reader.Text(offset, static_cast<std::size_t>(std::min<std::uint64_t>(length, kMaxStreamBytes)));
    iInflated += out.size();
    return true;
  }
  if (!filter->IsName("FlateDecode") && !filter->IsName("Fl")) return false;
  if (iInflated >= kMaxInflatedBytes) return false;
  bool inflated = PdfInflate(iSource, offset, length, std::min(kMaxStreamBytes, kMaxInflatedBytes - iInflated), out);
  iInflated += out.size();
  if (!inflated) return false;
  if (parameters && parameters->IsDictionary()) {
    std::int64_t predictor = IntegerOf(parameters->Get("Predictor"), 1);
    if (predictor > 1) {
      std::int64_t colors = IntegerOf(parameters->Get("Colors"), 1);
      std::int64_t bits = IntegerOf(parameters->Get("BitsPerComponent"), 8);
      std::int64_t columns = IntegerOf(parameters->Get("Columns"), 1);
      if (predictor > 15 || colors > 32 || bits > 16 || columns > (1 << 24) ||
          !PdfUnpredict(out, static_cast<int>(predictor), static_cast<int>(colors), static_cast<int>(bits),
                        static_cast<int>(columns))) {
        return false;
      }
    }
  }
  return true;
}

const PdfDocument::ObjectStream* PdfDocument::LoadObjectStream(std::uint32_t streamNumber) {
  if (auto it = iObjectStreams.find(streamNumber); it != iObjectStreams.end()) return &it->second;
  PdfObject dictionary;
  std::uint64_t offset = 0;
  if (!Object(streamNumber, dictionary, &offset) || offset == 0) return nullptr;
  std::int64_t count = IntegerOf(dictionary.Get("N"), -1);
  std::int64_t first = IntegerOf(dictionary.Get("First"), -1);
  if (count < 0 || first < 0) return nullptr;
  ObjectStream stream;
  if (!StreamData(dictionary, offset, stream.data)) return nullptr;
  std::uint64_t dataSize = stream.data.size();
  if (static_cast<std::uint64_t>(first) > dataSize) return nullptr;
  count = std::min<std::int64_t>({count, static_cast<std::int64_t>(kMaxObjectStreamObjects),
                                  first / 4 + 1});
  MemorySource source(stream.data.data(), stream.data.size());
  PdfLexer lexer(source, 0);
  lexer.SetLimit(static_cast<std::uint64_t>(first));
  for (std::int64_t i = 0; i < count; ++i) {
    lexer.SkipSpace();
    std::string number = lexer.Word(12);
    lexer.SkipSpace();
    std::string position = lexer.Word(20);
    if (!IsDigits(number) || !IsDigits(position, 19)) break;
    std::uint64_t at = std::strtoull(position.c_str(), nullptr, 10);
    unsigned long long value = std::strtoull(number.c_str(), nullptr, 10);
    if (value > UINT32_MAX || at >= dataSize - static_cast<std::uint64_t>(first)) continue;
    stream.offsets.emplace_back(static_cast<std::uint32_t>(value), static_cast<std::uint64_t>(first) + at);
  }
  if (iObjectStreams.size() >= kMaxCachedObjectStreams) iObjectStreams.clear();
  return &iObjectStreams.emplace(streamNumber, std::move(stream)).first->second;
}

bool PdfDocument::ReadFromObjectStream(std::uint32_t streamNumber, std::uint32_t index, std::uint32_t number,
                                       PdfObject& out) {
  const ObjectStream* stream = LoadObjectStream(streamNumber);
  if (!stream) return false;
  std::uint64_t position = UINT64_MAX;
  if (index < stream->offsets.size() && stream->offsets[index].first == number) {
    position = stream->offsets[index].second;
  } else {
    for (const auto& [found, at] : stream->offsets) {
      if (found == number) {
        position = at;
        break;
      }
    }
  }
  if (position == UINT64_MAX) return false;
  MemorySource source(stream->data.data(), stream->data.size());
  PdfLexer lexer(source, position);
  return ParsePdfObject(lexer, out);
}

void PdfDocument::Scan() {
  iScanned = true;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> regions;
  if (iSize <= kScanWhole) {
    regions.emplace_back(0, iSize);
  } else {
    regions.emplace_back(0, kScanWhole / 2);
    regions.emplace_back(iSize - kScanWhole / 2, iSize);
  }
  std::vector<std::uint64_t> trailers;      // positions after "trailer"
  std::vector<std::uint32_t> catalogs;      // objects holding "/Catalog"
  std::vector<std::uint32_t> xrefStreams;   // objects holding "/XRef"
  auto remember = [](auto& list, auto value) {
    if (!list.empty() && list.back() == value) return;
    if (list.size() >= 64) list.erase(list.begin());
    list.push_back(value);
  };
  std::uint32_t lastObject = 0;
  bool inObject = false;
  constexpr std::size_t kChunk = 1 << 20;
  constexpr std::size_t kMargin = 32;
  std::string buffer;
  for (const auto& [begin, end] : regions) {
    for (std::uint64_t position = begin; position < end; position += kChunk) {
      std::uint64_t back = std::min<std::uint64_t>(position, kMargin);
      std::uint64_t stop = std::min<std::uint64_t>(end, position + kChunk);
      buffer.resize(static_cast<std::size_t>(stop - position + back + kMargin));
      buffer.resize(iSource.Read(position - back, buffer.data(), buffer.size()));
      const std::size_t n = buffer.size();
      const std::size_t last = std::min<std::size_t>(n, static_cast<std::size_t>(stop - position + back));
      auto at = [&buffer, n](std::size_t i) -> int {
        return i < n ? static_cast<unsigned char>(buffer[i]) : -1;
      };
      for (std::size_t i = static_cast<std::size_t>(back); i < last; ++i) {
        char c = buffer[i];
        if (c == 'o' && i + 3 <= n && buffer.compare(i, 3, "obj") == 0 && !IsRegular(at(i + 3)) &&
            i > 0 && IsPdfSpace(at(i - 1))) {
          // walk back over "N G "
          std::size_t j = i;
          auto spaceBack = [&]() {
            std::size_t k = j;
            while (k > 0 && IsPdfSpace(at(k - 1))) --k;
            bool moved = k < j;
            j = k;
            return moved;
          };
          auto digitsBack = [&](std::size_t most) {
            std::size_t k = j;
            while (k > 0 && IsDigit(at(k - 1)) && j - k < most) --k;
            std::size_t length = j - k;
            j = k;
            return length;
          };
          if (!spaceBack() || digitsBack(5) == 0 || (j > 0 && IsDigit(at(j - 1))) || !spaceBack()) continue;
          std::size_t numberLength = digitsBack(10);
          if (numberLength == 0 || (j > 0 && IsRegular(at(j - 1)))) continue;
          std::size_t numberStart = j;
          unsigned long long value = std::strtoull(buffer.substr(numberStart, numberLength).c_str(), nullptr, 10);
          if (value > UINT32_MAX) continue;
          std::uint64_t offset = position - back + numberStart;
          auto number = static_cast<std::uint32_t>(value);
          if (iScanOffsets.size() < kMaxScanObjects || iScanOffsets.count(number)) {
            iScanOffsets[number] = offset;
          }
          lastObject = number;
          inObject = true;
        } else if (c == 't' && buffer.compare(i, 7, "trailer") == 0 && !IsRegular(at(i + 7))) {
          remember(trailers, position - back + i + 7);
        } else if (c == '/' && inObject) {
          if (buffer.compare(i, 8, "/Catalog") == 0 && !IsRegular(at(i + 8))) {
            remember(catalogs, lastObject);
          } else if (buffer.compare(i, 7, "/ObjStm") == 0 && !IsRegular(at(i + 7))) {
            if (iScanObjectStreams.size() < 4096) iScanObjectStreams.push_back(lastObject);
          } else if (buffer.compare(i, 5, "/XRef") == 0 && !IsRegular(at(i + 5))) {
            remember(xrefStreams, lastObject);
          }
        }
      }
    }
  }
  for (auto it = trailers.rbegin(); it != trailers.rend(); ++it) {
    PdfLexer lexer(iSource, *it);
    PdfObject trailer;
    if (ParsePdfObject(lexer, trailer) && trailer.Get("Root")) MergeTrailer(trailer);
  }
  for (auto it = xrefStreams.rbegin(); it != xrefStreams.rend(); ++it) {
    auto found = iScanOffsets.find(*it);
    PdfObject trailer;
    if (found != iScanOffsets.end() && ReadObjectAt(found->second, *it, trailer, nullptr) &&
        trailer.Get("Root")) {
      MergeTrailer(trailer);
    }
  }
  if (!iTrailer.Get("Root")) {
    for (auto it = catalogs.rbegin(); it != catalogs.rend(); ++it) {
      auto found = iScanOffsets.find(*it);
      PdfObject catalog;
      if (found != iScanOffsets.end() && ReadObjectAt(found->second, *it, catalog, nullptr) &&
          catalog.Get("Type") && catalog.Get("Type")->IsName("Catalog")) {
        PdfObject trailer;
        trailer.kind = PdfObject::Kind::kDictionary;
        PdfObject root;
        root.kind = PdfObject::Kind::kReference;
        root.integer = *it;
        trailer.keys.push_back("Root");
        trailer.items.push_back(root);
        MergeTrailer(trailer);
        break;
      }
    }
  }
}

}  // namespace imr::formats::pdf
