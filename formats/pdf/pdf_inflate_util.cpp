// A bounded inflater for the Flate-compressed streams a PDF's structure uses
// (cross-reference and object streams).  It keeps the readers free of a zlib
// dependency; speed matters little, as these streams are small.
#include <algorithm>
#include <cstring>

#include "formats/pdf/pdf_object_util.h"

namespace imr::formats::pdf {

namespace {

constexpr int kMaxBits = 15;

// Bits of a byte range, least significant first, read through a buffer.
class BitInput {
 public:
  BitInput(const ByteSource& source, std::uint64_t offset, std::uint64_t length)
      : iSource(source), iPosition(offset), iEnd(offset + length) {}

  // The next `count` (<= 16) bits; -1 past the end of the input.
  int Bits(int count) {
    while (iCount < count) {
      int byte = Byte();
      if (byte < 0) return -1;
      iBits |= static_cast<std::uint32_t>(byte) << iCount;
      iCount += 8;
    }
    int value = static_cast<int>(iBits & ((1u << count) - 1));
    iBits >>= count;
    iCount -= count;
    return value;
  }
  // Up to `count` (<= 16) next bits without consuming them; `available` says
  // how many of them the input has.
  int Peek(int count, int& available) {
    while (iCount < count) {
      int byte = Byte();
      if (byte < 0) break;
      iBits |= static_cast<std::uint32_t>(byte) << iCount;
      iCount += 8;
    }
    available = std::min(iCount, count);
    return static_cast<int>(iBits & ((1u << count) - 1));
  }
  void Consume(int count) {
    iBits >>= count;
    iCount -= count;
  }
  void AlignToByte() {
    iBits = 0;
    iCount = 0;
  }
  int Byte() {
    if (iNext == iLength) {
      if (iPosition >= iEnd) return -1;
      std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof iBuffer, iEnd - iPosition));
      iLength = iSource.Read(iPosition, iBuffer, want);
      iNext = 0;
      if (iLength == 0) {
        iEnd = iPosition;
        return -1;
      }
      iPosition += iLength;
    }
    return iBuffer[iNext++];
  }

 private:
  const ByteSource& iSource;
  std::uint64_t iPosition, iEnd;
  std::uint32_t iBits = 0;
  int iCount = 0;
  unsigned char iBuffer[16384];
  std::size_t iNext = 0, iLength = 0;
};

constexpr int kFastBits = 9;

// A canonical Huffman code: codes per length and symbols in code order, and
// a table of the codes up to kFastBits long indexed by their next input bits
// (length << 12 | symbol; 0 for longer codes).
struct Huffman {
  std::uint16_t count[kMaxBits + 1];
  std::uint16_t symbol[288];
  std::uint16_t fast[1 << kFastBits];
};

// Builds a code from code lengths; < 0 when over-subscribed, > 0 when
// incomplete, 0 when complete.
int Build(Huffman& h, const std::uint8_t* lengths, int n) {
  std::memset(h.count, 0, sizeof h.count);
  for (int s = 0; s < n; ++s) ++h.count[lengths[s]];
  if (h.count[0] == n) return 0;
  int left = 1;
  for (int len = 1; len <= kMaxBits; ++len) {
    left <<= 1;
    left -= h.count[len];
    if (left < 0) return left;
  }
  std::uint16_t offsets[kMaxBits + 1];
  offsets[1] = 0;
  for (int len = 1; len < kMaxBits; ++len) offsets[len + 1] = static_cast<std::uint16_t>(offsets[len] + h.count[len]);
  for (int s = 0; s < n; ++s) {
    if (lengths[s] != 0) h.symbol[offsets[lengths[s]]++] = static_cast<std::uint16_t>(s);
  }
  // codes are assigned in symbol order within each length; the input holds
  // them most significant bit first, so the table is indexed bit-reversed
  std::memset(h.fast, 0, sizeof h.fast);
  int next[kMaxBits + 1];
  next[1] = 0;
  for (int len = 1; len < kMaxBits; ++len) next[len + 1] = (next[len] + h.count[len]) << 1;
  for (int s = 0; s < n; ++s) {
    int len = lengths[s];
    if (len == 0) continue;
    int code = next[len]++;
    if (len > kFastBits) continue;
    int reversed = 0;
    for (int b = 0; b < len; ++b) reversed |= ((code >> b) & 1) << (len - 1 - b);
    for (int r = reversed; r < (1 << kFastBits); r += 1 << len) {
      h.fast[r] = static_cast<std::uint16_t>((len << 12) | s);
    }
  }
  return left;
}

