// The format catalog: consistent with the readers of the build, every
// signature read into entry texts the magic parser takes, and its facts in
// the configuration the library starts with.
#include <gtest/gtest.h>

#include "formats/catalog/catalog.h"
#include "formats/catalog/signature.h"
#include "magic/imr_magic-priv.h"

namespace imr::formats {
namespace {

TEST(Catalog, AgreesWithTheReadersAndTheMagicParser) {
  const std::vector<std::string> problems = CatalogProblems(RegisteredReaders());
  EXPECT_TRUE(problems.empty()) << problems.front();
  std::size_t alternatives = 0;
  for (const Format& format : Formats()) {
    for (const char* signature : format.signatures) {
      for (const std::string& text : EntryTexts(format, signature)) {
        EXPECT_NO_THROW(delete ParseMagicEntry(text.c_str())) << format.name << ": " << text;
      }
      ++alternatives;
    }
  }
  EXPECT_GT(alternatives, 200u);
}

TEST(Catalog, SignaturesReadIntoEntryTexts) {
  const Format format{"X", "", "", "", "XR", Depth::kDetails, nullptr, false, {}};
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {R"("A\x00\"\\"@2, [9] in 0x30..0x39, [3]&0xF0!=0x20)",
       {"[2]==0x41", "[3]==0x00", "[4]==0x22", "[5]==0x5C", "[9]>0x2F", "[9]<0x3A", "[3]&0xF0!=0x20",
        "FileFormat=X", "ImageType=3", "FillLevel=2", "imr_plugin=XR", "imr_plugin=GENERIC"}},
      {R"(find "a, b" from 16, find "END" from *4l4, [0] in 0..255, version 2.1)",
       {"?16=a, b", "?*4l4=END", "FileFormat=X", "FileFormatVersion=2.1", "ImageType=3", "FillLevel=2",
        "imr_plugin=XR", "imr_plugin=GENERIC"}},
  };
  for (const auto& [signature, texts] : cases) EXPECT_EQ(EntryTexts(format, signature), texts) << signature;
  for (const char* bad : {"", R"("AB")", R"("AB"@)", R"("\q"@0)", R"("\x4"@0)", "find \"\" from 0",
                          R"(find "\0" from 0)", "find \"a\" from *4x4", "find \"a\" from *4l0",
                          "[1] in 9..3", "[1] in 0..256", "version ", "nonsense", R"("A"@0,"B"@1)"}) {
    EXPECT_THROW(EntryTexts(format, bad), SignatureError) << bad;
  }
}

TEST(Catalog, ItsFactsAreInTheDefaultConfiguration) {
  ASSERT_TRUE(__ZQ_INITIALIZATION_FUNCTION_IMR__());
  const ZQ_TAny value = PXC_CfsWrap().Value(ZQ_TString("/Resources/Modules/IMR/Formats"));
  const ZQ_TDict* formats = value.DynamicCast<ZQ_TDict>();
  ASSERT_NE(formats, nullptr);
  EXPECT_EQ(formats->Entries(), Formats().size());
  const ZQ_TDict* png = formats->ValueOfKey("PNG")->DynamicCast<ZQ_TDict>();
  ASSERT_NE(png, nullptr);
  EXPECT_EQ(png->ValueOfKey("Mime")->ToText(), ZQ_TString("image/png"));
  EXPECT_EQ(png->ValueOfKey("Module")->ToText(), ZQ_TString("imr_web.so"));
  EXPECT_EQ(png->ValueOfKey("Depth")->ToText(), ZQ_TString("details"));
  const ZQ_TAny order = PXC_CfsWrap().Value(ZQ_TString("/Resources/Modules/IMR/Selections/ALL SELECTION"));
  const ZQ_TList* selection = order.DynamicCast<ZQ_TList>();
  ASSERT_NE(selection, nullptr);
  ASSERT_EQ(selection->Entries(), Formats().size());
  for (std::uint32_t i = 0; i < selection->Entries(); ++i) {
    EXPECT_EQ((*selection)[i].ToText(), ZQ_TString(Formats()[i].name));
  }
}

}  // namespace
}  // namespace imr::formats
