#include "SimFrame.h"

#include "KorvelStatus.h"

#include <cstring>

uint32_t SimFrame::Parse(const uint8_t* data, size_t size, bool tooLong)
{
    m_header = {};
    m_in = nullptr;
    if (size >= sizeof m_header) {
        std::memcpy(&m_header, data, sizeof m_header);
    }
    if (tooLong || size < sizeof m_header || size > KORVEL_LINK_MAX_FRAME) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    if (static_cast<uint64_t>(m_header.inLength) + sizeof m_header != size) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    if (m_header.outCapacity > MAX_OUT_CAPACITY) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    m_in = data + sizeof m_header;
    return 0;
}

void SimFrame::BuildAnswer(uint32_t status, const uint8_t* out, uint32_t count, uint32_t capacity,
                           std::vector<uint8_t>& answer)
{
    if (count > capacity || out == nullptr) {
        count = out == nullptr ? 0 : capacity;
    }
    KorvelLinkAnswerHeader header{status, count};
    answer.resize(sizeof header + count);
    std::memcpy(answer.data(), &header, sizeof header);
    if (count != 0) {
        std::memcpy(answer.data() + sizeof header, out, count);
    }
}
