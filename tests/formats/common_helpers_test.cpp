// The helpers every reader family shares: bounded byte reads, ICC profile
// descriptions, text conversions, ISO boxes, embedded-image signatures and
// resolutions.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/embedded_image.h"
#include "formats/common/icc_profile.h"
#include "formats/common/iso_box.h"
#include "formats/common/text_util.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

TEST(ByteReader, ReadsBothByteOrdersAndStaysInsideItsSource) {
  const unsigned char bytes[] = {0x49, 0x49, 0x2A, 0x00, 0x08, 0x00, 0x00, 0x00};
  MemorySource source(bytes, sizeof bytes);
  ByteReader little(source, true);
  EXPECT_EQ(little.U16(2), 42u);
  EXPECT_EQ(little.U32(4), 8u);
  EXPECT_EQ(little.U16BE(0), 0x4949u);
  EXPECT_FALSE(little.Failed());
  EXPECT_EQ(little.U32(6), 0u);  // two bytes short
  EXPECT_TRUE(little.Failed());
  EXPECT_EQ(little.Text(6, 10).size(), 2u);
  EXPECT_EQ(little.Text(100, 10), "");

  // Empty reads copy nothing: the sanitizers reject a null destination even then.
  EXPECT_EQ(source.Read(8, nullptr, 0), 0u);
  EXPECT_EQ(MemorySource(nullptr, 0).Read(0, nullptr, 0), 0u);
  EXPECT_TRUE(little.Bytes(2, nullptr, 0));
  EXPECT_FALSE(little.Bytes(9, nullptr, 0));  // past the end, even for nothing

  // A slice is a window clamped to its parent.
  SliceSource slice(source, 2, 4);
  ASSERT_EQ(slice.Size(), 4u);
  unsigned char out[8] = {};
  EXPECT_EQ(slice.Read(1, out, 8), 3u);  // stops at the window's end, not the parent's
  EXPECT_EQ(out[0], 0x00);
  EXPECT_EQ(out[1], 0x08);
  EXPECT_EQ(SliceSource(source, 6, 100).Size(), 2u);
  EXPECT_EQ(SliceSource(source, 9, 4).Size(), 0u);
  EXPECT_EQ(SliceSource(source, 9, 4).Read(0, out, 4), 0u);
}

// A profile header of `space` with one 'desc' tag holding `tag`.
std::string Profile(const std::string& tag, const char* space = "RGB ") {
  std::string p(128, '\0');
  p.replace(16, 4, space);
  p.replace(36, 4, "acsp");
  p += Be32(1) + "desc" + Be32(144) + Be32(static_cast<std::uint32_t>(tag.size()));
  return p + tag;
}
std::string DescTag(const std::string& text) {
  return "desc" + Be32(0) + Be32(static_cast<std::uint32_t>(text.size() + 1)) + text + '\0';
}
// An 'mluc' tag of (language+country, UTF-16BE text) records.
std::string MlucTag(const std::vector<std::pair<std::string, std::string>>& records) {
  std::string head = "mluc" + Be32(0) + Be32(static_cast<std::uint32_t>(records.size())) + Be32(12);
  std::string texts;
  const std::size_t first = 16 + 12 * records.size();
  for (const auto& [locale, units] : records) {
    head += locale + Be32(static_cast<std::uint32_t>(units.size())) +
            Be32(static_cast<std::uint32_t>(first + texts.size()));
    texts += units;
  }
  return head + texts;
}
std::string Utf16(const std::string& ascii) {
  std::string units;
  for (char c : ascii) units += std::string(1, '\0') + c;
  return units;
}

std::string ColorProfileOf(const std::string& bytes, std::uint64_t offset = 0) {
  MemorySource source(bytes.data(), bytes.size());
  return IccColorProfile(source, offset, bytes.size() - offset);
}

