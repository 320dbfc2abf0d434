// Converters between texts and the ticket enumerations, readable texts of
// values, embedded-data helpers, and the library's exception classes.
#include <algorithm>
#include <cctype>
#include <memory>
#include <set>
#include <type_traits>
#include <vector>

#include "pxc_test_support.h"

using namespace pxctest;

namespace {

struct Named {
  const char* name;
  std::int32_t value;
};

// Checks both directions for every value of one enumeration.
template <class Enum>
void ExpectRoundTrips(Enum (*fromText)(const ZQ_TString&), const char* (*nameOf)(Enum),
                      const std::vector<Named>& names) {
  for (const Named& named : names) {
    SCOPED_TRACE(named.name);
    std::string lower = named.name;
    std::string upper = named.name;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    EXPECT_EQ(fromText(ZQ_TString(named.name)), named.value);
    EXPECT_EQ(fromText(ZQ_TString(lower)), named.value);
    EXPECT_EQ(fromText(ZQ_TString(upper)), named.value);
    EXPECT_EQ(fromText(ZQ_TString(std::to_string(named.value))), named.value);
    EXPECT_STREQ(nameOf(static_cast<Enum>(named.value)), named.name);
  }
  for (const char* unknown : {"", "nonsense", "Mainly", "-1", "x3"}) {
    SCOPED_TRACE(unknown);
    EXPECT_EQ(fromText(ZQ_TString(unknown)), 0);
  }
  EXPECT_NE(nameOf(static_cast<Enum>(999)), nullptr);
}

}  // namespace

TEST(Converters, EveryEnumerationValueRoundTripsThroughItsName) {
  ExpectRoundTrips(&PXC_String2ImageType, &PXC_ImageTypeName,
                   {{"Unknown", PXC_IT_UNKNOWN}, {"Thumbnail", PXC_IT_THUMBNAIL},
                    {"Preview", PXC_IT_PREVIEW}, {"Main", PXC_IT_MAIN},
                    {"Auxiliary", PXC_IT_AUXILIARY}, {"Page", PXC_IT_PAGE}});
  ExpectRoundTrips(&PXC_String2ChannelEnc, &PXC_ChannelEncName,
                   {{"Unknown", PXC_CE_UNKNOWN}, {"Bilevel", PXC_CE_BILEVEL}, {"Gray", PXC_CE_GRAY},
                    {"RGB", PXC_CE_RGB}, {"CMYK", PXC_CE_CMYK}, {"Lab", PXC_CE_LAB},
                    {"Indexed", PXC_CE_INDEXED}, {"YCbCr", PXC_CE_YCBCR}, {"YCCK", PXC_CE_YCCK},
                    {"Multichannel", PXC_CE_MULTICHANNEL}, {"Duotone", PXC_CE_DUOTONE},
                    {"XYZ", PXC_CE_XYZ}, {"Vector", PXC_CE_VECTOR}});
  ExpectRoundTrips(&PXC_String2AlphaPlane, &PXC_AlphaPlaneName,
                   {{"None", PXC_AP_NONE}, {"Associated", PXC_AP_ASSOCIATED},
                    {"Unassociated", PXC_AP_UNASSOCIATED},
                    {"TransparentIndex", PXC_AP_TRANSPARENT_INDEX},
                    {"Unspecified", PXC_AP_UNSPECIFIED}});
  ExpectRoundTrips(&PXC_String2ImageRotation, &PXC_ImageRotationName,
                   {{"None", PXC_IR_NONE}, {"R90", PXC_IR_90}, {"R180", PXC_IR_180},
                    {"R270", PXC_IR_270}, {"Mirror", PXC_IR_MIRROR}, {"Mirror90", PXC_IR_MIRROR_90},
                    {"Mirror180", PXC_IR_MIRROR_180}, {"Mirror270", PXC_IR_MIRROR_270}});
  ExpectRoundTrips(&PXC_String2Units, &PXC_UnitsName,
                   {{"None", PXC_MU_NONE}, {"Inch", PXC_MU_INCH}, {"Centimeter", PXC_MU_CENTIMETER},
                    {"Millimeter", PXC_MU_MILLIMETER}, {"Point", PXC_MU_POINT},
                    {"Meter", PXC_MU_METER}});
  ExpectRoundTrips(&PXC_String2FillLevel, &PXC_FillLevelName,
                   {{"Embedded", PXC_FL_EMBEDDED}, {"File", PXC_FL_FILE}, {"Format", PXC_FL_FORMAT},
                    {"Geometry", PXC_FL_GEOMETRY}, {"AllImages", PXC_FL_ALL_IMAGES},
                    {"Details", PXC_FL_DETAILS}, {"Dependencies", PXC_FL_DEPENDENCIES}});
  ExpectRoundTrips(&PXC_String2ImageSubtype, &PXC_ImageSubtypeName,
                   {{"None", PXC_IS_NONE}, {"Layer", PXC_IS_LAYER}, {"Mask", PXC_IS_MASK},
                    {"AlphaChannel", PXC_IS_ALPHA_CHANNEL}, {"Other", PXC_IS_OTHER}});
}

