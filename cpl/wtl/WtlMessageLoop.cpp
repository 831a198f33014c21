#include "WtlMessageLoop.h"

#include <algorithm>

namespace {

constexpr ATOM DialogClassAtom = 32770; // the "#32770" class of dialogs

template <class T>
void Remove(std::vector<T*>& list, T* item)
{
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

// The outermost dialog among `hwnd` and its parents (a page inside a frame:
// the page), or null when no dialog holds the window.
HWND HoldingDialog(HWND hwnd)
{
    HWND dialog = nullptr;
    for (HWND window = hwnd; window != nullptr; window = ::GetParent(window)) {
        if (::GetClassLongPtrW(window, GCW_ATOM) == DialogClassAtom)
            dialog = window;
        if (!(::GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD))
            break;
    }
    return dialog;
}

} // namespace

void WtlMessageLoop::AddMessageFilter(WtlMessageFilter* filter)
{
    m_filters.push_back(filter);
}

void WtlMessageLoop::RemoveMessageFilter(WtlMessageFilter* filter)
{
    Remove(m_filters, filter);
}

void WtlMessageLoop::AddIdleHandler(WtlIdleHandler* handler)
{
    m_idleHandlers.push_back(handler);
}

void WtlMessageLoop::RemoveIdleHandler(WtlIdleHandler* handler)
{
    Remove(m_idleHandlers, handler);
}

bool WtlMessageLoop::PreTranslateMessage(MSG* msg)
{
    // A copy: a filter may remove itself or others.
    const std::vector<WtlMessageFilter*> filters = m_filters;
    for (WtlMessageFilter* filter : filters) {
        if (std::find(m_filters.begin(), m_filters.end(), filter) != m_filters.end() &&
            filter->PreTranslateMessage(msg))
            return true;
    }
    if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) {
        HWND dialog = HoldingDialog(msg->hwnd);
        if (dialog != nullptr && ::IsDialogMessageW(dialog, msg))
            return true;
    }
    return false;
}

bool WtlMessageLoop::OnIdle()
{
    const std::vector<WtlIdleHandler*> handlers = m_idleHandlers;
    bool more = false;
    for (WtlIdleHandler* handler : handlers) {
        if (std::find(m_idleHandlers.begin(), m_idleHandlers.end(), handler) != m_idleHandlers.end())
            more = handler->OnIdle() || more;
    }
    return more;
}

int WtlMessageLoop::Run()
{
    MSG msg{};
    bool idle = true;
    for (;;) {
        while (idle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
            idle = OnIdle();
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1)
            continue; // an invalid filter; nothing to dispatch
        if (got == 0)
            return static_cast<int>(msg.wParam);
        if (!PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        idle = true;
    }
}
