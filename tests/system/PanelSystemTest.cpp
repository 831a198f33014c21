// The control panel as a user runs it: quillocpl.exe beside the simulator
// and the service, each a process of its own, read from outside through its
// window (the page tree's item count works across processes).
#include "HostAsioText.h"
#include "HostChildProcess.h"
#include "MainFrame.h"
#include "SystemFixture.h"
#include "WaitFor.h"
#include "resource.h"

#include <commctrl.h>

#include <cstdio>

namespace {

constexpr DWORD START_MS = 30000; // a program start under a loaded Wine can take seconds
constexpr DWORD BACK_MS = 10000;  // "a few seconds", with a margin for a loaded machine

// An enumeration callback: stdcall on i686, so a plain function, not a lambda.
BOOL CALLBACK MatchTree(HWND window, LPARAM found)
{
    if (GetDlgCtrlID(window) == IDC_PAGE_TREE) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND PanelTree()
{
    HWND frame = FindWindowW(MainFrame::WINDOW_CLASS_NAME, nullptr);
    HWND tree = nullptr;
    if (frame != nullptr) {
        EnumChildWindows(frame, MatchTree, reinterpret_cast<LPARAM>(&tree));
    }
    return tree;
}

UINT ItemCount(HWND tree)
{
    return static_cast<UINT>(SendMessageW(tree, TVM_GETCOUNT, 0, 0));
}

class PanelSystemTest : public SystemFixture
{
protected:
    void TearDown() override
    {
        if (HWND frame = FindWindowW(MainFrame::WINDOW_CLASS_NAME, nullptr)) {
            PostMessageW(frame, WM_CLOSE, 0, 0);
        }
        if (panel.Wait(10000) == 0xFFFFFFFF) {
            panel.Terminate();
        }
        SystemFixture::TearDown();
    }

    HostChildProcess panel;
};

} // namespace

TEST_F(PanelSystemTest, AfterEveryDeviceLeftTheOpenPanelShowsTheOneThatCameBack)
{
    StartSimulatorAndService(2);
    const std::wstring command =
        L"\"" + HostAsioText::WindowsPath(QUILLOCPL_EXE_PATH) + L"\" -notray";
    ASSERT_EQ(panel.Start(command, TempFile(L"quillocpl.log")), 0u);
    // Seven fixed pages and one per device.
    HWND tree = nullptr;
    ASSERT_TRUE(quillo_test::WaitFor(
        [&] {
            tree = PanelTree();
            return tree != nullptr && ItemCount(tree) == 9;
        },
        START_MS))
        << "the panel never showed both devices";

    ASSERT_EQ(Control("unplug SIM0001").rfind("OK", 0), 0u);
    ASSERT_EQ(Control("unplug SIM0002").rfind("OK", 0), 0u);
    ASSERT_TRUE(quillo_test::WaitFor(
        [&] { return ItemCount(tree) == 0 && !IsWindowEnabled(tree); }, BACK_MS))
        << "the panel did not show that no device is left";

    ASSERT_EQ(Control("plug serial=BACK1").rfind("OK", 0), 0u);
    const ULONGLONG plugged = GetTickCount64();
    ASSERT_TRUE(quillo_test::WaitFor(
        [&] { return ItemCount(tree) == 8 && IsWindowEnabled(tree); }, BACK_MS))
        << "the open panel did not show the device again";
    std::printf("the panel showed the device %llu ms after the plug\n",
                static_cast<unsigned long long>(GetTickCount64() - plugged));
}
