#pragma once
// One request frame of the simulator link as read from a pipe, checked
// against its header before anything in it is used, and the answer frame
// built for it (see KorvelLinkFrame.h).
#include "KorvelLinkFrame.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class SimFrame
{
public:
    // Largest output capacity a request may ask for: the answer frame
    // (header plus output bytes) must itself fit KORVEL_LINK_MAX_FRAME.
    static constexpr uint32_t MAX_OUT_CAPACITY =
        KORVEL_LINK_MAX_FRAME - static_cast<uint32_t>(sizeof(KorvelLinkAnswerHeader));

    // Checks a received message. `tooLong` says the pipe message did not fit
    // the maximal frame. Returns 0 or KORVEL_STATUS_INVALID_PARAMETER; on
    // failure the header fields that could be read are still filled (for
    // the trace), `In()` is null.
    uint32_t Parse(const uint8_t* data, size_t size, bool tooLong);

    uint32_t Code() const { return m_header.code; }
    uint32_t InLength() const { return m_header.inLength; }
    uint32_t OutCapacity() const { return m_header.outCapacity; }
    const uint8_t* In() const { return m_in; }

    // Answer frame: status, count, then `count` bytes of `out`. The count is
    // cut to `capacity` so that no answer returns more than was asked for.
    static void BuildAnswer(uint32_t status, const uint8_t* out, uint32_t count, uint32_t capacity,
                            std::vector<uint8_t>& answer);

private:
    KorvelLinkRequestHeader m_header{};
    const uint8_t* m_in = nullptr;
};
