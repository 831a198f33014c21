#include "BenchFrameServer.h"

#include "KorvelIoctl.h"
#include "KorvelLinkFrame.h"
#include "KorvelRecords.h"
#include "KorvelStatus.h"

#include <cstring>

namespace {

constexpr DWORD PIPE_BUFFER = KORVEL_LINK_MAX_FRAME;

HANDLE CreateInstance(const std::wstring& path)
{
    return CreateNamedPipeW(path.c_str(), PIPE_ACCESS_DUPLEX,
                            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                            PIPE_UNLIMITED_INSTANCES, PIPE_BUFFER, PIPE_BUFFER, 0, nullptr);
}

} // namespace

BenchFrameServer::BenchFrameServer(const std::wstring& nameSpace, const std::wstring& name)
    : m_path(L"\\\\.\\pipe\\" + nameSpace + L"\\" + name)
{
}

BenchFrameServer::~BenchFrameServer()
{
    Stop();
}

bool BenchFrameServer::Start()
{
    m_serverWake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    m_firstInstance = CreateInstance(m_path);
    if (m_serverWake == nullptr || m_firstInstance == INVALID_HANDLE_VALUE) {
        return false;
    }
    m_listener = std::thread([this] { Listen(); });
    m_server = std::thread([this] { ServerLoop(); });
    return true;
}

