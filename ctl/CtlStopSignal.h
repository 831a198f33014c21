#pragma once
// Ends the commands that run until stopped (watch, levels --watch): an event
// that Ctrl+C, Ctrl+Break or closing the console sets, and that a test sets
// directly. The commands wait on it, so a stop takes effect at once.
#include "WnEvent.h"

class CtlStopSignal
{
public:
    CtlStopSignal();
    ~CtlStopSignal();
    CtlStopSignal(const CtlStopSignal&) = delete;
    CtlStopSignal& operator=(const CtlStopSignal&) = delete;

    // Routes the console's Ctrl+C to this signal (one at a time per process).
    void CatchConsoleBreak();
    void Set() { m_event.Set(); }
    HANDLE Handle() const { return m_event.GetHandle(); }
    bool IsSet() const { return WaitForSingleObject(m_event.GetHandle(), 0) == WAIT_OBJECT_0; }

private:
    static BOOL WINAPI OnConsoleBreak(DWORD type);

    WnEvent m_event;
    bool m_catching = false;
};
