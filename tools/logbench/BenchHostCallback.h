#pragma once
// The stand-in for a host's bufferSwitch in the log benchmark: mixes two
// input channels into two outputs, as a light host does each half. Kept in a
// file of its own and never inlined, so that every variant of the switch
// loop calls exactly the same code.
#include <cstddef>
#include <cstdint>

struct BenchBuffers
{
    int32_t* inputs[2];
    int32_t* outputs[2];
    size_t frames;
};

void BenchHostCallback(BenchBuffers& buffers, long index);
