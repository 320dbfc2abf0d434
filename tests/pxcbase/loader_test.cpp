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

TEST_F(Loading, AConfiguredModuleIsLoadedOnDemand) {
  Configure({{"alpha", "pxctest_module.so"}, {"registrations", "pxctest_module.so"}});
  PXC_EDynamicLoaderNoSuchCreator before = Raised<PXC_EDynamicLoaderNoSuchCreator>(
      [] { Loader().Creator("PXCTEST_Kind", "alpha"); });
  EXPECT_EQ(Datum(before), "alpha");
  EXPECT_NE(Text(before).find("PXCTEST_Kind"), std::string::npos) << Text(before);
  EXPECT_TRUE(Loader()["PXCTEST_Kind"].IsEmpty());

  ASSERT_TRUE(Loader().LoadPluginByName("PXCTEST_Kind", "alpha"));
  EXPECT_EQ(Call(Loader().Creator("PXCTEST_Kind", "alpha")), 42);

  // Loaded once, however often and under whichever of its names it is asked for.
  EXPECT_TRUE(Loader().LoadPluginByName("PXCTEST_Kind", "alpha"));
  EXPECT_TRUE(Loader().LoadPluginByName("PXCTEST_Kind", "registrations"));
  EXPECT_EQ(Call(Loader().Creator("PXCTEST_Kind", "registrations")), 1);

  const ZQ_TDict names = Loader()["PXCTEST_Kind"];
  EXPECT_EQ(Keys(names), (std::vector<std::string>{"alpha", "registrations"}));
  const std::string module = names.ValueOfKey("alpha")->ToText().Std();
  EXPECT_EQ(std::filesystem::path(module).filename(), "pxctest_module.so");
  EXPECT_TRUE(std::filesystem::exists(module)) << module;

  Raised<PXC_EDynamicLoaderNoSuchCreator>([] { Loader().Creator("PXCTEST_Kind", "beta"); });
}

TEST_F(Loading, BuiltInCreatorsAreFiledByKindAndName) {
  PXC_EDynamicLoaderNoSuchProvider unknown = Raised<PXC_EDynamicLoaderNoSuchProvider>(
      [] { Loader().RegisterCreator("PXCTEST_NoKind", "x", AsFunction(&Seven)); });
  EXPECT_EQ(Datum(unknown), "PXCTEST_NoKind");
  Raised<PXC_EDynamicLoaderNoSuchCreator>([] { Loader().Creator("PXCTEST_NoKind", "x"); });

  Loader().RegisterProvider("PXCTEST_Builtin");
  Loader().RegisterCreator("PXCTEST_Builtin", "seven", AsFunction(&Seven));
  Loader().RegisterProvider("PXCTEST_Builtin");  // changes nothing
  EXPECT_EQ(Call(Loader().Creator("PXCTEST_Builtin", "seven")), 7);
  Loader().RegisterCreator("PXCTEST_Builtin", "seven", AsFunction(&Eight));  // replaces
  EXPECT_EQ(Call(Loader().Creator("PXCTEST_Builtin", "seven")), 8);
  Loader().RegisterCreator("PXCTEST_Builtin", "another", AsFunction(&Seven));

  const ZQ_TDict names = Loader()["PXCTEST_Builtin"];
  ASSERT_EQ(names.Entries(), 2u);
  EXPECT_EQ(names.ValueOfKey("seven")->ToText(), "");  // no module registered it
  EXPECT_TRUE(Loader()["PXCTEST_NoKind"].IsEmpty());
  // A kind's names are not another kind's.
  Raised<PXC_EDynamicLoaderNoSuchCreator>([] { Loader().Creator("PXCTEST_Kind", "seven"); });
}

