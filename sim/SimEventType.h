#pragma once
// What kind of object a handle that a client registered as an event names.
// DuplicateHandle accepts any object for the access it is asked for, so a
// mutex or a thread passed as an "event" would only show later, as signals
// that fail without a word; the kernel driver checks the object instead.
#include <windows.h>

class SimEventType
{
public:
    // The access that lets IsEvent query an event's kind (not named by the
    // user-mode headers).
    static constexpr DWORD QUERY_ACCESS = 0x0001;

    // True for an event object; with `autoReset` only for an auto-reset one.
    // The handle needs QUERY_ACCESS.
    static bool IsEvent(HANDLE handle, bool autoReset);
};
