#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WtlMinMaxTrackSize.h"
#include "WtlTrayIcon.h"

namespace {

struct TrayOwner : WtlTrayIcon<TrayOwner>
{
    void OnTrayIconNotify(UINT mouseMessage) { last = mouseMessage; }
    HWND m_hWnd = nullptr;
    UINT last = 0;
};

// Answers the shell calls itself and records them.
struct RecordingTrayOwner : WtlTrayIcon<RecordingTrayOwner>
{
    void OnTrayIconNotify(UINT) {}
    BOOL NotifyShell(DWORD command, NOTIFYICONDATAW*)
    {
        calls.push_back(command);
        return command == NIM_ADD ? acceptAdd : acceptOthers;
    }
    HWND m_hWnd = nullptr;
    std::vector<DWORD> calls;
    BOOL acceptAdd = FALSE;
    BOOL acceptOthers = TRUE;
};

struct TrackOwner : WtlMinMaxTrackSize<TrackOwner>
{
};

} // namespace

TEST(WtlMinMaxTrackSizeTest, SetsOnlyTheSizesThatAreSet)
{
    TrackOwner owner;
    owner.SetMinTrackSize(550, 420);
    MINMAXINFO info{};
    info.ptMaxTrackSize = {3000, 2000};
    LRESULT result = 1;
    ASSERT_TRUE(owner.ProcessMinMaxTrackSizeMessage(nullptr, WM_GETMINMAXINFO, 0,
                                                    reinterpret_cast<LPARAM>(&info), result));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(info.ptMinTrackSize.x, 550);
    EXPECT_EQ(info.ptMinTrackSize.y, 420);
    EXPECT_EQ(info.ptMaxTrackSize.x, 3000) << "an unset maximum was changed";
    EXPECT_FALSE(owner.ProcessMinMaxTrackSizeMessage(nullptr, WM_SIZE, 0, 0, result));
}

TEST(WtlTrayIconTest, RecordHasTheShellsSizeAndTheTipIsCut)
{
#ifndef _WIN64
    static_assert(WtlTrayIcon<TrayOwner>::ICON_DATA_SIZE == 936);
#endif
    TrayOwner owner;
    owner.m_hWnd = CreateWindowExW(0, L"STATIC", L"tray", 0, 0, 0, 10, 10, nullptr, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner.m_hWnd, nullptr);
    std::wstring tip(300, L'q');
    const bool installed =
        owner.InstallIcon(tip.c_str(), LoadIconW(nullptr, IDI_APPLICATION), 205, 0x464);
    EXPECT_EQ(owner.IsIconInstalled(), installed);
    EXPECT_EQ(owner.GetIconData().cbSize, WtlTrayIcon<TrayOwner>::ICON_DATA_SIZE);
    EXPECT_EQ(std::wstring(owner.GetIconData().szTip), std::wstring(127, L'q'));

    // The callback reaches the owner only for this icon, and only while it is
    // installed (the null graphics driver's shell may refuse it).
    LRESULT result = 0;
    EXPECT_FALSE(owner.ProcessTrayIconMessage(owner.m_hWnd, 0x464, 7, WM_RBUTTONUP, result));
    EXPECT_EQ(owner.ProcessTrayIconMessage(owner.m_hWnd, 0x464, 205, WM_RBUTTONUP, result),
              installed);
    EXPECT_EQ(owner.last, installed ? static_cast<UINT>(WM_RBUTTONUP) : 0u);
    owner.RemoveIcon();
    EXPECT_FALSE(owner.IsIconInstalled());
    EXPECT_FALSE(owner.ProcessTrayIconMessage(owner.m_hWnd, 0x464, 205, WM_RBUTTONUP, result));
    DestroyWindow(owner.m_hWnd);
}

TEST(WtlTrayIconTest, TaskbarCreatedAddsTheWantedIconAgain)
{
    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    RecordingTrayOwner owner;
    LRESULT result = 0;
    auto shellStarted = [&] {
        // Left unhandled: other parts of the window may care too.
        EXPECT_FALSE(owner.ProcessTrayIconMessage(nullptr, taskbarCreated, 0, 0, result));
    };

    // Refused at start (no shell yet): the shell's start adds it.
    EXPECT_FALSE(owner.InstallIcon(L"tip", nullptr, 205, 0x464));
    owner.acceptAdd = TRUE;
    shellStarted();
    EXPECT_TRUE(owner.IsIconInstalled());
    EXPECT_EQ(owner.calls, (std::vector<DWORD>{NIM_ADD, NIM_ADD}));

    // A restarted shell has forgotten the icon.
    shellStarted();
    EXPECT_TRUE(owner.IsIconInstalled());
    EXPECT_EQ(owner.calls.back(), static_cast<DWORD>(NIM_ADD));

    // A shell that kept it refuses the add; the icon is still there.
    owner.acceptAdd = FALSE;
    owner.calls.clear();
    shellStarted();
    EXPECT_EQ(owner.calls, (std::vector<DWORD>{NIM_ADD, NIM_MODIFY}));
    EXPECT_TRUE(owner.IsIconInstalled());

    // A removed icon stays removed.
    owner.acceptAdd = TRUE;
    owner.RemoveIcon();
    owner.calls.clear();
    shellStarted();
    EXPECT_TRUE(owner.calls.empty());
    EXPECT_FALSE(owner.IsIconInstalled());
}
