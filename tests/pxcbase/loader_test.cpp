// The dynamic loader: creators filed by kind and name, and modules built in
// the tree loaded on demand through the configuration.
#include <dlfcn.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "pxc_test_support.h"

using namespace pxctest;

namespace {

using Names = std::vector<std::pair<std::string, std::string>>;
PXC_TDynamicLoader& Loader() { return PXC_TDynamicLoader::sLoader; }

int Seven() { return 7; }
int Eight() { return 8; }
PXC_TDynamicLoader::Function AsFunction(int (*function)()) {
  return reinterpret_cast<PXC_TDynamicLoader::Function>(function);
}
int Call(PXC_TDynamicLoader::Function function) {
  return reinterpret_cast<int (*)()>(function)();
}

std::vector<std::string> Keys(const ZQ_TDict& dict) {
  std::vector<std::string> keys;
  for (const ZQ_TDict::Entry& entry : dict) keys.push_back(entry.key.Std());
  return keys;
}

// The reason dlopen gives for `path`, as the loader should report it.
std::string DlopenReason(const std::string& path) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  EXPECT_EQ(handle, nullptr) << path << " loads";
  const char* reason = ::dlerror();
  return reason ? reason : "";
}

class Loading : public ::testing::Test {
 protected:
  Loading() : iPluginPath("IMR_PLUGIN_PATH", std::string(PXCTEST_MODULE_DIR)) {}

  // Maps names of the kind PXCTEST_Kind (or `kind`) to module files.
  void Configure(const Names& modules, const std::string& kind = "PXCTEST_Kind") {
    std::string json = R"({"Resources": {"Modules": {"PXC": {"Plugins": {")" + kind + R"(": {)";
    const char* separator = "";
    for (const auto& [name, file] : modules) {
      json += separator + ("\"" + name + "\": \"" + file + "\"");
      separator = ", ";
    }
    json += "}}}}}}";
    iOverlay.reset();
    iOverlay = std::make_unique<ScopedOverlay>(iDir, json);
    ASSERT_EQ(PXC_CfsWrap().LoadError(), "") << json;
  }

  TempDir iDir;
  ScopedEnv iPluginPath;
  std::unique_ptr<ScopedOverlay> iOverlay;
};

}  // namespace

// A module is loaded once, when a name configured for it is first asked
// for, and its creators are filed under its path.
TEST_F(Loading, AConfiguredModuleIsLoadedOnDemand) {
  Configure({{"alpha", "pxctest_module.so"}, {"registrations", "pxctest_module.so"}});
  EXPECT_EQ(Datum(Raised<PXC_EDynamicLoaderNoSuchCreator>([] { Loader().Creator("PXCTEST_Kind", "alpha"); })),
            "alpha");
  ASSERT_TRUE(Loader().LoadPluginByName("PXCTEST_Kind", "alpha"));
  EXPECT_EQ(Call(Loader().Creator("PXCTEST_Kind", "alpha")), 42);
  EXPECT_TRUE(Loader().LoadPluginByName("PXCTEST_Kind", "alpha"));
  EXPECT_TRUE(Loader().LoadPluginByName("PXCTEST_Kind", "registrations"));
  EXPECT_EQ(Call(Loader().Creator("PXCTEST_Kind", "registrations")), 1) << "registered once";
  EXPECT_EQ(Loader()["PXCTEST_Kind"].ValueOfKey("alpha")->ToText().Std(),
            std::string(PXCTEST_MODULE_DIR) + "/pxctest_module.so");
}

TEST_F(Loading, BuiltInCreatorsAreFiledByKindAndName) {
  EXPECT_EQ(Datum(Raised<PXC_EDynamicLoaderNoSuchProvider>(
                [] { Loader().RegisterCreator("PXCTEST_NoKind", "x", AsFunction(&Seven)); })),
            "PXCTEST_NoKind");
  Loader().RegisterProvider("PXCTEST_Builtin");
  Loader().RegisterCreator("PXCTEST_Builtin", "seven", AsFunction(&Seven));
  Loader().RegisterProvider("PXCTEST_Builtin");  // changes nothing
  Loader().RegisterCreator("PXCTEST_Builtin", "seven", AsFunction(&Eight));  // replaces
  EXPECT_EQ(Call(Loader().Creator("PXCTEST_Builtin", "seven")), 8);
  EXPECT_EQ(Loader()["PXCTEST_Builtin"].ValueOfKey("seven")->ToText(), "") << "no module registered it";
  Raised<PXC_EDynamicLoaderNoSuchCreator>([] { Loader().Creator("PXCTEST_Kind", "seven"); });
}

