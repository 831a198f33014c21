#include "WtlCommandBar.h"
#include "WtlFrameWindowImpl.h"
#include "WtlMessageLoop.h"
#include "WtlMultiPaneStatusBar.h"
#include "WtlReBar.h"
#include "WtlSplitterWindow.h"
#include "WtlTestHost.h"
#include "WtlToolTip.h"

#include <commctrl.h>
#include <gtest/gtest.h>

using cpl_test::TestInstance;
using cpl_test::WtlTestHost;

namespace {

class TestFrame : public WtlFrameWindowImpl
{
public:
    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override
    {
        if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->idFrom == 77) {
            ++notifies;
            result = 0;
            return true;
        }
        return WtlFrameWindowImpl::ProcessWindowMessage(hwnd, message, wParam, lParam, result);
    }
    int notifies = 0;

protected:
    const wchar_t* GetWindowClassName() const override { return L"CplWtlTestFrame"; }
};

// A frame built the way the panel's main frame is: command bar in a rebar,
// three-pane status bar, splitter as the client.
class FrameTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestInstance();
        ASSERT_NE(frame.Create(TestInstance(), nullptr, {0, 0, 640, 480}, L"Frame",
                               WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0),
                  nullptr);
        ASSERT_NE(commandBar.Create(frame, WS_CHILD | WS_VISIBLE | CCS_NODIVIDER | CCS_NORESIZE |
                                               CCS_NOPARENTALIGN | CCS_TOP),
                  nullptr);
        HMENU menu = ::CreateMenu();
        HMENU file = ::CreatePopupMenu();
        ::AppendMenuW(file, MF_STRING, 0xE141, L"E&xit");
        ::AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
        ::AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(::CreatePopupMenu()), L"&Help");
        ASSERT_TRUE(commandBar.AttachMenu(menu));
        ASSERT_NE(rebar.Create(frame, 0xE800), nullptr);
        ASSERT_TRUE(rebar.AddBand(commandBar));
        ASSERT_NE(statusBar.Create(frame, 0xE801, L"Ready"), nullptr);
        const int widths[] = {0, 220, 190};
        ASSERT_TRUE(statusBar.SetPanes(widths, 3));
        ASSERT_NE(splitter.Create(TestInstance(), frame), nullptr);
        frame.m_hWndToolBar = rebar;
        frame.m_hWndStatusBar = statusBar;
        frame.m_hWndClient = splitter;
        frame.ShowWindow(SW_SHOW);
        frame.UpdateLayout();
    }

    RECT ChildRect(HWND child) const
    {
        RECT rect{};
        ::GetWindowRect(child, &rect);
        ::MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    TestFrame frame;
    WtlCommandBar commandBar;
    WtlReBar rebar;
    WtlMultiPaneStatusBar statusBar;
    WtlSplitterWindow splitter;
};

void CALLBACK EndMenuTimer(HWND, UINT, UINT_PTR, DWORD)
{
    ::EndMenu();
}

} // namespace

TEST_F(FrameTest, LayoutStacksRebarClientAndStatusBar)
{
    for (int width : {640, 900}) {
        frame.SetWindowPos(nullptr, 0, 0, width, 500, SWP_NOZORDER | SWP_NOMOVE);
        RECT client{};
        frame.GetClientRect(&client);
        const RECT bar = ChildRect(rebar);
        const RECT status = ChildRect(statusBar);
        const RECT middle = ChildRect(splitter);
        EXPECT_EQ(bar.top, 0);
        EXPECT_GT(bar.bottom, 0);
        EXPECT_EQ(middle.top, bar.bottom);
        EXPECT_EQ(middle.bottom, status.top);
        EXPECT_EQ(status.bottom, client.bottom);
        EXPECT_EQ(middle.right - middle.left, client.right);

        // Panes 1 and 2 keep their widths at the right; pane 0 takes the rest.
        int edges[3]{};
        ASSERT_EQ(statusBar.SendMessage(SB_GETPARTS, 3, reinterpret_cast<LPARAM>(edges)), 3);
        RECT statusClient{};
        statusBar.GetClientRect(&statusClient);
        EXPECT_EQ(edges[0], statusClient.right - 410);
        EXPECT_EQ(edges[1], statusClient.right - 190);
        EXPECT_EQ(edges[2], -1);
    }
}

