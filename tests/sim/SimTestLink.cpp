#include "SimTestLink.h"

#include "KorvelIoctl.h"
#include "KorvelMessage.h"
#include "KorvelRecords.h"
#include "SimServer.h"

#include <cstring>

uint32_t SimTestLink::Open(const std::wstring& nameSpace, const std::wstring& name)
{
    Close();
    std::wstring path = SimServer::PipePath(nameSpace, name);
    for (int attempt = 0; attempt < 50; ++attempt) {
        m_pipe = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             0, nullptr);
        if (m_pipe != INVALID_HANDLE_VALUE) {
            DWORD mode = PIPE_READMODE_MESSAGE;
            return SetNamedPipeHandleState(m_pipe, &mode, nullptr, nullptr) ? 0 : GetLastError();
        }
        DWORD error = GetLastError();
        if (error != ERROR_PIPE_BUSY) {
            return error;
        }
        WaitNamedPipeW(path.c_str(), 100);
    }
    return ERROR_PIPE_BUSY;
}

void SimTestLink::Close()
{
    if (m_pipe != INVALID_HANDLE_VALUE) {
        CloseHandle(m_pipe);
        m_pipe = INVALID_HANDLE_VALUE;
    }
}

std::vector<uint8_t> SimTestLink::Frame(uint32_t code, const void* in, uint32_t inLength,
                                        uint32_t outCapacity)
{
    std::vector<uint8_t> frame(12 + inLength);
    uint32_t header[3] = {code, inLength, outCapacity};
    std::memcpy(frame.data(), header, sizeof header);
    if (inLength != 0) {
        std::memcpy(frame.data() + 12, in, inLength);
    }
    return frame;
}

SimTestAnswer SimTestLink::Raw(const std::vector<uint8_t>& frame)
{
    SimTestAnswer answer;
    std::vector<uint8_t> buffer(70 * 1024);
    DWORD read = 0;
    if (!TransactNamedPipe(m_pipe, const_cast<uint8_t*>(frame.data()),
                           static_cast<DWORD>(frame.size()), buffer.data(),
                           static_cast<DWORD>(buffer.size()), &read, nullptr)) {
        answer.transport = GetLastError();
        return answer;
    }
    if (read < 8) {
        answer.transport = ERROR_INVALID_DATA;
        return answer;
    }
    std::memcpy(&answer.status, buffer.data(), 4);
    std::memcpy(&answer.bytesReturned, buffer.data() + 4, 4);
    answer.out.assign(buffer.begin() + 8, buffer.begin() + read);
    return answer;
}

SimTestAnswer SimTestLink::Request(uint32_t code, const void* in, uint32_t inLength,
                                   uint32_t outCapacity)
{
    return Raw(Frame(code, in, inLength, outCapacity));
}

uint32_t SimTestLink::SetClientType(uint32_t type)
{
    return Request(IOCTL_KORVEL_SET_CLIENT_TYPE, &type, 4, 0).status;
}

uint32_t SimTestLink::RegisterEvents(HANDLE messageEvent, HANDLE notificationEvent)
{
    KorvelEventRegistration registration{reinterpret_cast<uintptr_t>(messageEvent),
                                         reinterpret_cast<uintptr_t>(notificationEvent)};
    return Request(IOCTL_KORVEL_SET_NOTIFICATION_EVENTS, &registration, sizeof registration, 0)
        .status;
}

uint32_t SimTestLink::SendMsg(uint32_t type, uint32_t code, uint32_t sequence, const void* payload,
                              uint32_t payloadLength, uint32_t routing1, uint32_t routing2,
                              uint32_t result)
{
    std::vector<uint8_t> message(KORVEL_MSG_HEADER_SIZE + payloadLength);
    uint32_t header[8] = {
        KORVEL_MSG_HEADER_SIZE, payloadLength, type, code, sequence, routing1, routing2, result};
    std::memcpy(message.data(), header, sizeof header);
    if (payloadLength != 0) {
        std::memcpy(message.data() + KORVEL_MSG_HEADER_SIZE, payload, payloadLength);
    }
    return Request(IOCTL_KORVEL_SEND_MESSAGE, message.data(), static_cast<uint32_t>(message.size()),
                   0)
        .status;
}

uint32_t SimTestLink::Receive(bool notification, std::vector<uint8_t>& message)
{
    SimTestAnswer answer =
        Request(notification ? IOCTL_KORVEL_RECEIVE_NOTIFICATION : IOCTL_KORVEL_RECEIVE_MESSAGE,
                nullptr, 0, KORVEL_MSG_SIZE);
    message = answer.out;
    return answer.transport != 0 ? answer.transport : answer.status;
}
