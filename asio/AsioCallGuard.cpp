#include "AsioCallGuard.h"

AsioCallGuard::AsioCallGuard(CRITICAL_SECTION& lock, const AsioStreamEngine& engine)
    : m_lock(lock)
{
    if (!engine.OnStreamingThread()) {
        EnterCriticalSection(&m_lock);
        m_held = true;
        return;
    }
    while (!TryEnterCriticalSection(&m_lock)) {
        if (WaitForSingleObject(engine.StopEvent(), POLL_MS) == WAIT_OBJECT_0) {
            return; // the holder is joining this thread
        }
    }
    m_held = true;
}

AsioCallGuard::~AsioCallGuard()
{
    if (m_held) {
        LeaveCriticalSection(&m_lock);
    }
}
