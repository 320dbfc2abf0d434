// What the reader tests share: sample files, a reader's descriptions of a
// buffer, details by name, and integers as bytes to build headers with.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
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

// Integers as bytes, big- and little-endian.
inline std::string Be16(std::uint16_t v) { return {static_cast<char>(v >> 8), static_cast<char>(v)}; }
inline std::string Be32(std::uint32_t v) {
  return Be16(static_cast<std::uint16_t>(v >> 16)) + Be16(static_cast<std::uint16_t>(v));
}
inline std::string Le16(std::uint16_t v) { return {static_cast<char>(v), static_cast<char>(v >> 8)}; }
inline std::string Le32(std::uint32_t v) {
  return Le16(static_cast<std::uint16_t>(v)) + Le16(static_cast<std::uint16_t>(v >> 16));
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

}  // namespace imr::formats::test
