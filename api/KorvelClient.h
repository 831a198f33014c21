#pragma once
// A driver connection that sends requests to the server (the device control
// service) through the kernel driver and waits for their replies.
#include "KorvelDeadline.h"
#include "KorvelDriver.h"

#include <atomic>

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
    // Without a time limit of its own a request waits ReplyTimeout().
    DWORD SetSampleRate(uint32_t rate) { return SetSampleRate(rate, m_replyTimeoutMs); }
    DWORD SetSampleRate(uint32_t rate, DWORD timeoutMs);
    DWORD SetBufferSizes(const KorvelBufferSizesSetting& sizes);
    // Sent as {allDevices, key word 0, key word 1}.
    DWORD SelectStreamingDevice(uint32_t keyWord0, uint32_t keyWord1, bool allDevices);
    DWORD SetDsdMode(uint8_t dsd) { return SetDsdMode(dsd, m_replyTimeoutMs); }
    DWORD SetDsdMode(uint8_t dsd, DWORD timeoutMs);
    DWORD SetPolicy(uint32_t policy) { return SetPolicy(policy, m_replyTimeoutMs); }
    DWORD SetPolicy(uint32_t policy, DWORD timeoutMs);

    // How long a request waits for the server's reply unless it says
    // otherwise: KORVEL_MSG_REPLY_TIMEOUT_MS until set. A program whose
    // window waits (the control panel) sets a shorter one.
    void SetReplyTimeout(DWORD timeoutMs) { m_replyTimeoutMs = timeoutMs; }
    DWORD ReplyTimeout() const { return m_replyTimeoutMs; }
    // The status of the last request's exchange with the server, before the
    // reply's own result: 0 when the server answered, else why it did not
    // (KORVEL_STATUS_NO_SERVER, KORVEL_STATUS_TIMEOUT, ...). 0 before the first.
    DWORD LastExchangeStatus() const { return m_lastExchangeStatus.load(std::memory_order_relaxed); }

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
    DWORD m_replyTimeoutMs = KORVEL_MSG_REPLY_TIMEOUT_MS;
    std::atomic<DWORD> m_lastExchangeStatus{0};
};
