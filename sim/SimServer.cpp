#include "SimServer.h"

#include "KorvelIoctl.h"
#include "KorvelLinkFrame.h"
#include "KorvelStatus.h"

#include <algorithm>

namespace {

// Index of each served pipe name in the listener.
constexpr size_t PIPE_CONTROL_DEVICE = 0;
constexpr size_t PIPE_ASIO_CONTROL_DEVICE = 1;
constexpr size_t PIPE_CONTROL = 2;

} // namespace

SimServer::SimServer()
    : m_messaging(m_lock, m_faults, m_timers), m_model(m_messaging),
      m_dispatcher(m_lock, m_messaging, m_model, m_faults, m_trace),
      m_control(m_lock, m_dispatcher, m_faults, m_messaging, m_model,
                [this] { SetEvent(m_stopRequested.GetHandle()); })
{
    m_stopEvent.Attach(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    m_stopRequested.Attach(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

SimServer::~SimServer()
{
    Stop();
}

uint32_t SimServer::Start(const SimServerOptions& options)
{
    if (m_running) {
        return KORVEL_STATUS_REJECTED;
    }
    if (options.nameSpace.empty() || options.nameSpace.size() > MAX_NAMESPACE_CHARS) {
        return ERROR_INVALID_NAME;
    }
    if (!m_stopEvent.IsValid() || !m_stopRequested.IsValid()) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    uint32_t status = ClaimNamespace(options.nameSpace);
    if (status != 0) {
        return status;
    }
    m_options = options;
    ResetEvent(m_stopEvent.GetHandle());
    ResetEvent(m_stopRequested.GetHandle());
    status = PrepareModel(options);
    if (status == 0 && !options.tracePath.empty()) {
        std::lock_guard guard(m_lock);
        status = m_trace.Open(options.tracePath);
    }
    if (status == 0 && !m_timers.Start()) {
        status = ERROR_NOT_ENOUGH_MEMORY;
    }
    if (status == 0) {
        std::vector<std::wstring> paths = {
            PipePath(options.nameSpace, KORVEL_CONTROL_DEVICE_NAME),
            PipePath(options.nameSpace, KORVEL_ASIO_CONTROL_DEVICE_NAME),
            PipePath(options.nameSpace, L"control"),
        };
        status = m_listener.Start(paths, m_stopEvent.GetHandle(),
                                  [this](size_t index, HANDLE pipe) { OnConnected(index, pipe); });
    }
    if (status != 0) {
        m_timers.Stop();
        m_namespaceClaim.Close();
        std::lock_guard guard(m_lock);
        m_trace.Close();
        return status;
    }
    m_running = true;
    return 0;
}

uint32_t SimServer::ClaimNamespace(const std::wstring& nameSpace)
{
    // The first-instance flag of the pipes already refuses a second simulator
    // on Windows; the named mutex makes that hold where the flag is not
    // enforced (Wine). Object names allow no backslash after the prefix.
    std::wstring name = L"Local\\korvelsim-namespace-" + nameSpace;
    std::replace(name.begin() + 6, name.end(), L'\\', L'/');
    m_namespaceClaim.Attach(CreateMutexW(nullptr, FALSE, name.c_str()));
    DWORD error = GetLastError();
    if (!m_namespaceClaim.IsValid()) {
        return error != 0 ? error : ERROR_INVALID_NAME;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        m_namespaceClaim.Close();
        return ERROR_ACCESS_DENIED;
    }
    return 0;
}

uint32_t SimServer::PrepareModel(const SimServerOptions& options)
{
    std::lock_guard guard(m_lock);
    uint32_t status = 0;
    if (options.devices != 0) {
        status = m_model.AddDevices(options.devices);
    }
    if (status == 0 && !options.configPath.empty()) {
        status = m_model.LoadConfig(options.configPath);
    }
    return status;
}

void SimServer::Stop()
{
    if (!m_running) {
        return;
    }
    SetEvent(m_stopEvent.GetHandle());
    m_listener.Join();
    JoinSessions();
    m_timers.Stop();
    m_namespaceClaim.Close();
    std::lock_guard guard(m_lock);
    m_trace.Close();
    m_running = false;
}

std::string SimServer::Control(const std::string& line)
{
    return m_control.Execute(line);
}

void SimServer::WithModel(const std::function<void(SimDeviceModel&)>& action)
{
    std::lock_guard guard(m_lock);
    action(m_model);
}

void SimServer::OnConnected(size_t nameIndex, HANDLE pipe)
{
    ReapSessions();
    switch (nameIndex) {
    case PIPE_CONTROL_DEVICE:
        StartDriverSession(pipe, "control");
        break;
    case PIPE_ASIO_CONTROL_DEVICE:
        StartDriverSession(pipe, SimConnection::ASIO_DEVICE);
        break;
    case PIPE_CONTROL:
    default:
        StartControlSession(pipe);
        break;
    }
}

void SimServer::StartDriverSession(HANDLE pipe, const char* deviceName)
{
    ULONG processId = 0;
    if (!GetNamedPipeClientProcessId(pipe, &processId)) {
        processId = 0; // events of this client cannot be duplicated; everything else works
    }
    uint32_t id = 0;
    {
        std::lock_guard guard(m_lock);
        id = m_messaging.Add(processId, deviceName).Id();
    }
    auto handler = [this, id](const uint8_t* data, size_t size, bool tooLong,
                              std::vector<uint8_t>& answer) {
        m_dispatcher.Handle(id, data, size, tooLong, answer);
    };
    auto onClose = [this, id, processId] {
        std::lock_guard guard(m_lock);
        m_messaging.Remove(id);
        m_model.OnConnectionClosed(id, processId);
    };
    AddSession(std::make_unique<SimPipeSession>(pipe, m_stopEvent.GetHandle(),
                                                KORVEL_LINK_MAX_FRAME, handler, onClose));
}

void SimServer::StartControlSession(HANDLE pipe)
{
    auto handler = [this](const uint8_t* data, size_t size, bool tooLong,
                          std::vector<uint8_t>& answer) {
        std::string text =
            tooLong ? std::string("ERR command too long")
                    : m_control.Execute(std::string(reinterpret_cast<const char*>(data), size));
        answer.assign(text.begin(), text.end());
    };
    AddSession(std::make_unique<SimPipeSession>(pipe, m_stopEvent.GetHandle(), MAX_CONTROL_LINE,
                                                handler, [] {}));
}

void SimServer::AddSession(std::unique_ptr<SimPipeSession> session)
{
    SimPipeSession* started = session.get();
    {
        std::lock_guard guard(m_sessionsLock);
        m_sessions.push_back(std::move(session));
    }
    started->Start();
}

void SimServer::ReapSessions()
{
    std::list<std::unique_ptr<SimPipeSession>> finished;
    {
        std::lock_guard guard(m_sessionsLock);
        for (auto it = m_sessions.begin(); it != m_sessions.end();) {
            auto next = std::next(it);
            if ((*it)->Finished()) {
                finished.splice(finished.end(), m_sessions, it);
            }
            it = next;
        }
    }
    // Joined outside the list lock; destroying a session joins its thread.
    finished.clear();
}

void SimServer::JoinSessions()
{
    std::list<std::unique_ptr<SimPipeSession>> all;
    {
        std::lock_guard guard(m_sessionsLock);
        all.swap(m_sessions);
    }
    all.clear();
}
