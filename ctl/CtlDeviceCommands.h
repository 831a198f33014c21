#pragma once
// The switches of one device, sent on its own handle: S/PDIF pass-through
// and volume bypass. Without a value each shows the switch.
#include "CtlContext.h"

class CtlDeviceCommands
{
public:
    static int Spdif(CtlContext& context);
    static int Bypass(CtlContext& context);

private:
    static int Show(CtlContext& context, KorvelDevice& device, const char* key,
                    const char* label);
};
