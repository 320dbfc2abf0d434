// The texture readers: DirectDraw Surface, KTX 1 and 2, and BLP.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/texture/texture_reader.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;
using namespace std::string_literals;

Bytes With(Bytes b, std::size_t at, std::uint64_t v, int n = 1) {
  for (int i = 0; i < n; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  return b;
}
Bytes Cut(Bytes b, std::size_t size) {
  b.resize(size);
  return b;
}
Bytes Sample(const char* name) { return ReadBytes(IMR_TEST_DATA "/formats/texture/"s + name); }

// ------------------------------------------------------------------- DDS

Bytes MakeDds(std::uint32_t w, std::uint32_t h, const std::string& fourCC, std::size_t size = 128) {
  Bytes b = ToBytes("DDS " + Le32(124) + Le32(0x1007) + Le32(h) + Le32(w));
  b.resize(size, 0);
  b = With(With(b, 76, 32, 4), 80, 4, 4);
  std::copy(fourCC.begin(), fourCC.end(), b.begin() + 84);
  return b;
}

// identify reports an alpha channel for rgb_none.dds, whose pixel format
// has neither the alpha flag nor an alpha mask.
TEST(DdsReader, SamplesAgreeWithIdentify) {
  CheckSamples(MakeDdsReader, {
      {"texture/dxt1.dds", 16, 8, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "Compression=DXT1|BitsPerSample=|Mipmaps="},
      {"texture/dxt5_mips.dds", 32, 32, 0, 1, PXC_CE_RGB, PXC_AP_UNASSOCIATED, "Compression=DXT5|Mipmaps=4"},
      {"texture/rgb_none.dds", 16, 8, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "Compression=None|BitsPerSample=8"},
  });
}

TEST(DdsReader, ReadsDx10HeadersCubesAndVolumes) {
  // DXGI format, 2D, cube, two cubes, premultiplied alpha.
  const auto dx10 = [](std::uint32_t format, std::uint32_t misc, std::uint32_t alpha) {
    Bytes b = MakeDds(64, 64, "DX10", 148);
    const std::string extra = Le32(format) + Le32(3) + Le32(misc) + Le32(2) + Le32(alpha);
    std::copy(extra.begin(), extra.end(), b.begin() + 128);
    return b;
  };
  Described r = DescribeAll(MakeDdsReader, dx10(99, 0x4, 2));  // BC7_UNORM_SRGB
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "Compression=BC7_UNORM_SRGB|CubeFaces=6|ArraySize=2|alpha=Associated");
  r = DescribeAll(MakeDdsReader, dx10(85, 0, 0));  // B5G6R5_UNORM
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "BitsPerSample=5,6,5|alpha=None");
  EXPECT_EQ(DescribeAll(MakeDdsReader, dx10(80, 0, 0)).images.at(0).channelEncoding, PXC_CE_GRAY);  // BC4_UNORM

  Bytes volume = With(With(MakeDds(8, 8, "DXT2"), 8, 0x1007 | 0x800000, 4), 24, 16, 4);
  r = DescribeAll(MakeDdsReader, With(volume, 112, 0x200000, 4));
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "Depth=16|alpha=Associated");
  r = DescribeAll(MakeDdsReader, With(MakeDds(8, 8, "ATI2"), 112, 0x200 | 0x400 | 0x800 | 0x1000, 4));
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "CubeFaces=3|inks=2");

  const std::pair<Bytes, const char*> bad[] = {
      {dx10(125, 0, 0), "an unknown DXGI format 125"},
      {MakeDds(64, 64, "DX10", 140), "the DX10 header is cut short"},
      {MakeDds(0, 8, "DXT1"), "the width or height is 0"},
      {With(MakeDds(8, 8, "DXT1"), 4, 100), "header sizes of 100 and 32 bytes, not 124 and 32"},
      {Cut(MakeDds(8, 8, "DXT1"), 100), "the header is cut short"},
  };
  for (const auto& [b, why] : bad) EXPECT_EQ(Refusal(MakeDdsReader, b), why);
}

// ------------------------------------------------------------------- KTX

// Level 0 is the texture, the further levels reduced copies of it.
TEST(KtxReader, ReadsBothVersionsAndTheirLevels) {
  CheckSamples(MakeKtxReader, {
      {"texture/rgba8_mips.ktx", 16, 8, 0, 5, PXC_CE_RGB, PXC_AP_UNASSOCIATED,
       "version=1|Compression=None|BitsPerSample=8|ByteOrder=little-endian|Mipmaps=5|Software=make_ktx.py|"
       "rotation=Mirror180|1:type=Thumbnail|1:columns=8|1:rows=4|1:MipmapLevel=1|4:columns=1|4:rows=1"},
      {"texture/dxt1_be.ktx", 8, 8, 0, 1, PXC_CE_RGB, PXC_AP_NONE,
       "Compression=DXT1|ByteOrder=big-endian|BitsPerSample=|Mipmaps="},
      {"texture/cube.ktx", 4, 4, 0, 1, PXC_CE_RGB, PXC_AP_NONE, "CubeFaces=6|inks=3"},
      {"texture/srgba8.ktx2", 8, 4, 0, 2, PXC_CE_RGB, PXC_AP_UNASSOCIATED,
       "version=2|Compression=None|BitsPerSample=8|VkFormat=R8G8B8A8_SRGB|Supercompression=|1:columns=4|1:rows=2"},
      {"texture/bc5_zstd.ktx2", 16, 16, 0, 1, PXC_CE_RGB, PXC_AP_NONE,
       "Compression=BC5|Supercompression=Zstandard|inks=2|VkFormat=BC5_UNORM_BLOCK"},
  });
  // Levels the file does not hold are not reported.
  const Bytes mips = Sample("rgba8_mips.ktx");
  EXPECT_EQ(DescribeAll(MakeKtxReader, Cut(mips, mips.size() - 4)).images.size(), 4u);
  const Bytes ktx2 = Sample("srgba8.ktx2");
  EXPECT_EQ(DescribeAll(MakeKtxReader, Cut(ktx2, ktx2.size() - 16)).images.size(), 1u);
}

