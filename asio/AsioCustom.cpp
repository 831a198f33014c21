#include "AsioCustom.h"

#include "KorvelIoctl.h"

#include <cwchar>

namespace {
constexpr size_t COMMAND_LINE_CHARS = 260;
constexpr const wchar_t* PANEL_PROGRAM = L"korvelcpl.exe";
constexpr const wchar_t* PANEL_OPTION = L"-asio";
} // namespace

const wchar_t* AsioCustom::getName()
{
    return L"Brindle ASIO Driver";
}

const wchar_t* AsioCustom::getDeviceName()
{
    return KORVEL_ASIO_CONTROL_DEVICE_NAME;
}

long AsioCustom::launchControlPanel(HMODULE, const wchar_t* directory)
{
    wchar_t commandLine[COMMAND_LINE_CHARS];
    int length = std::swprintf(commandLine, COMMAND_LINE_CHARS, L"\"%ls%ls\" %ls", directory,
                               PANEL_PROGRAM, PANEL_OPTION);
    if (length < 0) {
        return 0; // a directory too long for the command line: nothing to start
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                       nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return 0;
}
