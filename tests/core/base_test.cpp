// Initialisation, casts by class name, the exception classes and their packed
// form, the version block and the logging of caught exceptions.
#include <map>
#include <memory>

#include "base/imr_version.h"
#include "core_test_support.h"

using namespace coretest;

TEST(Initialisation, LaterCallsChangeNothingAndEveryInitialiserRanOnce) {
  ZQ_TList* defaults = IMR_TCore::DefaultPluginList();
  ASSERT_NE(defaults, nullptr);
  ASSERT_EQ(defaults->Entries(), 2u);
  EXPECT_EQ((*defaults)[0], ZQ_TAny("IMR_TMagic"));
  EXPECT_EQ((*defaults)[1], ZQ_TAny(""));
  EXPECT_TRUE(__ZQ_INITIALIZATION_FUNCTION_IMR__());
  EXPECT_TRUE(IMR_TCore::ZQ_ClassObject()->Initialize());
  // IMR_TCore's initialiser builds the lists; run twice it would build new ones.
  EXPECT_EQ(IMR_TCore::DefaultPluginList(), defaults);
  EXPECT_EQ(IMR_TCore::DefaultPluginList()->Entries(), 2u);
  for (const char* name : {"IMR_TCore", "IMR_TPlugin", "IMR_TPluginUnknown", "IMR_TPluginCache",
                           "IMR_TPluginHandle", "IMR_TContextPlugin", "IMR_IPlugin",
                           "IMR_IContextPlugin", "IMR_EPlugin", "IMR_EMagicInvalidMagicEntry"}) {
    EXPECT_NE(ZQ_TClass::Find(name), nullptr) << name;
  }
  // The loader kinds exist: registering under them works.
  EXPECT_NO_THROW(IMR_TPlugin::RegisterExtList("IMRT_Probe", nullptr));
}

TEST(Casts, ByClassNameWalkTheBases) {
  IMR_TPluginUnknown unknown(ZQ_TString("key"));
  const ZQ_IInterface& object = unknown;
  EXPECT_EQ(object.ZQ_DynamicInfo(nullptr), IMR_TPluginUnknown::ZQ_ClassObject());
  EXPECT_EQ(object.ZQ_DynamicInfo("IMR_TPluginUnknown"), &unknown);
  EXPECT_EQ(object.ZQ_DynamicInfo("IMR_TPlugin"), static_cast<IMR_TPlugin*>(&unknown));
  EXPECT_EQ(object.ZQ_DynamicInfo("IMR_IPlugin"), static_cast<IMR_IPlugin*>(&unknown));
  EXPECT_EQ(object.ZQ_DynamicInfo("ZQ_TObject"), static_cast<ZQ_TObject*>(&unknown));
  EXPECT_EQ(object.ZQ_DynamicInfo("IMR_TCore"), nullptr);
  EXPECT_STREQ(object.ClassName(), "IMR_TPluginUnknown");
  EXPECT_TRUE(object.HasSuperclass("IMR_TPlugin"));
  EXPECT_TRUE(object.HasInterface("IMR_IPlugin"));
  EXPECT_EQ(ZQ_DynamicCast<IMR_IPlugin>(&object), static_cast<IMR_IPlugin*>(&unknown));

  IMR_TPluginCache cache;
  EXPECT_EQ(cache.ZQ_DynamicInfo("ZQ_TDict"), static_cast<ZQ_TDict*>(&cache));
  EXPECT_TRUE(cache.HasInterface("ZQ_IPackable"));
  const IMR_TCore core(nullptr);
  EXPECT_EQ(core.ZQ_DynamicInfo(nullptr), IMR_TCore::ZQ_ClassObject());
  EXPECT_EQ(core.ZQ_DynamicInfo("ZQ_TObject"), static_cast<const ZQ_TObject*>(&core));
}

