#include "AsioStreamRun.h"

AsioStreamRun::AsioStreamRun(WnEvent& stopEvent)
    : m_stopEvent(stopEvent), m_timer(TIMER_PERIOD_MS)
{
}

AsioStreamRun::~AsioStreamRun()
{
    Join();
}

DWORD AsioStreamRun::Start(WnThreadCallbackInterface* body)
{
    return m_thread.Start(body);
}

void AsioStreamRun::Join()
{
    (void)m_stopEvent.Set();
    (void)m_thread.Wait(INFINITE);
}
