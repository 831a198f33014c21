#pragma once

#include "WtlIdleHandler.h"
#include "WtlMessageFilter.h"

#include <windows.h>

#include <vector>

// The thread's message loop: filters first (in the order added), then the
// keyboard navigation of the dialog that holds the target window, then
// translate and dispatch. Idle handlers run when the queue becomes empty.
// Handlers may be added or removed from inside a callback.
class WtlMessageLoop
{
public:
    void AddMessageFilter(WtlMessageFilter* filter);
    void RemoveMessageFilter(WtlMessageFilter* filter);
    void AddIdleHandler(WtlIdleHandler* handler);
    void RemoveIdleHandler(WtlIdleHandler* handler);

    // Runs until WM_QUIT and returns its wParam.
    int Run();

    // One message through filters and dialog navigation; true = consumed.
    bool PreTranslateMessage(MSG* msg);
    // One idle pass; true when some handler wants another.
    bool OnIdle();

private:
    std::vector<WtlMessageFilter*> m_filters;
    std::vector<WtlIdleHandler*> m_idleHandlers;
};
