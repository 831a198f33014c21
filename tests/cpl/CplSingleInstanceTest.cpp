#include "CplSingleInstance.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Stands in for a running frame: a top-level window of a class of the
// test's own, which either closes on WM_CLOSE or refuses to.
class RunningFrame
{
public:
    explicit RunningFrame(bool closes)
    {
        m_className = L"QuilloCplInstanceTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                      std::to_wstring(++s_counter);
        WNDCLASSW wc{};
        wc.lpfnWndProc = closes ? &DefWindowProcW : &RefusingProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = m_className.c_str();
        RegisterClassW(&wc);
        m_hwnd = CreateWindowExW(0, m_className.c_str(), L"frame", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                 200, nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~RunningFrame()
    {
        if (IsWindow(m_hwnd)) {
            DestroyWindow(m_hwnd);
        }
        UnregisterClassW(m_className.c_str(), GetModuleHandleW(nullptr));
    }

    HWND Window() const { return m_hwnd; }
    const wchar_t* ClassName() const { return m_className.c_str(); }

private:
    static LRESULT CALLBACK RefusingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        return message == WM_CLOSE ? 0 : DefWindowProcW(hwnd, message, wParam, lParam);
    }

    static inline int s_counter = 0;
    std::wstring m_className;
    HWND m_hwnd = nullptr;
};

} // namespace

TEST(CplSingleInstanceTest, OnlyTheFirstClaimOfTheNameSucceeds)
{
    std::wstring name = L"QuilloCplInstanceMutex-" + std::to_wstring(GetCurrentProcessId());
    CplSingleInstance first;
    CplSingleInstance second;
    EXPECT_TRUE(first.Claim(name.c_str()));
    EXPECT_FALSE(second.Claim(name.c_str()));
}

TEST(CplSingleInstanceTest, ExitEndsWithZeroWhenNoneRunsOrTheFrameCloses)
{
    EXPECT_EQ(CplSingleInstance::CloseRunning(L"QuilloCplNoSuchClass", 1000, 10), 0);
    RunningFrame frame(true);
    ASSERT_NE(frame.Window(), nullptr);
    EXPECT_EQ(CplSingleInstance::CloseRunning(frame.ClassName(), 1000, 10), 0);
    EXPECT_FALSE(IsWindow(frame.Window()));
}

TEST(CplSingleInstanceTest, ExitGivesUpWithOneWhenTheFrameStays)
{
    RunningFrame frame(false);
    ASSERT_NE(frame.Window(), nullptr);
    DWORD start = GetTickCount();
    EXPECT_EQ(CplSingleInstance::CloseRunning(frame.ClassName(), 600, 200), 1);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 500u) << "gave up before the budget was spent";
    EXPECT_LT(elapsed, 10000u);
    EXPECT_TRUE(IsWindow(frame.Window()));
}

TEST(CplSingleInstanceTest, RaiseRestoresAMinimisedFrameAndFindsNothingWithoutOne)
{
    EXPECT_FALSE(CplSingleInstance::RaiseRunning(L"QuilloCplNoSuchClass"));
    RunningFrame frame(true);
    ASSERT_NE(frame.Window(), nullptr);
    ShowWindow(frame.Window(), SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(IsIconic(frame.Window()));
    EXPECT_TRUE(CplSingleInstance::RaiseRunning(frame.ClassName()));
    EXPECT_FALSE(IsIconic(frame.Window()));
    EXPECT_TRUE(IsWindowVisible(frame.Window()));
}