TEST(IccProfile, DescribesBothTagTypesWhereverTheProfileLies) {
  EXPECT_EQ(ColorProfileOf(Profile(DescTag("Gamma 2.2   "))), "Gamma 2.2");
  // English is preferred over the first record; the text may need surrogates.
  EXPECT_EQ(ColorProfileOf(Profile(MlucTag({{"deDE", Utf16("Farbe")}, {"enUS", Utf16("Colour")}}))),
            "Colour");
  EXPECT_EQ(ColorProfileOf(Profile(MlucTag({{"frFR", std::string("\xD8\x3D\xDE\x00", 4) + Utf16("!")}}))),
            "\xF0\x9F\x98\x80!");
  // Offsets are the profile's own wherever its container keeps it.
  const std::string inside = std::string(37, 'x') + Profile(DescTag("Shifted"));
  EXPECT_EQ(ColorProfileOf(inside, 37), "Shifted");

  const std::string gray = Profile(DescTag("G"), "GRAY");
  MemorySource source(gray.data(), gray.size());
  IccProfile profile;
  ASSERT_TRUE(ReadIccProfile(source, 0, gray.size(), profile));
  EXPECT_EQ(profile.colorSpace, FourCC("GRAY"));
  EXPECT_EQ(profile.description, "G");
}

TEST(IccProfile, AnUnreadableDescriptionIsStillAnEmbeddedProfile) {
  std::string beyond = Profile(DescTag("Long"));
  beyond[143] = '\x7F';  // the tag claims more than the profile holds
  EXPECT_EQ(ColorProfileOf(beyond), "embedded");
  EXPECT_EQ(ColorProfileOf(Profile(MlucTag({}))), "embedded");
  EXPECT_EQ(ColorProfileOf(Profile(MlucTag({{"enUS", ""}}))), "embedded");
  std::string untyped = Profile("text" + std::string(12, 'x'));
  EXPECT_EQ(ColorProfileOf(untyped), "embedded");

  // Not a profile at all, or too short for its header.
  std::string other = Profile(DescTag("X"));
  other.replace(36, 4, "xxxx");
  MemorySource source(other.data(), other.size());
  IccProfile profile;
  EXPECT_FALSE(ReadIccProfile(source, 0, other.size(), profile));
  EXPECT_FALSE(ReadIccProfile(source, 0, 100, profile));
  EXPECT_FALSE(ReadIccProfile(source, other.size() + 5, 200, profile));
  EXPECT_EQ(ColorProfileOf(other), "embedded");
}

TEST(Text, Utf16BecomesUtf8UpToTheFirstNul) {
  const std::uint8_t be[] = {0, 'A', 0x00, 0xE9, 0xD8, 0x3D, 0xDE, 0x00, 0xDC, 0x00, 0, 0, 0, 'Z'};
  std::string out;
  AppendUtf16(out, be, sizeof be / 2);
  EXPECT_EQ(out, "A\xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBD");  // A é 😀, lone low surrogate
  const std::uint8_t le[] = {'O', 0, 'K', 0, 0x3D, 0xD8};  // a high surrogate at the end
  out.clear();
  AppendUtf16(out, le, 3, true);
  EXPECT_EQ(out, "OK\xEF\xBF\xBD");

  EXPECT_EQ(Latin1ToUtf8("caf\xE9"), "caf\xC3\xA9");
  out.clear();
  AppendUtf8(out, 0x110000);
  EXPECT_EQ(out, "\xEF\xBF\xBD");
  EXPECT_EQ(TrimPadding(std::string("Name \t\r\n\0junk", 13)), "Name");
  EXPECT_EQ(TrimPadding("  kept"), "  kept");
}

TEST(IsoBox, SizesOfZeroOneAndTheirLimits) {
  const std::string boxes = Be32(12) + "ftyp" + "abcd" + Be32(1) + "wide" + Be32(0) + Be32(20) +
                            "1234" + Be32(0) + "rest" + "xy";
  MemorySource source(boxes.data(), boxes.size());
  box::Box b;
  ASSERT_TRUE(box::ReadBox(source, 0, boxes.size(), b));
  EXPECT_EQ(b.type, FourCC("ftyp"));
  EXPECT_EQ(b.ContentSize(), 4u);
  ASSERT_TRUE(box::ReadBox(source, b.end, boxes.size(), b));  // 64-bit size
  EXPECT_EQ(b.type, FourCC("wide"));
  EXPECT_EQ(b.content - b.offset, 16u);
  EXPECT_EQ(b.end, 32u);
  ASSERT_TRUE(box::ReadBox(source, b.end, boxes.size(), b));  // size 0: to the limit
  EXPECT_EQ(b.end, boxes.size());
  EXPECT_FALSE(box::ReadBox(source, 0, 11, b));  // beyond the limit
  EXPECT_FALSE(box::ReadBox(source, 36, boxes.size(), b));  // no whole header left
  const std::string small = Be32(4) + "tiny";
  MemorySource tiny(small.data(), small.size());
  EXPECT_FALSE(box::ReadBox(tiny, 0, 100, b));  // smaller than its own header
}