TEST_F(Loading, PluginsFromCfsGivesTheConfiguredModules) {
  Configure({{"one", "one.so"}, {"two", "/abs/two.so"}, {"three", "three.so"}});
  const ZQ_TDict modules = Loader().PluginsFromCfs("PXCTEST_Kind");
  EXPECT_EQ(Keys(modules), (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_EQ(modules.ValueOfKey("two")->ToText(), "/abs/two.so");
  EXPECT_TRUE(Loader().PluginsFromCfs("PXCTEST_Unconfigured").IsEmpty());
  // The kinds of the default configuration.
  const ZQ_TAny plugins = PXC_CfsWrap().Value(ZQ_TString("/Resources/Modules/PXC/Plugins/IMR_TPlugin"));
  ASSERT_NE(plugins.DynamicCast<ZQ_TDict>(), nullptr);
  EXPECT_TRUE(Loader().PluginsFromCfs("IMR_TPlugin") == *plugins.DynamicCast<ZQ_TDict>());

  EXPECT_FALSE(Loader().LoadPluginByName("PXCTEST_Kind", "unconfigured"));
  EXPECT_FALSE(Loader().LoadPluginByName("PXCTEST_Unconfigured", "one"));

  iOverlay.reset();  // overlays nest: the old one goes first
  iOverlay = std::make_unique<ScopedOverlay>(
      iDir, R"({"Resources": {"Modules": {"PXC": {"Plugins": {"PXCTEST_Kind": {"n": 5, "e": ""}}}}}})");
  EXPECT_FALSE(Loader().LoadPluginByName("PXCTEST_Kind", "n"));
  EXPECT_FALSE(Loader().LoadPluginByName("PXCTEST_Kind", "e"));
}

TEST_F(Loading, AMissingModuleFileGivesFalseAndIsLoggedOnce) {
  LogCapture log(iDir);
  Configure({{"missing", "pxctest_absent_module.so"}, {"alsoMissing", iDir / "absent.so"}});
  for (int attempt = 0; attempt < 3; ++attempt) {
    EXPECT_FALSE(Loader().LoadPluginByName("PXCTEST_Kind", "missing"));
    EXPECT_FALSE(Loader().LoadPluginByName("PXCTEST_Kind", "alsoMissing"));
  }
  const std::string text = log.Text();
  EXPECT_EQ(Count(text, "pxctest_absent_module.so"), 1u) << text;
  EXPECT_EQ(Count(text, iDir / "absent.so"), 1u) << text;
  Raised<PXC_EDynamicLoaderNoSuchCreator>([] { Loader().Creator("PXCTEST_Kind", "missing"); });
}

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

  // The reason is dlopen's, with the file's name in it as it is.
  for (const auto& [name, path] : Names{{"unresolved", unresolved}, {"text", text}, {"oddText", oddText}}) {
    SCOPED_TRACE(name);
    const std::string reason = DlopenReason(path);
    ASSERT_FALSE(reason.empty());
    for (int attempt = 0; attempt < 2; ++attempt) {
      PXC_EDynamicLoaderNoSuchPlugin error = Raised<PXC_EDynamicLoaderNoSuchPlugin>(
          [&] { Loader().LoadPluginByName("PXCTEST_Kind", ZQ_TString(name)); });
      EXPECT_EQ(Datum(error), path);
      EXPECT_NE(Text(error).find(reason), std::string::npos)
          << "attempt " << attempt << ": " << Text(error) << "\nreason: " << reason;
    }
  }
  EXPECT_NE(DlopenReason(unresolved).find("pxctest_symbol_defined_nowhere"), std::string::npos);

  PXC_EDynamicLoaderNoSuchPlugin noEntry = Raised<PXC_EDynamicLoaderNoSuchPlugin>(
      [] { Loader().LoadPluginByName("PXCTEST_Kind", "noentry"); });
  EXPECT_NE(Text(noEntry).find("PXC_RegisterModule"), std::string::npos) << Text(noEntry);
  Raised<PXC_EDynamicLoaderNoSuchPlugin>([] { Loader().LoadPluginByName("PXCTEST_Kind", "noentry"); });
  PXC_EDynamicLoaderNoSuchPlugin refuses = Raised<PXC_EDynamicLoaderNoSuchPlugin>(
      [] { Loader().LoadPluginByName("PXCTEST_Kind", "refuses"); });
  EXPECT_NE(Text(refuses).find("pxctest_refuses.so"), std::string::npos) << Text(refuses);
  // Each failure catches as a loader error and is logged once, as it is.
  try {
    Loader().LoadPluginByName("PXCTEST_Kind", "refuses");
  } catch (const PXC_EDynamicLoader& error) {
    EXPECT_STREQ(error.ClassName(), "PXC_EDynamicLoaderNoSuchPlugin");
  }
  const std::string logged = log.Text();
  EXPECT_EQ(Count(logged, "pxctest_refuses.so"), 1u) << logged;
  EXPECT_EQ(Count(logged, DlopenReason(oddText)), 1u) << logged;
}

TEST_F(Loading, TheSearchPathStartsWithThePluginPathVariable) {
  ScopedEnv path("IMR_PLUGIN_PATH", std::string("/first::/second:"));
  const std::vector<std::string> folders = PXC_TDynamicLoader::SearchPath();
  ASSERT_GE(folders.size(), 3u);
  EXPECT_EQ(folders[0], "/first");
  EXPECT_EQ(folders[1], "/second");
  EXPECT_EQ(std::filesystem::path(folders[2]).filename(), "imr");  // beside the library
  ScopedEnv none("IMR_PLUGIN_PATH", std::nullopt);
  EXPECT_EQ(PXC_TDynamicLoader::SearchPath().size(), folders.size() - 2);
}
