// The camera raw readers with structures of their own: CRW, MRW, RAF, X3F.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/raw/raw_readers.h"
#include "tests/formats/reader_test_support.h"

namespace imr::formats {
namespace {

using namespace test;

// identify has no raw delegate here.  The sensor as dcraw -i -v gives its
// "Full size"; the picture's size and borders as exiftool gives them
// (ImageWidth, RawImageCroppedSize, SensorLeftBorder ...); the previews that
// exiftool wrote into the corpus files (see raw/README) as embedded images.
TEST(RawReaders, SamplesAgreeWithDcrawAndExiftool) {
  CheckSamples(MakeCrwReader, {
      {IMR_CORPUS "/exiftool/CanonRaw.crw", 3152, 2068, 0, 1, PXC_CE_RGB, PXC_AP_NONE,
       "format=CRW|version=1.2|inks=3|ActiveArea=16 72 2064 3144|DefaultCropSize=3072x2048|rotation=None"},
      // the JPEG preview record, then the thumbnail record
      {"raw/crw_previews.crw", 3152, 2068, 0, 3, PXC_CE_RGB, PXC_AP_NONE,
       "1:type=Preview|1:embedded=48+3542|2:type=Thumbnail|2:embedded=3590+654"},
  });
  CheckSamples(MakeMrwReader, {
      {IMR_CORPUS "/exiftool/Minolta.mrw", 3272, 2456, 0, 1, PXC_CE_RGB, PXC_AP_NONE,
       "format=MRW|DefaultCropSize=3264x2448|CFAPattern=RG/GB|BitsPerSample=12|Compression=None|"
       "Software=DiMAGE A2 Ver.1.12"},
      // IFD1's thumbnail, then the maker note's preview (offsets from the TTW block at 48)
      {"raw/mrw_previews.mrw", 3272, 2456, 0, 3, PXC_CE_RGB, PXC_AP_NONE,
       "1:type=Thumbnail|1:embedded=3306+654|2:type=Preview|2:embedded=2130+1010"},
  });
  CheckSamples(MakeRafReader, {
      // its JPEG preview is 8 x 8 here: a thumbnail by its size
      {IMR_CORPUS "/exiftool/FujiFilm.raf", 4352, 1444, 0, 2, PXC_CE_RGB, PXC_AP_NONE,
       "format=RAF|version=0106|DefaultCropSize=4256x1424|ActiveArea=10 48 1434 4304|1:type=Thumbnail|"
       "1:embedded=148+12167"},
      // exiftool put the thumbnail into the preview's EXIF: the JPEG reader's
      {"raw/raf_thumbnail.raf", 4352, 1444, 0, 2, PXC_CE_RGB, PXC_AP_NONE, "1:embedded=148+3459"},
  });
  CheckSamples(MakeX3fReader, {
      // the raw section, a Huffman-coded preview, an uncompressed thumbnail;
      // the picture turns a quarter clockwise (dcraw's output is 1531 x 2304)
      {IMR_CORPUS "/exiftool/Sigma.x3f", 2304, 1531, 0, 3, PXC_CE_RGB, PXC_AP_NONE,
       "format=X3F|version=2.2|rotation=R90|DefaultCropSize=2268x1512|Compression=Huffman|"
       "1:type=Preview|1:columns=567|2:type=Thumbnail|2:rows=126|2:Compression=None"},
      // a JPEG section holding a JPEG stream, another holding a placeholder
      {IMR_CORPUS "/exiftool/SigmaDP2.x3f", 2688, 1792, 0, 3, PXC_CE_RGB, PXC_AP_NONE,
       "version=2.3|Compression=TRUE|1:embedded=292+2676|2:type=Thumbnail|2:columns=221|2:Compression=JPEG"},
      {"raw/x3f_previews.x3f", 2688, 1792, 0, 3, PXC_CE_RGB, PXC_AP_NONE, "1:embedded=292+3296"},
  });
}

// CRW heaps: records in the heap or in the record itself, heaps within
// heaps; Canon's sensor record, else the picture's size alone.
std::string Heap(const std::vector<std::pair<std::uint16_t, std::string>>& records) {
  std::string data, table = Le16(static_cast<std::uint16_t>(records.size()));
  for (const auto& [tag, value] : records) {
    table += Le16(tag) + Le32(static_cast<std::uint32_t>(value.size())) + Le32(static_cast<std::uint32_t>(data.size()));
    data += value;
  }
  return data + table + Le32(static_cast<std::uint32_t>(data.size()));
}
std::string Crw(const std::string& heap) {
  return std::string("II\x1A\0\0\0HEAPCCDR\x02\0\x01\0", 18) + std::string(8, '\0') + heap;
}

TEST(RawReaders, CrwHeaps) {
  const std::string imageInfo = Le32(1600) + Le32(1200) + Le32(0) + Le32(270);
  std::string sensor;
  for (std::uint16_t v : {34, 1640, 1220, 0, 0, 20, 10, 1619, 1209}) sensor += Le16(v);
  const std::string jpeg = JpegStream(1600, 1200);
  struct Case {
    std::string file;
    const char* checks;
  };
  const Case cases[] = {
      // the sensor record in a heap within the root heap, and the preview
      {Crw(Heap({{0x300A, Heap({{0x1810, imageInfo}, {0x300B, Heap({{0x1031, sensor}})}})}, {0x2007, jpeg}})),
       "columns=1640|rows=1220|ActiveArea=10 20 1210 1620|DefaultCropSize=1600x1200|rotation=R270|1:type=Preview"},
      // no sensor record: the picture's size
      {Crw(Heap({{0x300A, Heap({{0x1810, imageInfo}})}})), "columns=1600|rows=1200|DefaultCropSize="},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.checks);
    const Described r = DescribeAll(MakeCrwReader, c.file);
    ASSERT_TRUE(r.opened);
    Check(r.images, c.checks);
  }
}

// RAF: a raw header without sizes leaves them to Fujifilm's IFD in front
// of the raw data; X-Trans cameras give a 6 x 6 filter pattern (last cell first).
TEST(RawReaders, RafRawHeaderAndFujifilmIfd) {
  std::string layout;
  for (const char* row :
       {"\1\1\0\1\1\2", "\1\1\2\1\1\0", "\2\0\1\0\2\1", "\1\1\2\1\1\0", "\1\1\0\1\1\2", "\0\2\1\2\0\1"}) {
    layout += std::string(row, 6);
  }
  std::string reversed(layout.rbegin(), layout.rend());
  const std::string header = Be32(1) + Be16(0x131) + Be16(36) + reversed;
  // a big-endian TIFF: IFD0 with tag 0xF000 pointing to Fujifilm's IFD
  const std::string fuji = std::string("MM\0*\0\0\0\x08", 8) + Be16(1) + Be16(0xF000) + Be16(4) + Be32(1) + Be32(26) +
                           Be32(0) + Be16(3) + Be16(0xF001) + Be16(4) + Be32(1) + Be32(6160) + Be16(0xF002) + Be16(4) +
                           Be32(1) + Be32(4032) + Be16(0xF003) + Be16(4) + Be32(1) + Be32(14) + Be32(0);
  std::string raf = "FUJIFILMCCD-RAW 0201FF129502X-T2" + std::string(28, '\0') + "0100" + std::string(20, '\0');
  const std::uint32_t headerAt = 108, rawAt = headerAt + static_cast<std::uint32_t>(header.size());
  raf += Be32(0) + Be32(0) + Be32(headerAt) + Be32(header.size()) + Be32(rawAt) + Be32(fuji.size()) + header + fuji;
  const Described r = DescribeAll(MakeRafReader, raf);
  ASSERT_TRUE(r.opened);
  ASSERT_EQ(r.images.size(), 1u);
  Check(r.images, "format=RAF|version=0100|columns=6160|rows=4032|BitsPerSample=14|"
                  "CFAPattern=GGRGGB/GGBGGR/BRGRBG/GGBGGR/GGRGGB/RBGBRG");
}

// Damaged files say why they are refused; bytes of another format do not.
TEST(RawReaders, RefuseDamagedFiles) {
  const std::string crw = ReadFile(IMR_CORPUS "/exiftool/CanonRaw.crw");
  const std::string mrw = ReadFile(IMR_CORPUS "/exiftool/Minolta.mrw");
  const std::string raf = ReadFile(IMR_CORPUS "/exiftool/FujiFilm.raf");
  const std::string x3f = ReadFile(IMR_CORPUS "/exiftool/Sigma.x3f");
  const auto patched = [](std::string bytes, std::size_t at, const std::string& with) {
    return bytes.replace(at, with.size(), with);
  };
  struct Case {
    Factory make;
    std::string bytes;
    const char* reason;
  };
  const Case cases[] = {
      {MakeCrwReader, patched(crw, 2, Le32(0x7FFFFFFF)), "the header points to a heap outside the file"},
      {MakeCrwReader, crw.substr(0, 100), "the heaps hold neither a sensor record nor an image size"},
      {MakeCrwReader, "II\x1A", ""},
      {MakeMrwReader, patched(mrw, 8, std::string("\0XYZ", 4)), "no PRD block gives the sensor size"},
      {MakeMrwReader, mrw.substr(0, 20), "no PRD block gives the sensor size"},
      {MakeRafReader, raf.substr(0, 90), "the header is cut short"},
      {MakeRafReader, patched(raf, 92, Be32(0xFFFFFF00)),
       "neither the raw header nor the raw data give the sensor size"},
      {MakeX3fReader, x3f.substr(0, 20), "the file ends inside its header"},
      {MakeX3fReader, x3f.substr(0, x3f.size() - 4) + Le32(8), "the last four bytes do not point to the section directory"},
      {MakeX3fReader, patched(x3f, 0x56c + 8, Le32(100000)), "the section directory lists 100000 sections"},
      {MakeX3fReader, patched(x3f, 0x56c + 8, Le32(9)), "the section directory is cut short"},
      {MakeX3fReader, x3f.substr(0, 0x56c) + "SECd" + Le32(0x20000) + Le32(0) + Le32(0x56c),
       "no image section gives a size"},
      {MakeX3fReader, "FOVa", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    EXPECT_EQ(Refusal(c.make, c.bytes), c.reason);
    EXPECT_FALSE(DescribeAll(c.make, c.bytes).opened);
  }
}

// Damaged files of raw/regress: what each still gives, or why it is refused.
TEST(RawReaders, DamagedFilesInRegress) {
  const struct {
    Factory make;
    const char* file;
    const char* checks;  // on the images, or the refusal when it starts with '!'
  } cases[] = {
      {MakeCrwReader, "crw_table_at_end.crw", "!the heaps hold neither a sensor record nor an image size"},
      // a PRD block running past the blocks: read within them
      {MakeMrwReader, "mrw_prd_length.mrw", "columns=3272|Exif="},
      {MakeRafReader, "raf_record_count.raf", "columns=4352|DefaultCropSize=4256x1424"},
      {MakeX3fReader, "x3f_sections_at_directory.x3f", "!no image section gives a size"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const Bytes bytes = ReadBytes(std::string(IMR_TEST_DATA "/formats/raw/regress/") + c.file);
    if (c.checks[0] == '!') {
      EXPECT_EQ(Refusal(c.make, bytes), c.checks + 1);
      continue;
    }
    const Described r = DescribeAll(c.make, bytes);
    ASSERT_TRUE(r.opened);
    Check(r.images, c.checks);
  }
}

}  // namespace
}  // namespace imr::formats