TEST(Converters, Any2StringGivesReadableTexts) {
  EXPECT_EQ(PXC_Any2String(ZQ_TAny("text")), "text");
  EXPECT_EQ(PXC_Any2String(ZQ_TAny(4096u)), "4096");
  EXPECT_EQ(PXC_Any2String(ZQ_TAny(true)), "true");
  EXPECT_EQ(PXC_Any2String(ZQ_TAny(PXC_TReference("a.eps", "placed"))), "a.eps (placed)");

  ZQ_TDict dict;
  dict.Add("Compression", "LZW");
  dict.Add("Bits", ZQ_TAny(8u));
  ZQ_TList list{"one", ZQ_TAny(2u), ZQ_TAny(false), ZQ_TAny(dict), ZQ_TAny(ZQ_TList{})};
  EXPECT_EQ(PXC_Any2String(ZQ_TAny(list)),
            R"(["one", 2, false, {Compression: "LZW", Bits: 8}, []])");

  // An exception reads "class: message" with its datum filled in.
  const PXC_EBufferCannotOpenFile error = Raised<PXC_EBufferCannotOpenFile>(
      [] { delete PXC_IBuffer::Create(ZQ_TURL::FromPath("/pxctest/missing.tif"), 0, 0, 16); });
  EXPECT_EQ(PXC_Any2String(ZQ_TAny(error)),
            "PXC_EBufferCannotOpenFile: Cannot open /pxctest/missing.tif (No such file or directory)");
  const PXC_EPXCBASE plain(ZQ_TString("No value %s here"), ZQ_TAny(42u));
  EXPECT_EQ(PXC_Any2String(ZQ_TAny(plain)), "PXC_EPXCBASE: No value 42 here");
  // Inside containers as well, on one line, without the place and the stack.
  ZQ_TDict errors;
  errors.Add("open", ZQ_TAny(error));
  EXPECT_EQ(PXC_Any2String(ZQ_TAny(ZQ_TList{"a", ZQ_TAny(plain), ZQ_TAny(errors)})),
            R"(["a", PXC_EPXCBASE: No value 42 here, {open: PXC_EBufferCannotOpenFile: )"
            R"(Cannot open /pxctest/missing.tif (No such file or directory)}])");
}

