// Compound documents (OLE structured storage, as FlashPix files are): the
// header, the sector allocation table, the directory and the streams, each
// read within bounds and without following a chain further than the file
// has sectors.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/common/format_reader.h"

namespace imr::formats::ole {

constexpr std::size_t kMaxEntries = 65536;

struct DirectoryEntry {
  std::string name;  // UTF-8
  std::uint8_t type = 0;  // 1 storage, 2 stream, 5 root
  std::uint32_t start = 0;
  std::uint64_t size = 0;
  std::uint8_t clsid[16] = {};
};

class CompoundFile {
 public:
  explicit CompoundFile(const ByteSource& source) : iSource(source) {}

  // Reads the header and the directory; false with `why` when they are not
  // those of a compound document or do not lie within the file.
  bool Open(std::string& why);
  const std::vector<DirectoryEntry>& Entries() const { return iEntries; }
  // The first entry named `name`, or null.
  const DirectoryEntry* Find(const std::string& name) const;
  // Up to `limit` bytes of a stream; false when its chain leaves the file.
  bool ReadStream(const DirectoryEntry& entry, std::size_t limit, std::string& out) const;

 private:
  // The sector after `sector` in the allocation table (or the mini table).
  bool Next(std::uint32_t sector, std::uint32_t& next) const;
  bool NextMini(std::uint32_t sector, std::uint32_t& next) const;
  // Follows a chain of regular sectors, appending up to `limit` bytes.
  bool ReadChain(std::uint32_t start, std::size_t limit, std::string& out) const;
  std::uint64_t SectorOffset(std::uint32_t sector) const { return (std::uint64_t{sector} + 1) << iShift; }

  const ByteSource& iSource;
  unsigned iShift = 9;
  unsigned iMiniShift = 6;
  std::uint32_t iMiniCutoff = 4096;
  std::uint32_t iMiniFat = 0;
  std::uint64_t iSectors = 0;  // sectors the file has room for
  std::vector<std::uint32_t> iFatSectors;
  std::string iMiniStream;  // the root entry's stream, which holds the small streams
  std::vector<DirectoryEntry> iEntries;
};

}  // namespace imr::formats::ole
