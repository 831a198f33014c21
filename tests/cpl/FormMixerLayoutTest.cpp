// The mixer window at the sizes of real screens: never larger than the work
// area, scrolling with frozen rows and columns so that every control can be
// reached, its placement kept per window; the crosspoint grid worked with
// the keyboard and the mouse.
#include "FormMixerFixture.h"
#include "WtlFrozenAxis.h"

using namespace cpl_test;

namespace {

// Every analog pair, SPDIF and every virtual input: 13 columns, 9 rows.
const char* const kLargest = "analog-in=16 analog-out=16 virtual=8";

RECT ScreenRect(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

RECT ClientScreenRect(HWND window)
{
    RECT rect{};
    GetClientRect(window, &rect);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool Inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

RECT WorkAreaOf(HWND window)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    return monitor.rcWork;
}

void Resize(HWND window, int width, int height)
{
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

void Scroll(HWND window, UINT message, int code)
{
    SendMessageW(window, message, MAKEWPARAM(code, 0), 0);
}

class FormMixerLayoutTest : public FormMixerTest
{
protected:
    HWND Grid() { return m_mixer->Crosspoints()->Grid(); }
    HWND ZeroDb(size_t column) { return GetDlgItem(Strip(column), IDC_STRIP_ZERO_DB); }
    HWND RowLabel(size_t row)
    {
        return GetDlgItem(m_mixer->InputStrip(row).GetFormWindow(), IDC_STRIP_LABEL);
    }
    // Whether the part of `control` that shows lies in the window's client area.
    bool Reachable(HWND control) { return Inside(ScreenRect(control), ClientScreenRect(Window())); }
};

TEST_F(FormMixerLayoutTest, TheLargestLayoutFitsTheWorkAreaAndEveryControlCanBeScrolledTo)
{
    CreateMixer(kLargest, false);
    m_mixer->Show();
    ASSERT_EQ(m_mixer->ColumnCount(), 13u);
    ASSERT_EQ(m_mixer->RowCount(), 9u);
    const RECT work = WorkAreaOf(Window());
    EXPECT_TRUE(Inside(ScreenRect(Window()), work));

    // Headers: 8 analog pairs and SPDIF, then 4 virtual pairs.
    const auto& headers = m_mixer->HeaderLabels();
    ASSERT_EQ(headers.size(), 3u);
    EXPECT_EQ(ScreenRect(headers[1]).left, ScreenRect(Strip(0)).left);
    EXPECT_EQ(ScreenRect(headers[1]).right, ScreenRect(Strip(8)).right);
    EXPECT_EQ(ScreenRect(headers[2]).left, ScreenRect(Strip(9)).left);
    EXPECT_EQ(ScreenRect(headers[2]).right, ScreenRect(Strip(12)).right);

    // No larger than the work area, however it is asked to grow.
    Resize(Window(), 5000, 5000);
    EXPECT_LE(ScreenRect(Window()).right - ScreenRect(Window()).left, work.right - work.left);
    EXPECT_LE(ScreenRect(Window()).bottom - ScreenRect(Window()).top, work.bottom - work.top);

    // A laptop-sized window: the far corner's 0dB and the last row come
    // into reach by scrolling; the frozen panes stay where they are.
    Resize(Window(), 700, 560);
    EXPECT_TRUE(GetWindowLongPtrW(Window(), GWL_STYLE) & WS_HSCROLL);
    EXPECT_TRUE(GetWindowLongPtrW(Window(), GWL_STYLE) & WS_VSCROLL);
    EXPECT_FALSE(Reachable(ZeroDb(12)));

    // The wheel: a row per notch, half a row for half a notch; Shift: across.
    SendMessageW(Window(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
    const LONG row = m_mixer->ScrollPosition().y;
    EXPECT_GT(row, 0);
    SendMessageW(Window(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA / 2), 0);
    EXPECT_EQ(m_mixer->ScrollPosition().y, row - MulDiv(WHEEL_DELTA / 2, row, WHEEL_DELTA));
    EXPECT_EQ(m_mixer->ScrollPosition().x, 0);
    SendMessageW(Window(), WM_MOUSEWHEEL, MAKEWPARAM(MK_SHIFT, -WHEEL_DELTA), 0);
    EXPECT_GT(m_mixer->ScrollPosition().x, 0);
    Scroll(Window(), WM_HSCROLL, SB_TOP);
    Scroll(Window(), WM_VSCROLL, SB_TOP);

    const RECT firstRow = ScreenRect(RowLabel(0));
    const RECT firstColumn = ScreenRect(Strip(0));
    Scroll(Window(), WM_HSCROLL, SB_BOTTOM);
    EXPECT_GT(m_mixer->ScrollPosition().x, 0);
    EXPECT_TRUE(Reachable(ZeroDb(12)));
    EXPECT_EQ(ScreenRect(RowLabel(0)).left, firstRow.left) << "the rows do not scroll across";
    EXPECT_LT(ScreenRect(Strip(0)).left, firstColumn.left);
    Scroll(Window(), WM_VSCROLL, SB_BOTTOM);
    EXPECT_TRUE(Reachable(ZeroDb(12)));
    EXPECT_TRUE(Reachable(RowLabel(8)));
    EXPECT_EQ(ScreenRect(Strip(0)).top, firstColumn.top) << "the columns do not scroll down";
    Scroll(Window(), WM_HSCROLL, SB_TOP);
    Scroll(Window(), WM_VSCROLL, SB_TOP);
    EXPECT_EQ(ScreenRect(Strip(0)).left, firstColumn.left);
    EXPECT_EQ(ScreenRect(RowLabel(0)).top, firstRow.top);

    // Tab onto a control out of view scrolls it in.
    SetFocus(ZeroDb(11));
    MSG tab{GetFocus(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_TRUE(IsDialogMessageW(Window(), &tab));
    HWND next = GetFocus();
    ASSERT_TRUE(IsChild(Strip(12), next)) << "Tab goes on into the last strip";
    EXPECT_TRUE(DevicePageHost::PumpUntil([&] { return Reachable(next); }, 2000));
    Scroll(Window(), WM_HSCROLL, SB_TOP);

    // Too short even for the faders: the scroll range goes on through them.
    Resize(Window(), 400, 300);
    Scroll(Window(), WM_HSCROLL, SB_BOTTOM);
    Scroll(Window(), WM_VSCROLL, SB_BOTTOM);
    EXPECT_TRUE(Reachable(ZeroDb(12)));
    EXPECT_TRUE(Reachable(m_mixer->HeaderLabels()[2]));
}

TEST_F(FormMixerLayoutTest, ArrowKeysMoveBetweenCrosspointsAndEnterSpaceOrAClickOpenTheEditor)
{
    CreateMixer(kLargest, true);
    Control("set MIX1 weight 0 1 0 0 -600 1"); // Analog Out 2 from Analog In 1
    m_mixer->Show();
    WtlCellGrid& grid = m_mixer->Crosspoints()->Grid();
    // Tab reaches the grid inside its pane.
    bool tabbed = false;
    HWND first = GetNextDlgTabItem(Window(), nullptr, FALSE);
    for (HWND control = first; control != nullptr && !tabbed;) {
        tabbed = control == Grid();
        control = GetNextDlgTabItem(Window(), control, FALSE);
        if (control == first) {
            break;
        }
    }
    EXPECT_TRUE(tabbed);
    SetFocus(Grid());
    SendMessageW(Grid(), WM_KEYDOWN, VK_LEFT, 0);
    SendMessageW(Grid(), WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(grid.FocusColumn(), 0) << "held at the edge";
    SendMessageW(Grid(), WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(grid.FocusColumn(), 1);
    EXPECT_EQ(grid.FocusRow(), 0);
    EXPECT_EQ(SendMessageW(Grid(), WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS, DLGC_WANTARROWS);

    // Enter opens the editor of the focused crosspoint at its top-left corner.
    std::wstring value;
    RECT placed{};
    {
        EditorScript script([&](HWND editor) {
            value = DevicePageHost::Text(editor, IDC_WEIGHT_VALUE);
            GetWindowRect(editor, &placed);
        });
        SendMessageW(Grid(), WM_KEYDOWN, VK_RETURN, 0);
    }
    RECT cell = grid.CellRect(1, 0);
    MapWindowPoints(Grid(), nullptr, reinterpret_cast<POINT*>(&cell), 2);
    EXPECT_EQ(value, L"-6.00");
    EXPECT_EQ(placed.left, cell.left);
    EXPECT_EQ(placed.top, cell.top);

    // Space does too; then a click on another crosspoint opens its own.
    SendMessageW(Grid(), WM_KEYDOWN, VK_DOWN, 0);
    value.clear();
    {
        EditorScript script(
            [&](HWND editor) { value = DevicePageHost::Text(editor, IDC_WEIGHT_VALUE); });
        SendMessageW(Grid(), WM_KEYDOWN, VK_SPACE, 0);
    }
    EXPECT_EQ(value, L"0.00") << "Analog Out 2 from Analog In 2: open, at 0 dB";
    const RECT target = grid.CellRect(4, 3);
    value.clear();
    {
        EditorScript script([&](HWND editor) {
            DevicePageHost::ToggleAndClick(editor, IDC_WEIGHT_CONNECTED);
            value = DevicePageHost::Text(editor, IDC_WEIGHT_VALUE);
        });
        SendMessageW(Grid(), WM_LBUTTONDOWN, MK_LBUTTON,
                     MAKELPARAM((target.left + target.right) / 2, (target.top + target.bottom) / 2));
    }
    EXPECT_EQ(grid.FocusColumn(), 4);
    EXPECT_EQ(grid.FocusRow(), 3);
    EXPECT_EQ(SimWeight(Pin(0, 4), Pin(0, 3)).flags, KORVEL_MIXER_WEIGHT_FLAG_CONNECTED)
        << "Analog Out 5 from Analog In 4";
    EXPECT_EQ(CellText(4, 3), L"0");

    // Moving the focus off the view scrolls the crosspoint into it.
    Resize(Window(), 600, 500);
    SendMessageW(Grid(), WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(grid.FocusColumn(), 25);
    RECT last = grid.CellRect(25, 3);
    MapWindowPoints(Grid(), nullptr, reinterpret_cast<POINT*>(&last), 2);
    EXPECT_GT(m_mixer->ScrollPosition().x, 0);
    EXPECT_TRUE(Inside(last, ClientScreenRect(Window())));
}

TEST_F(FormMixerLayoutTest, EachWindowKeepsItsOwnPlacementAndAKeptOneIsCutToTheWorkArea)
{
    CreateMixer(kLargest, true);
    m_mixer->Show();
    SetWindowPos(Window(), nullptr, 30, 40, 640, 480, SWP_NOZORDER);
    const RECT moved = ScreenRect(Window());
    m_mixer->Close();
    m_mixer->Show();
    const RECT again = ScreenRect(Window());
    EXPECT_TRUE(EqualRect(&moved, &again)) << "the same place and size again";

    const KorvelDeviceKey key = Device().Info().key;
    FormMixer outputs(m_host->Client(), key.word0, key.word1, false, TEST_PLACEMENT_ROOT);
    ASSERT_NE(outputs.CreateMixer(GetModuleHandleW(nullptr), m_host->Frame()), nullptr);
    outputs.Show();
    const RECT other = ScreenRect(outputs);
    EXPECT_FALSE(EqualRect(&moved, &other)) << "the other window has its own";
    EXPECT_NE(outputs.PlacementKey(), m_mixer->PlacementKey());
    outputs.Close();

    // A kept size beyond the work area (another monitor, a hostile value) is cut to it.
    m_mixer->Close();
    HKEY kept = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, m_mixer->PlacementKey().c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &kept, nullptr),
              ERROR_SUCCESS);
    const DWORD huge = 100000;
    RegSetValueExW(kept, L"Width", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&huge), 4);
    RegSetValueExW(kept, L"Height", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&huge), 4);
    RegCloseKey(kept);
    m_mixer->Show();
    EXPECT_TRUE(Inside(ScreenRect(Window()), WorkAreaOf(Window())));
}

TEST(WtlFrozenAxis, TheBodyGivesWayFirstThenTheFrozenPaneScrollsToo)
{
    // Header 20, frozen strip 300, body 400, at least one 50-pixel row.
    const WtlFrozenAxis::Parts parts{20, 300, 400, 50};
    const WtlFrozenAxis fits(parts, 720);
    EXPECT_EQ(fits.Range(), 0);
    EXPECT_EQ(fits.BodyShown(), 400);
    EXPECT_EQ(fits.FrozenShown(), 300);

    const WtlFrozenAxis shorter(parts, 520);
    EXPECT_EQ(shorter.FrozenShown(), 300);
    EXPECT_EQ(shorter.BodyShown(), 200);
    EXPECT_EQ(shorter.Range(), 200);
    EXPECT_EQ(shorter.BodyOffset(150), 150);
    EXPECT_EQ(shorter.FrozenOffset(999), 0) << "clamped to the body's range";
    EXPECT_EQ(shorter.PositionShowing(0, 250, 300), 100) << "the row's bottom at the view's";
    EXPECT_EQ(shorter.PositionShowing(150, 100, 150), 100) << "the row's top at the view's";
    EXPECT_EQ(shorter.PositionShowing(50, 100, 150), 50) << "already in view";

    const WtlFrozenAxis tiny(parts, 220);
    EXPECT_EQ(tiny.BodyShown(), 50);
    EXPECT_EQ(tiny.FrozenShown(), 150);
    EXPECT_EQ(tiny.Range(), 350 + 150);
    EXPECT_EQ(tiny.BodyOffset(400), 350);
    EXPECT_EQ(tiny.FrozenOffset(400), 50);
    EXPECT_EQ(tiny.FrozenOffset(10000), 150);

    const WtlFrozenAxis none(parts, 10);
    EXPECT_EQ(none.BodyShown() + none.FrozenShown(), 0);
    EXPECT_EQ(none.Range(), 700);
}

} // namespace
