// The control panel's process entry: COM, the common controls, then the run.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "CplApp.h"
#include "KorvelLog.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    (void)CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // One call with no window sets up the wide-character window layer.
    (void)DefWindowProcW(nullptr, 0, 0, 0);
    INITCOMMONCONTROLSEX controls = {sizeof(controls),
                                     ICC_BAR_CLASSES | ICC_COOL_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    int result = 0;
    {
        // The diagnostic log, when turned on, for as long as the panel runs.
        KorvelLogSession log;
        CplApp app(instance, GetCommandLineW());
        result = app.Run();
    }
    CoUninitialize();
    return result;
}
