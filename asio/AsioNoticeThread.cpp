#include "AsioNoticeThread.h"

#include "KorvelMessage.h"

AsioNoticeThread::AsioNoticeThread(KorvelAsioClient& client, AsioConfigStore& config,
                                   AsioHostNotices& notices, HANDLE stopEvent)
    : m_client(client), m_config(config), m_notices(notices), m_stopEvent(stopEvent)
{
    m_body.Bind(this, &AsioNoticeThread::Watch);
}

DWORD AsioNoticeThread::Start()
{
    return m_thread.Start(&m_body);
}

void AsioNoticeThread::Join()
{
    (void)m_thread.Wait(INFINITE);
}

DWORD AsioNoticeThread::Watch() noexcept
{
    // Stop first: a connection that keeps signalling cannot hold the thread.
    HANDLE waits[2] = {m_stopEvent, m_client.NotificationEvent()};
    const DWORD count = waits[1] != nullptr ? 2 : 1;
    while (WaitForMultipleObjects(count, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        const uint32_t bits = FetchNotices();
        if (bits != 0) {
            // The configuration first, so that the streaming thread finds
            // the new rate and buffer size when it tells the host.
            (void)m_config.Refresh(m_client);
            m_notices.Post(bits);
        }
    }
    return ERROR_SUCCESS;
}

uint32_t AsioNoticeThread::FetchNotices() noexcept
{
    uint32_t bits = 0;
    KorvelMessage message;
    while (m_client.ReceiveNextNotification(message) == ERROR_SUCCESS) {
        if (message.code == KORVEL_NOTIFY_STREAMING_CHANGED) {
            bits |= AsioHostNotices::STREAMING_CHANGED;
        } else if (message.code == KORVEL_NOTIFY_SAMPLE_RATE_CHANGED) {
            bits |= AsioHostNotices::RATE_CHANGED;
        }
        if (WaitForSingleObject(m_stopEvent, 0) == WAIT_OBJECT_0) {
            break; // the stream is stopping: what is left waits for start
        }
    }
    return bits;
}
