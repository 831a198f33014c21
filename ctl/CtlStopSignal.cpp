#include "CtlStopSignal.h"

#include <atomic>

namespace {
// The console handler is a plain function: it finds the signal here.
std::atomic<HANDLE> g_consoleStop{nullptr};
} // namespace

CtlStopSignal::CtlStopSignal()
{
    (void)m_event.Create(TRUE, FALSE);
}

CtlStopSignal::~CtlStopSignal()
{
    if (m_catching) {
        SetConsoleCtrlHandler(OnConsoleBreak, FALSE);
        g_consoleStop.store(nullptr);
    }
}

void CtlStopSignal::CatchConsoleBreak()
{
    g_consoleStop.store(m_event.GetHandle());
    m_catching = SetConsoleCtrlHandler(OnConsoleBreak, TRUE) != FALSE;
}

BOOL WINAPI CtlStopSignal::OnConsoleBreak(DWORD type)
{
    HANDLE stop = g_consoleStop.load();
    if (stop == nullptr) {
        return FALSE;
    }
    SetEvent(stop);
    // Ctrl+C and Ctrl+Break are handled: the command ends by itself. A
    // closing console ends the process anyway, after this returns.
    return type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT;
}
