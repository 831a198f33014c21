#include "MessageBoxWatcher.h"

#include <algorithm>
#include <utility>

namespace cpl_test {

namespace {

// Control ids of a message box's text and icon.
constexpr int kBoxTextId = 0xFFFF;
constexpr int kBoxIconId = 0x0440;
constexpr DWORD kPollMs = 20;

std::wstring WindowText(HWND window)
{
    wchar_t text[1024] = {};
    ::GetWindowTextW(window, text, 1024);
    return text;
}

bool IsMessageBox(HWND window)
{
    wchar_t className[16] = {};
    ::GetClassNameW(window, className, 16);
    return std::wstring(className) == L"#32770" && ::IsWindowVisible(window) &&
           ::GetDlgItem(window, kBoxTextId) != nullptr;
}

// An enumeration callback: stdcall on i686, so a plain function, not a lambda.
BOOL CALLBACK CollectMessageBox(HWND window, LPARAM found)
{
    if (IsMessageBox(window)) {
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    }
    return TRUE;
}

} // namespace

MessageBoxWatcher::MessageBoxWatcher(std::function<void(HWND box)> beforeAnswer)
    : m_threadId(::GetCurrentThreadId()), m_beforeAnswer(std::move(beforeAnswer)),
      m_stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_thread([this] { Watch(); })
{
}

MessageBoxWatcher::~MessageBoxWatcher()
{
    ::SetEvent(m_stop);
    m_thread.join();
    ::CloseHandle(m_stop);
}

std::vector<MessageBoxWatcher::Box> MessageBoxWatcher::Boxes()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_boxes;
}

HICON MessageBoxWatcher::ErrorIcon()
{
    return ::LoadIconW(nullptr, IDI_ERROR);
}

HICON MessageBoxWatcher::WarningIcon()
{
    return ::LoadIconW(nullptr, IDI_WARNING);
}

void MessageBoxWatcher::Watch()
{
    while (::WaitForSingleObject(m_stop, kPollMs) == WAIT_TIMEOUT) {
        std::vector<HWND> boxes;
        ::EnumThreadWindows(m_threadId, CollectMessageBox, reinterpret_cast<LPARAM>(&boxes));
        {
            std::lock_guard<std::mutex> guard(m_lock);
            // Handles of closed boxes may come back for later ones.
            std::erase_if(m_answered, [](HWND box) { return !::IsWindow(box); });
        }
        for (HWND box : boxes) {
            Answer(box);
        }
    }
}

void MessageBoxWatcher::Answer(HWND box)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        // A box stays listed until its thread has handled the OK.
        if (std::find(m_answered.begin(), m_answered.end(), box) != m_answered.end()) {
            return;
        }
        m_answered.push_back(box);
        Box seen{::GetWindow(box, GW_OWNER), WindowText(box),
                 WindowText(::GetDlgItem(box, kBoxTextId)),
                 reinterpret_cast<HICON>(::SendDlgItemMessageW(box, kBoxIconId, STM_GETICON, 0, 0))};
        m_boxes.push_back(seen);
    }
    if (m_beforeAnswer) {
        m_beforeAnswer(box);
    }
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

} // namespace cpl_test
