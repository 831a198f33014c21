#include "ServiceBase.h"

#include <dbt.h>

#include <atomic>
#include <cwchar>
#include <memory>
#include <new>
#include <vector>

#include "WnEventSource.h"
#include "WnLastError.h"
#include "WnServiceCtrl.h"
#include "WnServiceCtrlMgr.h"
#include "WnThread.h"
#include "WnThreadCallbackInterface.h"

namespace {

constexpr const wchar_t* EVENT_LOG_NAME = L"Application";
constexpr const wchar_t* LOAD_ORDER_GROUP = L"PlugPlay";
// Double-zero-terminated list: the event log and Plug and Play start first.
constexpr const wchar_t DEPENDENCIES[] = L"eventlog\0PlugPlay\0";
constexpr const wchar_t* SERVICE_ARGUMENT = L" -service";
constexpr size_t BINARY_PATH_CHARS = 280;
// Quotes, program path and argument always fit.
static_assert(2 + (MAX_PATH - 1) + 9 < BINARY_PATH_CHARS);

// The registered services. Registration happens before RunServices; the
// lock only keeps a service that is being destroyed away from the console
// control handler, which runs on a system thread.
SRWLOCK g_servicesLock = SRWLOCK_INIT;
// Never destroyed: a global service object may still be destroyed after it.
std::vector<ServiceBase*>& Services()
{
    static auto* services = new std::vector<ServiceBase*>;
    return *services;
}
std::atomic<bool> g_consoleMode{false};

std::vector<ServiceBase*> CopyServices()
{
    AcquireSRWLockShared(&g_servicesLock);
    std::vector<ServiceBase*> copy;
    try {
        copy = Services();
    } catch (...) {
        copy.clear();
    }
    ReleaseSRWLockShared(&g_servicesLock);
    return copy;
}

// The command line the SCM runs: the program path in quotes, so that a path
// with spaces cannot be taken for a shorter program path plus arguments.
void BuildBinaryPath(wchar_t (&binaryPath)[BINARY_PATH_CHARS], const wchar_t* programPath)
{
    _snwprintf(binaryPath, BINARY_PATH_CHARS - 1, L"\"%s\"%s", programPath, SERVICE_ARGUMENT);
    binaryPath[BINARY_PATH_CHARS - 1] = L'\0';
}

} // namespace

ServiceBase::ServiceBase()
{
    m_controlForwarder.Bind(this, &ServiceBase::OnControl);
    m_stopEvent.Create(FALSE, FALSE); // without it the service cannot be stopped; logged by users
    m_pnpForwarder.Bind(this, &ServiceBase::OnDeviceEvent);
}

ServiceBase::~ServiceBase()
{
    AcquireSRWLockExclusive(&g_servicesLock);
    auto& services = Services();
    for (auto it = services.begin(); it != services.end();) {
        it = *it == this ? services.erase(it) : it + 1;
    }
    ReleaseSRWLockExclusive(&g_servicesLock);
}

void ServiceBase::OnDeviceEvent(DWORD, void*) {}

DWORD ServiceBase::OnControl(DWORD control, DWORD eventType, void* eventData)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        StopNotifications();
        break;
    case SERVICE_CONTROL_DEVICEEVENT:
        OnDeviceEvent(eventType, eventData);
        break;
    default:
        break;
    }
    return NO_ERROR;
}

bool ServiceBase::RegisterControlHandler()
{
    SERVICE_STATUS_HANDLE handle =
        RegisterServiceCtrlHandlerExW(GetServiceName(), ControlHandler, &m_controlForwarder);
    if (handle == nullptr) {
        return false;
    }
    m_statusHandle = handle;
    m_stopEvent.Reset();
    return true;
}

