#pragma once
// The panel process: its command line, the single-instance claim, the shared
// driver client and event thread, and the run of the main frame. Everything
// the process shares lives here and is handed to the frame by reference.
#include <windows.h>

#include "CplCommandLine.h"
#include "CplSingleInstance.h"
#include "KorvelCplClient.h"
#include "WnPostWindowMessageThread.h"

class CplApp
{
public:
    // Frame size at start (at 96 DPI, scaled to the screen's) and its
    // fallback place when the desktop is unknown.
    static constexpr int FRAME_CX = 550;
    static constexpr int FRAME_CY = 420;

    CplApp(HINSTANCE instance, const wchar_t* commandLine);

    // 0 when "-exit" found nothing left running, 1 when it gave up, when
    // another instance runs or the frame cannot be created; else the
    // message loop's result (1 after a normal close).
    int Run();

    // The frame's starting rectangle: centred on the desktop window.
    static RECT InitialFrameRect();

private:
    HINSTANCE m_instance;
    CplCommandLine m_commandLine;
    CplSingleInstance m_instanceClaim;
    KorvelCplClient m_client;
    WnPostWindowMessageThread m_eventThread;
};
