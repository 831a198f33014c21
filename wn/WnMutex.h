#pragma once

#include "WnHandle.h"

// Owner of a named or unnamed mutex.
class WnMutex : public WnHandle
{
public:
    WnMutex() = default;
    ~WnMutex() override = default;

    // Closes any held handle, then creates (or opens, when the name exists)
    // the mutex with default security. The handle is kept whenever the system
    // returns one; the result is the last error after the call, so a caller
    // sees ERROR_ALREADY_EXISTS (183) when the named mutex already existed.
    DWORD Create(BOOL initialOwner, const wchar_t* name = nullptr);
};
