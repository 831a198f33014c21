#pragma once
// quilloctl status: the driver and interface version, every device, the
// streaming state, the sample rates, the buffer classes, the five status
// counters and the policy, in one document.
#include "CtlContext.h"

class CtlStatusCommand
{
public:
    static int Run(CtlContext& context);

private:
    static std::string Text(const nlohmann::json& status);
};
