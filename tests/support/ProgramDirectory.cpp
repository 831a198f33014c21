#include "ProgramDirectory.h"

#include <windows.h>

namespace quillo_test {

std::wstring ProgramDirectory()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path, length < MAX_PATH ? length : 0);
    return directory.substr(0, directory.find_last_of(L"\\/") + 1);
}

} // namespace quillo_test
