// The level meter: it fills from the bottom (vertical) or the left in its
// colours, paints without erasing into a bitmap it keeps, repaints only on a
// change, holds its peak for a while and keeps a clip lit until clicked.
#include "WtlDpi.h"
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
    meter.ClearClip(); // the clip block would cover the red zone
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

TEST_F(WtlLevelMeterTest, ThePeakLineHoldsTheHighestPositionThenFallsBackToTheLevel)
{
    ShowWindow(m_host, SW_SHOWNOACTIVATE);
    HWND bar = CreateBar(PBS_VERTICAL, 10, 120);
    WtlLevelMeter meter;
    uint64_t now = 50000;
    meter.SetClock([&] { return now; });
    ASSERT_TRUE(meter.Attach(bar, 6000));
    const int line = WtlDpi::Scale(bar, WtlLevelMeter::PEAK_LINE_PX);
    meter.SetPosition(4500); // 90 of 120 pixels
    now += 100;
    meter.SetPosition(1500); // 30 pixels
    EXPECT_EQ(meter.GetPeak(), 4500);
    Picture held;
    Paint(bar, 10, 120, held);
    EXPECT_EQ(held.At(5, 30), WtlLevelMeter::PeakLineColor);
    EXPECT_EQ(held.At(5, 30 + line - 1), WtlLevelMeter::PeakLineColor);
    EXPECT_EQ(held.At(5, 29), WtlLevelMeter::BackColor) << "the line ends at the peak";
    EXPECT_EQ(held.At(5, 30 + line), WtlLevelMeter::BackColor);
    EXPECT_EQ(held.At(5, 90), WtlLevelMeter::LowColor) << "the bar shows the level";

    // A lower level within the hold time keeps the line and repaints nothing.
    UpdateWindow(bar);
    now = 50000 + WtlLevelMeter::HOLD_MS - 1;
    meter.SetPosition(1500);
    EXPECT_EQ(meter.GetPeak(), 4500);
    EXPECT_FALSE(GetUpdateRect(bar, nullptr, FALSE));

    // Once it expires the line falls to the level, which is a repaint.
    now = 50000 + WtlLevelMeter::HOLD_MS;
    meter.SetPosition(1500);
    EXPECT_EQ(meter.GetPeak(), 1500);
    EXPECT_TRUE(GetUpdateRect(bar, nullptr, FALSE));
    Picture fallen;
    Paint(bar, 10, 120, fallen);
    EXPECT_EQ(fallen.At(5, 30), WtlLevelMeter::BackColor);
    EXPECT_EQ(fallen.At(5, 90), WtlLevelMeter::LowColor);

    // A new high restarts the hold from its own time.
    meter.SetPosition(3000);
    now += WtlLevelMeter::HOLD_MS - 1;
    meter.SetPosition(600);
    EXPECT_EQ(meter.GetPeak(), 3000);
}

TEST_F(WtlLevelMeterTest, AClipLightsAtTheMaximumStaysAfterTheLevelFallsAndAClickClearsIt)
{
    ShowWindow(m_host, SW_SHOWNOACTIVATE);
    HWND bar = CreateBar(0, 100, 8);
    WtlLevelMeter meter;
    uint64_t now = 1000;
    meter.SetClock([&] { return now; });
    ASSERT_TRUE(meter.Attach(bar, 6000));
    const int block = WtlDpi::Scale(bar, WtlLevelMeter::CLIP_BLOCK_PX);
    meter.SetPosition(5999);
    EXPECT_FALSE(meter.IsClipped()) << "just below the maximum is no clip";
    meter.SetPosition(6000);
    EXPECT_TRUE(meter.IsClipped());
    meter.SetPosition(1000);
    now += 10 * WtlLevelMeter::HOLD_MS; // the peak line is long gone
    meter.SetPosition(1000);
    EXPECT_TRUE(meter.IsClipped()) << "a clip stays lit";
    Picture lit;
    Paint(bar, 100, 8, lit);
    EXPECT_EQ(lit.At(99, 4), WtlLevelMeter::ClipColor) << "at the right end";
    EXPECT_EQ(lit.At(100 - block, 4), WtlLevelMeter::ClipColor);
    EXPECT_EQ(lit.At(100 - block - 1, 4), WtlLevelMeter::BackColor);
    EXPECT_EQ(lit.At(5, 4), WtlLevelMeter::LowColor);

    UpdateWindow(bar);
    SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 4));
    EXPECT_FALSE(meter.IsClipped());
    EXPECT_TRUE(GetUpdateRect(bar, nullptr, FALSE)) << "the click repaints";
    Picture cleared;
    Paint(bar, 100, 8, cleared);
    EXPECT_EQ(cleared.At(99, 4), WtlLevelMeter::BackColor);
}

TEST_F(WtlLevelMeterTest, PaintsIntoOneKeptBitmapMadeAnewOnlyForANewSize)
{
    HWND bar = CreateBar(PBS_VERTICAL, 10, 120);
    WtlLevelMeter meter;
    ASSERT_TRUE(meter.Attach(bar, 6000));
    Picture picture;
    Paint(bar, 10, 120, picture);
    const HBITMAP cache = meter.CacheBitmap();
    ASSERT_NE(cache, nullptr);
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    for (int i = 0; i < 200; ++i) {
        meter.SetPosition(i * 30);
        SendMessageW(bar, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(picture.dc.get()), PRF_CLIENT);
    }
    EXPECT_EQ(meter.CacheBitmap(), cache);
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore);

    SetWindowPos(bar, nullptr, 0, 0, 10, 60, SWP_NOMOVE | SWP_NOZORDER);
    Paint(bar, 10, 60, picture);
    const HBITMAP resized = meter.CacheBitmap();
    ASSERT_NE(resized, nullptr);
    EXPECT_NE(resized, cache);
    EXPECT_EQ(GetObjectType(cache), 0u) << "the old bitmap is deleted";
    BITMAP info{};
    ASSERT_TRUE(GetObjectW(resized, sizeof(info), &info));
    EXPECT_EQ(info.bmWidth, 10);
    EXPECT_EQ(info.bmHeight, 60);

    DestroyWindow(bar);
    EXPECT_EQ(meter.CacheBitmap(), nullptr);
    EXPECT_EQ(GetObjectType(resized), 0u) << "a destroyed meter frees its bitmap";
}

} // namespace