TEST(EmbeddedImage, OnlyRecognisableSignaturesCount) {
  // A JPEG start, a stub, little- and big-endian TIFF headers, placeable and standard WMF headers.
  const std::string bytes = std::string("\xFF\xD8\xFF\xE0", 4) + "<Dummy thumbnail image data>" + "II*" +
                            std::string(1, '\0') + Be32(8) + "MM" + std::string(1, '\0') + "*" + Be32(8) +
                            std::string("\xD7\xCD\xC6\x9A", 4) + std::string("\x01\x00\x09\x00\x00\x03", 6);
  MemorySource s(bytes.data(), bytes.size());
  const struct {
    std::uint64_t offset, length;
    EmbeddedKind kind;
    bool holds;
  } cases[] = {
      {0, 32, EmbeddedKind::kJpeg, true},   {4, 28, EmbeddedKind::kJpeg, false},  // a stub thumbnail
      {0, 3, EmbeddedKind::kJpeg, false},   {0, bytes.size() + 1, EmbeddedKind::kJpeg, false},  // past the file
      {32, 8, EmbeddedKind::kTiff, true},   {40, 8, EmbeddedKind::kTiff, true},
      {32, 7, EmbeddedKind::kTiff, false},  {0, 8, EmbeddedKind::kTiff, false},
      {48, 4, EmbeddedKind::kWmf, true},    {52, 6, EmbeddedKind::kWmf, true},
      {52, 5, EmbeddedKind::kWmf, false},   {32, 8, EmbeddedKind::kWmf, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HoldsImage(s, c.offset, c.length, c.kind), c.holds) << c.offset << "+" << c.length;
  }
  const ImageDescription preview = EmbeddedImage(PXC_IT_PREVIEW, 32, 8);
  EXPECT_TRUE(preview.embedded);
  EXPECT_EQ(preview.type, PXC_IT_PREVIEW);
  EXPECT_EQ(preview.embeddedOffset, 32u);
  EXPECT_EQ(preview.embeddedLength, 8u);
}

TEST(EmbeddedImage, JpegFrameSizeComesFromTheFirstFrameHeader) {
  const std::string app = std::string("\xFF\xE0", 2) + Be16(4) + "xx";
  const std::string sof = std::string("\xFF\xC2", 2) + Be16(11) + std::string(1, 8) + Be16(48) + Be16(64) +
                          std::string(4, '\0');
  const std::string jpeg = std::string("\xFF\xD8", 2) + app + "\xFF" + sof;  // with a fill byte
  MemorySource source(jpeg.data(), jpeg.size());
  std::uint32_t columns = 0, rows = 0;
  ASSERT_TRUE(JpegFrameSize(source, 0, jpeg.size(), columns, rows));
  EXPECT_EQ(columns, 64u);
  EXPECT_EQ(rows, 48u);
  const std::string scanFirst = std::string("\xFF\xD8\xFF\xDA", 4) + Be16(2) + sof;
  MemorySource early(scanFirst.data(), scanFirst.size());
  EXPECT_FALSE(JpegFrameSize(early, 0, scanFirst.size(), columns, rows));
  EXPECT_FALSE(JpegFrameSize(source, 0, 10, columns, rows));  // cut before the frame header
}

TEST(Resolution, IsKeptInInchesWithTheRealSize) {
  ImageDescription image;
  image.columns = 300;
  image.rows = 150;
  SetResolution(image, 118.11, 59.055, 2.54);
  EXPECT_EQ(image.units, PXC_MU_INCH);
  EXPECT_NEAR(image.hResolution, 300, 0.01);
  EXPECT_NEAR(image.vRealSize, 1, 0.001);
  ImageDescription none;
  none.columns = none.rows = 10;
  SetResolution(none, 72, 0);
  SetResolution(none, INFINITY, 72);
  SetResolution(none, NAN, NAN);
  EXPECT_EQ(none.units, PXC_MU_NONE);
  EXPECT_EQ(none.hResolution, 0);
  EXPECT_EQ(none.hRealSize, 0);
}

}  // namespace
}  // namespace imr::formats
