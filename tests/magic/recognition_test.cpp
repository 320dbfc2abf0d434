// Recognition through the default core, the shipped magic tables and
// GENERIC: hand-made file starts for every shipped entry and small files
// written by ImageMagick, at the level of the magic entries alone and at the
// deepest level; damaged and hostile files are recognised or declined.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <set>

#include "magic_samples.h"
#include "magic_test_support.h"

namespace {

using namespace magictest;

class Recognition : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(UseShippedModules()); }

  // The selected image's format, "" when the file is declined; other
  // outcomes are failures.
  static std::string FormatOf(const IMR_TCore& core, const std::string& path, PXC_TFillLevel level,
                              bool* filledToLevel = nullptr) {
    PXC_TImageProxy proxy;
    try {
      core.FillImageProxy(proxy, ZQ_TURL::FromPath(ZQ_TString(path)), level, IMR_IT_ALL);
    } catch (const IMR_EPluginFileNotRecognized&) {
      return "";
    } catch (const IMR_EPluginCannotReadFile&) {
      return "";
    } catch (const ZQ_EException& error) {
      ADD_FAILURE() << path << ": " << error.ClassName() << ": " << error.Text();
      return "!";
    }
    const PXC_TImageTicket* selected = proxy.Selected();
    if (selected == nullptr) {
      ADD_FAILURE() << path << ": recognised without a selected image";
      return "!";
    }
    if (filledToLevel != nullptr) *filledToLevel = selected->FillLevel() >= level;
    return selected->FileFormat().Std();
  }

  TempDir iDir;
};

class Levels : public Recognition, public ::testing::WithParamInterface<PXC_TFillLevel> {};

TEST_P(Levels, HandMadeStartsOfEveryShippedEntry) {
  const IMR_TCore core;
  for (const Sample& sample : Samples()) {
    const std::string path = iDir / sample.name;
    WriteFile(path, sample.bytes);
    bool filled = false;
    EXPECT_EQ(FormatOf(core, path, GetParam(), &filled), sample.format) << sample.name;
    if (!sample.format.empty()) {
      EXPECT_TRUE(filled) << sample.name;
    }
  }
}

