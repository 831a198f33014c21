#include "AsioStreamRun.h"

AsioStreamRun::AsioStreamRun(WnEvent& stopEvent, KorvelAsioClient& client,
                             AsioConfigStore& config, AsioHostNotices& notices)
    : m_stopEvent(stopEvent), m_timer(TIMER_PERIOD_MS),
      m_notices(client, config, notices, stopEvent.GetHandle())
{
}

AsioStreamRun::~AsioStreamRun()
{
    Join();
}

DWORD AsioStreamRun::Start(WnThreadCallbackInterface* body)
{
    // The notice thread first: should the streaming thread fail to start,
    // no host callback has run yet.
    DWORD status = m_notices.Start();
    if (status == ERROR_SUCCESS) {
        status = m_thread.Start(body);
    }
    if (status != ERROR_SUCCESS) {
        Join();
    }
    return status;
}

void AsioStreamRun::Join()
{
    (void)m_stopEvent.Set();
    m_notices.Join();
    if (m_thread.ThreadId() == GetCurrentThreadId()) {
        return; // the thread ends when its callback returns
    }
    (void)m_thread.Wait(INFINITE);
}

bool AsioStreamRun::StopRequested() const
{
    return WaitForSingleObject(m_stopEvent.GetHandle(), 0) == WAIT_OBJECT_0;
}
