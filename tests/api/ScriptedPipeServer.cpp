#include "ScriptedPipeServer.h"

#include "KorvelIoctl.h"
#include "KorvelLinkFrame.h"
#include "KorvelStatus.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

constexpr DWORD BUFFER_SIZE = KORVEL_LINK_MAX_FRAME + 1024;

uint32_t LoadU32(const uint8_t* at)
{
    uint32_t value = 0;
    std::memcpy(&value, at, sizeof(value));
    return value;
}

void AppendU32(std::vector<uint8_t>& out, uint32_t value)
{
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&value);
    out.insert(out.end(), bytes, bytes + sizeof(value));
}

template <class T> std::vector<uint8_t> Bytes(const T& record)
{
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&record);
    return std::vector<uint8_t>(bytes, bytes + sizeof(T));
}

HANDLE CreateInstance(const std::wstring& path)
{
    return CreateNamedPipeW(path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                            PIPE_UNLIMITED_INSTANCES, BUFFER_SIZE, BUFFER_SIZE, 0, nullptr);
}

} // namespace

ScriptedPipeServer::ScriptedPipeServer(const std::wstring& nameSpace, const std::wstring& pipeName)
    : m_path(L"\\\\.\\pipe\\" + nameSpace + L"\\" + pipeName)
{
}

std::wstring ScriptedPipeServer::UniqueNamespace()
{
    static std::atomic<uint32_t> counter{0};
    return L"apiobj-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) +
           L"-" + std::to_wstring(GetTickCount64());
}

ScriptedPipeServer::~ScriptedPipeServer()
{
    Stop();
}

bool ScriptedPipeServer::Start()
{
    m_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_stop == nullptr) {
        return false;
    }
    // The first instance exists before Start returns, so that a client may
    // connect at once.
    HANDLE first = CreateInstance(m_path);
    if (first == INVALID_HANDLE_VALUE) {
        return false;
    }
    m_listener = std::thread([this, first] {
        HANDLE pipe = first;
        uint32_t nextId = 1;
        while (pipe != INVALID_HANDLE_VALUE) {
            OVERLAPPED overlapped{};
            overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            BOOL started = ConnectNamedPipe(pipe, &overlapped);
            DWORD error = started ? ERROR_SUCCESS : GetLastError();
            DWORD bytes = 0;
            bool connected = error == ERROR_PIPE_CONNECTED ||
                             WaitIo(pipe, overlapped, started, m_stop, bytes, error);
            CloseHandle(overlapped.hEvent);
            if (!connected) {
                CloseHandle(pipe);
                break;
            }
            const uint32_t id = nextId++;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_connections[id].id = id;
            }
            ++m_accepted;
            m_sessions.emplace_back([this, pipe, id] { Serve(pipe, id); });
            pipe = CreateInstance(m_path);
        }
    });
    return true;
}

void ScriptedPipeServer::Stop()
{
    if (m_stop == nullptr) {
        return;
    }
    SetEvent(m_stop);
    if (m_listener.joinable()) {
        m_listener.join();
    }
    for (auto& session : m_sessions) {
        session.join();
    }
    m_sessions.clear();
    CloseHandle(m_stop);
    m_stop = nullptr;
}

bool ScriptedPipeServer::WaitIo(HANDLE handle, OVERLAPPED& overlapped, BOOL started, HANDLE stop,
                                DWORD& bytes, DWORD& error)
{
    if (!started) {
        error = GetLastError();
        if (error != ERROR_IO_PENDING) {
            return error == ERROR_MORE_DATA;
        }
    }
    HANDLE waits[2] = {overlapped.hEvent, stop};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
        CancelIo(handle);
        GetOverlappedResult(handle, &overlapped, &bytes, TRUE);
        error = ERROR_OPERATION_ABORTED;
        return false;
    }
    if (GetOverlappedResult(handle, &overlapped, &bytes, FALSE)) {
        error = ERROR_SUCCESS;
        return true;
    }
    error = GetLastError();
    return error == ERROR_MORE_DATA;
}

