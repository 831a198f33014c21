#pragma once
// Length checks and record copies for the device model's request handlers.
// Every read is bounded by the request's input length and every write by its
// output capacity, so a malformed request can only ever get a status.
#include "SimRequest.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

class SimRequestIo
{
public:
    // A fixed-length request: the input must be exactly `inLength` bytes and
    // the output capacity at least `outLength`. Input is checked first.
    static uint32_t CheckFixed(const SimRequest& r, uint32_t inLength, uint32_t outLength);

    // An array request whose input and output share one buffer: the input is
    // 1 to `maxCount` elements of `elementSize` bytes and the output capacity
    // holds at least as many bytes when `returnsArray` is set.
    static uint32_t CheckArray(const SimRequest& r, uint32_t elementSize, uint32_t maxCount,
                               bool returnsArray, uint32_t& count);

    // Copies element `index` of type T from the input; the caller has checked
    // the length.
    template <class T> static T ReadIn(const SimRequest& r, uint32_t index = 0)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        T value{};
        uint64_t end = (static_cast<uint64_t>(index) + 1) * sizeof(T);
        if (r.in != nullptr && end <= r.inLength) {
            std::memcpy(&value, r.in + static_cast<size_t>(index) * sizeof(T), sizeof(T));
        }
        return value;
    }

    // Writes `value` at element `index` of the output and extends the bytes
    // returned; a write past the capacity is dropped.
    template <class T> static void WriteOut(SimRequest& r, const T& value, uint32_t index = 0)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        WriteBytes(r, static_cast<uint32_t>(index * sizeof(T)), &value,
                   static_cast<uint32_t>(sizeof(T)));
    }

    static void WriteBytes(SimRequest& r, uint32_t offset, const void* data, uint32_t length);
};
