#pragma once

#include <windows.h>

#include "WnMutex.h"

// One panel per session: the first start owns a mutex named after the frame's
// window class; later starts find the running frame by that class and raise
// it, and a "-exit" start closes it.
class CplSingleInstance
{
public:
    // How long "-exit" keeps asking, and the pause after each request.
    static constexpr DWORD EXIT_BUDGET_MS = 10000;
    static constexpr DWORD EXIT_PAUSE_MS = 200;

    // Sends WM_CLOSE to each top-level window of `className` until none is
    // left (0) or the budget is spent (1). A frame that does not answer
    // within the remaining budget counts as not closed, so a hung instance
    // cannot hang the "-exit" start.
    static int CloseRunning(const wchar_t* className, DWORD budgetMs = EXIT_BUDGET_MS,
                            DWORD pauseMs = EXIT_PAUSE_MS);

    // Shows the running frame's last active pop-up in front, restoring the
    // frame if it is minimised. False when no such window exists (yet).
    static bool RaiseRunning(const wchar_t* className);

    // Creates the mutex `name`, owned, and keeps it for the object's life.
    // True only for the first instance: false when the mutex existed already
    // or could not be created.
    bool Claim(const wchar_t* name);

private:
    WnMutex m_mutex;
};