void ScriptedPipeServer::Serve(HANDLE pipe, uint32_t id)
{
    std::vector<uint8_t> buffer(BUFFER_SIZE);
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    for (;;) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = event;
        DWORD bytes = 0;
        DWORD error = ERROR_SUCCESS;
        BOOL started = ReadFile(pipe, buffer.data(), BUFFER_SIZE, nullptr, &overlapped);
        if (!WaitIo(pipe, overlapped, started, m_stop, bytes, error) || error == ERROR_MORE_DATA) {
            break;
        }
        std::vector<uint8_t> answer = Answer(id, buffer.data(), bytes);
        if (DWORD delay = m_answerDelayMs.load()) {
            HANDLE waits[1] = {m_stop};
            if (WaitForMultipleObjects(1, waits, FALSE, delay) == WAIT_OBJECT_0) {
                break;
            }
        }
        overlapped = OVERLAPPED{};
        overlapped.hEvent = event;
        started =
            WriteFile(pipe, answer.data(), static_cast<DWORD>(answer.size()), nullptr, &overlapped);
        if (!WaitIo(pipe, overlapped, started, m_stop, bytes, error)) {
            break;
        }
    }
    CloseHandle(event);
    CloseHandle(pipe);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_closed;
    }
    m_changed.notify_all();
}

std::vector<uint8_t> ScriptedPipeServer::Answer(uint32_t id, const uint8_t* frame, DWORD size)
{
    std::vector<uint8_t> answer;
    if (size < sizeof(KorvelLinkRequestHeader)) {
        AppendU32(answer, ERROR_INVALID_DATA);
        AppendU32(answer, 0);
        return answer;
    }
    const uint32_t code = LoadU32(frame);
    const uint32_t inLength = LoadU32(frame + 4);
    const uint32_t outCapacity = LoadU32(frame + 8);
    const uint8_t* input = frame + sizeof(KorvelLinkRequestHeader);
    std::vector<uint8_t> in(input, input + std::min<size_t>(inLength, size - 12));

    uint32_t status = KORVEL_STATUS_SUCCESS;
    std::vector<uint8_t> out;
    bool runScript = false;
    KorvelMessage request{};
    ReplyScript script;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back(Call{id, code, in, outCapacity});
        auto raw = m_rawAnswers.find(code);
        if (raw != m_rawAnswers.end()) {
            answer = raw->second;
            m_rawAnswers.erase(raw);
            return answer;
        }
        auto failure = m_failNext.find(code);
        if (failure != m_failNext.end()) {
            status = failure->second;
            m_failNext.erase(failure);
        } else if (auto fixed = m_outputs.find(code); fixed != m_outputs.end()) {
            out = fixed->second; // whatever the code: a peer that always answers this
        } else {
            status = Handle(m_connections[id], code, in, outCapacity, out, runScript, request);
        }
        script = m_script;
    }
    if (runScript) {
        if (script) {
            script(id, request);
        } else {
            KorvelMessage reply;
            reply.InitReply(request, KORVEL_STATUS_SUCCESS);
            QueueMessage(id, reply, true);
        }
    }
    if (out.size() > outCapacity) {
        out.resize(outCapacity);
    }
    AppendU32(answer, status);
    AppendU32(answer, static_cast<uint32_t>(out.size()));
    answer.insert(answer.end(), out.begin(), out.end());
    return answer;
}

uint32_t ScriptedPipeServer::Handle(Connection& connection, uint32_t code,
                                    const std::vector<uint8_t>& in, uint32_t outCapacity,
                                    std::vector<uint8_t>& out, bool& runScript,
                                    KorvelMessage& request)
{
    (void)outCapacity;
    switch (code) {
    case IOCTL_KORVEL_GET_VERSION: {
        KorvelVersionInfo version{m_versionMajor, 1, 3, 2, 1, 0};
        out = Bytes(version);
        return KORVEL_STATUS_SUCCESS;
    }
    case IOCTL_KORVEL_GET_DEVICE_LIST: {
        KorvelDeviceList list{};
        list.count = m_reportedCount;
        for (size_t i = 0; i < m_devices.size() && i < KORVEL_MAX_DEVICES; ++i) {
            list.devices[i] = m_devices[i];
        }
        out = Bytes(list);
        return KORVEL_STATUS_SUCCESS;
    }
    case IOCTL_KORVEL_OPEN_DEVICE: {
        KorvelDeviceKey key{};
        if (in.size() != sizeof(key)) {
            return KORVEL_STATUS_INVALID_INBUFFER_SIZE;
        }
        std::memcpy(&key, in.data(), sizeof(key));
        for (const auto& device : m_devices) {
            if (device.key == key) {
                return KORVEL_STATUS_SUCCESS;
            }
        }
        return KORVEL_STATUS_NO_DEVICE;
    }
    case IOCTL_KORVEL_SET_NOTIFICATION_EVENTS:
        if (in.size() != sizeof(connection.events)) {
            return KORVEL_STATUS_INVALID_INBUFFER_SIZE;
        }
        std::memcpy(&connection.events, in.data(), sizeof(connection.events));
        return KORVEL_STATUS_SUCCESS;
    case IOCTL_KORVEL_SET_CLIENT_TYPE:
        if (in.size() != sizeof(uint32_t)) {
            return KORVEL_STATUS_INVALID_INBUFFER_SIZE;
        }
        connection.clientType = LoadU32(in.data());
        return KORVEL_STATUS_SUCCESS;
    case IOCTL_KORVEL_SEND_MESSAGE:
        if (in.size() < KORVEL_MSG_HEADER_SIZE || in.size() > sizeof(KorvelMessage)) {
            return KORVEL_STATUS_INVALID_INBUFFER_SIZE;
        }
        request = KorvelMessage{};
        std::memcpy(&request, in.data(), in.size());
        m_sequences.push_back(request.sequence);
        runScript = request.type == KORVEL_MSG_TYPE_REQUEST;
        return KORVEL_STATUS_SUCCESS;
    case IOCTL_KORVEL_RECEIVE_MESSAGE:
        return Pop(connection.messages, out);
    case IOCTL_KORVEL_RECEIVE_NOTIFICATION:
        return Pop(connection.notifications, out);
    case IOCTL_KORVEL_GET_CHANNEL_INFO: {
        // Echoes the channel key as the owning device key, so that a caller
        // can tell its answer from another caller's.
        KorvelChannelInfo info{};
        if (in.size() == sizeof(info.deviceKey)) {
            std::memcpy(&info.deviceKey, in.data(), sizeof(info.deviceKey));
        }
        out = Bytes(info);
        return KORVEL_STATUS_SUCCESS;
    }
    default:
        return KORVEL_STATUS_SUCCESS;
    }
}

