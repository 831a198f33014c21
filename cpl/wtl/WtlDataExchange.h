#pragma once

#include <windows.h>

#include <string>

// Data exchange between a dialog's controls and values: `save` reads the
// control into the value, otherwise the value goes into the control. Each
// returns false when the control does not exist (the value is then unchanged).
class WtlDataExchange
{
public:
    static bool Check(HWND dialog, int id, bool& value, bool save);
    // The group of auto radio buttons that starts at `firstId` and runs up to
    // the next control with WS_GROUP: `value` is the index of the checked
    // one, -1 for none.
    static bool Radio(HWND dialog, int firstId, int& value, bool save);
    static bool Text(HWND dialog, int id, std::wstring& value, bool save);
};
