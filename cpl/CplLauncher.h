#pragma once

#include <windows.h>

#include <string>

// What "korvelcpl.exe" does: the ASIO driver and the log-on entry start the
// control panel through it. The panel asks for administrator rights, and a
// host that is not elevated cannot create such a process directly
// (CreateProcess fails with ERROR_ELEVATION_REQUIRED); the launcher asks for
// no rights itself and starts the panel through the shell, which asks the
// user. The panel's own single-instance rule then shows a running panel.
class CplLauncher
{
public:
    // Under the product key (64-bit view): the installed panel's full path.
    static constexpr const wchar_t* PANEL_PATH_VALUE = L"ControlPanel";
    // The panel's file name, looked for beside the launcher without that value.
    static constexpr const wchar_t* PANEL_PROGRAM = L"quillocpl.exe";

    // The panel to start: the installer's registry value (REG_SZ, or
    // REG_EXPAND_SZ expanded) when it names an existing file, else the panel
    // beside `launcherPath`. Empty when neither exists.
    static std::wstring FindPanel(const std::wstring& launcherPath);

    // Everything after the program token of `commandLine` (quoted or not),
    // leading blanks dropped: the launcher hands its options on unchanged.
    static std::wstring ArgumentsOf(const wchar_t* commandLine);

    // Starts `panel` with `arguments` through the shell. 0 or the Win32
    // error (ERROR_CANCELLED when the user refused the elevation).
    static DWORD Start(const std::wstring& panel, const std::wstring& arguments);

    // The launcher's whole run: 0 when the panel was started, 1 otherwise
    // (a refusal by the user is quiet; other failures are shown).
    static int Run(const wchar_t* commandLine);
};
