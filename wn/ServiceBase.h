#pragma once

#include <windows.h>

#include "DeviceNotificationList.h"
#include "WnEvent.h"
#include "WnPnPNotificator.h"
#include "WnPnPNotificatorCallbackInterface.h"
#include "WnService.h"
#include "WnServiceCallbackInterface.h"
#include "WnThread.h"

// Base of a Windows service that can also run in a console window. A program
// derives one class, registers its instance with Register and hands control
// to RunServices, which either connects to the service control manager's
// dispatcher or runs every registered service on a console thread of its own.
// Stop and shutdown requests (or Ctrl+C / Ctrl+Break in a console) withdraw
// the notifications and signal the stop event on which the body waits.
class ServiceBase
{
public:
    // RequestStop polls the service's state this often, this far apart.
    static constexpr DWORD STOP_POLLS = 50;
    static constexpr DWORD STOP_POLL_MS = 100;

    ServiceBase();
    virtual ~ServiceBase();

    ServiceBase(const ServiceBase&) = delete;
    ServiceBase& operator=(const ServiceBase&) = delete;

    virtual const wchar_t* GetServiceName() = 0;
    virtual const wchar_t* GetDisplayName() = 0;
    virtual const wchar_t* GetDescription() = 0;
    // The static service-main entry to put in the dispatcher table.
    virtual LPSERVICE_MAIN_FUNCTIONW GetServiceMainFunction() = 0;
    // Console-mode body; the result is the console thread's exit code.
    virtual DWORD RunConsole() = 0;
    // A device-interface arrival or removal (from the SCM or, in console
    // mode, from the notificator). Nothing by default.
    virtual void OnDeviceEvent(DWORD eventType, void* eventData);
    // Stop and shutdown: StopNotifications; device events: OnDeviceEvent;
    // every other control is ignored. Always 0 (NO_ERROR).
    virtual DWORD OnControl(DWORD control, DWORD eventType, void* eventData);

    // Registers the control handler with the SCM (called first thing in the
    // service main) and resets the stop event. False on failure.
    bool RegisterControlHandler();

    // Reports the service's status to the SCM. Without a status handle
    // (console mode) nothing is reported and the result is true.
    bool ReportStatus(DWORD currentState, DWORD waitHint = 0, DWORD checkPoint = 0,
                      DWORD win32ExitCode = 0, DWORD serviceExitCode = 0);

    // Registers the status handle for arrivals and removals of interfaces of
    // `classGuid` (they arrive as SERVICE_CONTROL_DEVICEEVENT). 0 without a
    // status handle, else 0 or the registration's error.
    DWORD RegisterInterfaceNotification(const GUID& classGuid);

    // Withdraws every notification, stops the console-mode notificator and
    // signals the stop event.
    void StopNotifications();

    // Installs the running program as an auto-start service (command line:
    // the quoted program path followed by " -service") with its description
    // and event source. 0 or the first failure (1073 when it exists).
    DWORD Install();
    // Deletes the service and its event source. 0 or the failure.
    DWORD Uninstall();
    // Asks the SCM to start the service. 0 or the first failure.
    DWORD RequestStart();
    // Asks the SCM to stop the service and waits until it has stopped:
    // 0, the failure (1062 when it is not running), or 1460 (ERROR_TIMEOUT)
    // when it is still not stopped after STOP_POLLS polls.
    DWORD RequestStop();

    // Adds a service to the process's list (in order). 87 for null.
    static DWORD Register(ServiceBase* service);
    // Runs the registered services under the SCM dispatcher, or each on a
    // console thread of its own. Returns when all have ended; false when the
    // dispatcher or the console control handler cannot be set up.
    static bool RunServices(bool console);
    static bool IsConsoleMode();

    // Console control handler: Ctrl+C and Ctrl+Break stop every registered
    // service (TRUE); other events are left to the system (FALSE).
    static BOOL WINAPI ConsoleCtrlHandler(DWORD controlType);

    // Waits without limit for each console thread to end, in order: 0, or
    // the error of the first wait that failed (the rest are not waited for).
    static DWORD WaitConsoleThreads(WnThread* threads, size_t count);

    // Full path of the running program: 0, the error, or 122
    // (ERROR_INSUFFICIENT_BUFFER) when it does not fit.
    static DWORD GetProgramPath(wchar_t (&path)[MAX_PATH]);

    HANDLE GetStopEvent() const { return m_stopEvent.GetHandle(); }
    WnPnPNotificator& GetPnPNotificator() { return m_pnpNotificator; }
    WnPnPNotificatorCallbackInterface* GetPnPCallback() { return &m_pnpForwarder; }
    SERVICE_STATUS_HANDLE GetStatusHandle() const { return m_statusHandle; }
    size_t GetNotificationCount() const { return m_notifications.Count(); }

private:
    static DWORD WINAPI ControlHandler(DWORD control, DWORD eventType, LPVOID eventData,
                                       LPVOID context);
    static bool RunDispatcher();
    static bool RunConsoleThreads();

    WnService m_service;
    SERVICE_STATUS_HANDLE m_statusHandle = nullptr;
    WnServiceCallbackForwarderT<ServiceBase> m_controlForwarder;
    DeviceNotificationList m_notifications;
    DWORD m_serviceType = SERVICE_WIN32_OWN_PROCESS;
    DWORD m_controlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    WnEvent m_stopEvent;
    WnPnPNotificator m_pnpNotificator;
    WnPnPNotificatorCallbackForwarderT<ServiceBase> m_pnpForwarder;
};
