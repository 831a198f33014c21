#include "WtlWindowImpl.h"

#include <gtest/gtest.h>

namespace {

// A plain window that counts what reaches its map.
class CountingWindow : public WtlWindowImpl
{
public:
    bool ProcessWindowMessage(HWND, UINT message, WPARAM, LPARAM, LRESULT& result) override
    {
        if (message == WM_USER + 1) {
            ++userMessages;
            result = 42;
            return true;
        }
        return false;
    }
    int userMessages = 0;
    int finalMessages = 0;
    HWND finalHwnd = nullptr;

protected:
    const wchar_t* GetWindowClassName() const override { return L"CplWtlTestCountingWindow"; }
    void OnFinalMessage(HWND hwnd) override
    {
        ++finalMessages;
        finalHwnd = hwnd;
    }
};

} // namespace

TEST(WtlWindowImpl, RoutesMessagesAndEndsWithFinalMessage)
{
    CountingWindow window;
    HWND hwnd = window.Create(::GetModuleHandleW(nullptr), nullptr, {0, 0, 200, 100}, L"Counting",
                              WS_OVERLAPPEDWINDOW, 0);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(window.m_hWnd, hwnd);
    EXPECT_EQ(window.SendMessage(WM_USER + 1), 42);
    EXPECT_EQ(window.userMessages, 1);
    EXPECT_EQ(window.GetWindowText(), L"Counting");
    EXPECT_TRUE(window.DestroyWindow());
    EXPECT_EQ(window.m_hWnd, nullptr);
    EXPECT_EQ(window.finalMessages, 1);
    EXPECT_EQ(window.finalHwnd, hwnd);
}