DWORD WINAPI ServiceBase::ControlHandler(DWORD control, DWORD eventType, LPVOID eventData,
                                         LPVOID context)
{
    auto* callback = static_cast<WnServiceCallbackInterface*>(context);
    if (callback == nullptr) {
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    return callback->OnControl(control, eventType, eventData);
}

bool ServiceBase::ReportStatus(DWORD currentState, DWORD waitHint, DWORD checkPoint,
                               DWORD win32ExitCode, DWORD serviceExitCode)
{
    if (m_statusHandle == nullptr) {
        return true;
    }
    SERVICE_STATUS status = {};
    status.dwServiceType = m_serviceType;
    status.dwCurrentState = currentState;
    status.dwControlsAccepted = m_controlsAccepted;
    status.dwWin32ExitCode = win32ExitCode;
    status.dwServiceSpecificExitCode = serviceExitCode;
    status.dwCheckPoint = checkPoint;
    status.dwWaitHint = waitHint;
    return SetServiceStatus(m_statusHandle, &status) != FALSE;
}

DWORD ServiceBase::RegisterInterfaceNotification(const GUID& classGuid)
{
    if (m_statusHandle == nullptr) {
        return 0;
    }
    return m_notifications.RegisterFor(reinterpret_cast<HANDLE>(m_statusHandle), classGuid,
                                       DEVICE_NOTIFY_SERVICE_HANDLE);
}

void ServiceBase::StopNotifications()
{
    m_notifications.UnregisterAll();
    m_pnpNotificator.Stop(INFINITE);
    m_stopEvent.Set(); // nothing else could stop the body, so there is no fallback
}

DWORD ServiceBase::GetProgramPath(wchar_t (&path)[MAX_PATH])
{
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0) {
        return LastErrorOr(ERROR_INVALID_HANDLE);
    }
    if (length >= MAX_PATH) {
        path[0] = L'\0';
        return ERROR_INSUFFICIENT_BUFFER; // a cut path names some other file
    }
    return 0;
}

DWORD ServiceBase::Install()
{
    wchar_t programPath[MAX_PATH];
    DWORD status = GetProgramPath(programPath);
    if (status != 0) {
        return status;
    }
    WnServiceCtrlMgr database;
    status = database.Open();
    if (status != 0) {
        return status;
    }

    wchar_t binaryPath[BINARY_PATH_CHARS];
    BuildBinaryPath(binaryPath, programPath);
    WnServiceCtrl service;
    status =
        service.Create(database.GetHandle(), GetServiceName(), GetDisplayName(), SERVICE_ALL_ACCESS,
                       m_serviceType, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, binaryPath,
                       LOAD_ORDER_GROUP, nullptr, DEPENDENCIES, nullptr, nullptr);
    if (status != 0) {
        return status;
    }

    SERVICE_DESCRIPTIONW description = {const_cast<LPWSTR>(GetDescription())};
    if (!ChangeServiceConfig2W(service.GetHandle(), SERVICE_CONFIG_DESCRIPTION, &description)) {
        GetLastError(); // the service works without its description
    }
    return InstallEventSource(EVENT_LOG_NAME, GetServiceName(), programPath);
}

DWORD ServiceBase::Uninstall()
{
    WnServiceCtrlMgr database;
    DWORD status = database.Open();
    if (status != 0) {
        return status;
    }
    WnServiceCtrl service;
    status = service.Open(database.GetHandle(), GetServiceName(), DELETE);
    if (status != 0) {
        return status;
    }
    if (!DeleteService(service.GetHandle())) {
        return LastErrorOr(ERROR_INVALID_HANDLE);
    }
    RemoveEventSource(EVENT_LOG_NAME, GetServiceName()); // a missing source is no failure here
    return 0;
}

DWORD ServiceBase::RequestStart()
{
    WnServiceCtrlMgr database;
    DWORD status = database.Open();
    if (status != 0) {
        return status;
    }
    WnServiceCtrl service;
    status = service.Open(database.GetHandle(), GetServiceName(), SERVICE_START);
    if (status != 0) {
        return status;
    }
    if (!StartServiceW(service.GetHandle(), 0, nullptr)) {
        return LastErrorOr(ERROR_INVALID_HANDLE);
    }
    return 0;
}

