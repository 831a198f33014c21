#pragma once
// The driver-wide settings the service changes: rate, buffers, select and
// policy. Without a value each shows the setting; with one it asks the
// service, which refuses while audio is in use, and shows the result.
#include "CtlContext.h"

class CtlSettingCommands
{
public:
    static int Rate(CtlContext& context);
    static int Buffers(CtlContext& context);
    static int Select(CtlContext& context);
    static int Policy(CtlContext& context);

private:
    static int ShowRates(CtlContext& context);
    static int ShowBuffers(CtlContext& context);
    static int ShowSelection(CtlContext& context);
    static int ShowPolicy(CtlContext& context);
    // One setting read with `read`, shown with `text`.
    static int Show(CtlContext& context, DWORD (*read)(KorvelDriver&, nlohmann::json&),
                    const char* what, std::string (*text)(const nlohmann::json&));
};