TEST_F(FrameTest, StatusBarPanesKeepTheirTexts)
{
    EXPECT_EQ(statusBar.GetPaneText(0), L"Ready");
    EXPECT_TRUE(statusBar.SetPaneText(1, L"Streaming"));
    EXPECT_TRUE(statusBar.SetPaneText(2, L"48000 Hz"));
    EXPECT_EQ(statusBar.GetPaneText(1), L"Streaming");
    EXPECT_EQ(statusBar.GetPaneText(2), L"48000 Hz");
    EXPECT_EQ(statusBar.GetPaneText(3), L"");
    EXPECT_EQ(statusBar.GetPaneText(-1), L"");
    EXPECT_FALSE(statusBar.SetPanes(nullptr, 2));
    const int none[] = {0};
    EXPECT_FALSE(statusBar.SetPanes(none, 0));
}

TEST_F(FrameTest, CommandBarShowsTopLevelMenuItemsAndOpensThem)
{
    ASSERT_EQ(commandBar.SendMessage(TB_BUTTONCOUNT), 2);
    wchar_t text[32]{};
    const LRESULT length = commandBar.SendMessage(TB_GETBUTTONTEXTW, 0xC000, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::wstring(text, static_cast<size_t>(length > 0 ? length : 0)), L"&File");
    EXPECT_EQ(::GetParent(commandBar), rebar.m_hWnd);

    // The popup's modal loop ends when the menu is cancelled from a timer.
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 200, EndMenuTimer);
    EXPECT_TRUE(commandBar.OpenMenu(0));
    ::KillTimer(nullptr, timer);
    EXPECT_FALSE(commandBar.OpenMenu(5));
}

TEST_F(FrameTest, SplitterPlacesPanesClampsAndDrags)
{
    WtlTestHost left;
    WtlTestHost right;
    HWND leftPane = ::CreateWindowExW(0, L"STATIC", L"left", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                                      splitter, nullptr, TestInstance(), nullptr);
    HWND rightPane = ::CreateWindowExW(0, L"STATIC", L"right", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                                       splitter, nullptr, TestInstance(), nullptr);
    EXPECT_FALSE(splitter.SetSplitterPane(2, leftPane));
    ASSERT_TRUE(splitter.SetSplitterPane(WtlSplitterWindow::LeftPane, leftPane));
    ASSERT_TRUE(splitter.SetSplitterPane(WtlSplitterWindow::RightPane, rightPane));
    EXPECT_EQ(splitter.GetSplitterPane(1), rightPane);
    splitter.SetSplitterPos(150);

    RECT client{};
    splitter.GetClientRect(&client);
    auto paneRect = [&](HWND pane) {
        RECT rect{};
        ::GetWindowRect(pane, &rect);
        ::MapWindowPoints(nullptr, splitter, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    };
    EXPECT_EQ(paneRect(leftPane).right, 150);
    EXPECT_EQ(paneRect(rightPane).left, 150 + splitter.GetBarWidth());
    EXPECT_EQ(paneRect(rightPane).right, client.right);
    EXPECT_EQ(paneRect(rightPane).bottom, client.bottom);

    splitter.SetSplitterPos(100000);
    EXPECT_EQ(splitter.GetSplitterPos(), client.right - splitter.GetBarWidth());
    splitter.SetSplitterPos(-5);
    EXPECT_EQ(splitter.GetSplitterPos(), 0);

    // Drag the bar from 150 to 200.
    splitter.SetSplitterPos(150);
    splitter.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(151, 20));
    splitter.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(201, 20));
    splitter.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(201, 20));
    EXPECT_EQ(splitter.GetSplitterPos(), 200);
    EXPECT_EQ(paneRect(leftPane).right, 200);
    // A move after the button went up does nothing; a click beside the bar neither.
    splitter.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(300, 20));
    splitter.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 20));
    splitter.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(80, 20));
    EXPECT_EQ(splitter.GetSplitterPos(), 200);

    // A pane's notification goes on to the frame.
    NMHDR header{rightPane, 77, 1};
    splitter.SendMessage(WM_NOTIFY, 77, reinterpret_cast<LPARAM>(&header));
    EXPECT_EQ(frame.notifies, 1);
}