TEST_P(Levels, FilesWrittenByImageMagick) {
  const std::vector<Sample> samples = DataSamples(IMR_MAGIC_DATA_DIR "/samples");
  ASSERT_GT(samples.size(), 40u);
  const IMR_TCore core;
  for (const Sample& sample : samples) {
    ASSERT_FALSE(sample.bytes.empty()) << sample.name;
    // Described from a copy: the data folder is shared.
    const std::string path = iDir / sample.name;
    WriteFile(path, sample.bytes);
    EXPECT_EQ(FormatOf(core, path, GetParam()), sample.format) << sample.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Magic, Levels, ::testing::Values(PXC_FL_FORMAT, PXC_FL_DEPENDENCIES),
                         [](const auto& info) { return "Level" + std::to_string(info.param); });

TEST_F(Recognition, EveryConfiguredEntryHasASample) {
  const IMR_TCore core;  // loads the configuration
  std::set<std::string> covered;
  for (const Sample& sample : Samples()) covered.insert(sample.format);
  const ZQ_TAny selections = PXC_CfsWrap().Value(ZQ_TString("/Resources/Modules/IMR/Selections"));
  const ZQ_TDict* dict = selections.DynamicCast<ZQ_TDict>();
  ASSERT_NE(dict, nullptr);
  const ZQ_TList* configured = dict->ValueOfKey(IMR_kDefaultSelection)->DynamicCast<ZQ_TList>();
  ASSERT_NE(configured, nullptr);
  ASSERT_GT(configured->Entries(), 80u);
  for (const ZQ_TList::Entry& entry : *configured) {
    EXPECT_EQ(covered.count(entry.value.ToText().Std()), 1u) << entry.value.ToText();
  }
}

TEST_F(Recognition, TruncatedStartsAreRecognisedOrDeclined) {
  const IMR_TCore core;
  std::size_t declined = 0;
  std::size_t files = 0;
  for (const Sample& sample : Samples()) {
    if (sample.format.empty()) continue;
    const std::size_t longest = std::min<std::size_t>(sample.bytes.size() - 1, 40);
    for (std::size_t length = 1; length <= longest; length += 3) {
      const std::string path = iDir / "cut";
      WriteFile(path, sample.bytes.substr(0, length));
      ++files;
      const std::string format = FormatOf(core, path, length % 2 ? PXC_FL_FORMAT : PXC_FL_DEPENDENCIES);
      EXPECT_NE(format, "!") << sample.name << " cut to " << length;
      declined += format.empty();
    }
  }
  EXPECT_GT(declined, 0u);
  EXPECT_LT(declined, files);
}

TEST_F(Recognition, EmptyMissingAndSpecialFilesAreDeclined) {
  const IMR_TCore core;
  WriteFile(iDir / "empty", "");
  ::mkdir((iDir / "folder").c_str(), 0755);
  ASSERT_EQ(::mkfifo((iDir / "fifo").c_str(), 0644), 0);
  for (const char* name : {"empty", "folder", "fifo", "missing"}) {
    for (PXC_TFillLevel level : {PXC_FL_FORMAT, PXC_FL_DEPENDENCIES}) {
      PXC_TImageProxy proxy;
      Raised<IMR_EPluginCannotReadFile>([&] {
        core.FillImageProxy(proxy, ZQ_TURL::FromPath(ZQ_TString(iDir / name)), level, IMR_IT_ALL);
      });
    }
  }
}

TEST_F(Recognition, HugeDeclaredSizesAndOffsets) {
  const IMR_TCore core;
  auto le32 = [](unsigned value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
    return bytes;
  };
  struct Hostile {
    const char* name;
    std::string bytes;
    const char* format;
  };
  const std::vector<Hostile> files = {
      // Stored starts far past the end, of little- and big-endian TIFFs and a DOS EPS.
      {"tiff-far.tif", Padded(std::string("II*\0", 4) + le32(0xFFFFFFF0u), 64), "TIFF"},
      {"tiff-far-be.tif", Padded(std::string("MM\0*\xFF\xFF\xFF\xF0", 8), 64), "TIFF"},
      {"eps-far.eps", Padded(std::string("\xC5\xD0\xD3\xC6", 4) + le32(0x80000000u), 64), "EPS"},
      // Sizes no reader could allocate.
      {"png-huge.png",
       Padded(std::string("\x89PNG\r\n\x1A\n\xFF\xFF\xFF\xFFIHDR\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 24), 64),
       "PNG"},
      {"bmp-huge.bmp",
       Padded(std::string("BM\xFF\xFF\xFF\xFF\0\0\0\0\xFF\xFF\xFF\xFF(\0\0\0\xFF\xFF\xFF\x7F", 22), 64),
       "BMP"},
      {"psd-huge.psd", Padded(std::string("8BPS\0\x01\0\0\0\0\0\0\xFF\xFF\xFF\xFF\xFF\xFF", 18), 64),
       "PSD"},
  };
  for (const Hostile& file : files) {
    WriteFile(iDir / file.name, file.bytes);
    for (PXC_TFillLevel level : {PXC_FL_FORMAT, PXC_FL_DEPENDENCIES}) {
      EXPECT_EQ(FormatOf(core, iDir / file.name, level), file.format) << file.name;
    }
  }
  // A sparse file of 3 GiB whose stored start points near its end: the
  // search reads a bounded window, not the file.
  const std::string sparse = iDir / "sparse.tif";
  WriteFile(sparse, std::string("II*\0", 4) + le32(0xBFFFF000u) + std::string(56, '\0'));
  ASSERT_EQ(::truncate(sparse.c_str(), 3LL << 30), 0);
  EXPECT_EQ(FormatOf(core, sparse, PXC_FL_FORMAT), "TIFF");
  EXPECT_EQ(FormatOf(core, sparse, PXC_FL_DEPENDENCIES), "TIFF");
}

TEST_F(Recognition, RandomBytesAreRecognisedOrDeclined) {
  const IMR_TCore core;
  std::mt19937 random(20261205);
  const std::vector<Sample> samples = Samples();
  for (int i = 0; i < 300; ++i) {
    std::string bytes(1 + random() % 3000, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    // Half of them start like a real file.
    if (i % 2 == 1) {
      const Sample& sample = samples[random() % samples.size()];
      bytes.replace(0, std::min(bytes.size(), sample.bytes.size() / 2),
                    sample.bytes.substr(0, std::min(bytes.size(), sample.bytes.size() / 2)));
    }
    WriteFile(iDir / "random", bytes);
    EXPECT_NE(FormatOf(core, iDir / "random", i % 3 ? PXC_FL_FORMAT : PXC_FL_DEPENDENCIES), "!");
  }
}

}  // namespace
