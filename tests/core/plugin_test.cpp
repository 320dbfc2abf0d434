// The exception classes; the plugin registry, the plugin caches and their
// ownership, and core construction.
#include <atomic>
#include <memory>

#include "core_test_support.h"

using namespace coretest;

// Every class is in the plugin group or the magic group within it, and is
// caught by its group's handler as itself.
TEST(Exceptions, GroupsAndHandlers) {
  std::size_t count = 0;
  const ZQ_TClass* const* classes = IMR_ExceptionClasses(count);
  ASSERT_EQ(count, 22u);
  for (std::size_t i = 0; i < count; ++i) {
    const std::string name = classes[i]->Name();
    SCOPED_TRACE(name);
    const bool magic = name.rfind("IMR_EMagic", 0) == 0;
    const char* parent = name == "IMR_EPlugin"                ? "ZQ_EException"
                         : magic && name != "IMR_EMagic" ? "IMR_EMagic"
                                                         : "IMR_EPlugin";
    EXPECT_STREQ(classes[i]->Parent()->Name(), parent);
    std::unique_ptr<ZQ_EException> error(
        ZQ_DynamicCast<ZQ_EException>(ZQ_TClass::CreateObject(name.c_str())));
    ASSERT_NE(error, nullptr);
    error->SetMessage(ZQ_TString("failure of " + name));
    try {
      error->ZQ_Raise();  // as the class itself, not a slice of its parent
    } catch (const IMR_EPlugin& caught) {
      EXPECT_EQ(caught.ClassName(), name);
      EXPECT_EQ(dynamic_cast<const IMR_EMagic*>(&caught) != nullptr, magic);
    }
  }
}

namespace {

std::atomic<int> sCreated{0};
std::atomic<int> sDeleted{0};
std::atomic<int> sFailures{0};

class CountedPlugin : public IMR_TPlugin {
 public:
  explicit CountedPlugin(const ZQ_TString& key) : IMR_TPlugin(key) { sCreated++; }
  ~CountedPlugin() override { sDeleted++; }
};

IMR_IPlugin* CreateCounted(const ZQ_TString& key) { return new CountedPlugin(key); }
IMR_IPlugin* CreateFailingOnce(const ZQ_TString& key) {
  if (sFailures++ == 0) IMR_THROW(IMR_EPluginInternal);
  return new CountedPlugin(key);
}
IMR_IPlugin* CreateNothing(const ZQ_TString&) { return nullptr; }

}  // namespace

TEST(PluginRegistry, CreatorsAreFoundByNameAndLoadedOnDemand) {
  IMR_TPlugin::RegisterCreator("CORETEST_Counted", &CreateCounted);
  EXPECT_EQ(IMR_TPlugin::CreatorByName("CORETEST_Counted"), &CreateCounted);
  // The test module's names load the module configured for them.
  EXPECT_NE(IMR_TPlugin::CreatorByName("IMRT_Keyed"), nullptr);
  EXPECT_STREQ(IMR_TPlugin::ExtListByName("IMRT_Plain")(), "imrt;imt");
  EXPECT_THROW(IMR_TPlugin::CreatorByName("CORETEST_Nobody"), PXC_EDynamicLoaderNoSuchCreator);
  EXPECT_THROW(IMR_TPlugin::ExtListByName("IMRT_Keyed"), PXC_EDynamicLoaderNoSuchCreator);
}

TEST(PluginRegistry, PluginByNameKeepsOneInstancePerNameAndKey) {
  sCreated = 0;
  IMR_TPlugin::RegisterCreator("CORETEST_Instances", &CreateCounted);
  auto plugin = [](const char* name, const char* key) -> IMR_IPlugin* {
    return &IMR_TCore::PluginByName(name, ZQ_TString(key));
  };
  IMR_IPlugin* unkeyed = plugin("CORETEST_Instances", "");
  IMR_IPlugin* a = plugin("CORETEST_Instances", "a");
  EXPECT_EQ(plugin("CORETEST_Instances", ""), unkeyed);
  EXPECT_EQ(plugin("CORETEST_Instances", "a"), a);
  EXPECT_NE(a, unkeyed);
  EXPECT_NE(plugin("CORETEST_Instances", "b"), a);
  EXPECT_EQ(sCreated.load(), 3);
  EXPECT_EQ(dynamic_cast<IMR_TPlugin*>(a)->Key(), "a");

  // A creator that fails leaves nothing behind: the next call tries again.
  IMR_TPlugin::RegisterCreator("CORETEST_FailsOnce", &CreateFailingOnce);
  for (const char* key : {"", "k"}) {
    sFailures = 0;
    EXPECT_THROW(plugin("CORETEST_FailsOnce", key), IMR_EPluginInternal);
    EXPECT_EQ(plugin("CORETEST_FailsOnce", key), plugin("CORETEST_FailsOnce", key));
  }
  // A creator that makes nothing: no instance to hand out (a null was stored).
  IMR_TPlugin::RegisterCreator("CORETEST_Nothing", &CreateNothing);
  EXPECT_THROW(plugin("CORETEST_Nothing", ""), IMR_EPluginNotFound);
  EXPECT_THROW(plugin("CORETEST_Unregistered", ""), PXC_EDynamicLoaderNoSuchCreator);
}

