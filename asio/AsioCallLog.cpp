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
    KorvelLog::Write(result == ASE_OK || result == ASE_SUCCESS ? KORVEL_LOG_INFO : KORVEL_LOG_ERROR,
                     "asio %s -> %s", call, ResultName(result));
    return result;
}

const char* AsioCallLog::ResultName(ASIOError result)
{
    switch (result) {
    case ASE_OK:
        return "ASE_OK";
    case ASE_SUCCESS:
        return "ASE_SUCCESS";
    case ASE_NotPresent:
        return "ASE_NotPresent";
    case ASE_HWMalfunction:
        return "ASE_HWMalfunction";
    case ASE_InvalidParameter:
        return "ASE_InvalidParameter";
    case ASE_InvalidMode:
        return "ASE_InvalidMode";
    case ASE_SPNotAdvancing:
        return "ASE_SPNotAdvancing";
    case ASE_NoClock:
        return "ASE_NoClock";
    case ASE_NoMemory:
        return "ASE_NoMemory";
    default:
        return "?";
    }
}
