#pragma once
// A driver connection that sends requests to the server (the device control
// service) through the kernel driver and waits for their replies.
#include "KorvelDeadline.h"
#include "KorvelDriver.h"

class KorvelClient : public KorvelDriver
{
public:
    KorvelClient() = default;
    ~KorvelClient() override = default;

    // Numbers and sends `request`, then waits on the message event for the
    // reply with the same sequence number, which lands in `reply`. Holds the
    // connection's lock throughout. `timeoutMs` bounds the whole exchange,
    // waits and drains alike: KORVEL_STATUS_TIMEOUT when no matching reply
    // has come by then, KORVEL_STATUS_FAILED when the wait itself fails, a
    // receive's failure (a broken record included) as it comes.
    DWORD Exchange(KorvelMessage& request, KorvelMessage& reply, DWORD timeoutMs);

    // Each returns the exchange's status if non-zero, else the reply's
    // result for a KORVEL_MSG_REPLY, else KORVEL_STATUS_UNEXPECTED_MSG_CODE.
    DWORD SetSampleRate(uint32_t rate, DWORD timeoutMs = KORVEL_MSG_REPLY_TIMEOUT_MS);
    DWORD SetBufferSizes(const KorvelBufferSizesSetting& sizes);
    // Sent as {allDevices, key word 0, key word 1}.
    DWORD SelectStreamingDevice(uint32_t keyWord0, uint32_t keyWord1, bool allDevices);
    DWORD SetDsdMode(uint8_t dsd, DWORD timeoutMs = KORVEL_MSG_REPLY_TIMEOUT_MS);
    DWORD SetPolicy(uint32_t policy, DWORD timeoutMs = KORVEL_MSG_REPLY_TIMEOUT_MS);

    // Sequence number of the last request sent (0 before the first).
    uint32_t LastSequenceNumber() const { return m_lastSequence; }

protected:
    // Lets a derived class (or a test) continue numbering from `sequence`.
    void SetLastSequenceNumber(uint32_t sequence) { m_lastSequence = sequence; }

private:
    DWORD SendRequest(uint32_t code, const void* payload, uint32_t length, DWORD timeoutMs);
    uint32_t NextSequenceNumber();
    DWORD ReceiveReply(uint32_t sequence, const KorvelDeadline& deadline, KorvelMessage& reply,
                       bool& matched);

    uint32_t m_lastSequence = 0;
};
