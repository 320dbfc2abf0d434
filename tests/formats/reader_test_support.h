// What the reader tests share: sample files, a reader's descriptions of a
// buffer, a table check of samples, details by name, and integers as bytes
// to build headers with.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/format_reader.h"

namespace imr::formats::test {

using Bytes = std::vector<std::uint8_t>;
using Factory = std::unique_ptr<FormatReader> (*)();

// The bytes of a file; empty when it cannot be read.
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline Bytes ReadBytes(const std::string& path) {
  const std::string bytes = ReadFile(path);
  return {bytes.begin(), bytes.end()};
}

// The value of detail `key`; empty when the image has none.
inline std::string Detail(const ImageDescription& image, const std::string& key) {
  for (const auto& [k, v] : image.extended) {
    if (k == key) return v;
  }
  return {};
}

struct Described {
  bool opened = false;
  std::vector<ImageDescription> images;
};

// Opens `bytes` with a reader from `make` and describes images 0, 1, ...
// until one is refused, at most `limit` of them.
template <class Data>
Described DescribeAll(Factory make, const Data& bytes, std::uint32_t limit = 64) {
  MemorySource source(bytes.data(), bytes.size());
  auto reader = make();
  Described result;
  result.opened = reader->Open(source);
  for (std::uint32_t i = 0; result.opened && i < limit; ++i) {
    ImageDescription image;
    if (!reader->Describe(i, image)) break;
    result.images.push_back(image);
  }
  return result;
}

// Opens `bytes` and describes image 0 of a format with one image per file;
// false when the reader refuses either (a second image fails the test).
template <class Data>
bool DescribeSingle(Factory make, const Data& bytes, ImageDescription& image) {
  MemorySource source(bytes.data(), bytes.size());
  auto reader = make();
  if (!reader->Open(source) || !reader->Describe(0, image)) return false;
  ImageDescription none;
  EXPECT_FALSE(reader->Describe(1, none));
  return true;
}

// Why a reader from `make` refuses `bytes` (its Open fails, or its first
// Describe): "" when it does not take them for its own; "opened" when it
// reads them.
template <class Data>
std::string Refusal(Factory make, const Data& bytes) {
  MemorySource source(bytes.data(), bytes.size());
  auto reader = make();
  ImageDescription image;
  if (reader->Open(source) && reader->Describe(0, image)) return "opened";
  return reader->Refusal();
}

// Checks the reason a reader from `make` gives for refusing each input
// ("" for bytes it does not take for its own).
inline void CheckRefusals(Factory make, std::initializer_list<std::pair<Bytes, const char*>> cases) {
  for (const auto& [bytes, reason] : cases) {
    EXPECT_EQ(Refusal(make, bytes), reason) << std::string(bytes.begin(), bytes.begin() + std::min<std::size_t>(bytes.size(), 40));
  }
}

// Names of enumeration values, as checks write them.
template <std::size_t N>
std::string NameOf(int value, const char* const (&names)[N]) {
  return value >= 0 && value < static_cast<int>(N) ? names[value] : std::to_string(value);
}
inline const char* const kTypeNames[] = {"Unknown", "Thumbnail", "Preview", "Main", "Auxiliary", "Page"};
inline const char* const kRotationNames[] = {"None",   "R90",      "R180",      "R270",
                                             "Mirror", "Mirror90", "Mirror180", "Mirror270"};
inline const char* const kEncodingNames[] = {"Unknown", "Bilevel", "Gray",         "RGB",     "CMYK", "Lab",
                                             "Indexed", "YCbCr",   "YCCK", "Multichannel", "Duotone", "XYZ", "Vector"};
inline const char* const kAlphaNames[] = {"None", "Associated", "Unassociated", "TransparentIndex", "Unspecified"};

// Checks "key=value" pairs separated by '|' on `images`: "N:key" on image N,
// a plain key on image 0.  Keys are the fields format, version, type,
// columns, rows, rotation, encoding, alpha, inks, pages, inkNames and
// externalRefs (comma-separated) and embedded ("offset+length"), or details
// by name; an empty value expects none.
inline void Check(const std::vector<ImageDescription>& images, const std::string& checks) {
  std::istringstream in(checks);
  for (std::string check; std::getline(in, check, '|');) {
    std::size_t index = 0;
    if (check.find(':') < check.find('=')) {
      index = std::stoul(check);
      check.erase(0, check.find(':') + 1);
    }
    const std::size_t equals = check.find('=');
    ASSERT_NE(equals, std::string::npos) << check;
    ASSERT_LT(index, images.size()) << check;
    const ImageDescription& d = images[index];
    const std::string key = check.substr(0, equals), want = check.substr(equals + 1);
    std::string got;
    if (key == "format") {
      got = d.format;
    } else if (key == "version") {
      got = d.version;
    } else if (key == "type") {
      got = NameOf(d.type, kTypeNames);
    } else if (key == "rotation") {
      got = NameOf(d.rotation, kRotationNames);
    } else if (key == "encoding") {
      got = NameOf(d.channelEncoding, kEncodingNames);
    } else if (key == "alpha") {
      got = NameOf(d.alphaPlane, kAlphaNames);
    } else if (key == "columns" || key == "rows" || key == "inks" || key == "pages") {
      const std::int64_t n = key == "columns" ? std::int64_t{d.columns}
                             : key == "rows"  ? std::int64_t{d.rows}
                             : key == "inks"  ? std::int64_t{d.inks}
                                              : std::int64_t{d.pages};
      got = std::to_string(n);
    } else if (key == "embedded") {
      got = d.embedded ? std::to_string(d.embeddedOffset) + "+" + std::to_string(d.embeddedLength) : "";
    } else if (key == "inkNames" || key == "externalRefs") {
      for (const std::string& name : key == "inkNames" ? d.inkNames : d.externalRefs) {
        got += (got.empty() ? "" : ",") + name;
      }
    } else {
      got = Detail(d, key);
    }
    EXPECT_EQ(got, want) << "image " << index << " " << key;
  }
}

inline void Check(const ImageDescription& image, const std::string& checks) {
  Check(std::vector<ImageDescription>{image}, checks);
}

// What a sample file gives, mostly as identify reports it: image 0's size,
// its resolution in pixels per inch (0: none stated, so no units and no real
// size; negative: not checked), colour and alpha, the number of images, and
// further checks as Check() takes them.
struct Sample {
  const char* file;  // under tests/data/formats, or an absolute path
  std::uint32_t columns, rows;
  double dpi;
  std::size_t images;
  PXC_TChannelEnc encoding;
  PXC_TAlphaPlane alpha;
  const char* checks = "";
};

inline void CheckSamples(Factory make, std::initializer_list<Sample> samples) {
  for (const Sample& s : samples) {
    SCOPED_TRACE(s.file);
    const std::string path = s.file[0] == '/' ? s.file : std::string(IMR_TEST_DATA "/formats/") + s.file;
    const Bytes bytes = ReadBytes(path);
    ASSERT_FALSE(bytes.empty());
    const Described r = DescribeAll(make, bytes);
    ASSERT_TRUE(r.opened);
    ASSERT_EQ(r.images.size(), s.images);
    const ImageDescription& d = r.images[0];
    EXPECT_EQ(d.type, PXC_IT_MAIN);
    EXPECT_EQ(d.columns, s.columns);
    EXPECT_EQ(d.rows, s.rows);
    if (s.dpi == 0) {
      EXPECT_EQ(d.units, PXC_MU_NONE);
      EXPECT_EQ(d.hResolution, 0);
      EXPECT_EQ(d.hRealSize, 0);
    } else if (s.dpi > 0) {
      EXPECT_EQ(d.units, PXC_MU_INCH);
      EXPECT_NEAR(d.hResolution, s.dpi, 0.01);
      EXPECT_NEAR(d.vResolution, s.dpi, 0.01);
      EXPECT_NEAR(d.hRealSize * d.hResolution, d.columns, 1.0);  // the real size goes with it
    }
    EXPECT_EQ(d.channelEncoding, s.encoding);
    EXPECT_EQ(d.alphaPlane, s.alpha);
    Check(r.images, s.checks);
  }
}

// Integers as bytes, big- and little-endian.
inline std::string Be16(std::uint16_t v) { return {static_cast<char>(v >> 8), static_cast<char>(v)}; }
inline std::string Be32(std::uint32_t v) {
  return Be16(static_cast<std::uint16_t>(v >> 16)) + Be16(static_cast<std::uint16_t>(v));
}
inline std::string Be64(std::uint64_t v) {
  return Be32(static_cast<std::uint32_t>(v >> 32)) + Be32(static_cast<std::uint32_t>(v));
}
inline std::string Le16(std::uint16_t v) { return {static_cast<char>(v), static_cast<char>(v >> 8)}; }
inline std::string Le32(std::uint32_t v) {
  return Le16(static_cast<std::uint16_t>(v)) + Le16(static_cast<std::uint16_t>(v >> 16));
}
inline Bytes ToBytes(const std::string& s) { return {s.begin(), s.end()}; }

// The smallest JPEG stream a reader sizes: SOI, a baseline frame header of
// three components, a scan of two bytes, EOI.
inline std::string JpegStream(std::uint16_t columns, std::uint16_t rows) {
  return std::string("\xFF\xD8\xFF\xC0\x00\x11\x08", 7) + Be16(rows) + Be16(columns) +
         std::string("\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01\xFF\xDA\x00\x02\x12\x34\xFF\xD9", 18);
}

// The files of tests/data/formats/<family>/regress: inputs that once broke a
// reader, which every reader of the family must now get through.
inline std::vector<std::string> RegressionInputs(const std::string& family) {
  std::vector<std::string> paths;
  const std::filesystem::path folder = std::filesystem::path(IMR_TEST_DATA) / "formats" / family / "regress";
  if (!std::filesystem::exists(folder)) return paths;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.is_regular_file()) paths.push_back(entry.path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

// Checks that each regression input named, of `family`, is refused by its
// format's reader with the reason given.
struct PinnedRefusal {
  const char* file;  // under tests/data/formats/<family>/regress
  Factory make;
  const char* reason;
};
inline void CheckRegressionRefusals(const std::string& family, std::initializer_list<PinnedRefusal> rows) {
  for (const PinnedRefusal& row : rows) {
    const Bytes bytes = ReadBytes(std::string(IMR_TEST_DATA "/formats/") + family + "/regress/" + row.file);
    ASSERT_FALSE(bytes.empty()) << row.file;
    EXPECT_EQ(Refusal(row.make, bytes), row.reason) << row.file;
  }
}

}  // namespace imr::formats::test
