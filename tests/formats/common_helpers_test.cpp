// The helpers every reader family shares, where the readers' own tests
// cannot reach a case: empty and clamped reads, ICC descriptions in other
// languages or unreadable, and broken UTF-16.
#include <gtest/gtest.h>

#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/camera_raw.h"
#include "formats/common/embedded_image.h"
#include "formats/common/icc_profile.h"
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
  EXPECT_EQ(little.U16BE(0), 0x4949u);
  EXPECT_FALSE(little.Failed());
  EXPECT_EQ(little.U32(6), 0u);  // two bytes short
  EXPECT_TRUE(little.Failed());
  EXPECT_EQ(little.Text(6, 10).size(), 2u);

  // Empty reads copy nothing: the sanitizers reject a null destination even then.
  EXPECT_EQ(source.Read(8, nullptr, 0), 0u);
  EXPECT_EQ(MemorySource(nullptr, 0).Read(0, nullptr, 0), 0u);
  EXPECT_TRUE(little.Bytes(2, nullptr, 0));
  EXPECT_FALSE(little.Bytes(9, nullptr, 0));  // past the end, even for nothing

  // A slice is a window clamped to its parent.
  SliceSource slice(source, 2, 4);
  unsigned char out[8] = {};
  EXPECT_EQ(slice.Read(1, out, 8), 3u);  // stops at the window's end, not the parent's
  EXPECT_EQ(out[1], 0x08);
  EXPECT_EQ(SliceSource(source, 6, 100).Size(), 2u);
  EXPECT_EQ(SliceSource(source, 9, 4).Read(0, out, 4), 0u);
}

// A profile header of colour space RGB with one 'desc' tag holding `tag`.
std::string Profile(const std::string& tag) {
  std::string p(128, '\0');
  p.replace(16, 4, "RGB ");
  p.replace(36, 4, "acsp");
  p += Be32(1) + "desc" + Be32(144) + Be32(static_cast<std::uint32_t>(tag.size()));
  return p + tag;
}
// An 'mluc' tag of (language+country, UTF-16BE text) records.
std::string MlucTag(const std::vector<std::pair<std::string, std::string>>& records) {
  std::string head = "mluc" + Be32(0) + Be32(static_cast<std::uint32_t>(records.size())) + Be32(12);
  std::string texts;
  for (const auto& [locale, units] : records) {
    head += locale + Be32(static_cast<std::uint32_t>(units.size())) +
            Be32(static_cast<std::uint32_t>(16 + 12 * records.size() + texts.size()));
    texts += units;
  }
  return head + texts;
}

TEST(IccProfile, PrefersEnglishAndCallsAnUnreadableDescriptionEmbedded) {
  const auto description = [](const std::string& bytes) {
    MemorySource source(bytes.data(), bytes.size());
    return IccColorProfile(source, 0, bytes.size());
  };
  const std::string farbe("\0F\0a\0r\0b\0e", 10), colour("\0C\0o\0l\0o\0u\0r", 12);
  EXPECT_EQ(description(Profile(MlucTag({{"deDE", farbe}, {"enUS", colour}}))), "Colour");
  EXPECT_EQ(description(Profile(MlucTag({{"frFR", std::string("\xD8\x3D\xDE\x00\0!", 6)}}))), "\xF0\x9F\x98\x80!");

  std::string beyond = Profile("desc" + Be32(0) + Be32(5) + "Long" + std::string(1, '\0'));
  beyond[143] = '\x7F';  // the tag claims more than the profile holds
  for (const std::string& unreadable :
       {beyond, Profile(MlucTag({})), Profile(MlucTag({{"enUS", ""}})), Profile("text" + std::string(12, 'x'))}) {
    EXPECT_EQ(description(unreadable), "embedded");
  }
  // Not a profile at all, or too short for its header.
  std::string other = Profile(MlucTag({{"enUS", colour}}));
  other.replace(36, 4, "xxxx");
  MemorySource source(other.data(), other.size());
  IccProfile profile;
  EXPECT_FALSE(ReadIccProfile(source, 0, other.size(), profile));
  EXPECT_FALSE(ReadIccProfile(source, 0, 100, profile));
  EXPECT_FALSE(ReadIccProfile(source, other.size() + 5, 200, profile));
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
  out.clear();
  AppendUtf8(out, 0x110000);
  EXPECT_EQ(out, "\xEF\xBF\xBD");
  EXPECT_EQ(TrimPadding(std::string("Name \t\r\n\0junk", 13)), "Name");
}

