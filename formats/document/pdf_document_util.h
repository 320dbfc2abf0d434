// The object structure of a PDF file: header, cross-reference tables and
// streams along the /Prev chain, object streams, and a scan for "N G obj"
// when the cross-reference data is missing or wrong.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "formats/common/format_reader.h"
#include "formats/document/pdf_object_util.h"

namespace imr::formats::pdf {

class PdfDocument {
 public:
  explicit PdfDocument(const ByteSource& source) : iSource(source) {}

  // Finds the header and reads the cross-reference data, scanning the file
  // for objects when it is broken; false when there is no "%PDF-" header or
  // no trailer naming a document catalog.
  bool Load();

  const std::string& Version() const { return iVersion; }
  // The merged trailer: for each key, the newest section's value.
  const PdfObject& Trailer() const { return iTrailer; }
  bool Linearized() const { return iLinearized; }
  bool Scanned() const { return iScanned; }

  // Reads object `number`; with `streamOffset`, also where its stream data
  // starts (0 when it has none).
  bool Object(std::uint32_t number, PdfObject& out, std::uint64_t* streamOffset = nullptr);
  // Follows references (a bounded number of them) to a direct object; a
  // direct object is copied.  False when a reference cannot be read.
  bool Resolve(const PdfObject& in, PdfObject& out);
  // Reads and decodes the stream data of a stream object; false for filters
  // other than FlateDecode or data that does not inflate.
  bool StreamData(const PdfObject& dictionary, std::uint64_t offset, std::string& out);

 private:
  struct Subsection {
    std::uint32_t first;
    std::uint32_t count;
    std::uint64_t offset;  // of the first table entry, or the first stream row
    std::uint32_t entrySize = 20;
  };
  struct Section {
    bool stream = false;
    std::vector<Subsection> subsections;
    int widths[3] = {0, 0, 0};  // cross-reference stream field widths
    std::string data;           // cross-reference stream rows
  };
  struct Entry {
    int type = 0;                // 0 free, 1 in the file, 2 in an object stream
    std::uint64_t offset = 0;    // type 1: byte offset; type 2: stream object number
    std::uint32_t index = 0;     // type 2: index in the object stream
  };
  struct ObjectStream {
    std::string data;
    std::vector<std::pair<std::uint32_t, std::uint64_t>> offsets;  // number, position
  };

  bool FindStartXref(std::uint64_t& offset);
  bool ReadSection(std::uint64_t offset, PdfObject& trailer);
  bool ReadTableSection(std::uint64_t offset, Section& section, PdfObject& trailer);
  bool ReadStreamSection(std::uint64_t offset, Section& section, PdfObject& trailer);
  void MergeTrailer(const PdfObject& trailer);
  bool Lookup(std::uint32_t number, Entry& entry);
  bool ReadObjectAt(std::uint64_t offset, std::uint32_t number, PdfObject& out, std::uint64_t* streamOffset);
  bool ReadFromObjectStream(std::uint32_t streamNumber, std::uint32_t index, std::uint32_t number,
                            PdfObject& out);
  const ObjectStream* LoadObjectStream(std::uint32_t streamNumber);
  void Scan();
  void DetectLinearized();

  const ByteSource& iSource;
  std::uint64_t iSize = 0;
  std::uint64_t iHeaderOffset = 0;
  std::string iVersion;
  PdfObject iTrailer;
  std::vector<Section> iSections;  // newest first
  std::size_t iSectionBytes = 0;
  bool iLinearized = false;
  bool iScanned = false;
  int iDepth = 0;
  std::unordered_map<std::uint32_t, std::uint64_t> iScanOffsets;
  std::vector<std::uint32_t> iScanObjectStreams;
  std::size_t iScanStreamsIndexed = 0;
  std::unordered_map<std::uint32_t, std::uint32_t> iScanCompressed;  // object -> object stream
  std::size_t iInflated = 0;
  std::map<std::uint32_t, ObjectStream> iObjectStreams;
};

}  // namespace imr::formats::pdf
