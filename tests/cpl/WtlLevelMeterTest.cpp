// The level meter: it fills from the bottom (vertical) or the left in its
// colours, paints without erasing, and repaints only on a new position.
#include "WtlGdiOwners.h"
#include "WtlLevelMeter.h"
#include "WtlTestHost.h"

#include <gtest/gtest.h>

using cpl_test::TestInstance;
using cpl_test::WtlTestHost;

namespace {

class WtlLevelMeterTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_host.CreateHost()); }

    HWND CreateBar(DWORD style, int cx, int cy)
    {
        return CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE | PBS_SMOOTH | style,
                               0, 0, cx, cy, m_host, nullptr, TestInstance(), nullptr);
    }

    // The meter's client area as WM_PRINTCLIENT paints it into a bitmap of our own.
    struct Picture
    {
        WtlMemoryDC dc;
        WtlBitmap bitmap;
        COLORREF At(int x, int y) const { return GetPixel(dc.get(), x, y); }
    };
    static void Paint(HWND bar, int cx, int cy, Picture& picture)
    {
        WtlClientDC screen(bar);
        picture.dc.reset(CreateCompatibleDC(screen.Get()));
        picture.bitmap.reset(CreateCompatibleBitmap(screen.Get(), cx, cy));
        SelectObject(picture.dc.get(), picture.bitmap.get());
        SendMessageW(bar, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(picture.dc.get()), PRF_CLIENT);
    }

    WtlTestHost m_host;
};

TEST_F(WtlLevelMeterTest, AVerticalMeterFillsFromTheBottomInItsZoneColours)
{
    HWND bar = CreateBar(PBS_VERTICAL, 10, 120);
    WtlLevelMeter meter;
    ASSERT_TRUE(meter.Attach(bar, 6000));
    meter.SetPosition(3000);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 3000) << "the control keeps the position";
    Picture half;
    Paint(bar, 10, 120, half);
    EXPECT_EQ(half.At(5, 119), WtlLevelMeter::LowColor);
    EXPECT_EQ(half.At(5, 61), WtlLevelMeter::LowColor);
    EXPECT_EQ(half.At(5, 58), WtlLevelMeter::BackColor);

    meter.SetPosition(7000); // beyond the range: full
    EXPECT_EQ(meter.GetPosition(), 6000);
    Picture full;
    Paint(bar, 10, 120, full);
    EXPECT_EQ(full.At(5, 110), WtlLevelMeter::LowColor);
    EXPECT_EQ(full.At(5, 5), WtlLevelMeter::HighColor);
    EXPECT_EQ(full.At(5, 0), WtlLevelMeter::PeakColor);
}

TEST_F(WtlLevelMeterTest, AHorizontalMeterFillsFromTheLeft)
{
    HWND bar = CreateBar(0, 100, 8);
    WtlLevelMeter meter;
    ASSERT_TRUE(meter.Attach(bar, 6000));
    meter.SetPosition(1500);
    Picture picture;
    Paint(bar, 100, 8, picture);
    EXPECT_EQ(picture.At(0, 4), WtlLevelMeter::LowColor);
    EXPECT_EQ(picture.At(23, 4), WtlLevelMeter::LowColor);
    EXPECT_EQ(picture.At(26, 4), WtlLevelMeter::BackColor);
}

TEST_F(WtlLevelMeterTest, NoEraseAndNoRepaintForAnUnchangedPosition)
{
    ShowWindow(m_host, SW_SHOWNOACTIVATE); // only a visible window has an update region
    HWND bar = CreateBar(PBS_VERTICAL, 10, 120);
    WtlLevelMeter meter;
    ASSERT_TRUE(meter.Attach(bar, 6000));
    meter.SetPosition(2000);
    UpdateWindow(bar);
    EXPECT_FALSE(GetUpdateRect(bar, nullptr, FALSE));
    meter.SetPosition(2000);
    EXPECT_FALSE(GetUpdateRect(bar, nullptr, FALSE)) << "the same position repaints nothing";
    meter.SetPosition(2100);
    EXPECT_TRUE(GetUpdateRect(bar, nullptr, FALSE));
    WtlClientDC dc(bar);
    EXPECT_EQ(SendMessageW(bar, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.Get()), 0), 1)
        << "the paint covers everything; nothing is erased first";
    // A destroyed control leaves the meter detached.
    DestroyWindow(bar);
    meter.SetPosition(10);
    EXPECT_EQ(static_cast<HWND>(meter), nullptr);
}

} // namespace
