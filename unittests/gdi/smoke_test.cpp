#include <gtest/gtest.h>
#include "platform/gdi/gdi.h"
TEST(Smoke, Builds) { EXPECT_NE(gdi::GetStockObject(gdi::NULL_BRUSH), 0u); }