// A plugin stored under several keys was deleted once per key; copies of a
// cache own nothing; comparing a cache recursed without end.
TEST(PluginRegistry, ACacheDeletesWhatWasStoredThroughItOnce) {
  sDeleted = 0;
  CountedPlugin* first = new CountedPlugin(ZQ_TString());
  CountedPlugin* second = new CountedPlugin(ZQ_TString());
  {
    IMR_TPluginCache cache;
    cache.Store("one", first);
    cache.Store("also one", first);
    cache.Store("two", first);
    cache.Store("two", second);  // replaces the entry, not the ownership
    cache.Store("none", nullptr);
    EXPECT_EQ(cache.PluginOf("one"), first);
    EXPECT_EQ(cache.PluginOf("two"), second);
    EXPECT_EQ(cache.PluginOf("none"), nullptr);
    EXPECT_EQ(cache.PluginOf("absent"), nullptr);
    {
      const IMR_TPluginCache copy(cache);
      EXPECT_EQ(copy.PluginOf("one"), first);
      std::unique_ptr<ZQ_IPackable> clone(cache.ZQ_Clone());
      EXPECT_TRUE(clone->ZQ_IsIdent(cache));
    }
    EXPECT_EQ(sDeleted.load(), 0) << "copies own nothing";
  }
  EXPECT_EQ(sDeleted.load(), 2);
}

TEST(CoreConstruction, ListsKeysAndDefaults) {
  // IMR_TCore's initialiser builds the lists; run twice it would build new ones.
  ZQ_TList* defaults = IMR_TCore::DefaultPluginList();
  EXPECT_TRUE(IMR_TCore::ZQ_ClassObject()->Initialize());
  EXPECT_EQ(IMR_TCore::DefaultPluginList(), defaults);
  const ZQ_TList empty;
  EXPECT_THROW(IMR_TCore core(&empty), IMR_EPluginNoDefaultPluginList);

  // A core's key replaces the keys of its list, and reaches the plugins
  // through the cache of keyed instances.
  const ZQ_TList list = Pairs({{"IMRT_Keyed", ""}, {"IMRT_Plain", "x"}});
  const IMR_TCore keyed(ZQ_TString("secret"), &list);
  EXPECT_EQ(keyed.PluginList(), Pairs({{"IMRT_Keyed", "secret"}, {"IMRT_Plain", "secret"}}));
  EXPECT_EQ(IMR_TCore(ZQ_TString(), &list).PluginList(), list);
  EXPECT_FALSE(keyed.UsesDefaultList());
  TempDir dir;
  PXC_TImageProxy proxy;
  keyed.FillImageProxy(proxy, WriteImrt(dir / "a.imrt", {Img("0")}), PXC_FL_FORMAT, IMR_IT_ALL);
  EXPECT_EQ(Summary(proxy), "*KEYED:secret:3:0");

  // Adding to a core's list copies the default list first.
  IMR_TCore byDefault;
  EXPECT_TRUE(byDefault.UsesDefaultList());
  byDefault.AddToPluginList(ZQ_TString("IMRT_Keyed"), ZQ_TString("b"), false);
  byDefault.AddToPluginList(ZQ_TString("IMRT_Plain"), ZQ_TString(), true);
  EXPECT_FALSE(byDefault.UsesDefaultList());
  EXPECT_EQ(byDefault.PluginList(),
            Pairs({{"IMRT_Keyed", "b"}, {"IMR_TMagic", ""}, {"IMRT_Plain", ""}}));
  EXPECT_EQ(*IMR_TCore::DefaultPluginList(), Plugins({"IMR_TMagic"}));
  // The default key is shared by all cores.
  byDefault.SetDefaultKey(ZQ_TString("dk"));
  EXPECT_EQ(*keyed.DefaultKey(), "dk");
  byDefault.SetDefaultKey(ZQ_TString());
}