DWORD ServiceBase::RequestStop()
{
    WnServiceCtrlMgr database;
    DWORD status = database.Open();
    if (status != 0) {
        return status;
    }
    WnServiceCtrl service;
    status =
        service.Open(database.GetHandle(), GetServiceName(), SERVICE_STOP | SERVICE_QUERY_STATUS);
    if (status != 0) {
        return status;
    }
    SERVICE_STATUS serviceStatus = {};
    if (!ControlService(service.GetHandle(), SERVICE_CONTROL_STOP, &serviceStatus)) {
        return LastErrorOr(ERROR_INVALID_HANDLE);
    }
    for (DWORD poll = 0; poll < STOP_POLLS; ++poll) {
        if (!QueryServiceStatus(service.GetHandle(), &serviceStatus)) {
            return LastErrorOr(ERROR_INVALID_HANDLE);
        }
        if (serviceStatus.dwCurrentState == SERVICE_STOPPED) {
            return 0;
        }
        Sleep(STOP_POLL_MS);
    }
    return ERROR_TIMEOUT;
}

DWORD ServiceBase::Register(ServiceBase* service)
{
    if (service == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    DWORD status = 0;
    AcquireSRWLockExclusive(&g_servicesLock);
    try {
        Services().push_back(service);
    } catch (...) {
        status = ERROR_NOT_ENOUGH_MEMORY;
    }
    ReleaseSRWLockExclusive(&g_servicesLock);
    return status;
}

bool ServiceBase::IsConsoleMode()
{
    return g_consoleMode.load();
}

bool ServiceBase::RunServices(bool console)
{
    g_consoleMode.store(console);
    return console ? RunConsoleThreads() : RunDispatcher();
}

bool ServiceBase::RunDispatcher()
{
    std::vector<ServiceBase*> services = CopyServices();
    std::unique_ptr<SERVICE_TABLE_ENTRYW[]> table(new (std::nothrow)
                                                      SERVICE_TABLE_ENTRYW[services.size() + 1]);
    if (!table) {
        return false;
    }
    for (size_t i = 0; i < services.size(); ++i) {
        table[i].lpServiceName = const_cast<LPWSTR>(services[i]->GetServiceName());
        table[i].lpServiceProc = services[i]->GetServiceMainFunction();
    }
    table[services.size()] = {nullptr, nullptr};
    // Returns once every service of the process has stopped.
    return StartServiceCtrlDispatcherW(table.get()) != FALSE;
}

bool ServiceBase::RunConsoleThreads()
{
    if (!SetConsoleCtrlHandler(ConsoleCtrlHandler, TRUE)) {
        return false;
    }
    std::vector<ServiceBase*> services = CopyServices();
    const size_t count = services.size();
    std::unique_ptr<WnThread[]> threads(new (std::nothrow) WnThread[count]);
    std::unique_ptr<WnThreadCallbackForwarderT<ServiceBase>[]> bodies(
        new (std::nothrow) WnThreadCallbackForwarderT<ServiceBase>[count]);
    if (!threads || !bodies) {
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        bodies[i].Bind(services[i], &ServiceBase::RunConsole);
        threads[i].Start(&bodies[i], 0, 0); // a thread that does not start is not retried
    }
    if (WaitConsoleThreads(threads.get(), count) != 0) {
        // A thread whose end cannot be seen may still run its body: the
        // bodies and threads are left to the process rather than freed
        // underneath it.
        (void)threads.release();
        (void)bodies.release();
        return false;
    }
    return true;
}

DWORD ServiceBase::WaitConsoleThreads(WnThread* threads, size_t count)
{
    // The bodies must outlive their threads: wait until each has really
    // ended. An unlimited wait ends only with the thread or with WAIT_FAILED,
    // which would fail again on every retry.
    for (size_t i = 0; i < count; ++i) {
        if (threads[i].Wait(INFINITE) != 0) {
            return LastErrorOr(ERROR_INVALID_HANDLE);
        }
    }
    return 0;
}

BOOL WINAPI ServiceBase::ConsoleCtrlHandler(DWORD controlType)
{
    if (controlType != CTRL_C_EVENT && controlType != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    AcquireSRWLockShared(&g_servicesLock);
    for (ServiceBase* service : Services()) {
        service->StopNotifications();
    }
    ReleaseSRWLockShared(&g_servicesLock);
    return TRUE;
}