TEST(Converters, EmbeddedDataHelpers) {
  const ZQ_TURL file = ZQ_TURL::FromPath("/pxctest/file.eps");
  PXC_ENotEmbeddedFile error = Raised<PXC_ENotEmbeddedFile>([&] { PXC_Embedded2Tag(file); });
  EXPECT_EQ(Datum(error), file.Text().Std());
  Raised<PXC_ENotEmbeddedFile>([] { PXC_Embedded2Tag(ZQ_TURL("http://example.invalid/x")); });
  try {
    PXC_Embedded2Tag(ZQ_TURL());
    ADD_FAILURE() << "an empty URL names embedded data";
  } catch (const PXC_EPXCBASE& base) {
    EXPECT_STREQ(base.ClassName(), "PXC_ENotEmbeddedFile");
  }

  const ZQ_TURL preview = PXC_EmbeddedFile(file, 30, 1000, 0, 0, 0);
  const ZQ_TURL thumbnail = PXC_EmbeddedFile(preview, 12, 100, 0, 0, 0);
  PXC_TTag tag = PXC_Embedded2Tag(thumbnail);
  EXPECT_EQ(tag.Offset(), 42u);
  EXPECT_EQ(tag.Length(), 100u);
  EXPECT_EQ(thumbnail.Path(), file.Path());
  EXPECT_EQ(PXC_Embedded2Tag(preview).Offset(), 30u);

  TempDir dir;
  WriteFile(dir / "f", "12345");
  ZQ_TFileInfo info = PXC_GetFileInfo(ZQ_TURL::FromPath(ZQ_TString(dir / "f")));
  EXPECT_TRUE(info.Exists());
  EXPECT_EQ(info.Size(), 5u);
  EXPECT_EQ(PXC_GetFileInfo(ZQ_TURL::Embed(info.URL(), 1, 3)).Size(), 3u);
  EXPECT_FALSE(PXC_GetFileInfo(ZQ_TURL::FromPath(ZQ_TString(dir / "g"))).Exists());
}

// ---------------------------------------------------------------------------

