// Two presses are a double click only when they come quickly and close together.
#include "WtlDoubleClick.h"

#include <gtest/gtest.h>

TEST(WtlDoubleClick, TwoPressesMakeADoubleClickOnlyWhenQuickAndClose)
{
    const DWORD interval = GetDoubleClickTime();
    const int dx = GetSystemMetrics(SM_CXDOUBLECLK) / 2;
    WtlDoubleClick clicks;
    EXPECT_FALSE(clicks.Press(1000, {10, 10}));
    EXPECT_TRUE(clicks.Press(1000 + interval - 1, {10 + dx, 10}));
    EXPECT_FALSE(clicks.Press(1000 + interval, {10, 10})) << "a third press starts anew";
    EXPECT_FALSE(clicks.Press(1000 + 2 * interval, {10, 10})) << "too slow";
    EXPECT_FALSE(clicks.Press(1000 + 2 * interval + 1, {10 + dx + 1, 10})) << "too far";
    EXPECT_TRUE(clicks.Press(1000 + 2 * interval + 2, {10 + dx + 1, 10}));
    // Across the wrap of the message time.
    EXPECT_FALSE(clicks.Press(0xFFFFFFF0u, {0, 0}));
    EXPECT_TRUE(clicks.Press(0x00000010u, {0, 0}));
    // A press reported as a double click by the system closes the pair.
    EXPECT_FALSE(clicks.Press(5000, {0, 0}));
    clicks.Reset();
    EXPECT_FALSE(clicks.Press(5001, {0, 0}));
}
