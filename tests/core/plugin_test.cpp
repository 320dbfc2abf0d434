// The plugin registry and loading on demand, the fallback plugin, the plugin
// caches and their ownership, context plugin state, and core construction.
#include <unistd.h>

#include <atomic>

#include "core_test_support.h"

using namespace coretest;

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

class PluginRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    sCreated = 0;
    sDeleted = 0;
    sFailures = 0;
  }
};

}  // namespace

TEST_F(PluginRegistry, CreatorsAreFoundByNameAndLoadedOnDemand) {
  IMR_TPlugin::RegisterCreator("CORETEST_Counted", &CreateCounted);
  EXPECT_EQ(IMR_TPlugin::CreatorByName("CORETEST_Counted"), &CreateCounted);

  // The test module's names come from the module configured for them.
  IMR_TPluginCreator keyed = IMR_TPlugin::CreatorByName("IMRT_Keyed");
  ASSERT_NE(keyed, nullptr);
  const ZQ_TDict registered = PXC_TDynamicLoader::sLoader[ZQ_TString("IMR_TPlugin")];
  const ZQ_TAny* module = registered.ValueOfKey("IMRT_Keyed");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(module->ToText().Std(), std::string(IMRT_MODULE_DIR) + "/imrt_plugins.so");
  IMR_TPluginExtList extensions = IMR_TPlugin::ExtListByName("IMRT_Plain");
  ASSERT_NE(extensions, nullptr);
  EXPECT_STREQ(extensions(), "imrt;imt");

  EXPECT_THROW(IMR_TPlugin::CreatorByName("CORETEST_Nobody"), PXC_EDynamicLoaderNoSuchCreator);
  EXPECT_THROW(IMR_TPlugin::ExtListByName("IMRT_Keyed"), PXC_EDynamicLoaderNoSuchCreator);
}

TEST_F(PluginRegistry, TheUnknownFilesPluginDeclinesOrRaisesWithAKey) {
  IMR_IPlugin* plain = IMR_TPlugin::CreatorByName("IMR_TPluginUnknown")(ZQ_TString());
  IMR_IPlugin* keyed = IMR_TPlugin::CreatorByName("IMR_TPluginUnknown")(ZQ_TString("k"));
  PXC_TBuffer buffer("IMRT", 4, ZQ_TURL("/memory"));
  PXC_TImageTicket ticket;
  EXPECT_EQ(plain->ImageInfo(buffer, ticket, PXC_FL_FORMAT, 0, IMR_IT_ALL), IMR_PS_NOT_RECOGNIZED);
  const IMR_EPluginFileNotRecognized error = Raised<IMR_EPluginFileNotRecognized>(
      [&] { keyed->ImageInfo(buffer, ticket, PXC_FL_FORMAT, 0, IMR_IT_ALL); });
  EXPECT_EQ(error.Message(), "IMR_EPluginFileNotRecognized");
  EXPECT_FALSE(plain->IsSafePlugin(PXC_FL_FORMAT));
  EXPECT_FALSE(plain->IsImageValid(ticket));
  EXPECT_EQ(plain->CreateContextPlugin(ZQ_TURL("/memory"), &buffer, PXC_FL_FORMAT, IMR_IT_ALL,
                                       ZQ_TList()),
            nullptr);
  delete plain;
  delete keyed;
}

TEST_F(PluginRegistry, PluginByNameKeepsOneInstancePerNameAndKey) {
  IMR_TPlugin::RegisterCreator("CORETEST_Instances", &CreateCounted);
  IMR_IPlugin& unkeyed = IMR_TCore::PluginByName("CORETEST_Instances", ZQ_TString());
  IMR_IPlugin& a = IMR_TCore::PluginByName("CORETEST_Instances", ZQ_TString("a"));
  IMR_IPlugin& b = IMR_TCore::PluginByName("CORETEST_Instances", ZQ_TString("b"));
  EXPECT_EQ(&IMR_TCore::PluginByName("CORETEST_Instances", ZQ_TString()), &unkeyed);
  EXPECT_EQ(&IMR_TCore::PluginByName("CORETEST_Instances", ZQ_TString("a")), &a);
  EXPECT_NE(&a, &unkeyed);
  EXPECT_NE(&a, &b);
  EXPECT_EQ(sCreated.load(), 3);
  EXPECT_EQ(dynamic_cast<IMR_TPlugin&>(a).Key(), "a");
  EXPECT_EQ(dynamic_cast<IMR_TPlugin&>(unkeyed).Key(), "");

  // A creator that fails leaves nothing behind: the next call tries again.
  IMR_TPlugin::RegisterCreator("CORETEST_FailsOnce", &CreateFailingOnce);
  for (const ZQ_TString& key : {ZQ_TString(), ZQ_TString("k")}) {
    sFailures = 0;
    EXPECT_THROW(IMR_TCore::PluginByName("CORETEST_FailsOnce", key), IMR_EPluginInternal);
    IMR_IPlugin& second = IMR_TCore::PluginByName("CORETEST_FailsOnce", key);
    EXPECT_EQ(&IMR_TCore::PluginByName("CORETEST_FailsOnce", key), &second);
  }

  // A creator that makes nothing: no instance to hand out.
  IMR_TPlugin::RegisterCreator("CORETEST_Nothing", &CreateNothing);
  EXPECT_THROW(IMR_TCore::PluginByName("CORETEST_Nothing", ZQ_TString()), IMR_EPluginNotFound);
  EXPECT_THROW(IMR_TCore::PluginByName("CORETEST_Unregistered", ZQ_TString()),
               PXC_EDynamicLoaderNoSuchCreator);
}