// Page sides round to the nearest pixel, halves up, never to nothing.
TEST(PagePixels, RoundsHalvesUpAndKeepsOnePixel) {
  const std::pair<double, std::uint32_t> cases[] = {{0, 1}, {0.4, 1}, {1.49, 1}, {1.5, 2}, {299.5, 300},
                                                    {595.3, 595}, {1e300, 0xFFFFFFFF}, {-5, 1}};
  for (const auto& [points, pixels] : cases) EXPECT_EQ(PagePixels(points), pixels) << points;
}

// Thumbnails up to 256 pixels on the longer side; the JPEG stream's frame
// decides, a stream without one is a preview, bytes of no JPEG are none.
TEST(EmbeddedJpeg, TypedByTheFrameSize) {
  const std::string bytes = "pad" + JpegStream(256, 100) + JpegStream(100, 257) + "\xFF\xD8\xFF\xD9" + "<stub>";
  MemorySource source(bytes.data(), bytes.size());
  const std::size_t jpeg = JpegStream(1, 1).size();
  const struct {
    std::uint64_t offset, length;
    bool found;
    PXC_TImageType type;
  } cases[] = {
      {3, jpeg, true, PXC_IT_THUMBNAIL},
      {3 + jpeg, jpeg, true, PXC_IT_PREVIEW},
      {3 + 2 * jpeg, 4, true, PXC_IT_PREVIEW},  // no frame header
      {3 + 2 * jpeg + 4, 6, false, PXC_IT_UNKNOWN},
      {3, bytes.size(), false, PXC_IT_UNKNOWN},  // past the end
  };
  for (const auto& c : cases) {
    ImageDescription image;
    EXPECT_EQ(EmbeddedJpeg(source, c.offset, c.length, image), c.found) << c.offset;
    if (c.found) {
      EXPECT_EQ(image.type, c.type) << c.offset;
      EXPECT_EQ(image.embeddedOffset, c.offset);
    }
  }
}

TEST(CameraRaw, FilterPatternsAndCanonSensorRecords) {
  const std::pair<std::vector<std::uint8_t>, std::string> patterns[] = {
      {{0, 1, 1, 2}, "RG/GB"}, {{1, 2, 0, 1}, "GB/RG"}, {{3, 4, 5, 6}, "CM/YW"}, {{0, 1, 7, 2}, ""}, {{0, 1, 1}, ""}};
  for (const auto& [cells, text] : patterns) EXPECT_EQ(raw::CfaPatternText(cells, 2, 2), text);
  const std::vector<std::uint16_t> sensor = {34, 3516, 2328, 1, 1, 52, 19, 3507, 2322};
  ImageDescription image;
  ASSERT_TRUE(raw::ReadCanonSensor(sensor, image));
  Check(image, "columns=3516|rows=2328|encoding=RGB|inks=3|ActiveArea=19 52 2323 3508");
  // borders past the sensor are no active area; no size is no sensor
  ImageDescription outside;
  ASSERT_TRUE(raw::ReadCanonSensor(std::vector<std::uint16_t>{34, 100, 80, 0, 0, 2, 2, 100, 79}, outside));
  EXPECT_EQ(Detail(outside, "ActiveArea"), "");
  EXPECT_FALSE(raw::ReadCanonSensor(std::vector<std::uint16_t>{34, 0, 80}, outside));
}

}  // namespace
}  // namespace imr::formats