// The next symbol; -1 at the end of the input or for a code not in the table.
int Decode(BitInput& in, const Huffman& h) {
  int available = 0;
  int entry = h.fast[in.Peek(kFastBits, available)];
  if (entry != 0 && (entry >> 12) <= available) {
    in.Consume(entry >> 12);
    return entry & 0xFFF;
  }
  int code = 0, first = 0, index = 0;
  for (int len = 1; len <= kMaxBits; ++len) {
    int bit = in.Bits(1);
    if (bit < 0) return -1;
    code |= bit;
    int count = h.count[len];
    if (code - count < first) return h.symbol[index + (code - first)];
    index += count;
    first = (first + count) << 1;
    code <<= 1;
  }
  return -1;
}

constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistanceBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,
                                             33,  49,  65,  97,  129, 193,  257,  385,  513,  769,
                                             1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                             6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

enum class Status { kOk, kFull, kError };

// Decodes one block's codes until its end symbol.
Status Codes(BitInput& in, std::string& out, std::size_t limit, const Huffman& lengths, const Huffman& distances) {
  while (true) {
    int symbol = Decode(in, lengths);
    if (symbol < 0) return Status::kError;
    if (symbol < 256) {
      out.push_back(static_cast<char>(symbol));
      if (out.size() >= limit) return Status::kFull;
      continue;
    }
    if (symbol == 256) return Status::kOk;
    symbol -= 257;
    if (symbol >= 29) return Status::kError;
    int extra = in.Bits(kLengthExtra[symbol]);
    if (extra < 0) return Status::kError;
    std::size_t length = kLengthBase[symbol] + static_cast<std::size_t>(extra);
    symbol = Decode(in, distances);
    if (symbol < 0 || symbol >= 30) return Status::kError;
    extra = in.Bits(kDistanceExtra[symbol]);
    if (extra < 0) return Status::kError;
    std::size_t distance = kDistanceBase[symbol] + static_cast<std::size_t>(extra);
    if (distance > out.size()) return Status::kError;
    // byte by byte: the source may overlap what is being written
    std::size_t start = out.size();
    std::size_t n = std::min(length, limit - start);
    out.resize(start + n);
    char* data = out.data();
    for (std::size_t i = start; i < start + n; ++i) data[i] = data[i - distance];
    if (out.size() >= limit) return Status::kFull;
  }
}

Status Stored(BitInput& in, std::string& out, std::size_t limit) {
  in.AlignToByte();
  int b0 = in.Byte(), b1 = in.Byte(), b2 = in.Byte(), b3 = in.Byte();
  if (b3 < 0) return Status::kError;
  int length = b0 | (b1 << 8);
  if ((b2 | (b3 << 8)) != (~length & 0xFFFF)) return Status::kError;
  for (int i = 0; i < length; ++i) {
    int byte = in.Byte();
    if (byte < 0) return Status::kError;
    out.push_back(static_cast<char>(byte));
    if (out.size() >= limit) return Status::kFull;
  }
  return Status::kOk;
}

Status Fixed(BitInput& in, std::string& out, std::size_t limit) {
  static const auto tables = [] {
    std::pair<Huffman, Huffman> t;
    std::uint8_t lengths[288];
    int s = 0;
    for (; s < 144; ++s) lengths[s] = 8;
    for (; s < 256; ++s) lengths[s] = 9;
    for (; s < 280; ++s) lengths[s] = 7;
    for (; s < 288; ++s) lengths[s] = 8;
    Build(t.first, lengths, 288);
    for (s = 0; s < 30; ++s) lengths[s] = 5;
    Build(t.second, lengths, 30);
    return t;
  }();
  return Codes(in, out, limit, tables.first, tables.second);
}

