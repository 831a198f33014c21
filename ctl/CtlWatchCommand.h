#pragma once
// quilloctl watch: every notification the connection receives, one line
// each as it arrives (a JSON object a line with --json), until stopped.
#include "CtlContext.h"

class CtlWatchCommand
{
public:
    // How long a wait for the next notification lasts before the connection
    // is checked: a driver that went away ends the command.
    static constexpr DWORD CHECK_PERIOD_MS = 1000;

    static int Run(CtlContext& context);

    // "sample-rate-changed" for 3011; null for a code without a name.
    static const char* EventName(uint32_t code);

private:
    // Receives and reports every queued notification; the failing status.
    static DWORD Drain(CtlContext& context);
    static nlohmann::json Describe(CtlContext& context, const KorvelMessage& message);
};