TEST_F(PluginRegistry, ACacheDeletesWhatWasStoredThroughItOnce) {
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

TEST_F(PluginRegistry, HandlesPackTheirAddress) {
  CountedPlugin plugin{ZQ_TString()};
  const IMR_TPluginHandle handle(&plugin);
  ZQ_TMemoryStream memory;
  ZQ_TDataStream out(memory);
  out.Insert(handle);
  ZQ_TMemoryStream copy(memory.Data(), memory.Size());
  ZQ_TDataStream in(copy);
  std::unique_ptr<ZQ_TObject> back(in.Extract(true));
  const IMR_TPluginHandle* unpacked = ZQ_DynamicCast<IMR_TPluginHandle>(back.get());
  ASSERT_NE(unpacked, nullptr);
  EXPECT_EQ(unpacked->Plugin(), &plugin);
  EXPECT_TRUE(unpacked->ZQ_IsIdent(handle));
  EXPECT_FALSE(IMR_TPluginHandle(nullptr).ZQ_IsIdent(handle));
}

TEST(ContextPluginState, NeedsAPluginAndAFile) {
  EXPECT_THROW(IMR_TContextPlugin(), IMR_EPluginInternal);
  std::unique_ptr<ZQ_TObject> created;
  EXPECT_THROW(created.reset(ZQ_TClass::CreateObject("IMR_TContextPlugin")), IMR_EPluginInternal);

  CountedPlugin plugin{ZQ_TString()};
  const PXC_TBuffer buffer("IMRT 0\nEND\n", 11, ZQ_TURL("/memory"));
  const ZQ_TList list = Plugins({"IMRT_Plain"});
  IMR_TContextPlugin context(&plugin, ZQ_TURL("/memory"), &buffer, PXC_FL_DETAILS, IMR_IT_MAIN, list);
  IMR_TContextPlugin copy(context);
  EXPECT_EQ(&copy.Plugin(), static_cast<IMR_IPlugin*>(&plugin));
  EXPECT_EQ(copy.File(), ZQ_TURL("/memory"));
  EXPECT_EQ(copy.Buffer().Size(), 11u);
  EXPECT_EQ(copy.Level(), PXC_FL_DETAILS);
  EXPECT_EQ(copy.ImageTypes(), IMR_IT_MAIN);
  EXPECT_EQ(copy.PluginList(), list);
  PXC_TImageTicket ticket;
  EXPECT_THROW(copy.ImageInfo(ticket, 0), IMR_ENoContextPlugin);

  const PXC_TBuffer other("IMRT", 4, ZQ_TURL("/other"));
  IMR_TContextPlugin assigned(&plugin, ZQ_TURL("/other"), &other, PXC_FL_FILE, IMR_IT_ALL, ZQ_TList());
  assigned = context;
  EXPECT_EQ(assigned.File(), ZQ_TURL("/memory"));
  EXPECT_EQ(assigned.Level(), PXC_FL_DETAILS);
  EXPECT_EQ(assigned.PluginList(), list);
}

TEST(CoreConstruction, ListsKeysAndDefaults) {
  const ZQ_TList empty;
  EXPECT_THROW(IMR_TCore core(&empty), IMR_EPluginNoDefaultPluginList);

  const ZQ_TList list = Pairs({{"IMRT_Plain", ""}, {"IMRT_Keyed", "x"}});
  IMR_TCore keyed(ZQ_TString("k"), &list);
  EXPECT_EQ(keyed.PluginList(), Pairs({{"IMRT_Plain", "k"}, {"IMRT_Keyed", "k"}}));
  EXPECT_EQ(IMR_TCore(ZQ_TString(), &list).PluginList(), list);
  EXPECT_FALSE(keyed.UsesDefaultList());

  IMR_TCore byDefault;
  EXPECT_TRUE(byDefault.UsesDefaultList());
  EXPECT_EQ(byDefault.PluginList(), *IMR_TCore::DefaultPluginList());
  byDefault.AddToPluginList(ZQ_TString("IMRT_Keyed"), ZQ_TString("b"), false);
  byDefault.AddToPluginList(ZQ_TString("IMRT_Plain"), ZQ_TString(), true);
  EXPECT_FALSE(byDefault.UsesDefaultList());
  EXPECT_EQ(byDefault.PluginList(), Pairs({{"IMRT_Keyed", "b"}, {"IMR_TMagic", ""}, {"IMRT_Plain", ""}}));
  EXPECT_EQ(IMR_TCore::DefaultPluginList()->Entries(), 2u) << "the default list is not touched";

  IMR_TCore copy(keyed);
  EXPECT_EQ(copy.PluginList(), keyed.PluginList());
  copy = byDefault;
  EXPECT_EQ(copy.PluginList(), byDefault.PluginList());

  byDefault.SetDefaultKey(ZQ_TString("dk"));
  EXPECT_EQ(*keyed.DefaultKey(), "dk");
  byDefault.SetDefaultKey(ZQ_TString());

  // The key reaches the plugin through the cache of keyed instances.
  TempDir dir;
  const ZQ_TURL url = WriteImrt(dir / "a.imrt", {Img("0")});
  const ZQ_TList keyedOnly = Plugins({"IMRT_Keyed"});
  PXC_TImageProxy proxy;
  IMR_TCore(ZQ_TString("secret"), &keyedOnly).FillImageProxy(proxy, url, PXC_FL_FORMAT, IMR_IT_ALL);
  EXPECT_EQ(Summary(proxy), "*KEYED:secret:3:0");
}
