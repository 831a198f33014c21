#include "SimRequestIo.h"

#include "KorvelStatus.h"

uint32_t SimRequestIo::CheckFixed(const SimRequest& r, uint32_t inLength, uint32_t outLength)
{
    if (r.inLength != inLength || (inLength != 0 && r.in == nullptr)) {
        return KORVEL_STATUS_INVALID_INBUFFER_SIZE;
    }
    if (r.outCapacity < outLength || (outLength != 0 && r.out == nullptr)) {
        return KORVEL_STATUS_INVALID_OUTBUFFER_SIZE;
    }
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimRequestIo::CheckArray(const SimRequest& r, uint32_t elementSize, uint32_t maxCount,
                                  bool returnsArray, uint32_t& count)
{
    count = 0;
    if (r.in == nullptr || r.inLength == 0 || r.inLength % elementSize != 0 ||
        r.inLength / elementSize > maxCount) {
        return KORVEL_STATUS_INVALID_INBUFFER_SIZE;
    }
    if (returnsArray && (r.out == nullptr || r.outCapacity < r.inLength)) {
        return KORVEL_STATUS_INVALID_OUTBUFFER_SIZE;
    }
    count = r.inLength / elementSize;
    return KORVEL_STATUS_SUCCESS;
}

void SimRequestIo::WriteBytes(SimRequest& r, uint32_t offset, const void* data, uint32_t length)
{
    uint64_t end = static_cast<uint64_t>(offset) + length;
    if (r.out == nullptr || end > r.outCapacity) {
        return;
    }
    std::memcpy(r.out + offset, data, length);
    if (end > r.bytesReturned) {
        r.bytesReturned = static_cast<uint32_t>(end);
    }
}
