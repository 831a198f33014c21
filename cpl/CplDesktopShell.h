#pragma once
// Opens an address the way the user's desktop would. The panel runs
// elevated, and a browser that ShellExecute starts from it would run with
// administrator rights too; so an elevated process asks the desktop's own
// shell (Explorer, which runs unelevated) to open it instead, and opens it
// itself only when it is not elevated or the desktop cannot be asked.
#include <windows.h>

class CplDesktopShell
{
public:
    virtual ~CplDesktopShell() = default;

    // S_OK when a shell took the address; E_INVALIDARG for an empty one,
    // which nothing is asked to open.
    HRESULT Open(const wchar_t* address);

protected:
    virtual bool IsElevated();
    // IShellWindows -> the desktop's browser -> its view -> IShellDispatch2;
    // S_OK only when the desktop's shell opened the address.
    virtual HRESULT OpenThroughDesktop(const wchar_t* address);
    virtual HRESULT OpenDirectly(const wchar_t* address);
};
