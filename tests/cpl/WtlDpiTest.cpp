// Pixel sizes designed at 96 DPI, scaled to a window's DPI.
#include "WtlDpi.h"

#include <gtest/gtest.h>

TEST(WtlDpi, ScalesFrom96DpiRoundingToNearest)
{
    EXPECT_EQ(WtlDpi::Scale(5, 96), 5);
    EXPECT_EQ(WtlDpi::Scale(-7, 96), -7);
    EXPECT_EQ(WtlDpi::Scale(16, 144), 24);
    EXPECT_EQ(WtlDpi::Scale(5, 144), 8) << "7.5 rounds up";
    EXPECT_EQ(WtlDpi::Scale(3, 120), 4) << "3.75 rounds up";
    EXPECT_EQ(WtlDpi::Scale(5, 120), 6) << "6.25 rounds down";
    EXPECT_EQ(WtlDpi::Scale(4, 192), 8);
    EXPECT_EQ(WtlDpi::Scale(9, 0), 9) << "an unknown DPI leaves the size alone";
}

TEST(WtlDpi, AWindowScalesByItsOwnDpi)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    const UINT dpi = WtlDpi::ForWindow(window);
    EXPECT_GE(dpi, 72u);
    EXPECT_LE(dpi, 480u);
    EXPECT_EQ(WtlDpi::Scale(window, 100), MulDiv(100, static_cast<int>(dpi), 96));
    EXPECT_EQ(WtlDpi::ForWindow(nullptr), dpi) << "one monitor: the screen's DPI is the window's";
    DestroyWindow(window);
}
