#include "BenchHostCallback.h"

__attribute__((noinline)) void BenchHostCallback(BenchBuffers& buffers, long index)
{
    const size_t half = static_cast<size_t>(index & 1) * buffers.frames;
    for (size_t i = 0; i < buffers.frames; ++i) {
        const int64_t left = buffers.inputs[0][half + i];
        const int64_t right = buffers.inputs[1][half + i];
        buffers.outputs[0][half + i] = static_cast<int32_t>((left * 3 + right) / 4);
        buffers.outputs[1][half + i] = static_cast<int32_t>((left + right * 3) / 4);
    }
}
