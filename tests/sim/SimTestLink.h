#pragma once
// A raw client of the simulator link for tests: opens a simulator pipe and
// exchanges hand-built frames, so that the tests see exactly what the
// simulator answers, malformed frames included.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct SimTestAnswer
{
    uint32_t transport = 0; // 0, or the Win32 error of the exchange
    uint32_t status = 0xFFFFFFFFu;
    uint32_t bytesReturned = 0;
    std::vector<uint8_t> out; // the output bytes that followed
};

class SimTestLink
{
public:
    SimTestLink() = default;
    ~SimTestLink() { Close(); }

    SimTestLink(const SimTestLink&) = delete;
    SimTestLink& operator=(const SimTestLink&) = delete;

    // Opens \\.\pipe\<ns>\<name> in message mode; 0 or the Win32 error.
    uint32_t Open(const std::wstring& nameSpace, const std::wstring& name);
    void Close();

    // Sends `frame` as it is and reads one answer frame.
    SimTestAnswer Raw(const std::vector<uint8_t>& frame);

    // A well-formed request frame.
    SimTestAnswer Request(uint32_t code, const void* in, uint32_t inLength, uint32_t outCapacity);

    // Shorthands for the status of common requests.
    uint32_t SetClientType(uint32_t type);
    uint32_t RegisterEvents(HANDLE messageEvent, HANDLE notificationEvent);
    uint32_t SendMsg(uint32_t type, uint32_t code, uint32_t sequence, const void* payload,
                     uint32_t payloadLength, uint32_t routing1 = 0, uint32_t routing2 = 0,
                     uint32_t result = 0);
    // RECEIVE_MESSAGE or RECEIVE_NOTIFICATION; `message` gets the 544 bytes.
    uint32_t Receive(bool notification, std::vector<uint8_t>& message);

    static std::vector<uint8_t> Frame(uint32_t code, const void* in, uint32_t inLength,
                                      uint32_t outCapacity);

private:
    HANDLE m_pipe = INVALID_HANDLE_VALUE;
};
