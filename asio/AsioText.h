#pragma once
// The copies through which text reaches the host: at most size - 1 units,
// each UTF-16 unit reduced to its low byte, then a terminating zero. The
// source is read no further than its own capacity, so an unterminated field
// from the kernel driver is never read past its end.
#include <cstddef>

class AsioText
{
public:
    static void Narrow(char* target, size_t targetSize, const wchar_t* source,
                       size_t sourceCapacity);
    static void Copy(wchar_t* target, size_t targetSize, const wchar_t* source,
                     size_t sourceCapacity);
};
