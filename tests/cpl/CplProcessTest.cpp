// quillocpl.exe as a process of its own: the single-instance rule, "-exit",
// the options, and the close box with and without the tray icon. The panel
// runs without a driver here (no simulator named): its start-up and shut-down
// do not depend on one.
#include "ProgramDirectory.h"
#include "WaitFor.h"

#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr const wchar_t* kFrameClass = L"{1858C56E-18B4-4dad-A4A9-1BD177D41428}";
// A program start under a loaded Wine can take seconds; these are far beyond.
constexpr DWORD kStartMs = 30000;
constexpr DWORD kEndMs = 30000;

HWND FindFrame()
{
    return FindWindowW(kFrameClass, nullptr);
}

// One started quillocpl.exe; ended by its handle if a test left it running.
class PanelProcess
{
public:
    explicit PanelProcess(const std::wstring& arguments)
    {
        std::wstring line = L"\"" + quillo_test::ProgramDirectory() +
                            L"..\\..\\cpl\\quillocpl.exe\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        m_started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &m_info) != FALSE;
    }
    ~PanelProcess()
    {
        if (m_started) {
            if (WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(m_info.hProcess, 99);
                WaitForSingleObject(m_info.hProcess, kEndMs);
            }
            CloseHandle(m_info.hThread);
            CloseHandle(m_info.hProcess);
        }
    }

    bool Started() const { return m_started; }
    bool Running() const { return WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT; }

    // The exit code once the process ended within timeoutMs; -1 if it did not.
    // Window messages of the test thread are dispatched meanwhile, so that a
    // window of the test can answer the process.
    long ExitCode(DWORD timeoutMs = kEndMs) const
    {
        const ULONGLONG end = GetTickCount64() + timeoutMs;
        for (;;) {
            DWORD left = static_cast<DWORD>(end > GetTickCount64() ? end - GetTickCount64() : 0);
            DWORD wait = MsgWaitForMultipleObjects(1, &m_info.hProcess, FALSE, left, QS_ALLINPUT);
            if (wait == WAIT_OBJECT_0) {
                DWORD code = 0;
                GetExitCodeProcess(m_info.hProcess, &code);
                return static_cast<long>(code);
            }
            if (wait != WAIT_OBJECT_0 + 1) {
                return -1;
            }
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&msg);
            }
        }
    }

    // The frame window once this process has created it; null after kStartMs.
    HWND WaitFrame() const
    {
        HWND frame = nullptr;
        quillo_test::WaitFor(
            [&] {
                frame = FindFrame();
                DWORD owner = 0;
                if (frame != nullptr) {
                    GetWindowThreadProcessId(frame, &owner);
                }
                return frame != nullptr && owner == m_info.dwProcessId;
            },
            kStartMs);
        return frame;
    }

private:
    PROCESS_INFORMATION m_info{};
    bool m_started = false;
};

class CplProcessTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The panel runs without a simulator: no driver connection to wait for.
        SetEnvironmentVariableW(L"KORVEL_SIMULATOR", nullptr);
        ASSERT_EQ(FindFrame(), nullptr) << "a panel from elsewhere is running";
    }
};

long RunToEnd(const std::wstring& arguments)
{
    PanelProcess process(arguments);
    if (!process.Started()) {
        return -2;
    }
    return process.ExitCode();
}

} // namespace

TEST_F(CplProcessTest, SecondStartEndsWithOneAlsoHiddenAndRaisesTheFirst)
{
    PanelProcess first(L"-notray -hide");
    ASSERT_TRUE(first.Started());
    HWND frame = first.WaitFrame();
    ASSERT_NE(frame, nullptr) << "the first panel never showed its frame";
    EXPECT_FALSE(IsWindowVisible(frame)) << "-hide starts hidden";

    EXPECT_EQ(RunToEnd(L"-HIDE"), 1) << "second start with -hide";
    EXPECT_TRUE(first.Running());
    // The plain second start raises the first instance's window.
    EXPECT_EQ(RunToEnd(L"-asio"), 1) << "second start from the ASIO driver";
    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(IsWindowVisible(frame)) << "the second start did not show the first";
    EXPECT_EQ(FindFrame(), frame) << "one frame only";
}

