#include "formats/codec/ole_compound.h"

#include <algorithm>

#include "formats/common/byte_reader.h"
#include "formats/common/text_util.h"

namespace imr::formats::ole {
namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kLastRegular = 0xFFFFFFFA;
constexpr std::size_t kMaxMiniStream = 16 << 20;  // the small streams are read from memory
constexpr std::size_t kMaxDirectory = kMaxEntries * 128;

}  // namespace

bool CompoundFile::Open(std::string& why) {
  ByteReader r(iSource, true);
  if (r.U64BE(0) != 0xD0CF11E0A1B11AE1) return false;
  const std::uint16_t shift = r.U16(0x1E), miniShift = r.U16(0x20);
  const std::uint32_t fatCount = r.U32(0x2C), directory = r.U32(0x30);
  iMiniCutoff = r.U32(0x38);
  iMiniFat = r.U32(0x3C);
  std::uint32_t difat = r.U32(0x44);
  const std::uint32_t difatCount = r.U32(0x48);
  if (r.Failed() || r.U16(0x1C) != 0xFFFE || (shift != 9 && shift != 12) || miniShift != 6) {
    why = "the compound document header is not valid";
    return false;
  }
  iShift = shift;
  iMiniShift = miniShift;
  iSectors = r.Size() >> iShift;
  // The allocation table's sectors: 109 in the header, more in a chain.
  for (std::uint32_t i = 0; i < std::min<std::uint32_t>(fatCount, 109); ++i) iFatSectors.push_back(r.U32(0x4C + 4 * i));
  const std::uint32_t perSector = (1u << iShift) / 4;
  for (std::uint32_t n = 0; n < difatCount && iFatSectors.size() < fatCount && difat <= kLastRegular; ++n) {
    if (difat >= iSectors || n >= iSectors) break;
    for (std::uint32_t i = 0; i + 1 < perSector && iFatSectors.size() < fatCount; ++i) {
      iFatSectors.push_back(r.U32(SectorOffset(difat) + 4 * i));
    }
    difat = r.U32(SectorOffset(difat) + 4 * (perSector - 1));
  }
  if (r.Failed() || iFatSectors.size() < fatCount) {
    why = "the sector allocation table does not lie within the file";
    return false;
  }
  std::string bytes;
  if (!ReadChain(directory, kMaxDirectory, bytes) || bytes.size() < 128) {
    why = "the directory does not lie within the file";
    return false;
  }
  MemorySource directorySource(bytes.data(), bytes.size());
  ByteReader d(directorySource, true);
  for (std::size_t at = 0; at + 128 <= bytes.size() && iEntries.size() < kMaxEntries; at += 128) {
    DirectoryEntry e;
    const std::uint16_t nameBytes = std::min<std::uint16_t>(d.U16(at + 64), 64);
    AppendUtf16(e.name, reinterpret_cast<const std::uint8_t*>(bytes.data() + at), nameBytes / 2, true);
    e.type = d.U8(at + 66);
    std::copy(bytes.begin() + at + 80, bytes.begin() + at + 96, e.clsid);
    e.start = d.U32(at + 116);
    e.size = shift == 9 ? d.U32(at + 120) : d.U64(at + 120);
    iEntries.push_back(e);
  }
  if (iEntries.front().type != 5) {
    why = "the directory does not start with the root entry";
    return false;
  }
  const DirectoryEntry& root = iEntries.front();
  if (root.size > 0) ReadChain(root.start, static_cast<std::size_t>(std::min<std::uint64_t>(root.size, kMaxMiniStream)), iMiniStream);
  return true;
}

const DirectoryEntry* CompoundFile::Find(const std::string& name) const {
  for (const DirectoryEntry& e : iEntries) {
    if (e.type != 0 && e.name == name) return &e;
  }
  return nullptr;
}

bool CompoundFile::Next(std::uint32_t sector, std::uint32_t& next) const {
  const std::uint32_t perSector = (1u << iShift) / 4;
  if (sector / perSector >= iFatSectors.size()) return false;
  const std::uint32_t fat = iFatSectors[sector / perSector];
  if (fat >= iSectors) return false;
  ByteReader r(iSource, true);
  next = r.U32(SectorOffset(fat) + 4u * (sector % perSector));
  return !r.Failed();
}

bool CompoundFile::NextMini(std::uint32_t sector, std::uint32_t& next) const {
  // The mini table is a chain of regular sectors; walk it to the one that
  // holds `sector`'s entry.
  const std::uint32_t perSector = (1u << iShift) / 4;
  std::uint32_t at = iMiniFat;
  for (std::uint32_t i = 0; i < sector / perSector; ++i) {
    if (i >= iSectors || !Next(at, at)) return false;
  }
  if (at >= iSectors) return false;
  ByteReader r(iSource, true);
  next = r.U32(SectorOffset(at) + 4u * (sector % perSector));
  return !r.Failed();
}

bool CompoundFile::ReadChain(std::uint32_t sector, std::size_t limit, std::string& out) const {
  ByteReader r(iSource);
  const std::size_t size = std::size_t{1} << iShift;
  for (std::uint64_t steps = 0; sector != kEndOfChain && out.size() < limit; ++steps) {
    if (sector >= iSectors || steps >= iSectors) return false;
    out += r.Text(SectorOffset(sector), std::min(size, limit - out.size()));
    if (!Next(sector, sector)) return false;
  }
  return true;
}

bool CompoundFile::ReadStream(const DirectoryEntry& entry, std::size_t limit, std::string& out) const {
  out.clear();
  limit = static_cast<std::size_t>(std::min<std::uint64_t>(limit, entry.size));
  if (entry.size >= iMiniCutoff) return ReadChain(entry.start, limit, out) && out.size() == limit;
  const std::size_t size = std::size_t{1} << iMiniShift;
  const std::uint64_t miniSectors = iMiniStream.size() / size;
  std::uint32_t sector = entry.start;
  for (std::uint64_t steps = 0; out.size() < limit; ++steps) {
    if (sector >= miniSectors || steps >= miniSectors) return false;
    out.append(iMiniStream, std::size_t{sector} * size, std::min(size, limit - out.size()));
    if (out.size() < limit && !NextMini(sector, sector)) return false;
  }
  return true;
}

}  // namespace imr::formats::ole
