#include "KorvelArrivalWaiter.h"

#include "KorvelLinkFrame.h"

#include <cstring>

namespace {

// An announcement names its event; anything up to this size is read as one.
constexpr DWORD ANNOUNCEMENT_BYTES = 64;
constexpr char REMOVAL[] = "removal";
// Longest wait for a cancelled read to complete.
constexpr DWORD CANCEL_WAIT_MS = 1000;

// Closes the pipe handle on every path out of one connection.
class PipeGuard
{
public:
    explicit PipeGuard(HANDLE pipe) : m_pipe(pipe) {}
    ~PipeGuard() { CloseHandle(m_pipe); }
    PipeGuard(const PipeGuard&) = delete;
    PipeGuard& operator=(const PipeGuard&) = delete;

private:
    HANDLE m_pipe;
};

} // namespace

KorvelArrivalWaiter::KorvelArrivalWaiter()
{
    m_forwarder.Bind(this, &KorvelArrivalWaiter::Run);
}

KorvelArrivalWaiter::~KorvelArrivalWaiter()
{
    Stop();
}

DWORD KorvelArrivalWaiter::Start(WnPnPNotificatorCallbackInterface* callback,
                                 const GUID& interfaceClass)
{
    if (callback == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (IsListening()) {
        return ERROR_ALREADY_INITIALIZED;
    }
    wchar_t nameSpace[KorvelDeviceLink::MAX_NAMESPACE_CHARS + 1];
    DWORD status = KorvelDeviceLink::ReadNamespace(nameSpace);
    if (status != ERROR_SUCCESS || nameSpace[0] == L'\0') {
        return status; // no simulator: the system's own events are the only ones
    }
    // The pipe is named like a control device of the namespace.
    wchar_t controlPath[KorvelDeviceLink::PATH_CHARS];
    KorvelDeviceLink::FormatControlPath(KORVEL_LINK_ARRIVAL_PIPE, controlPath);
    if (!KorvelDeviceLink::FormatPipePath(nameSpace, controlPath, m_pipePath)) {
        return ERROR_FILENAME_EXCED_RANGE;
    }
    m_callback = callback;
    m_broadcast = {};
    m_broadcast.dbcc_size = sizeof(m_broadcast);
    m_broadcast.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    m_broadcast.dbcc_classguid = interfaceClass;
    m_delivered = 0;
    status = m_stop.Create(TRUE, FALSE);
    if (status == ERROR_SUCCESS) {
        status = m_io.Create(TRUE, FALSE);
    }
    if (status == ERROR_SUCCESS) {
        status = m_thread.Start(&m_forwarder);
    }
    return status;
}

void KorvelArrivalWaiter::Stop()
{
    if (!IsListening()) {
        return;
    }
    m_stop.Set();
    (void)m_thread.Wait();
    m_thread.Close();
}

DWORD KorvelArrivalWaiter::Run()
{
    for (;;) {
        HANDLE pipe = nullptr;
        if (!Connect(pipe)) {
            return 0;
        }
        PipeGuard guard(pipe);
        if (Listen(pipe)) {
            return 0;
        }
    }
}

bool KorvelArrivalWaiter::Connect(HANDLE& pipe)
{
    for (;;) {
        HANDLE opened = CreateFileW(m_pipePath, GENERIC_READ | FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT |
                                                       SECURITY_IDENTIFICATION,
                                    nullptr);
        if (opened != INVALID_HANDLE_VALUE) {
            DWORD mode = PIPE_READMODE_MESSAGE;
            if (SetNamedPipeHandleState(opened, &mode, nullptr, nullptr)) {
                pipe = opened;
                return true;
            }
            CloseHandle(opened);
        }
        // The simulator is not there (yet, or again): try once more shortly.
        if (WaitForSingleObject(m_stop.GetHandle(), RECONNECT_MS) != WAIT_TIMEOUT) {
            return false;
        }
    }
}

bool KorvelArrivalWaiter::Listen(HANDLE pipe)
{
    char message[ANNOUNCEMENT_BYTES];
    for (;;) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_io.GetHandle();
        (void)m_io.Reset();
        DWORD error = ERROR_SUCCESS;
        if (!ReadFile(pipe, message, sizeof(message), nullptr, &overlapped)) {
            error = GetLastError();
        }
        if (error != ERROR_SUCCESS && error != ERROR_IO_PENDING && error != ERROR_MORE_DATA) {
            return false;
        }
        HANDLE handles[2] = {m_stop.GetHandle(), m_io.GetHandle()};
        DWORD wait = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        if (wait != WAIT_OBJECT_0 + 1) {
            CancelIo(pipe);
            // The cancelled read lets go of `message` before this frame ends.
            (void)WaitForSingleObject(m_io.GetHandle(), CANCEL_WAIT_MS);
            return true;
        }
        DWORD bytes = 0;
        if (!GetOverlappedResult(pipe, &overlapped, &bytes, FALSE) &&
            GetLastError() != ERROR_MORE_DATA) {
            return false; // the simulator went away: connect again
        }
        Deliver(message, bytes);
    }
}

void KorvelArrivalWaiter::Deliver(const char* message, DWORD length)
{
    const bool removal = length == sizeof(REMOVAL) - 1 && memcmp(message, REMOVAL, length) == 0;
    InterlockedIncrement(&m_delivered);
    m_callback->OnDeviceChange(removal ? DBT_DEVICEREMOVECOMPLETE : DBT_DEVICEARRIVAL, &m_broadcast);
}
