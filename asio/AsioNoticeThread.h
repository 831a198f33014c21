#pragma once
// The thread that takes the service's notifications off the driver's
// connection while a stream runs. Fetching them and re-reading the stream
// configuration are requests under the connection's lock, which a host
// thread may hold for a whole service exchange (up to 30 s for a rate
// change); this thread waits for it so that the streaming thread never does.
// What the host must be told is posted to AsioHostNotices, and the streaming
// thread sends it.
#include "AsioConfigStore.h"
#include "AsioHostNotices.h"
#include "KorvelAsioClient.h"
#include "WnThread.h"
#include "WnThreadCallbackInterface.h"

#include <cstdint>

class AsioNoticeThread
{
public:
    // `stopEvent` (manual-reset) ends the thread.
    AsioNoticeThread(KorvelAsioClient& client, AsioConfigStore& config, AsioHostNotices& notices,
                     HANDLE stopEvent);

    AsioNoticeThread(const AsioNoticeThread&) = delete;
    AsioNoticeThread& operator=(const AsioNoticeThread&) = delete;

    DWORD Start();
    // Waits for the thread to end; the owner has signalled the stop event.
    void Join();

private:
    DWORD Watch() noexcept;
    // Fetches every queued notification: the host-notice bits they call for.
    uint32_t FetchNotices() noexcept;

    KorvelAsioClient& m_client;
    AsioConfigStore& m_config;
    AsioHostNotices& m_notices;
    HANDLE m_stopEvent;
    WnThread m_thread;
    WnThreadCallbackForwarderT<AsioNoticeThread> m_body;
};
