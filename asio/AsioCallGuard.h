#pragma once
// The one funnel of the host's calls into the driver: it holds the driver's
// call lock for the length of a call, so that calls from several host threads
// (a helper thread closing the stream for a reset request while the main
// thread closes too) run one after the other, and the second finds the work
// of the first done.
//
// The buffer-switch path never takes the lock. A call the host makes from
// inside a callback, on the streaming thread, may find the lock held by a
// thread that is stopping the stream and waits for this very callback to
// return; there the guard gives up as soon as the stop is asked for, and the
// call is refused instead of deadlocking.
#include "AsioStreamEngine.h"

#include <windows.h>

class AsioCallGuard
{
public:
    // How often a call on the streaming thread looks at the stop event
    // while another thread holds the lock.
    static constexpr DWORD POLL_MS = 1;

    AsioCallGuard(CRITICAL_SECTION& lock, const AsioStreamEngine& engine);
    ~AsioCallGuard();

    AsioCallGuard(const AsioCallGuard&) = delete;
    AsioCallGuard& operator=(const AsioCallGuard&) = delete;

    // False only on the streaming thread, when the stream is being stopped.
    bool Held() const { return m_held; }

private:
    CRITICAL_SECTION& m_lock;
    bool m_held = false;
};
