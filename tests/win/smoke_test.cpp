#include <windows.h>

#include <gtest/gtest.h>

TEST(Wine, RunsWindowsCode) { EXPECT_NE(GetCurrentProcessId(), 0u); }
