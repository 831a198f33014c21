#include "CtlDeviceCommands.h"

#include "CtlText.h"
#include "KorvelStatus.h"

using nlohmann::json;

int CtlDeviceCommands::Spdif(CtlContext& context)
{
    const CtlCommandLine& line = context.Line();
    bool on = false;
    if (line.WordCount() < 2 || line.WordCount() > 3 || line.Word(1) != "passthrough" ||
        (line.WordCount() == 3 && !CtlText::ParseOnOff(line.Word(2), on))) {
        return context.Report().Usage("spdif takes SERIAL passthrough [on|off]");
    }
    int exitCode = CTL_EXIT_OK;
    KorvelDevice* device = context.ConnectDevice(line.Word(0), exitCode);
    if (device == nullptr) {
        return exitCode;
    }
    if (line.WordCount() == 3) {
        const DWORD status = device->SetSpdifPassThrough(0, 0, on);
        if (status != KORVEL_STATUS_SUCCESS) {
            return context.Report().Failed("cannot set the S/PDIF pass-through", status);
        }
    }
    return Show(context, *device, "passThrough", "S/PDIF pass-through");
}

int CtlDeviceCommands::Bypass(CtlContext& context)
{
    const CtlCommandLine& line = context.Line();
    bool on = false;
    if (line.WordCount() < 1 || line.WordCount() > 2 ||
        (line.WordCount() == 2 && !CtlText::ParseOnOff(line.Word(1), on))) {
        return context.Report().Usage("bypass takes SERIAL [on|off]");
    }
    int exitCode = CTL_EXIT_OK;
    KorvelDevice* device = context.ConnectDevice(line.Word(0), exitCode);
    if (device == nullptr) {
        return exitCode;
    }
    if (line.WordCount() == 2) {
        const DWORD status = device->SetVolumeBypass(on ? 1 : 0);
        if (status != KORVEL_STATUS_SUCCESS) {
            return context.Report().Failed("cannot set the volume bypass", status);
        }
    }
    return Show(context, *device, "bypass", "volume bypass");
}

int CtlDeviceCommands::Show(CtlContext& context, KorvelDevice& device, const char* key,
                            const char* label)
{
    const std::string serial = CtlConnection::Serial(device);
    bool on = false;
    DWORD status = KORVEL_STATUS_SUCCESS;
    if (std::string(key) == "passThrough") {
        status = device.GetSpdifPassThrough(0, 0, on);
    } else {
        uint8_t bypass = 0;
        status = device.GetVolumeBypass(bypass);
        on = bypass != 0;
    }
    if (status != KORVEL_STATUS_SUCCESS) {
        return context.Report().Failed(std::string("cannot read the ") + label + " of " + serial,
                                       status);
    }
    return context.Report().Done({{"serial", serial}, {key, on}},
                                 serial + " " + label + ": " + (on ? "on" : "off"));
}
