#pragma once

#include <windows.h>

// The thread's last error after a failed call, or `fallback` when the call
// left it at 0, so that a failure is never reported as success.
inline DWORD LastErrorOr(DWORD fallback)
{
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : fallback;
}