TEST_F(CplProcessTest, ExitClosesTheRunningInstanceAndEndsWithZero)
{
    EXPECT_EQ(RunToEnd(L"-exit"), 0) << "-exit with no instance";

    PanelProcess first(L"-notray");
    ASSERT_TRUE(first.Started());
    ASSERT_NE(first.WaitFrame(), nullptr) << "the panel never showed its frame";
    EXPECT_EQ(RunToEnd(L"-Exit -hide"), 0) << "-exit against a running instance";
    // WM_CLOSE destroys the frame; the message loop ends with 1.
    EXPECT_EQ(first.ExitCode(), 1);
    EXPECT_EQ(FindFrame(), nullptr);
}

LRESULT CALLBACK RefuseClose(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return message == WM_CLOSE ? 0 : DefWindowProcW(hwnd, message, wParam, lParam);
}

// A window of the frame's class that refuses to close: "-exit" gives up.
TEST_F(CplProcessTest, ExitGivesUpOnAnInstanceThatStaysAndEndsWithOne)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = &RefuseClose;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kFrameClass;
    ASSERT_NE(RegisterClassW(&wc), 0);
    HWND stubborn = CreateWindowExW(0, kFrameClass, L"stays", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                                    100, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(stubborn, nullptr);

    const ULONGLONG start = GetTickCount64();
    PanelProcess exit(L"-exit");
    ASSERT_TRUE(exit.Started());
    EXPECT_EQ(exit.ExitCode(), 1);
    // Fifty tries 200 ms apart; no end long before that.
    EXPECT_GE(GetTickCount64() - start, 9000u);
    EXPECT_TRUE(IsWindow(stubborn));
    DestroyWindow(stubborn);
    UnregisterClassW(kFrameClass, wc.hInstance);
}

// The mutex exists but its owner has no window (yet): the start ends with 1.
TEST_F(CplProcessTest, MutexWithoutWindowEndsTheStartWithOne)
{
    HANDLE mutex = CreateMutexW(nullptr, TRUE, kFrameClass);
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(RunToEnd(L""), 1);
    EXPECT_EQ(FindFrame(), nullptr) << "the start made a window anyway";
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

TEST_F(CplProcessTest, OptionsAreWholeWordsInAnyCase)
{
    // "-hidex" is no option: the frame shows. "-NOTRAY" is one.
    PanelProcess panel(L"-hidex -NOTRAY");
    ASSERT_TRUE(panel.Started());
    HWND frame = panel.WaitFrame();
    ASSERT_NE(frame, nullptr) << "the panel never showed its frame";
    EXPECT_TRUE(quillo_test::WaitFor([&] { return IsWindowVisible(frame) != FALSE; }, kStartMs))
        << "-hidex hid the frame";
    // Without a tray icon the close box ends the program.
    PostMessageW(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(panel.ExitCode(), 1);
}

// Whether the shell here takes a notification icon (Wine's null graphics
// driver has no tray and refuses it).
bool ShellTakesTrayIcons()
{
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = 1;
    data.uFlags = NIF_ICON | NIF_TIP;
    data.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    const bool taken = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    if (taken) {
        Shell_NotifyIconW(NIM_DELETE, &data);
    }
    DestroyWindow(window);
    return taken;
}

TEST_F(CplProcessTest, CloseBoxWithTheTrayIconOnlyHidesAndExitEnds)
{
    PanelProcess panel(L"");
    ASSERT_TRUE(panel.Started());
    HWND frame = panel.WaitFrame();
    ASSERT_NE(frame, nullptr) << "the panel never showed its frame";
    ASSERT_TRUE(quillo_test::WaitFor([&] { return IsWindowVisible(frame) != FALSE; }, kStartMs));
    PostMessageW(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (!ShellTakesTrayIcons()) {
        // No icon to come back from: the close box ends the program as
        // with "-notray" rather than hiding the window out of reach.
        EXPECT_EQ(panel.ExitCode(), 1);
        return;
    }
    EXPECT_TRUE(quillo_test::WaitFor([&] { return IsWindowVisible(frame) == FALSE; }, kStartMs))
        << "the close box left the frame shown";
    Sleep(500); // long enough for a wrongly destroyed frame to end the process
    EXPECT_TRUE(panel.Running()) << "the close box ended the program despite the tray icon";
    // The tray menu's "Exit".
    PostMessageW(frame, WM_COMMAND, 0xE141, 0);
    EXPECT_EQ(panel.ExitCode(), 1);
}