namespace {

struct Family {
  const ZQ_TClass* object;
  const ZQ_TClass* parent;
};

#define PXCTEST_FAMILY(E, P)                                                        \
  [] {                                                                              \
    static_assert(std::is_base_of_v<P, E>, #E " derives from " #P);                 \
    return Family{E::ZQ_ClassObject(), P::ZQ_ClassObject()};                        \
  }()

std::vector<Family> Families() {
  return {
      PXCTEST_FAMILY(PXC_EAssertFailed, ZQ_EException),
      PXCTEST_FAMILY(PXC_EBuffer, ZQ_EException),
      PXCTEST_FAMILY(PXC_EDynamicLoader, ZQ_EException),
      PXCTEST_FAMILY(PXC_EPXCBASE, ZQ_EException),
      PXCTEST_FAMILY(PXC_EImageProxy, ZQ_EException),
      PXCTEST_FAMILY(PXC_EImageTicket, ZQ_EException),
      PXCTEST_FAMILY(PXC_EMetadataException, ZQ_EException),
      PXCTEST_FAMILY(PXC_EUnsupportedProtocol, PXC_EPXCBASE),
      PXCTEST_FAMILY(PXC_EEmbedRegionTooLarge, PXC_EPXCBASE),
      PXCTEST_FAMILY(PXC_ENotEmbeddedFile, PXC_EPXCBASE),
      PXCTEST_FAMILY(PXC_ESystemError, PXC_EPXCBASE),
      PXCTEST_FAMILY(PXC_EWrongInkPreviewType, PXC_EPXCBASE),
      PXCTEST_FAMILY(PXC_EIllegalRGBInkPreviewValues, PXC_EPXCBASE),
      PXCTEST_FAMILY(PXC_EIllegalCMYKInkPreviewValues, PXC_EPXCBASE),
      PXCTEST_FAMILY(PXC_EUnicodePSStringNotSupported, PXC_EPXCBASE),
      PXCTEST_FAMILY(PXC_EWrongInkName, PXC_EPXCBASE),
      PXCTEST_FAMILY(PXC_EBufferNotEnoughMemory, PXC_EBuffer),
      PXCTEST_FAMILY(PXC_EBufferSliceTooLarge, PXC_EBuffer),
      PXCTEST_FAMILY(PXC_EBufferSliceStartsAfterEnd, PXC_EBuffer),
      PXCTEST_FAMILY(PXC_EBufferRegionTooLarge, PXC_EBuffer),
      PXCTEST_FAMILY(PXC_EBufferCannotLink, PXC_EBuffer),
      PXCTEST_FAMILY(PXC_EBufferCannotOpenFile, PXC_EBuffer),
      PXCTEST_FAMILY(PXC_EBufferCannotReadFile, PXC_EBuffer),
      PXCTEST_FAMILY(PXC_EBufferCannotCreateMapping, PXC_EBuffer),
      PXCTEST_FAMILY(PXC_EBufferCannotMapFile, PXC_EBuffer),
      PXCTEST_FAMILY(PXC_EBufferCannotDetermineFileSize, PXC_EBuffer),
      PXCTEST_FAMILY(PXC_EBufferEmptyFile, PXC_EBuffer),
      PXCTEST_FAMILY(PXC_EBufferEmptyBuffer, PXC_EBuffer),
      PXCTEST_FAMILY(PXC_EBufferUnknownProtocol, PXC_EBuffer),
      PXCTEST_FAMILY(PXC_EBufferDestinationTooSmall, PXC_EBuffer),
      PXCTEST_FAMILY(PXC_EBufferNotEmbeddedFile, PXC_EBuffer),
      PXCTEST_FAMILY(PXC_EBufferInternal, PXC_EBuffer),
      PXCTEST_FAMILY(PXC_EMetadataNotImplemented, PXC_EMetadataException),
      PXCTEST_FAMILY(PXC_EMetadataInterfaceCalled, PXC_EMetadataException),
      PXCTEST_FAMILY(PXC_EMetadataFileDoesNotExist, PXC_EMetadataException),
      PXCTEST_FAMILY(PXC_EMetadataCouldNotRead, PXC_EMetadataException),
      PXCTEST_FAMILY(PXC_EMetadataCouldNotWrite, PXC_EMetadataException),
      PXCTEST_FAMILY(PXC_EMetadataKeyDoesNotExist, PXC_EMetadataException),
      PXCTEST_FAMILY(PXC_EMetadataInternal, PXC_EMetadataException),
      PXCTEST_FAMILY(PXC_EImageTicketNoExtendedInfo, PXC_EImageTicket),
      PXCTEST_FAMILY(PXC_EImageTicketKeyNotFound, PXC_EImageTicket),
      PXCTEST_FAMILY(PXC_EImageTicketCannotCheckValidity, PXC_EImageTicket),
      PXCTEST_FAMILY(PXC_EImageTicketCannotGetDependencies, PXC_EImageTicket),
      PXCTEST_FAMILY(PXC_EImageTicketFileCorrupted, PXC_EImageTicket),
      PXCTEST_FAMILY(PXC_EImageMemoryAllocationError, PXC_EImageTicket),
      PXCTEST_FAMILY(PXC_EImageTicketCannotCreateTicket, PXC_EImageTicket),
      PXCTEST_FAMILY(PXC_EImageTicketUnkownFileFormat, PXC_EImageTicket),
      PXCTEST_FAMILY(PXC_EImageTicketUnsupprotedFileFormat, PXC_EImageTicket),
      PXCTEST_FAMILY(PXC_EImageTicketInternalError, PXC_EImageTicket),
      PXCTEST_FAMILY(PXC_EImageTicketNoExternalRefs, PXC_EImageTicket),
      PXCTEST_FAMILY(PXC_EImageProxyEmpty, PXC_EImageProxy),
      PXCTEST_FAMILY(PXC_EImageProxyNotImplemented, PXC_EImageProxy),
      PXCTEST_FAMILY(PXC_EImageProxyInternal, PXC_EImageProxy),
      PXCTEST_FAMILY(PXC_EDynamicLoaderInternal, PXC_EDynamicLoader),
      PXCTEST_FAMILY(PXC_EDynamicLoaderAlreadyLoaded, PXC_EDynamicLoader),
      PXCTEST_FAMILY(PXC_EDynamicLoaderNoSuchProvider, PXC_EDynamicLoader),
      PXCTEST_FAMILY(PXC_EDynamicLoaderNoSuchPlugin, PXC_EDynamicLoader),
      PXCTEST_FAMILY(PXC_EDynamicLoaderNoSuchCreator, PXC_EDynamicLoader),
      PXCTEST_FAMILY(PXC_EDynamicLoaderDoubleInstance, PXC_EDynamicLoader),
      PXCTEST_FAMILY(PXC_EDynamicLoaderDoubleProvider, PXC_EDynamicLoader),
      PXCTEST_FAMILY(PXC_EDynamicLoaderDoubleCreator, PXC_EDynamicLoader),
  };
}

}  // namespace

TEST(Exceptions, AllClassesAreRegisteredWithTheirParents) {
  ASSERT_TRUE(__ZQ_INITIALIZATION_FUNCTION_PXCBASE__());
  ASSERT_TRUE(__ZQ_INITIALIZATION_FUNCTION_PXCBASE__());  // later calls succeed too
  const std::vector<Family> families = Families();
  ASSERT_EQ(families.size(), 61u);
  std::size_t count = 0;
  const ZQ_TClass* const* listed = PXC_ExceptionClasses(count);
  ASSERT_EQ(count, 61u);
  std::set<const ZQ_TClass*> registered(listed, listed + count);
  // Listed parents before children.
  for (std::size_t i = 0; i < count; ++i) {
    for (std::size_t j = i; j < count; ++j) {
      EXPECT_NE(listed[i]->Parent(), listed[j]) << listed[i]->Name() << " before its parent";
    }
  }

  std::set<std::string> names;
  for (const Family& family : families) {
    const char* name = family.object->Name();
    SCOPED_TRACE(name);
    names.insert(name);
    EXPECT_EQ(registered.count(family.object), 1u);
    EXPECT_EQ(ZQ_TClass::Find(name), family.object);
    EXPECT_EQ(family.object->Parent(), family.parent);
    EXPECT_TRUE(family.object->HasSuperclass("ZQ_EException"));
    EXPECT_TRUE(family.object->HasSuperclass(family.parent->Name()));
    EXPECT_FALSE(family.object->IsInterface());
    std::unique_ptr<ZQ_TObject> made(ZQ_TClass::CreateObject(name));
    ASSERT_NE(made, nullptr);
    EXPECT_STREQ(made->ClassName(), name);
  }
  EXPECT_EQ(names.size(), 61u);
  EXPECT_TRUE(PXC_EBufferCannotOpenFile::ZQ_HasSuperclass("PXC_EBuffer"));
  EXPECT_FALSE(PXC_EBufferCannotOpenFile::ZQ_HasSuperclass("PXC_EPXCBASE"));
}

TEST(Exceptions, AParentHandlerCatchesItsChildren) {
  TempDir dir;
  WriteFile(dir / "empty", "");
  try {
    delete PXC_IBuffer::Create(ZQ_TURL::FromPath(ZQ_TString(dir / "empty")), 0, 0, 16);
    ADD_FAILURE() << "an empty file was opened";
  } catch (const PXC_EBuffer& error) {
    EXPECT_STREQ(error.ClassName(), "PXC_EBufferEmptyFile");
    EXPECT_GT(error.Line(), 0);
  }
  // An exception made by class name raises as its own class.
  std::unique_ptr<ZQ_TObject> made(ZQ_TClass::CreateObject("PXC_EBufferEmptyFile"));
  const ZQ_IThrowable* throwable = ZQ_DynamicCast<ZQ_IThrowable>(made.get());
  ASSERT_NE(throwable, nullptr);
  EXPECT_THROW(throwable->ZQ_Raise(), PXC_EBuffer);
  EXPECT_THROW(throwable->ZQ_Raise(), PXC_EBufferEmptyFile);
  // And keeps its class through the packed form.
  const PXC_EMetadataCouldNotRead error(ZQ_TString("Cannot read %s"), ZQ_TAny("/x"));
  std::unique_ptr<ZQ_TObject> back(Unpacked(Packed(error)));
  ASSERT_NE(back, nullptr);
  EXPECT_STREQ(back->ClassName(), "PXC_EMetadataCouldNotRead");
  EXPECT_EQ(Text(*ZQ_DynamicCast<ZQ_EException>(back.get())), "Cannot read /x");
}
