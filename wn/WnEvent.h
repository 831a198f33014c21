#pragma once

#include "WnHandle.h"

// Owner of an unnamed event object.
class WnEvent : public WnHandle
{
public:
    WnEvent() = default;
    ~WnEvent() override = default;

    // Closes any held handle, then creates an unnamed event with default
    // security. Returns 0 or the last error (the wrapper stays empty then).
    DWORD Create(BOOL manualReset, BOOL initialState);

    // Signal / unsignal the event: 0 or the last error.
    DWORD Set();
    DWORD Reset();
};