TEST(KtxReader, SaysWhyItRefusesAHeader) {
  const Bytes ktx1 = Sample("cube.ktx"), ktx2 = Sample("srgba8.ktx2");
  const std::pair<Bytes, const char*> bad[] = {
      {With(ktx1, 12, 0x05060708, 4), "the endianness mark is not 0x04030201 in either byte order"},
      {With(ktx1, 36, 0, 4), "the width is 0"},
      {With(ktx1, 52, 2, 4), "2 faces (1 or 6 expected)"},
      {With(ktx1, 56, 9, 4), "9 mipmap levels for the size"},
      {With(ktx1, 60, 100000, 4), "the key/value data runs past the end of the file"},
      {Cut(ktx1, 40), "the header is cut short"},
      {With(ktx2, 52, 100000, 4), "the data format descriptor runs past the end of the file"},
      {With(ktx2, 52, 8, 4), "the data format descriptor cannot be read"},
      {With(ktx2, 36, 3, 4), "3 faces (1 or 6 expected)"},
      {With(ktx1, 5, 'X'), ""},
  };
  for (const auto& [b, why] : bad) EXPECT_EQ(Refusal(MakeKtxReader, b), why);
  // A volume of 64 slices has levels down to 1 x 1 x 1.
  EXPECT_EQ(Refusal(MakeKtxReader, With(With(Sample("rgba8_mips.ktx"), 44, 64, 4), 56, 7, 4)), "opened");
}

// ------------------------------------------------------------------- BLP

TEST(BlpReader, SamplesAgreeWithPillow) {
  CheckSamples(MakeBlpReader, {
      {"texture/pal2.blp", 32, 16, 0, 1, PXC_CE_INDEXED, PXC_AP_NONE, "version=2|Compression=None|Mipmaps="},
      // Pillow writes BLP2's byte fields into BLP1 headers, whose alpha
      // word then reads 1 (one bit of alpha); Pillow itself reads none.
      {"texture/pal1.blp", 32, 16, 0, 1, PXC_CE_INDEXED, PXC_AP_UNASSOCIATED, "version=1|AlphaDepth=1"},
  });
}

TEST(BlpReader, ReadsDxtAlphaAndTheMipmapsHeld) {
  // A BLP2 DXT5 texture of 64 x 32 with 8-bit alpha and three levels in
  // the file, the fourth level's offset past its end.
  std::string head = "BLP2"s + Le32(1) + '\2' + '\x08' + '\x07' + '\1' + Le32(64) + Le32(32);
  const std::uint32_t offsets[] = {1172, 1176, 1180, 99999}, lengths[] = {4, 4, 4, 4};
  for (int i = 0; i < 16; ++i) head += Le32(i < 4 ? offsets[i] : 0);
  for (int i = 0; i < 16; ++i) head += Le32(i < 4 ? lengths[i] : 0);
  head.resize(1172 + 12, '\0');
  const Described r = DescribeAll(MakeBlpReader, ToBytes(head));
  ASSERT_EQ(r.images.size(), 3u);
  Check(r.images, "encoding=RGB|alpha=Unassociated|Compression=DXT5|AlphaDepth=8|Mipmaps=3|BitsPerSample=|"
                  "1:columns=32|1:rows=16|1:type=Thumbnail|2:columns=16");

  const Bytes blp = Sample("pal2.blp");
  const std::pair<Bytes, const char*> bad[] = {
      {With(blp, 12, 0, 4), "the width or height is 0"},
      {With(blp, 4, 2, 4), "an unknown content type 2"},
      {With(blp, 8, 5), "an unknown compression 5"},
      {With(blp, 9, 3), "an alpha depth of 3 bits"},
      {Cut(blp, 100), "the header is cut short"},
      {With(blp, 3, '3'), ""},
  };
  for (const auto& [b, why] : bad) EXPECT_EQ(Refusal(MakeBlpReader, b), why);
}

// The damaged files kept as regression inputs, and what each gets.
TEST(TextureReaders, RegressionInputsGetTheirReasons) {
  CheckRegressionRefusals("texture", {
      {"swapped_mark.ktx", MakeKtxReader, "the endianness mark is not 0x04030201 in either byte order"},
      {"no_descriptor.ktx2", MakeKtxReader, "the data format descriptor runs past the end of the file"},
      {"cut_header.blp", MakeBlpReader, "the header is cut short"},
  });
}

}  // namespace
}  // namespace imr::formats