namespace {

// Every exception class, its parent, whether it has a (message, data)
// constructor, and the sections its packed form opens, outermost first.
struct ExceptionCase {
  const char* name;
  const char* parent;
  std::vector<const char*> sections;
};

const std::vector<const char*> kPluginSections = {"IMR_EPlugin", "ZQ_EException"};
const std::vector<const char*> kMagicSections = {"IMR_EMagic", "IMR_EPlugin", "ZQ_EException"};

std::vector<ExceptionCase> ExceptionCases() {
  std::vector<ExceptionCase> cases = {{"IMR_EPlugin", "ZQ_EException", kPluginSections},
                                      {"IMR_EMagic", "IMR_EPlugin", kMagicSections}};
  for (const char* name :
       {"IMR_ENoContextPlugin", "IMR_EPluginCannotReadFile", "IMR_EPluginCannotUpdateTicket",
        "IMR_EPluginDataBufferEmpty", "IMR_EPluginFileNotRecognized", "IMR_EPluginInterfaceCalled",
        "IMR_EPluginInternal", "IMR_EPluginListNotFound", "IMR_EPluginNoDefaultPluginList",
        "IMR_EPluginNotFound", "IMR_EPluginParentProxyUndefined"}) {
    cases.push_back({name, "IMR_EPlugin", kPluginSections});
  }
  for (const char* name :
       {"IMR_EMagicDoubleMagicEntry", "IMR_EMagicDoubleSelectionEntry", "IMR_EMagicFileNotFound",
        "IMR_EMagicFileNotGiven", "IMR_EMagicInternal", "IMR_EMagicInvalidMagicEntry",
        "IMR_EMagicInvalidSelectionEntry", "IMR_EMagicMatchInterfaceCalled",
        "IMR_EMagicSelectionNotFound"}) {
    cases.push_back({name, "IMR_EMagic", kMagicSections});
  }
  return cases;
}

std::unique_ptr<ZQ_EException> Create(const char* name) {
  ZQ_TObject* object = ZQ_TClass::CreateObject(name);
  return std::unique_ptr<ZQ_EException>(ZQ_DynamicCast<ZQ_EException>(object));
}

}  // namespace

TEST(Exceptions, TwentyTwoClassesWithTheirParentsInRegistrationOrder) {
  std::size_t count = 0;
  const ZQ_TClass* const* classes = IMR_ExceptionClasses(count);
  const std::vector<ExceptionCase> cases = ExceptionCases();
  ASSERT_EQ(count, 22u);
  std::map<std::string, std::string> parents;
  for (const ExceptionCase& c : cases) parents[c.name] = c.parent;
  for (std::size_t i = 0; i < count; ++i) {
    ASSERT_TRUE(parents.count(classes[i]->Name())) << classes[i]->Name();
    EXPECT_STREQ(classes[i]->Parent()->Name(), parents[classes[i]->Name()].c_str());
    EXPECT_EQ(ZQ_TClass::Find(classes[i]->Name()), classes[i]);
  }
  EXPECT_STREQ(classes[0]->Name(), "IMR_EPlugin");
  EXPECT_STREQ(classes[12]->Name(), "IMR_EMagic");
}

TEST(Exceptions, RaisedAsTheMostDerivedClassWithNameLineAndStack) {
  int line = 0;
  try {
    line = __LINE__ + 1;
    IMR_THROW(IMR_EMagicInvalidMagicEntry);
  } catch (const IMR_EPlugin& error) {
    EXPECT_STREQ(error.ClassName(), "IMR_EMagicInvalidMagicEntry");
    EXPECT_EQ(error.Message(), "IMR_EMagicInvalidMagicEntry");
    EXPECT_EQ(error.Line(), line);
    EXPECT_NE(error.File().Std().find("base_test.cpp"), std::string::npos);
    EXPECT_FALSE(error.StackTrace().IsEmpty());
    EXPECT_NE(dynamic_cast<const IMR_EMagicInvalidMagicEntry*>(&error), nullptr);
  }
  // A handler for the magic group does not catch the other plugin exceptions.
  auto raiseNotFound = [] {
    try {
      IMR_THROW(IMR_EPluginNotFound);
    } catch (const IMR_EMagic&) {
      ADD_FAILURE() << "IMR_EMagic caught IMR_EPluginNotFound";
    }
  };
  EXPECT_THROW(raiseNotFound(), IMR_EPluginNotFound);
  // A given message and datum are kept.
  const IMR_EPluginCannotReadFile error = Raised<IMR_EPluginCannotReadFile>(
      [] { IMR_THROW_DATA(IMR_EPluginCannotReadFile, "Cannot read %s", ZQ_TAny("x.imrt")); });
  EXPECT_EQ(error.Text(), "Cannot read x.imrt");
}

