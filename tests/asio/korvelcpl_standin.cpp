// Stands in for the control panel in the ASIO driver's tests: writes its
// command line to the file named by KORVEL_TEST_CPL_RECORD and exits. The
// file appears complete: it is written under another name and then renamed.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int main()
{
    wchar_t path[MAX_PATH];
    if (GetEnvironmentVariableW(L"KORVEL_TEST_CPL_RECORD", path, MAX_PATH) == 0) {
        return 1;
    }
    wchar_t partial[MAX_PATH + 8];
    std::swprintf(partial, MAX_PATH + 8, L"%ls.part", path);
    FILE* file = _wfopen(partial, L"w");
    if (file == nullptr) {
        return 2;
    }
    std::fprintf(file, "%ls\n", GetCommandLineW());
    std::fclose(file);
    return MoveFileExW(partial, path, MOVEFILE_REPLACE_EXISTING) ? 0 : 3;
}
