#pragma once
// Answers the message boxes that a page opens on the test's thread: a second
// thread finds each box among the thread's top-level windows, records its
// caption, text and icon, and presses OK, so the page's handler returns.
#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace cpl_test {

class MessageBoxWatcher
{
public:
    struct Box
    {
        HWND owner;
        std::wstring caption;
        std::wstring text;
        HICON icon;
    };

    // Watches the calling thread's windows until destroyed. `beforeAnswer`
    // runs on the watcher's thread with each box before its OK is pressed:
    // what happens while a box is open.
    explicit MessageBoxWatcher(std::function<void(HWND box)> beforeAnswer = nullptr);
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    // The boxes answered so far, oldest first.
    std::vector<Box> Boxes();

    // The system's icon of a box shown with MB_ICONERROR / MB_ICONEXCLAMATION.
    static HICON ErrorIcon();
    static HICON WarningIcon();

private:
    void Watch();
    void Answer(HWND box);

    DWORD m_threadId;
    std::function<void(HWND)> m_beforeAnswer;
    HANDLE m_stop;
    std::mutex m_lock;
    std::vector<Box> m_boxes;
    std::vector<HWND> m_answered;
    std::thread m_thread;
};

} // namespace cpl_test
