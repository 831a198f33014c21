#pragma once
// The device control service: runs the device server under the service
// control manager or, for testing, in a console window. The program holds
// exactly one instance; its identity (names, interface class) comes from the
// server, so a derived server could rename the service.
#include <windows.h>

#include <cstddef>
#include <memory>

#include "CustomServer.h"
#include "KorvelArrivalWaiter.h"
#include "ServiceBase.h"
#include "WnEvent.h"
#include "QuilloVersion.h"
#include "WnMutex.h"

class WnEventLogWriter;

class KorvelService : public ServiceBase
{
public:
    // Program version shown in the usage text (major.minor) and in the start
    // message (major.minor.build); the control interface version it speaks.
    static constexpr unsigned VERSION_MAJOR = QUILLO_VERSION_MAJOR;
    static constexpr unsigned VERSION_MINOR = QUILLO_VERSION_MINOR;
    static constexpr unsigned VERSION_BUILD = QUILLO_VERSION_PATCH;
    static constexpr unsigned INTERFACE_MAJOR = 2;
    static constexpr unsigned INTERFACE_MINOR = 0;
    // Size of the single-instance mutex name buffer, terminator included.
    static constexpr size_t MUTEX_NAME_CHARS = 500;
    // Wait hint reported while the service starts.
    static constexpr DWORD START_WAIT_HINT_MS = 3000;

    // Creates the server and the device-arrival event. The first instance
    // becomes the one the static service-main entry runs.
    KorvelService();
    ~KorvelService() override;

    const wchar_t* GetServiceName() override;
    const wchar_t* GetDisplayName() override;
    const wchar_t* GetDescription() override;
    LPSERVICE_MAIN_FUNCTIONW GetServiceMainFunction() override;

    // Console body: single-instance check, device-change notificator, server
    // loop until Ctrl+C. 1 after a failed start (printed), else the result of
    // the server loop (0 when it was stopped).
    DWORD RunConsole() override;

    // A device-interface arrival wakes the server loop to enumerate again.
    // Removals reach the server through the kernel driver's notifications.
    void OnDeviceEvent(DWORD eventType, void* eventData) override;

    // Creates the named mutex "<service name>-<interface GUID>" as its owner.
    // 0 when this is the only instance; otherwise the last error (183 when
    // another process holds the name). The handle is held until
    // ReleaseSingleInstance or destruction.
    DWORD CheckSingleInstance();
    void ReleaseSingleInstance() { m_singleInstance.Close(); }

    // The service body under the SCM (arguments are ignored).
    void ServiceMain();

    CustomServer& GetServer() { return *m_server; }
    HANDLE GetArrivalEvent() const { return m_arrivalEvent.GetHandle(); }

    // Builds the single-instance mutex name into `name` (each part cut to
    // fit; always terminated).
    static void FormatMutexName(wchar_t (&name)[MUTEX_NAME_CHARS], const wchar_t* serviceName,
                                const wchar_t* guidText);

private:
    // The dispatcher's entry for this service: runs ServiceMain on the
    // program's one instance.
    static void WINAPI StaticServiceMain(DWORD argc, LPWSTR* argv);

    // ServiceMain after the event source is open: start-up steps, the server
    // loop, and the closing reports.
    void RunUnderManager(WnEventLogWriter& log);
    // A failed start: error event, source closed, SERVICE_STOPPED with
    // `status` as both exit codes.
    void FailStart(WnEventLogWriter& log, const wchar_t* text, DWORD status);
    // Runs the server loop, then closes the server connection and the device
    // handles, so that the registration as server is gone once the body
    // reports back. The server loop's result. With a simulator configured,
    // the simulator's device arrivals reach OnDeviceEvent meanwhile.
    DWORD ServeUntilStopped();

    std::unique_ptr<CustomServer> m_server;
    WnMutex m_singleInstance;
    WnEvent m_arrivalEvent;
    KorvelArrivalWaiter m_simulatorArrivals;
};
