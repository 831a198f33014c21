#pragma once
// The setup files: read whole with a size limit (a file far larger than any
// setup is refused before it is parsed), and written through a temporary
// file that replaces the old one only once it is complete, so that a failed
// save never leaves half a file behind.
#include <windows.h>

#include <string>

class CtlFile
{
public:
    static constexpr DWORD MAX_BYTES = 1024 * 1024;

    // 0, or the Windows error (ERROR_FILE_TOO_LARGE above MAX_BYTES).
    static DWORD Read(const std::wstring& path, std::string& text);
    static DWORD Write(const std::wstring& path, const std::string& text);
};
