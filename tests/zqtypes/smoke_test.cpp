#include <gtest/gtest.h>
#include "zqtypes/zqtypes.h"
TEST(Smoke, Builds) { EXPECT_TRUE(__ZQ_INITIALIZATION_FUNCTION_zqtypes__()); }