// Names that are not configured, or configured as no file name, give false;
// a configured file that is missing gives false too, and is logged once.
TEST_F(Loading, UnconfiguredAndMissingModulesGiveFalse) {
  LogCapture log(iDir);
  Configure({{"one", "one.so"}, {"two", "/abs/two.so"}, {"missing", "pxctest_absent_module.so"}});
  EXPECT_EQ(Keys(Loader().PluginsFromCfs("PXCTEST_Kind")), (std::vector<std::string>{"one", "two", "missing"}));
  EXPECT_FALSE(Loader().LoadPluginByName("PXCTEST_Kind", "unconfigured"));
  EXPECT_FALSE(Loader().LoadPluginByName("PXCTEST_Unconfigured", "one"));
  for (int attempt = 0; attempt < 3; ++attempt) {
    EXPECT_FALSE(Loader().LoadPluginByName("PXCTEST_Kind", "missing"));
  }
  EXPECT_EQ(Count(log.Text(), "pxctest_absent_module.so"), 1u) << log.Text();

  iOverlay.reset();  // overlays nest: the old one goes first
  iOverlay = std::make_unique<ScopedOverlay>(
      iDir, R"({"Resources": {"Modules": {"PXC": {"Plugins": {"PXCTEST_Kind": {"n": 5, "e": ""}}}}}})");
  EXPECT_FALSE(Loader().LoadPluginByName("PXCTEST_Kind", "n"));
  EXPECT_FALSE(Loader().LoadPluginByName("PXCTEST_Kind", "e"));
}

// A module that cannot be loaded, has no entry or refuses raises NoSuchPlugin
// at every attempt, with dlopen's reason and the file's name as it is (a "%"
// in the path was once taken for a format), and is logged once.
TEST_F(Loading, AModuleThatCannotBeLoadedRaisesNoSuchPluginWithTheReason) {
  LogCapture log(iDir);
  const std::string text = iDir / "text.so";
  WriteFile(text, std::string(200, 'x') + "\nThis is not a shared object.\n");
  std::filesystem::create_directories(iDir / "odd%s%d%%");
  const std::string oddText = iDir / "odd%s%d%%/text.so";
  std::filesystem::copy_file(text, oddText);
  const std::string unresolved = std::string(PXCTEST_MODULE_DIR) + "/pxctest_unresolved.so";
  Configure({{"unresolved", "pxctest_unresolved.so"},
             {"text", text},
             {"oddText", oddText},
             {"noentry", "pxctest_noentry.so"},
             {"refuses", "pxctest_refuses.so"}});
  EXPECT_NE(DlopenReason(unresolved).find("pxctest_symbol_defined_nowhere"), std::string::npos);
  const Names expected = {{"unresolved", DlopenReason(unresolved)},
                          {"text", DlopenReason(text)},
                          {"oddText", DlopenReason(oddText)},
                          {"noentry", "has no PXC_RegisterModule"},
                          {"refuses", "pxctest_refuses.so failed to register"}};
  for (const auto& [name, reason] : expected) {
    SCOPED_TRACE(name);
    ASSERT_FALSE(reason.empty());
    for (int attempt = 0; attempt < 2; ++attempt) {
      const auto error = Raised<PXC_EDynamicLoaderNoSuchPlugin>(
          [&] { Loader().LoadPluginByName("PXCTEST_Kind", ZQ_TString(name)); });
      EXPECT_NE(Text(error).find(reason), std::string::npos) << Text(error);
    }
  }
  EXPECT_EQ(Datum(Raised<PXC_EDynamicLoaderNoSuchPlugin>(
                [&] { Loader().LoadPluginByName("PXCTEST_Kind", "oddText"); })),
            oddText);
  const std::string logged = log.Text();
  EXPECT_EQ(Count(logged, "pxctest_refuses.so"), 1u) << logged;
  EXPECT_EQ(Count(logged, DlopenReason(oddText)), 1u) << logged;
}

TEST_F(Loading, TheSearchPathStartsWithThePluginPathVariable) {
  ScopedEnv path("IMR_PLUGIN_PATH", std::string("/first::/second:"));
  const std::vector<std::string> folders = PXC_TDynamicLoader::SearchPath();
  ASSERT_GE(folders.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(folders.begin(), folders.begin() + 2),
            (std::vector<std::string>{"/first", "/second"}));
  EXPECT_EQ(std::filesystem::path(folders[2]).filename(), "imr");  // beside the library
}
