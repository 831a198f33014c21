#pragma once
// The input and output lengths of every control code the simulated kernel
// driver answers, in one table, checked for every request before any
// handler sees it: a length other than the record's is the client's fault
// and gets KORVEL_STATUS_INVALID_INBUFFER_SIZE (input checked first) or
// KORVEL_STATUS_INVALID_OUTBUFFER_SIZE; a code without an entry is
// KORVEL_STATUS_INVALID_IOCTL. A new code is answered once it has one entry
// here and a handler.
#include <cstdint>

struct SimLengthRule
{
    uint32_t code;
    // Input: from inMin to inMax bytes, a multiple of inStep.
    uint32_t inMin, inMax, inStep;
    // Output capacity: the same as the input (arrays answered in place), or
    // from outMin to outMax bytes, a multiple of outStep.
    bool outSameAsIn;
    uint32_t outMin, outMax, outStep;

    // Exactly `in` bytes in, exactly `out` bytes of output room.
    static constexpr SimLengthRule Fixed(uint32_t code, uint32_t in, uint32_t out)
    {
        return SimLengthRule{code, in, in, 1, false, out, out, 1};
    }
    // 1 to `maxCount` elements of `elementSize` bytes, returned in place.
    static constexpr SimLengthRule Array(uint32_t code, uint32_t elementSize, uint32_t maxCount)
    {
        return SimLengthRule{code, elementSize, elementSize * maxCount, elementSize, true, 0, 0, 1};
    }
};

class SimRequestLengths
{
public:
    // The rule of `code`, or null for a code the simulator does not answer.
    static const SimLengthRule* Find(uint32_t code);
    // 0, or the status above.
    static uint32_t Check(uint32_t code, uint32_t inLength, uint32_t outCapacity);
    static uint32_t Check(const SimLengthRule& rule, uint32_t inLength, uint32_t outCapacity);
};
