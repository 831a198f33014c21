#pragma once
// The simulator's device-interface arrivals. Under Wine nothing produces the
// system's arrival event (WM_DEVICECHANGE, SERVICE_CONTROL_DEVICEEVENT) for a
// simulated device, so in simulator mode, and only then, this waiter keeps a
// thread connected to the simulator's announcement pipe and turns each
// announcement into a call of the handler the system's event would reach,
// with DBT_DEVICEARRIVAL ("arrival") or DBT_DEVICEREMOVECOMPLETE ("removal")
// and a device-interface broadcast of the class given.
// Without a configured simulator namespace Start does nothing: a process that
// talks to the real device never listens to anybody's pipe.
#include <windows.h>

#include <dbt.h>

#include "KorvelDeviceLink.h"
#include "WnEvent.h"
#include "WnPnPNotificatorCallbackInterface.h"
#include "WnThread.h"
#include "WnThreadCallbackInterface.h"

class KorvelArrivalWaiter
{
public:
    // Pause before connecting again while the simulator is not there.
    static constexpr DWORD RECONNECT_MS = 250;

    KorvelArrivalWaiter();
    ~KorvelArrivalWaiter(); // stops the thread

    KorvelArrivalWaiter(const KorvelArrivalWaiter&) = delete;
    KorvelArrivalWaiter& operator=(const KorvelArrivalWaiter&) = delete;

    // Starts listening when a simulator namespace is configured; 0 without
    // one (nothing started). ERROR_ALREADY_INITIALIZED while listening, 87
    // for a null callback, else 0 or the error of the configuration, the
    // events or the thread. The callback runs on the waiter's thread and must
    // only do short, thread-safe work.
    DWORD Start(WnPnPNotificatorCallbackInterface* callback, const GUID& interfaceClass);
    // Ends the thread; nothing when not listening.
    void Stop();
    bool IsListening() const { return m_thread.GetHandle() != nullptr; }
    // Announcements passed to the callback since Start.
    LONG Delivered() const { return m_delivered; }

private:
    DWORD Run();
    // Connects to the announcement pipe; false once the stop event is set.
    bool Connect(HANDLE& pipe);
    // Reads announcements until the pipe breaks or the waiter stops; true
    // when it stops.
    bool Listen(HANDLE pipe);
    // "removal" is a removal; any other announcement an arrival.
    void Deliver(const char* message, DWORD length);

    wchar_t m_pipePath[KorvelDeviceLink::PIPE_PATH_CHARS] = {};
    WnPnPNotificatorCallbackInterface* m_callback = nullptr;
    DEV_BROADCAST_DEVICEINTERFACE_W m_broadcast{};
    volatile LONG m_delivered = 0;
    WnEvent m_stop;
    WnEvent m_io;
    WnThread m_thread;
    WnThreadCallbackForwarderT<KorvelArrivalWaiter> m_forwarder;
};
