// The animation readers: Autodesk FLI and FLC, every frame an image.
#include <gtest/gtest.h>

#include <string>

#include "formats/animation/fli_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;
using namespace std::string_literals;

Bytes Sample(const std::string& name) { return ReadBytes(IMR_TEST_DATA "/formats/animation/" + name); }
Bytes With(Bytes b, std::size_t at, std::uint64_t v, int n = 1) {
  for (int i = 0; i < n; ++i) b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
  return b;
}

// Pillow reads the samples: sizes and frame counts agree with it.
TEST(FliReader, SamplesAgreeWithPillow) {
  CheckSamples(MakeFliReader, {
      {"animation/anim.fli", 320, 200, 0, 3, PXC_CE_INDEXED, PXC_AP_NONE,
       "format=FLI|Frames=3|FrameDelay=5/70 s|Compression=RLE|BitsPerSample=8|FrameTable=|1:type=Page|2:columns=320"},
      // a prefix chunk before the first frame
      {"animation/anim.flc", 64, 48, 0, 4, PXC_CE_INDEXED, PXC_AP_NONE,
       "format=FLC|Frames=4|FrameDelay=70 ms|3:type=Page|3:rows=48"},
      // the third frame's chunk overwritten: the frames before it remain
      {"animation/damaged.flc", 40, 30, 0, 2, PXC_CE_INDEXED, PXC_AP_NONE,
       "Frames=5|FrameTable=damaged at frame 3 of 5|1:FrameTable=damaged at frame 3 of 5"},
  });
}

TEST(FliReader, TheHeaderDescribesAnAnimationWhoseFramesCannotBeRead) {
  Bytes flc = Sample("anim.flc");
  flc.resize(128);  // no frame at all
  Described r = DescribeAll(MakeFliReader, flc);
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "columns=64|rows=48|type=Main|FrameTable=damaged at frame 1 of 4");
  // A first-frame offset past the file falls back to the end of the header.
  r = DescribeAll(MakeFliReader, With(Sample("anim.flc"), 80, 0x7FFFFFFF, 4));
  EXPECT_EQ(r.images.size(), 4u);

  const Bytes fli = Sample("anim.fli");
  const std::pair<Bytes, const char*> bad[] = {
      {With(fli, 8, 0, 2), "the width or height is 0"},
      {With(fli, 12, 4, 2), "a depth of 4 bits per pixel"},
      {Bytes(fli.begin(), fli.begin() + 100), "the header is cut short"},
      {With(fli, 4, 0xAF13, 2), ""},
  };
  for (const auto& [b, why] : bad) EXPECT_EQ(Refusal(MakeFliReader, b), why);
}

// The damaged files kept as regression inputs, and what each gets.
TEST(FliReader, RegressionInputsGetTheirReasons) {
  CheckRegressionRefusals("animation", {{"cut_header.fli", MakeFliReader, "the header is cut short"},
                                       {"loop_chunk.flc", MakeFliReader, "opened"}});
  const Described r = DescribeAll(MakeFliReader, Sample("regress/loop_chunk.flc"));
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "FrameTable=damaged at frame 1 of 4");
}

}  // namespace
}  // namespace imr::formats
