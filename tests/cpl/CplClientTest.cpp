// The panel's driver client and the thread that turns its notification event
// into window messages, against the in-process simulator: the window thread
// drains every queued notification on one message, and a message still
// queued when the connection closed finds the client closed.
#include "InProcessSimTest.h"
#include "KorvelCplClient.h"
#include "KorvelIoctl.h"
#include "KorvelMessage.h"
#include "KorvelStatus.h"
#include "WnPostWindowMessageThread.h"
#include "resource.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr DWORD kWaitMs = 10000; // far beyond a post on a loaded machine

// A message-only window that records each posted message and, when given a
// client, drains its notification queue the way the main frame does.
class DrainWindow
{
public:
    DrainWindow()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &DrainWindow::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"CplClientTestWindow";
        RegisterClassW(&wc);
        m_hwnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 wc.hInstance, nullptr);
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~DrainWindow() { DestroyWindow(m_hwnd); }

    // True once `message` waits in the queue (it is left there).
    bool WaitQueued(UINT message, DWORD timeoutMs = kWaitMs) const
    {
        const ULONGLONG end = GetTickCount64() + timeoutMs;
        MSG msg;
        while (!PeekMessageW(&msg, m_hwnd, message, message, PM_NOREMOVE)) {
            if (GetTickCount64() > end) {
                return false;
            }
            Sleep(5);
        }
        return true;
    }

    // Dispatches everything queued for the window now.
    void Pump()
    {
        MSG msg;
        while (PeekMessageW(&msg, m_hwnd, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
        }
    }

    HWND m_hwnd = nullptr;
    KorvelCplClient* m_client = nullptr;
    std::vector<size_t> m_drained;      // notifications taken per message
    std::vector<uint32_t> m_codes;      // in arrival order
    std::vector<DWORD> m_endStatus;     // the status that ended each drain
    std::vector<ULONGLONG> m_drainMs;   // how long each drain took

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<DrainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self != nullptr && message == WM_CPL_DRIVER_EVENT && wParam == 0 && lParam == 0) {
            self->Drain();
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    void Drain()
    {
        const ULONGLONG start = GetTickCount64();
        size_t taken = 0;
        DWORD status = KORVEL_STATUS_NOT_OPENED;
        KorvelMessage notification{};
        while (m_client != nullptr && (status = m_client->ReceiveNextNotification(notification)) == 0) {
            m_codes.push_back(notification.code);
            ++taken;
        }
        m_drained.push_back(taken);
        m_endStatus.push_back(status);
        m_drainMs.push_back(GetTickCount64() - start);
    }
};