Status Dynamic(BitInput& in, std::string& out, std::size_t limit) {
  static constexpr std::uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  int literals = in.Bits(5), distances = in.Bits(5), codes = in.Bits(4);
  if (codes < 0) return Status::kError;
  literals += 257;
  distances += 1;
  codes += 4;
  if (literals > 286 || distances > 30) return Status::kError;
  std::uint8_t lengths[320] = {};
  for (int i = 0; i < codes; ++i) {
    int value = in.Bits(3);
    if (value < 0) return Status::kError;
    lengths[kOrder[i]] = static_cast<std::uint8_t>(value);
  }
  Huffman lengthCode, literalCode, distanceCode;
  if (Build(lengthCode, lengths, 19) != 0) return Status::kError;
  std::memset(lengths, 0, sizeof lengths);
  for (int index = 0; index < literals + distances;) {
    int symbol = Decode(in, lengthCode);
    if (symbol < 0) return Status::kError;
    if (symbol < 16) {
      lengths[index++] = static_cast<std::uint8_t>(symbol);
      continue;
    }
    int value = 0, repeat = 0;
    if (symbol == 16) {
      if (index == 0) return Status::kError;
      value = lengths[index - 1];
      repeat = in.Bits(2);
      repeat = repeat < 0 ? -1 : repeat + 3;
    } else if (symbol == 17) {
      repeat = in.Bits(3);
      repeat = repeat < 0 ? -1 : repeat + 3;
    } else {
      repeat = in.Bits(7);
      repeat = repeat < 0 ? -1 : repeat + 11;
    }
    if (repeat < 0 || index + repeat > literals + distances) return Status::kError;
    while (repeat-- > 0) lengths[index++] = static_cast<std::uint8_t>(value);
  }
  if (lengths[256] == 0) return Status::kError;
  int status = Build(literalCode, lengths, literals);
  if (status < 0 || (status > 0 && literals - literalCode.count[0] != 1)) return Status::kError;
  status = Build(distanceCode, lengths + literals, distances);
  if (status < 0) return Status::kError;
  return Codes(in, out, limit, literalCode, distanceCode);
}

}  // namespace

bool PdfInflate(const ByteSource& source, std::uint64_t offset, std::uint64_t length, std::size_t limit,
                std::string& out) {
  out.clear();
  std::uint64_t size = source.Size();
  if (offset > size || limit == 0) return false;
  length = std::min(length, size - offset);
  // room for a typical ratio up front spares most regrowth
  out.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(limit, length * 8 + 4096)));
  // a zlib wrapper (deflate, no preset dictionary) is skipped; some writers omit it
  unsigned char header[2] = {0, 0};
  bool wrapped = source.Read(offset, header, 2) == 2 && (header[0] & 0x0F) == 8 && (header[0] >> 4) <= 7 &&
                 ((header[0] << 8) | header[1]) % 31 == 0 && !(header[1] & 0x20);
  BitInput in(source, wrapped ? offset + 2 : offset, wrapped ? length - 2 : length);
  Status status = Status::kOk;
  bool last = false;
  while (!last && status == Status::kOk) {
    int final = in.Bits(1), type = in.Bits(2);
    if (type < 0) {
      status = Status::kError;
      break;
    }
    last = final == 1;
    switch (type) {
      case 0: status = Stored(in, out, limit); break;
      case 1: status = Fixed(in, out, limit); break;
      case 2: status = Dynamic(in, out, limit); break;
      default: status = Status::kError; break;
    }
  }
  // a bad or truncated stream still yields the data decoded before the fault
  return status != Status::kError || !out.empty();
}

}  // namespace imr::formats::pdf
