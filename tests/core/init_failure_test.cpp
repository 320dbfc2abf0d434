// The library's initialisation when a platform library fails to initialise.
// This executable's own __ZQ_INITIALIZATION_FUNCTION_PXC_NS__ takes the place
// of the name-search library's (the executable comes first in symbol lookup):
// it fails once, then hands over to the real one.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "core/imr_core.h"

namespace {
int sCalls = 0;
}

extern "C" bool __ZQ_INITIALIZATION_FUNCTION_PXC_NS__() {
  if (sCalls++ == 0) return false;
  auto real = reinterpret_cast<bool (*)()>(::dlsym(RTLD_NEXT, "__ZQ_INITIALIZATION_FUNCTION_PXC_NS__"));
  return real != nullptr && real();
}

TEST(InitialisationFailure, RegistersNothingUntilTheDependenciesSucceed) {
  EXPECT_FALSE(__ZQ_INITIALIZATION_FUNCTION_IMR__());
  EXPECT_EQ(sCalls, 1);
  EXPECT_EQ(IMR_TCore::DefaultPluginList(), nullptr);
  EXPECT_EQ(ZQ_TClass::Find("IMR_TPluginUnknown"), nullptr);
  EXPECT_THROW(IMR_TPlugin::CreatorByName("IMR_TPluginUnknown"), PXC_EDynamicLoader);

  // The next call tries again and succeeds; later ones return at once.
  EXPECT_TRUE(__ZQ_INITIALIZATION_FUNCTION_IMR__());
  EXPECT_EQ(sCalls, 2);
  ASSERT_NE(IMR_TCore::DefaultPluginList(), nullptr);
  EXPECT_NE(ZQ_TClass::Find("IMR_TPluginUnknown"), nullptr);
  EXPECT_NE(IMR_TPlugin::CreatorByName("IMR_TPluginUnknown"), nullptr);
  ZQ_TList* defaults = IMR_TCore::DefaultPluginList();
  EXPECT_TRUE(__ZQ_INITIALIZATION_FUNCTION_IMR__());
  EXPECT_EQ(sCalls, 2);
  EXPECT_EQ(IMR_TCore::DefaultPluginList(), defaults);
}