class CplClientTest : public InProcessSimTest
{
protected:
    void SetUp() override
    {
        InProcessSimTest::SetUp();
        Control("plug serial=CPL1");
        ASSERT_EQ(m_client.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
        bool changed = false;
        ASSERT_EQ(m_client.RefreshDevices(changed), 0u);
        ASSERT_EQ(m_client.DeviceCount(), 1u);
        ASSERT_EQ(m_client.FlushNotifications(), 0u);
        ASSERT_NE(m_client.NotificationEvent(), nullptr);
        m_window.m_client = &m_client;
        ASSERT_EQ(m_thread.Configure(m_window.m_hwnd, m_client.NotificationEvent(), WM_CPL_DRIVER_EVENT), 0u);
        ASSERT_EQ(m_thread.Start(), 0u);
    }

    void TearDown() override
    {
        m_thread.Stop();
        m_client.CloseAll();
        InProcessSimTest::TearDown();
    }

    KorvelCplClient m_client;
    DrainWindow m_window;
    WnPostWindowMessageThread m_thread;
};

TEST_F(CplClientTest, TwoQueuedNotificationsAreDrainedByTheFirstMessage)
{
    Control("notify " + std::to_string(KORVEL_NOTIFY_SETTINGS_CHANGED));
    Control("notify " + std::to_string(KORVEL_NOTIFY_SAMPLE_RATE_CHANGED) + " CPL1");
    ASSERT_TRUE(m_window.WaitQueued(WM_CPL_DRIVER_EVENT)) << "no message for the notifications";
    // Give a second post, if the event was signalled twice, time to land too.
    Sleep(100);
    m_window.Pump();

    ASSERT_FALSE(m_window.m_drained.empty());
    EXPECT_EQ(m_window.m_drained[0], 2u);
    for (size_t i = 1; i < m_window.m_drained.size(); ++i) {
        EXPECT_EQ(m_window.m_drained[i], 0u) << "message " << i << " found the queue not empty";
    }
    for (DWORD status : m_window.m_endStatus) {
        EXPECT_EQ(status, KORVEL_STATUS_NO_MORE_ITEMS);
    }
    EXPECT_EQ(m_window.m_codes, (std::vector<uint32_t>{KORVEL_NOTIFY_SETTINGS_CHANGED,
                                                       KORVEL_NOTIFY_SAMPLE_RATE_CHANGED}));
}

TEST_F(CplClientTest, MessageQueuedAcrossTheCloseFindsTheClientClosed)
{
    Control("notify " + std::to_string(KORVEL_NOTIFY_DEVICES_CHANGED));
    ASSERT_TRUE(m_window.WaitQueued(WM_CPL_DRIVER_EVENT)) << "no message for the notification";
    // The connection closes the way the frame closes it: thread first.
    m_thread.Stop();
    EXPECT_FALSE(m_thread.IsRunning());
    m_client.CloseAll();
    m_window.Pump();

    ASSERT_EQ(m_window.m_drained.size(), 1u);
    EXPECT_EQ(m_window.m_drained[0], 0u);
    EXPECT_EQ(m_window.m_endStatus[0], KORVEL_STATUS_NOT_OPENED);
    // At once: no wait for the drain's time limit.
    EXPECT_LT(m_window.m_drainMs[0], KorvelDriver::DRAIN_TIME_LIMIT_MS / 2);
}

TEST_F(CplClientTest, ReconnectStartsTheStoppedThreadAgain)
{
    m_thread.Stop();
    m_client.CloseAll();
    ASSERT_EQ(m_client.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
    ASSERT_EQ(m_thread.Configure(m_window.m_hwnd, m_client.NotificationEvent(), WM_CPL_DRIVER_EVENT), 0u);
    ASSERT_EQ(m_thread.Start(), 0u);
    Control("notify " + std::to_string(KORVEL_NOTIFY_DEVICE_STATUS_CHANGED) + " CPL1");
    ASSERT_TRUE(m_window.WaitQueued(WM_CPL_DRIVER_EVENT)) << "no message after the reconnect";
    m_window.Pump();
    EXPECT_EQ(m_window.m_codes, std::vector<uint32_t>{KORVEL_NOTIFY_DEVICE_STATUS_CHANGED});
}

// The thread on its own: one post per signal, nothing after Stop, and the
// configuration fixed while it runs.
TEST(WnPostWindowMessageThreadTest, PostsPerSignalAndRefusesChangesWhileRunning)
{
    DrainWindow window;
    WnEvent watched;
    ASSERT_EQ(watched.Create(FALSE, FALSE), 0u);
    WnPostWindowMessageThread thread;
    EXPECT_EQ(thread.Start(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "no watched event yet";
    thread.Stop(); // nothing runs: nothing to do

    const UINT message = WM_APP + 3;
    ASSERT_EQ(thread.Configure(window.m_hwnd, watched.GetHandle(), message), 0u);
    ASSERT_EQ(thread.Start(), 0u);
    EXPECT_EQ(thread.Start(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(thread.Configure(window.m_hwnd, watched.GetHandle(), WM_APP + 4),
              static_cast<DWORD>(ERROR_BUSY));

    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(watched.Set(), 0u);
        ASSERT_TRUE(window.WaitQueued(message)) << "no post for signal " << round;
        MSG msg;
        ASSERT_TRUE(PeekMessageW(&msg, window.m_hwnd, message, message, PM_REMOVE));
        EXPECT_EQ(msg.wParam, 0u);
        EXPECT_EQ(msg.lParam, 0);
    }
    thread.Stop();
    EXPECT_FALSE(thread.IsRunning());
    // With the thread ended nothing can post any more.
    ASSERT_EQ(watched.Set(), 0u);
    Sleep(50);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, window.m_hwnd, message, message, PM_REMOVE));

    // A stop while nothing ran leaves no stale signal for the next start.
    thread.Stop();
    ASSERT_EQ(thread.Start(), 0u);
    EXPECT_TRUE(thread.IsRunning());
    ASSERT_EQ(watched.Set(), 0u);
    EXPECT_TRUE(window.WaitQueued(message)) << "no post after the restart";
}

} // namespace
