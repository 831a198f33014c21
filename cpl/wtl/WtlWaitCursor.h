#pragma once
// The wait cursor for the life of the object, the previous cursor after it:
// around a request the window waits for (the service's answer), so the user
// sees at once that the panel is busy, not frozen.
#include <windows.h>

class WtlWaitCursor
{
public:
    WtlWaitCursor() : m_previous(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
    ~WtlWaitCursor() { ::SetCursor(m_previous); }
    WtlWaitCursor(const WtlWaitCursor&) = delete;
    WtlWaitCursor& operator=(const WtlWaitCursor&) = delete;

    // Runs `request` under the wait cursor and returns its result.
    template <class Request>
    static auto During(Request&& request)
    {
        const WtlWaitCursor busy;
        return request();
    }

private:
    HCURSOR m_previous;
};