TEST(Exceptions, EveryClassIsCaughtByItsGroupAndPacksAsItsGroup) {
  for (const ExceptionCase& c : ExceptionCases()) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<ZQ_EException> error = Create(c.name);
    ASSERT_NE(error, nullptr);
    error->SetMessage(ZQ_TString(std::string("failure of ") + c.name));
    const bool magic = c.sections.size() == 3;
    try {
      error->ZQ_Raise();
    } catch (const IMR_EMagic& caught) {
      EXPECT_TRUE(magic);
      EXPECT_STREQ(caught.ClassName(), c.name);
    } catch (const IMR_EPlugin& caught) {
      EXPECT_FALSE(magic);
      EXPECT_STREQ(caught.ClassName(), c.name);
    }

    // The sections of the packed form, and nothing else.
    ZQ_TMemoryStream memory;
    ZQ_TDataStream out(memory);
    error->ZQ_Pack(out);
    ZQ_TMemoryStream copy(memory.Data(), memory.Size());
    ZQ_TDataStream in(copy);
    const bool ownSection = std::string(c.name) == "IMR_EPlugin" || std::string(c.name) == "IMR_EMagic";
    if (!ownSection) {
      EXPECT_THROW(in.EnterSection(c.name), ZQ_EStream);
    }
    copy.Seek(0);
    for (const char* section : c.sections) in.EnterSection(section);
    for (auto it = c.sections.rbegin(); it != c.sections.rend(); ++it) in.LeaveSection(*it);
    EXPECT_EQ(copy.Remaining(), 0u);

    // Unpacked into a default object of the class: the same message.
    std::unique_ptr<ZQ_EException> back = Create(c.name);
    ZQ_TMemoryStream again(memory.Data(), memory.Size());
    ZQ_TDataStream reader(again);
    back->ZQ_Unpack(reader);
    EXPECT_EQ(back->Message(), error->Message());
    EXPECT_TRUE(back->Data().IsIllegal());
  }
}

TEST(Exceptions, DataSurvivesThePackedFormThroughTheStream) {
  const IMR_EPluginFileNotRecognized plugin(ZQ_TString("File %s not recognized"),
                                            ZQ_TAny(ZQ_TURL("/tmp/a.imrt")));
  const IMR_EMagicInvalidMagicEntry magic(ZQ_TString("entry %s"), ZQ_TAny(7u));
  for (const ZQ_EException* error : {static_cast<const ZQ_EException*>(&plugin),
                                     static_cast<const ZQ_EException*>(&magic)}) {
    ZQ_TMemoryStream memory;
    ZQ_TDataStream out(memory);
    out.Insert(*error);
    ZQ_TMemoryStream copy(memory.Data(), memory.Size());
    ZQ_TDataStream in(copy);
    std::unique_ptr<ZQ_TObject> back(in.Extract(true));
    const ZQ_EException* unpacked = ZQ_DynamicCast<ZQ_EException>(back.get());
    ASSERT_NE(unpacked, nullptr);
    EXPECT_STREQ(unpacked->ClassName(), error->ClassName());
    EXPECT_EQ(unpacked->Message(), error->Message());
    EXPECT_EQ(unpacked->Data(), error->Data());
    EXPECT_EQ(unpacked->Text(), error->Text());
  }
}

TEST(Version, TheBlockHoldsTheLibraryRecords) {
  std::map<std::string, int> builds;
  for (const PXC_TVersionRecord* record = IMR_VersionBlock().head; record; record = record->next) {
    builds[std::string(record->library) + "/" + record->definedIn] = record->build;
  }
  EXPECT_EQ(builds["IMR/imr_version"], IMR_VERSION_BUILD);
  EXPECT_EQ(builds["PXC_NS/imr_version"], 4);
  EXPECT_EQ(builds["PXCBASE/imr_version"], 7031);
  EXPECT_EQ(builds["PXCBASE/imr_core"], -1);
  EXPECT_STREQ(IMR_VersionBlock().module, "IMR");
}

TEST(Logging, CaughtExceptionsAreWrittenWithTheirClass) {
  LogCapture log;
  try {
    IMR_THROW_DATA(IMR_EPluginFileNotRecognized, "File %s not recognized", ZQ_TAny("a.imrt"));
  } catch (...) {
    IMR_LogCaught("IMR_CORE: Cannot resolve image %s ", "a.imrt", std::current_exception());
  }
  try {
    throw std::runtime_error("plain");
  } catch (...) {
    IMR_LogCaught("IMR_CORE: Cannot resolve image %s ", "b.imrt", std::current_exception());
  }
  EXPECT_EQ(log.Text(),
            "IMR_CORE: Cannot resolve image a.imrt (IMR_EPluginFileNotRecognized: File a.imrt not "
            "recognized)\nIMR_CORE: Cannot resolve image b.imrt (non-ZQ exception)\n");
}
