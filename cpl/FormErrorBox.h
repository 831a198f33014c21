#pragma once
// The message boxes the pages show when a request fails or a choice is
// refused: owned by the page, captioned with the program's title.
#include <windows.h>

#include <cstdint>
#include <string>

class FormErrorBox
{
public:
    // "<message> (Status=<status name>)." and, for the statuses that need
    // an explanation (what it means, what to do), a second line with it.
    static std::wstring Text(const wchar_t* message, uint32_t status);
    // The error box of a failed request (error icon, OK).
    static void Show(HWND owner, const wchar_t* message, uint32_t status);
    // A refusal that is not a failure (warning icon, OK).
    static void ShowWarning(HWND owner, const wchar_t* text);
    // String 128 of the program, the caption of both boxes.
    static std::wstring Caption();
};