uint32_t ScriptedPipeServer::Pop(std::vector<KorvelMessage>& queue, std::vector<uint8_t>& out)
{
    if (queue.empty()) {
        return KORVEL_STATUS_NO_MORE_ITEMS;
    }
    out = Bytes(queue.front());
    queue.erase(queue.begin());
    return KORVEL_STATUS_SUCCESS;
}

void ScriptedPipeServer::SetVersionMajor(uint32_t major)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_versionMajor = major;
}

void ScriptedPipeServer::SetDevices(const std::vector<KorvelDeviceInfo>& devices,
                                    uint32_t reportedCount)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_devices = devices;
    m_reportedCount = reportedCount;
}

void ScriptedPipeServer::SetDevices(const std::vector<KorvelDeviceInfo>& devices)
{
    SetDevices(devices, static_cast<uint32_t>(devices.size()));
}

void ScriptedPipeServer::FailNext(uint32_t code, uint32_t status)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failNext[code] = status;
}

void ScriptedPipeServer::SetRawAnswer(uint32_t code, const std::vector<uint8_t>& frame)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rawAnswers[code] = frame;
}

void ScriptedPipeServer::SetOutput(uint32_t code, const std::vector<uint8_t>& out)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_outputs[code] = out;
}

void ScriptedPipeServer::SetReplyScript(ReplyScript script)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_script = std::move(script);
}

void ScriptedPipeServer::QueueMessage(uint32_t connection, const KorvelMessage& message,
                                      bool signal)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Connection& target = m_connections[connection];
    target.messages.push_back(message);
    if (signal && target.events.messageEvent != 0) {
        SetEvent(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(target.events.messageEvent)));
    }
}

void ScriptedPipeServer::QueueNotification(uint32_t connection, const KorvelMessage& message,
                                           bool signal)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Connection& target = m_connections[connection];
    target.notifications.push_back(message);
    if (signal && target.events.notificationEvent != 0) {
        SetEvent(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(target.events.notificationEvent)));
    }
}

std::vector<ScriptedPipeServer::Call> ScriptedPipeServer::Calls() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

size_t ScriptedPipeServer::CountCalls(uint32_t code) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<size_t>(std::count_if(m_calls.begin(), m_calls.end(),
                                             [code](const Call& c) { return c.code == code; }));
}

uint32_t ScriptedPipeServer::LastClientType(uint32_t connection) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_connections.find(connection);
    return it == m_connections.end() ? 0xFFFFFFFFu : it->second.clientType;
}

KorvelEventRegistration ScriptedPipeServer::LastRegistration(uint32_t connection) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_connections.find(connection);
    return it == m_connections.end() ? KorvelEventRegistration{} : it->second.events;
}

bool ScriptedPipeServer::WaitClosed(size_t count, DWORD timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_closed.load() >= count; });
}

std::vector<uint32_t> ScriptedPipeServer::RequestSequences() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sequences;
}
