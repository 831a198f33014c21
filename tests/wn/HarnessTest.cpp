#include <gtest/gtest.h>
#include <windows.h>
TEST(Harness, RunsUnderWine) { EXPECT_NE(GetCurrentProcessId(), 0u); }
