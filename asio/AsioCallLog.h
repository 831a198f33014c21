#pragma once
// The diagnostic log's line of one host call: the call with its arguments
// and the result, written after the call (nothing when the log is off).
#include "AsioTypes.h"

class AsioCallLog
{
public:
    // Logs "<call> -> <result>" with the printf-style arguments and
    // returns `result` unchanged.
    static ASIOError Result(ASIOError result, const char* format, ...)
        __attribute__((format(printf, 2, 3)));
};
