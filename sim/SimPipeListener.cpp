#include "SimPipeListener.h"

#include <system_error>

SimPipeListener::~SimPipeListener()
{
    Join();
}

std::wstring SimPipeListener::PipePath(const std::wstring& nameSpace, const std::wstring& name)
{
    return L"\\\\.\\pipe\\" + nameSpace + L"\\" + name;
}

uint32_t SimPipeListener::Start(const std::vector<std::wstring>& paths, HANDLE stopEvent,
                                ConnectHandler onConnect)
{
    if (m_thread.joinable()) {
        return ERROR_ALREADY_EXISTS;
    }
    m_paths = paths;
    m_stopEvent = stopEvent;
    m_onConnect = std::move(onConnect);
    m_instances = std::vector<Instance>(paths.size() * INSTANCES_PER_NAME);
    for (size_t i = 0; i < m_instances.size(); ++i) {
        m_instances[i].nameIndex = i / INSTANCES_PER_NAME;
        uint32_t status = Arm(m_instances[i], i % INSTANCES_PER_NAME == 0);
        if (status != 0) {
            CancelAll();
            return status;
        }
    }
    try {
        m_thread = std::thread(&SimPipeListener::Run, this);
    } catch (const std::system_error&) {
        CancelAll();
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    return 0;
}

void SimPipeListener::Join()
{
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

uint32_t SimPipeListener::Arm(Instance& instance, bool first)
{
    if (!instance.event.IsValid()) {
        instance.event.Attach(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!instance.event.IsValid()) {
            return GetLastError();
        }
    }
    DWORD openMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED;
    if (first) {
        openMode |= FILE_FLAG_FIRST_PIPE_INSTANCE;
    }
    instance.pipe.Attach(CreateNamedPipeW(
        m_paths[instance.nameIndex].c_str(), openMode,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
        PIPE_UNLIMITED_INSTANCES, PIPE_BUFFER, PIPE_BUFFER, 0, nullptr));
    if (!instance.pipe.IsValid()) {
        return GetLastError();
    }
    instance.overlapped = OVERLAPPED{};
    instance.overlapped.hEvent = instance.event.GetHandle();
    ResetEvent(instance.event.GetHandle());
    instance.connected = false;
    if (ConnectNamedPipe(instance.pipe.GetHandle(), &instance.overlapped)) {
        instance.connected = true;
    } else {
        DWORD error = GetLastError();
        if (error == ERROR_PIPE_CONNECTED) {
            instance.connected = true;
        } else if (error != ERROR_IO_PENDING) {
            instance.pipe.Close();
            return error;
        }
    }
    if (instance.connected) {
        SetEvent(instance.event.GetHandle());
    }
    return 0;
}

void SimPipeListener::Run()
{
    std::vector<HANDLE> waits;
    for (Instance& instance : m_instances) {
        waits.push_back(instance.event.GetHandle());
    }
    waits.push_back(m_stopEvent);
    for (;;) {
        DWORD which =
            WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), FALSE, INFINITE);
        if (which >= WAIT_OBJECT_0 + m_instances.size()) {
            break; // stop event, or the wait itself failed
        }
        OnSignalled(m_instances[which - WAIT_OBJECT_0]);
    }
    CancelAll();
}

void SimPipeListener::OnSignalled(Instance& instance)
{
    bool connected = instance.connected;
    if (!connected && instance.pipe.IsValid()) {
        DWORD bytes = 0;
        connected = GetOverlappedResult(instance.pipe.GetHandle(), &instance.overlapped, &bytes,
                                        FALSE) != FALSE;
    }
    // Re-arm first so that the name keeps a listening instance, then hand over.
    SimHandle connectedPipe(connected ? instance.pipe.Detach() : nullptr);
    instance.pipe.Close();
    for (int attempt = 0; Arm(instance, false) != 0; ++attempt) {
        // Out of resources: retry shortly rather than lose the name.
        if (WaitForSingleObject(m_stopEvent, attempt < 10 ? 10 : 200) == WAIT_OBJECT_0) {
            ResetEvent(instance.event.GetHandle());
            break;
        }
    }
    if (connectedPipe.IsValid()) {
        m_onConnect(instance.nameIndex, connectedPipe.Detach());
    }
}

void SimPipeListener::CancelAll()
{
    for (Instance& instance : m_instances) {
        if (instance.pipe.IsValid()) {
            CancelIoEx(instance.pipe.GetHandle(), &instance.overlapped);
            DWORD bytes = 0;
            GetOverlappedResult(instance.pipe.GetHandle(), &instance.overlapped, &bytes, TRUE);
            instance.pipe.Close();
        }
    }
}