namespace {

class CountingFilter : public WtlMessageFilter
{
public:
    bool PreTranslateMessage(MSG* msg) override
    {
        ++seen;
        return msg->message == WM_APP + 1; // consumed: never dispatched
    }
    int seen = 0;
};

class QuittingIdle : public WtlIdleHandler
{
public:
    explicit QuittingIdle(WtlMessageLoop& loop) : m_loop(loop) {}
    bool OnIdle() override
    {
        ++calls;
        if (calls == 1) {
            m_loop.RemoveIdleHandler(this); // removing itself from inside the loop
            ::PostQuitMessage(9);
        }
        return false;
    }
    int calls = 0;

private:
    WtlMessageLoop& m_loop;
};

} // namespace

TEST(WtlMessageLoop, FiltersConsumeIdleRunsAndQuitCodeIsReturned)
{
    WtlTestHost host;
    ASSERT_TRUE(host.CreateHost());
    WtlMessageLoop loop;
    CountingFilter filter;
    QuittingIdle idle(loop);
    loop.AddMessageFilter(&filter);
    host.PostMessage(WM_APP + 1);
    host.PostMessage(WM_COMMAND, 33);
    loop.AddIdleHandler(&idle);
    EXPECT_EQ(loop.Run(), 9);
    EXPECT_GE(filter.seen, 2);
    EXPECT_EQ(idle.calls, 1);
    ASSERT_EQ(host.commands.size(), 1u); // the consumed message never arrived
    EXPECT_EQ(host.commands[0], 33u);
    loop.RemoveMessageFilter(&filter);
    MSG msg{host, WM_APP + 1, 0, 0, 0, {}};
    EXPECT_FALSE(loop.PreTranslateMessage(&msg));
}

namespace {

class ToolTipHost : public WtlTestHost, public WtlToolTip<ToolTipHost>
{
public:
    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override
    {
        return ProcessToolTipMessage(hwnd, message, wParam, lParam, result) ||
               WtlTestHost::ProcessWindowMessage(hwnd, message, wParam, lParam, result);
    }
};

} // namespace

TEST(WtlToolTip, BalloonToolsForControls)
{
    ToolTipHost host;
    ASSERT_TRUE(host.CreateHost());
    EXPECT_FALSE(host.AddTool(host, L"before the tip exists"));
    ASSERT_TRUE(host.CreateToolTip());
    EXPECT_EQ(::GetWindowLongPtrW(host.m_hWndToolTip, GWL_STYLE) & 0x42, 0x42);
    EXPECT_EQ(::GetWindow(host.m_hWndToolTip, GW_OWNER), host.m_hWnd);
    HWND control = ::CreateWindowExW(0, L"BUTTON", L"b", WS_CHILD | WS_VISIBLE, 0, 0, 40, 20, host,
                                     nullptr, TestInstance(), nullptr);
    EXPECT_TRUE(host.AddTool(control, L"Explains the button"));
    EXPECT_FALSE(host.AddTool(nullptr, L"no control"));
    EXPECT_EQ(::SendMessageW(host.m_hWndToolTip, TTM_GETTOOLCOUNT, 0, 0), 1);
    LRESULT result = 0;
    EXPECT_FALSE(host.ProcessToolTipMessage(host, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5), result));
    host.DestroyWindow();
    EXPECT_EQ(host.m_hWndToolTip, nullptr);
}
