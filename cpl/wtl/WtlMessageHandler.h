#pragma once

#include <windows.h>

// A window's message map. Returns true when the message was handled; `result`
// is then the message's result. A class handles what it knows and passes the
// rest on to its base's or its mixins' ProcessWindowMessage (a chain).
class WtlMessageHandler
{
public:
    virtual bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                      LRESULT& result) = 0;

protected:
    ~WtlMessageHandler() = default;
};
