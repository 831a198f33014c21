#pragma once
// An auto-reset event, as the deliverables register them.
#include <windows.h>

struct SimTestEvent
{
    SimTestEvent() : handle(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~SimTestEvent() { CloseHandle(handle); }
    SimTestEvent(const SimTestEvent&) = delete;
    SimTestEvent& operator=(const SimTestEvent&) = delete;

    bool Signalled(DWORD ms = 2000) const
    {
        return WaitForSingleObject(handle, ms) == WAIT_OBJECT_0;
    }
    HANDLE handle;
};