void BenchFrameServer::Stop()
{
    if (!m_listener.joinable()) {
        return;
    }
    m_stopping = true;
    // Unblocks the listener's ConnectNamedPipe with one last connection.
    HANDLE poke = CreateFileW(m_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    m_listener.join();
    if (poke != INVALID_HANDLE_VALUE) {
        CloseHandle(poke);
    }
    SetEvent(m_serverWake);
    m_server.join();
    for (auto& session : m_sessions) {
        session.join(); // sessions end when their clients close
    }
    m_sessions.clear();
    CloseHandle(m_serverWake);
}

void BenchFrameServer::Listen()
{
    HANDLE pipe = m_firstInstance;
    while (pipe != INVALID_HANDLE_VALUE) {
        BOOL connected = ConnectNamedPipe(pipe, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
        if (!connected || m_stopping) {
            CloseHandle(pipe);
            return;
        }
        auto connection = std::make_shared<Connection>();
        m_sessions.emplace_back([this, pipe, connection] { Serve(pipe, connection); });
        pipe = CreateInstance(m_path);
    }
}

void BenchFrameServer::Serve(HANDLE pipe, std::shared_ptr<Connection> connection)
{
    std::vector<uint8_t> request(PIPE_BUFFER);
    std::vector<uint8_t> answer(PIPE_BUFFER);
    for (;;) {
        DWORD size = 0;
        if (!ReadFile(pipe, request.data(), PIPE_BUFFER, &size, nullptr) ||
            size < sizeof(KorvelLinkRequestHeader)) {
            break;
        }
        KorvelLinkRequestHeader header{};
        std::memcpy(&header, request.data(), sizeof(header));
        uint32_t inLength = size - static_cast<uint32_t>(sizeof(header));
        uint32_t capacity = header.outCapacity;
        if (capacity > PIPE_BUFFER - sizeof(KorvelLinkAnswerHeader)) {
            capacity = PIPE_BUFFER - sizeof(KorvelLinkAnswerHeader);
        }
        KorvelLinkAnswerHeader reply{};
        reply.status =
            Handle(*connection, connection, header.code, request.data() + sizeof(header), inLength,
                   answer.data() + sizeof(reply), capacity, reply.bytesReturned);
        std::memcpy(answer.data(), &reply, sizeof(reply));
        DWORD written = 0;
        if (!WriteFile(pipe, answer.data(), static_cast<DWORD>(sizeof(reply) + reply.bytesReturned),
                       &written, nullptr)) {
            break;
        }
    }
    CloseHandle(pipe);
}

uint32_t BenchFrameServer::Handle(Connection& connection, const std::shared_ptr<Connection>& self,
                                  uint32_t code, const uint8_t* in, uint32_t inLength, uint8_t* out,
                                  uint32_t outCapacity, uint32_t& bytesReturned)
{
    bytesReturned = 0;
    switch (code) {
    case IOCTL_KORVEL_GET_VERSION: {
        KorvelVersionInfo version{KORVEL_INTERFACE_VERSION_MAJOR, 0, 1, 0, 0, 0};
        bytesReturned = sizeof(version) <= outCapacity ? sizeof(version) : 0;
        std::memcpy(out, &version, bytesReturned);
        return KORVEL_STATUS_SUCCESS;
    }
    case IOCTL_KORVEL_GET_STREAMING_STATE: {
        KorvelStreamingState state{};
        state.state = KORVEL_STREAMING_STATE_RUNNING;
        state.sampleRate = 48000;
        bytesReturned = sizeof(state) <= outCapacity ? sizeof(state) : 0;
        std::memcpy(out, &state, bytesReturned);
        return KORVEL_STATUS_SUCCESS;
    }
    case IOCTL_KORVEL_SET_NOTIFICATION_EVENTS: {
        KorvelEventRegistration events{};
        if (inLength == sizeof(events)) {
            std::memcpy(&events, in, sizeof(events));
            std::lock_guard<std::mutex> lock(connection.lock);
            // Same process: the client's handle value is valid here.
            connection.messageEvent =
                reinterpret_cast<HANDLE>(static_cast<uintptr_t>(events.messageEvent));
        }
        return KORVEL_STATUS_SUCCESS;
    }
    case IOCTL_KORVEL_SEND_MESSAGE: {
        Pending pending{self, {}};
        if (inLength < KORVEL_MSG_HEADER_SIZE || inLength > sizeof(KorvelMessage)) {
            return KORVEL_STATUS_INVALID_INBUFFER_SIZE;
        }
        std::memcpy(&pending.request, in, inLength);
        if (pending.request.type != KORVEL_MSG_TYPE_REQUEST) {
            return KORVEL_STATUS_SUCCESS; // only requests go to the server loop
        }
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_inbox.push_back(pending);
        }
        SetEvent(m_serverWake);
        return KORVEL_STATUS_SUCCESS;
    }
    case IOCTL_KORVEL_RECEIVE_MESSAGE: {
        std::lock_guard<std::mutex> lock(connection.lock);
        if (connection.messages.empty()) {
            return KORVEL_STATUS_NO_MORE_ITEMS;
        }
        if (outCapacity < sizeof(KorvelMessage)) {
            return KORVEL_STATUS_INVALID_OUTBUFFER_SIZE;
        }
        std::memcpy(out, &connection.messages.front(), sizeof(KorvelMessage));
        connection.messages.pop_front();
        bytesReturned = sizeof(KorvelMessage);
        return KORVEL_STATUS_SUCCESS;
    }
    case IOCTL_KORVEL_RECEIVE_NOTIFICATION: {
        // Never empty: the bare baseline uses it for a full-size receive.
        if (outCapacity < sizeof(KorvelMessage)) {
            return KORVEL_STATUS_INVALID_OUTBUFFER_SIZE;
        }
        KorvelMessage notice;
        notice.Init(KORVEL_MSG_TYPE_NOTIFICATION, KORVEL_NOTIFY_SETTINGS_CHANGED);
        std::memcpy(out, &notice, sizeof(notice));
        bytesReturned = sizeof(notice);
        return KORVEL_STATUS_SUCCESS;
    }
    default:
        return KORVEL_STATUS_SUCCESS;
    }
}

void BenchFrameServer::ServerLoop()
{
    for (;;) {
        WaitForSingleObject(m_serverWake, INFINITE);
        std::deque<Pending> batch;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            batch.swap(m_inbox);
        }
        if (m_stopping && batch.empty()) {
            return;
        }
        for (auto& pending : batch) {
            KorvelMessage reply;
            reply.InitReply(pending.request, KORVEL_STATUS_SUCCESS);
            HANDLE event = nullptr;
            {
                std::lock_guard<std::mutex> lock(pending.connection->lock);
                pending.connection->messages.push_back(reply);
                event = pending.connection->messageEvent;
            }
            if (event != nullptr) {
                SetEvent(event);
            }
        }
    }
}
