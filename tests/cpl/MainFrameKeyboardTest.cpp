// The main frame's keyboard as a person uses it, keys posted and taken
// through the frame's message loop (filters, dialog navigation, translate,
// dispatch): Alt, F10 and Alt+letter reach the command bar's menus, Tab
// moves between the page tree and the page.
#include "CplCommandLine.h"
#include "InProcessSimTest.h"
#include "KorvelCplClient.h"
#include "MainFrame.h"
#include "WnPostWindowMessageThread.h"
#include "WtlMessageLoop.h"
#include "WtlTestHost.h"
#include "resource.h"

#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using cpl_test::TestInstance;

namespace {

constexpr LPARAM kAltDown = 1L << 29;       // the context code: Alt is held
constexpr LPARAM kKeyUp = (1L << 30) | (1L << 31);
constexpr UINT kEndMenuMs = 100;

// The first command of every menu that opened; each menu is ended again.
std::vector<UINT> g_openedMenus;

void CALLBACK EndMenuTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    EndMenu();
}

LRESULT CALLBACK WatchMenus(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_INITMENUPOPUP) {
        g_openedMenus.push_back(GetMenuItemID(reinterpret_cast<HMENU>(call->wParam), 0));
        SetTimer(nullptr, 0, kEndMenuMs, EndMenuTimer);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class MainFrameKeyboardTest : public InProcessSimTest
{
protected:
    void SetUp() override
    {
        InProcessSimTest::SetUp();
        Control("plug serial=KEY1");
        m_frame = std::make_unique<MainFrame>(TestInstance(), m_client, m_thread, m_commandLine,
                                              &m_loop, m_placementKey.c_str());
        ASSERT_NE(m_frame->CreateFrame(RECT{100, 100, 650, 520}), nullptr);
        m_frame->ShowWindow(SW_SHOW);
        SetForegroundWindow(m_frame->m_hWnd);
        m_frame->PageTree().SelectFirst();
        m_hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchMenus, nullptr, GetCurrentThreadId());
        g_openedMenus.clear();
    }

    void TearDown() override
    {
        if (m_hook != nullptr) {
            UnhookWindowsHookEx(m_hook);
        }
        m_frame.reset();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        RegDeleteKeyW(HKEY_CURRENT_USER, m_placementKey.c_str());
        InProcessSimTest::TearDown();
    }

    // Posts a key message to the focused window and runs the queue the way
    // the panel's loop does.
    void Key(UINT message, WPARAM key, LPARAM flags = 0)
    {
        PostMessageW(GetFocus(), message, key, 1 | flags);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!m_loop.PreTranslateMessage(&msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    }
    void AltAlone()
    {
        Key(WM_SYSKEYDOWN, VK_MENU, kAltDown);
        Key(WM_SYSKEYUP, VK_MENU, kAltDown | kKeyUp);
    }

    HWND CommandBar() const
    {
        HWND rebar = FindWindowExW(m_frame->m_hWnd, nullptr, REBARCLASSNAMEW, nullptr);
        return FindWindowExW(rebar, nullptr, TOOLBARCLASSNAMEW, nullptr);
    }
    LRESULT HotButton() const { return SendMessageW(CommandBar(), TB_GETHOTITEM, 0, 0); }
    HWND Tree() { return m_frame->PageTree().GetTree(); }
    bool FocusInPage()
    {
        FormBase* page = m_frame->CurrentPage();
        return page != nullptr && IsChild(page->GetFormWindow(), GetFocus());
    }

    std::wstring m_placementKey =
        L"Software\\VANTREL\\quillo\\cpl-keys-" + std::to_wstring(GetCurrentProcessId());
    KorvelCplClient m_client;
    WnPostWindowMessageThread m_thread;
    CplCommandLine m_commandLine{L"quillocpl.exe -notray"};
    WtlMessageLoop m_loop;
    std::unique_ptr<MainFrame> m_frame;
    HHOOK m_hook = nullptr;
};

} // namespace

TEST_F(MainFrameKeyboardTest, AltF10AndAltLetterOpenTheCommandBarsMenus)
{
    ASSERT_EQ(GetFocus(), Tree());

    // Alt alone: menu mode, the first button hot; Right, then Enter opens Help.
    AltAlone();
    EXPECT_EQ(GetFocus(), CommandBar());
    EXPECT_EQ(HotButton(), 0);
    Key(WM_KEYDOWN, VK_RIGHT);
    EXPECT_EQ(HotButton(), 1);
    Key(WM_KEYDOWN, VK_RETURN);
    EXPECT_EQ(g_openedMenus, (std::vector<UINT>{ID_APP_ABOUT}));
    EXPECT_EQ(GetFocus(), Tree()) << "the focus did not come back after the menu";
    EXPECT_EQ(HotButton(), -1);

    // F10 enters menu mode, Esc leaves it; Down opens the hot menu.
    Key(WM_SYSKEYDOWN, VK_F10);
    EXPECT_EQ(GetFocus(), CommandBar());
    EXPECT_EQ(HotButton(), 0);
    Key(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_EQ(GetFocus(), Tree());
    EXPECT_EQ(HotButton(), -1);
    AltAlone();
    Key(WM_KEYDOWN, VK_DOWN);
    EXPECT_EQ(g_openedMenus, (std::vector<UINT>{ID_APP_ABOUT, ID_APP_EXIT}));

    // Alt+H (its WM_SYSCHAR made by TranslateMessage) opens Help; the Alt
    // that was held for it is no menu-mode Alt.
    Key(WM_SYSKEYDOWN, VK_MENU, kAltDown);
    Key(WM_SYSKEYDOWN, 'H', kAltDown);
    Key(WM_SYSKEYUP, 'H', kAltDown | kKeyUp);
    Key(WM_SYSKEYUP, VK_MENU, kAltDown | kKeyUp);
    EXPECT_EQ(g_openedMenus, (std::vector<UINT>{ID_APP_ABOUT, ID_APP_EXIT, ID_APP_ABOUT}));
    EXPECT_EQ(GetFocus(), Tree());
    EXPECT_EQ(HotButton(), -1);
}

TEST_F(MainFrameKeyboardTest, TabAndShiftTabCycleBetweenThePageTreeAndThePage)
{
    ASSERT_EQ(GetFocus(), Tree());
    // Tab: into the page, on through its controls and back to the tree.
    std::vector<HWND> visited;
    for (Key(WM_KEYDOWN, VK_TAB); FocusInPage() && visited.size() < 20; Key(WM_KEYDOWN, VK_TAB)) {
        visited.push_back(GetFocus());
    }
    EXPECT_FALSE(visited.empty()) << "Tab stayed in the page tree";
    EXPECT_EQ(GetFocus(), Tree()) << "Tab did not come back from the page";

    // Shift+Tab: to the page's last tab stop, back through it to the tree.
    BYTE keys[256] = {};
    ASSERT_TRUE(GetKeyboardState(keys));
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    Key(WM_KEYDOWN, VK_TAB);
    HWND first = GetFocus();
    for (int i = 0; FocusInPage() && i < 20; ++i) {
        Key(WM_KEYDOWN, VK_TAB);
    }
    HWND back = GetFocus();
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    ASSERT_FALSE(visited.empty());
    EXPECT_EQ(first, visited.back()) << "Shift+Tab from the tree";
    EXPECT_EQ(back, Tree()) << "Shift+Tab did not come back from the page";
}
