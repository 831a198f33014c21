#include "AsioCallLog.h"

#include "KorvelLog.h"

#include <cstdarg>
#include <cstdio>

ASIOError AsioCallLog::Result(ASIOError result, const char* format, ...)
{
    if (!KorvelLog::IsOn(KORVEL_LOG_INFO)) {
        return result;
    }
    char call[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(call, sizeof call, format, arguments);
    va_end(arguments);
    // The result as its number (ASE_NotPresent is -1000, ASE_InvalidMode -997, ...).
    KorvelLog::Write(result == ASE_OK || result == ASE_SUCCESS ? KORVEL_LOG_INFO : KORVEL_LOG_ERROR,
                     "asio %s -> %ld", call, static_cast<long>(result));
    return result;
}
