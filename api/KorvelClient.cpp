#include "KorvelClient.h"

#include "KorvelDeadline.h"
#include "KorvelStatus.h"

uint32_t KorvelClient::NextSequenceNumber()
{
    // 1, 2, ... 0xFFFFFFFF, 1, ...: never 0.
    m_lastSequence = (m_lastSequence == 0xFFFFFFFFu ? 0u : m_lastSequence) + 1u;
    return m_lastSequence;
}

DWORD KorvelClient::Exchange(KorvelMessage& request, KorvelMessage& reply, DWORD timeoutMs)
{
    Lock();
    HANDLE event = MessageEvent();
    if (event == nullptr) {
        // Nothing could ever announce the reply: do not leave one behind.
        Unlock();
        return IsOpen() ? KORVEL_STATUS_FAILED : KORVEL_STATUS_NOT_OPENED;
    }
    const uint32_t sequence = NextSequenceNumber();
    request.sequence = sequence;
    // One deadline for the whole exchange: neither foreign replies nor a
    // peer that keeps answering can hold the connection's lock past it.
    const KorvelDeadline deadline(timeoutMs);
    DWORD status = SendMsg(request);
    while (status == ERROR_SUCCESS) {
        DWORD wait = WaitForSingleObject(event, deadline.RemainingMs());
        if (wait == WAIT_TIMEOUT) {
            status = KORVEL_STATUS_TIMEOUT;
            break;
        }
        if (wait != WAIT_OBJECT_0) {
            status = KORVEL_STATUS_FAILED;
            break;
        }
        bool matched = false;
        status = ReceiveReply(sequence, deadline, reply, matched);
        if (matched) {
            break;
        }
    }
    Unlock();
    return status;
}

DWORD KorvelClient::ReceiveReply(uint32_t sequence, const KorvelDeadline& deadline,
                                 KorvelMessage& reply, bool& matched)
{
    // Drains the queue: one wake-up of the auto-reset event may stand for
    // several queued messages, so a foreign reply must not end the drain or
    // the own reply behind it would wait for a signal that never comes.
    for (;;) {
        DWORD status = ReceiveMsg(reply);
        if (status == KORVEL_STATUS_NO_MORE_ITEMS) {
            return ERROR_SUCCESS; // wait again
        }
        if (status != ERROR_SUCCESS) {
            return status;
        }
        if (reply.type == KORVEL_MSG_TYPE_REPLY && reply.sequence == sequence) {
            matched = true;
            return ERROR_SUCCESS;
        }
        // Not a reply, or a reply to another request: dropped.
        if (deadline.Expired()) {
            return KORVEL_STATUS_TIMEOUT;
        }
    }
}

DWORD KorvelClient::SendRequest(uint32_t code, const void* payload, uint32_t length,
                                DWORD timeoutMs)
{
    KorvelMessage request;
    request.Init(KORVEL_MSG_TYPE_REQUEST, code);
    DWORD status = request.SetPayload(payload, length);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    KorvelMessage reply;
    reply.Init(0, 0);
    status = Exchange(request, reply, timeoutMs);
    m_lastExchangeStatus.store(status, std::memory_order_relaxed);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return reply.code == KORVEL_MSG_REPLY ? reply.result : KORVEL_STATUS_UNEXPECTED_MSG_CODE;
}

DWORD KorvelClient::SetSampleRate(uint32_t rate, DWORD timeoutMs)
{
    return SendRequest(KORVEL_MSG_SET_SAMPLE_RATE, &rate, sizeof(rate), timeoutMs);
}

DWORD KorvelClient::SetBufferSizes(const KorvelBufferSizesSetting& sizes)
{
    return SendRequest(KORVEL_MSG_SET_BUFFER_SIZES, &sizes, sizeof(sizes), m_replyTimeoutMs);
}

DWORD KorvelClient::SelectStreamingDevice(uint32_t keyWord0, uint32_t keyWord1, bool allDevices)
{
    KorvelStreamingDeviceSelection selection{};
    selection.allDevices = allDevices ? 1u : 0u;
    selection.key.word0 = keyWord0;
    selection.key.word1 = keyWord1;
    return SendRequest(KORVEL_MSG_SELECT_STREAMING_DEVICE, &selection, sizeof(selection),
                       m_replyTimeoutMs);
}

DWORD KorvelClient::SetDsdMode(uint8_t dsd, DWORD timeoutMs)
{
    return SendRequest(KORVEL_MSG_SET_DSD_MODE, &dsd, sizeof(dsd), timeoutMs);
}

DWORD KorvelClient::SetPolicy(uint32_t policy, DWORD timeoutMs)
{
    return SendRequest(KORVEL_MSG_SET_POLICY, &policy, sizeof(policy), timeoutMs);
}
