// Converters between texts and the ticket enumerations, readable texts of
// values, embedded-data helpers, and the library's exception classes.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

#include "pxc_test_support.h"

using namespace pxctest;

namespace {

// Every named value comes back from its name in any case and from its
// number; texts that name nothing give 0.  Values are numbered from 0 up.
template <class Enum>
void ExpectRoundTrips(Enum (*fromText)(const ZQ_TString&), const char* (*nameOf)(Enum)) {
  std::int32_t named = 0;
  for (; named < 64; ++named) {
    const std::string name = nameOf(static_cast<Enum>(named));
    if (named > 0 && name == "Unknown") break;
    SCOPED_TRACE(name);
    std::string lower = name, upper = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    for (const std::string& text : {name, lower, upper, std::to_string(named)}) {
      EXPECT_EQ(fromText(ZQ_TString(text)), named);
    }
  }
  EXPECT_GE(named, 5);
  for (const char* unknown : {"", "nonsense", "Mainly", "-1", "x3"}) {
    EXPECT_EQ(fromText(ZQ_TString(unknown)), 0) << unknown;
  }
}

}  // namespace

TEST(Converters, EveryEnumerationValueRoundTripsThroughItsName) {
  ExpectRoundTrips(&PXC_String2ImageType, &PXC_ImageTypeName);
  ExpectRoundTrips(&PXC_String2ChannelEnc, &PXC_ChannelEncName);
  ExpectRoundTrips(&PXC_String2AlphaPlane, &PXC_AlphaPlaneName);
  ExpectRoundTrips(&PXC_String2ImageRotation, &PXC_ImageRotationName);
  ExpectRoundTrips(&PXC_String2Units, &PXC_UnitsName);
  ExpectRoundTrips(&PXC_String2FillLevel, &PXC_FillLevelName);
  ExpectRoundTrips(&PXC_String2ImageSubtype, &PXC_ImageSubtypeName);
  EXPECT_EQ(PXC_String2ChannelEnc(ZQ_TString("cmyk")), PXC_CE_CMYK);
  EXPECT_STREQ(PXC_ImageRotationName(PXC_IR_MIRROR_270), "Mirror270");
}

// Exceptions read "class: message", in containers too (they once printed
// their place and stack there); texts inside containers are quoted.
TEST(Converters, Any2StringGivesReadableTexts) {
  EXPECT_EQ(PXC_Any2String(ZQ_TAny("text")), "text");
  EXPECT_EQ(PXC_Any2String(ZQ_TAny(PXC_TReference("a.eps", "placed"))), "a.eps (placed)");
  ZQ_TDict dict;
  dict.Add("Compression", "LZW");
  dict.Add("Bits", ZQ_TAny(8u));
  EXPECT_EQ(PXC_Any2String(ZQ_TAny(ZQ_TList{"one", ZQ_TAny(false), ZQ_TAny(dict), ZQ_TAny(ZQ_TList{})})),
            R"(["one", false, {Compression: "LZW", Bits: 8}, []])");

  const PXC_EBufferCannotOpenFile error = Raised<PXC_EBufferCannotOpenFile>(
      [] { delete PXC_IBuffer::Create(ZQ_TURL::FromPath("/pxctest/missing.tif"), 0, 0, 16); });
  const std::string open =
      "PXC_EBufferCannotOpenFile: Cannot open /pxctest/missing.tif (No such file or directory)";
  EXPECT_EQ(PXC_Any2String(ZQ_TAny(error)).Std(), open);
  const PXC_EPXCBASE plain(ZQ_TString("No value %s here"), ZQ_TAny(42u));
  ZQ_TDict errors;
  errors.Add("open", ZQ_TAny(error));
  EXPECT_EQ(PXC_Any2String(ZQ_TAny(ZQ_TList{"a", ZQ_TAny(plain), ZQ_TAny(errors)})).Std(),
            "[\"a\", PXC_EPXCBASE: No value 42 here, {open: " + open + "}]");
}

TEST(Converters, EmbeddedDataHelpers) {
  const ZQ_TURL file = ZQ_TURL::FromPath("/pxctest/file.eps");
  EXPECT_EQ(Datum(Raised<PXC_ENotEmbeddedFile>([&] { PXC_Embedded2Tag(file); })), file.Text().Std());
  const ZQ_TURL preview = PXC_EmbeddedFile(file, 30, 1000, 0, 0, 0);
  const ZQ_TURL thumbnail = PXC_EmbeddedFile(preview, 12, 100, 0, 0, 0);
  EXPECT_EQ(PXC_Embedded2Tag(thumbnail).Offset(), 42u);
  EXPECT_EQ(PXC_Embedded2Tag(thumbnail).Length(), 100u);
  EXPECT_EQ(thumbnail.Path(), file.Path());
}

// Every listed class is registered under its name, listed after its parent,
// made by name as itself, and raised as itself.
TEST(Exceptions, AllClassesAreRegisteredWithTheirParents) {
  ASSERT_TRUE(__ZQ_INITIALIZATION_FUNCTION_PXCBASE__());  // later calls succeed too
  std::size_t count = 0;
  const ZQ_TClass* const* listed = PXC_ExceptionClasses(count);
  ASSERT_EQ(count, 61u);
  for (std::size_t i = 0; i < count; ++i) {
    const char* name = listed[i]->Name();
    SCOPED_TRACE(name);
    EXPECT_EQ(ZQ_TClass::Find(name), listed[i]);
    EXPECT_TRUE(listed[i]->HasSuperclass("ZQ_EException"));
    const ZQ_TClass* parent = listed[i]->Parent();
    EXPECT_TRUE(parent == ZQ_EException::ZQ_ClassObject() ||
                std::find(listed, listed + i, parent) != listed + i)
        << "listed before its parent";
    std::unique_ptr<ZQ_TObject> made(ZQ_TClass::CreateObject(name));
    ASSERT_NE(made, nullptr);
    EXPECT_STREQ(made->ClassName(), name);
    try {
      ZQ_DynamicCast<ZQ_IThrowable>(made.get())->ZQ_Raise();
    } catch (const ZQ_EException& raised) {
      EXPECT_STREQ(raised.ClassName(), name);
    }
  }
  EXPECT_FALSE(PXC_EBufferCannotOpenFile::ZQ_HasSuperclass("PXC_EPXCBASE"));
  // A parent's handler catches a child, which keeps its class when packed.
  EXPECT_THROW(PXC_EBufferEmptyFile().ZQ_Raise(), PXC_EBuffer);
  const PXC_EMetadataCouldNotRead error(ZQ_TString("Cannot read %s"), ZQ_TAny("/x"));
  std::unique_ptr<ZQ_TObject> back(Unpacked(Packed(error)));
  ASSERT_NE(back, nullptr);
  EXPECT_STREQ(back->ClassName(), "PXC_EMetadataCouldNotRead");
  EXPECT_EQ(Text(*ZQ_DynamicCast<ZQ_EException>(back.get())), "Cannot read /x");
}
