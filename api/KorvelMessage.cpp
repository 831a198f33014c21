#include "KorvelMessage.h"

#include "KorvelStatus.h"

#include <cstring>

void KorvelMessage::Init(uint32_t msgType, uint32_t msgCode)
{
    headerSize = KORVEL_MSG_HEADER_SIZE;
    payloadLength = 0;
    type = msgType;
    code = msgCode;
    sequence = 0;
    routing1 = 0;
    routing2 = 0;
    result = 0;
    std::memset(payload, 0, sizeof(payload));
}

void KorvelMessage::InitReply(const KorvelMessage& request, uint32_t status)
{
    // Read the request's words first: request and reply may be the same record.
    const uint32_t requestSequence = request.sequence;
    const uint32_t requestRouting1 = request.routing1;
    const uint32_t requestRouting2 = request.routing2;
    Init(KORVEL_MSG_TYPE_REPLY, KORVEL_MSG_REPLY);
    sequence = requestSequence;
    routing1 = requestRouting1;
    routing2 = requestRouting2;
    result = status;
}

uint32_t KorvelMessage::SetPayload(const void* data, uint32_t length)
{
    if (length > KORVEL_MSG_MAX_PAYLOAD) {
        return KORVEL_STATUS_INVALID_LENGTH;
    }
    if (length != 0 && data == nullptr) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    if (length != 0) {
        std::memmove(payload, data, length);
    }
    // Bytes past the payload stay zero, as the record promises.
    std::memset(payload + length, 0, KORVEL_MSG_MAX_PAYLOAD - length);
    payloadLength = length;
    return KORVEL_STATUS_SUCCESS;
}

uint32_t KorvelMessage::GetPayload(void* buffer, uint32_t& length) const
{
    const uint32_t stored = payloadLength;
    if (stored > length || stored > KORVEL_MSG_MAX_PAYLOAD) {
        return KORVEL_STATUS_INVALID_LENGTH;
    }
    if (stored != 0) {
        if (buffer == nullptr) {
            return KORVEL_STATUS_INVALID_PARAMETER;
        }
        std::memcpy(buffer, payload, stored);
    }
    length = stored;
    return KORVEL_STATUS_SUCCESS;
}

uint32_t KorvelMessage::ReadPayload(void* record, uint32_t size) const
{
    // Decide before copying so that a payload of the wrong size leaves the
    // caller's record as it was.
    if (payloadLength > size || payloadLength > KORVEL_MSG_MAX_PAYLOAD) {
        return KORVEL_STATUS_INVALID_LENGTH;
    }
    if (payloadLength != size) {
        return KORVEL_STATUS_INVALID_MSG_SIZE;
    }
    uint32_t length = size;
    return GetPayload(record, length);
}
