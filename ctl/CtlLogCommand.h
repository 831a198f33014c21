#pragma once
// quilloctl log: turns the diagnostic log of every running program on or
// off (the LogLevel value under the product key, which they read within a
// second) and collects the logs with the status, the service's event-log
// entries and the versions into a folder for a support request.
#include "CtlContext.h"

class CtlLogCommand
{
public:
    static int Run(CtlContext& context);

private:
    static int SetLevel(CtlContext& context, KorvelLogLevel level);
    static int Collect(CtlContext& context, const std::string& folder);
    // Copies every log file; the number copied.
    static size_t CopyLogs(const std::wstring& target);
    static std::string EventLogText();
    static std::string StatusText(CtlContext& context);
};
