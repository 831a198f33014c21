#include "CtlSettingCommands.h"

#include "CtlDriverState.h"
#include "CtlText.h"
#include "KorvelStatus.h"

using nlohmann::json;

namespace {
constexpr const char* kForbidRateChange = "forbid-rate-change";
}

int CtlSettingCommands::Rate(CtlContext& context)
{
    const CtlCommandLine& line = context.Line();
    uint32_t rate = 0;
    if (line.WordCount() > 1 || (line.WordCount() == 1 && !CtlText::ParseU32(line.Word(0), rate))) {
        return context.Report().Usage("rate takes one sample rate in Hz, or nothing");
    }
    int exitCode = context.Connect();
    if (exitCode == CTL_EXIT_OK && line.WordCount() == 1) {
        const DWORD status = context.Client().SetSampleRate(rate);
        if (status != KORVEL_STATUS_SUCCESS) {
            return context.Connection().ServiceFailure(
                context.Report(), "cannot set the sample rate to " + line.Word(0) + " Hz", status);
        }
    }
    return exitCode == CTL_EXIT_OK ? ShowRates(context) : exitCode;
}

int CtlSettingCommands::Buffers(CtlContext& context)
{
    const CtlCommandLine& line = context.Line();
    uint32_t streaming = 0;
    uint32_t asio = 0;
    if (line.WordCount() == 1 || line.WordCount() > 2 ||
        (line.WordCount() == 2 && (!CtlDriverState::FindStreamingClass(line.Word(0), streaming) ||
                                   !CtlDriverState::FindAsioClass(line.Word(1), asio)))) {
        return context.Report().Usage(
            "buffers takes a streaming class (Minimum, ExtraSmall, Small, Large, ExtraLarge, "
            "Safe) and an ASIO class (Minimum, Small, Large, Maximum), or nothing");
    }
    int exitCode = context.Connect();
    if (exitCode == CTL_EXIT_OK && line.WordCount() == 2) {
        // The third word goes back exactly as the driver reported it.
        KorvelBufferSizes current{};
        DWORD status = context.Client().GetBufferSizes(current);
        if (status != KORVEL_STATUS_SUCCESS) {
            return context.Report().Failed("cannot read the buffer sizes", status);
        }
        status = context.Client().SetBufferSizes({streaming, asio, current.thirdWord});
        if (status != KORVEL_STATUS_SUCCESS) {
            return context.Connection().ServiceFailure(context.Report(),
                                                       "cannot set the buffer sizes", status);
        }
    }
    return exitCode == CTL_EXIT_OK ? ShowBuffers(context) : exitCode;
}

int CtlSettingCommands::Select(CtlContext& context)
{
    const CtlCommandLine& line = context.Line();
    if (line.WordCount() > 1) {
        return context.Report().Usage("select takes a serial number or \"all\", or nothing");
    }
    int exitCode = context.Connect();
    if (exitCode != CTL_EXIT_OK || line.WordCount() == 0) {
        return exitCode == CTL_EXIT_OK ? ShowSelection(context) : exitCode;
    }
    DWORD status = KORVEL_STATUS_SUCCESS;
    if (CtlText::SameText(line.Word(0), "all")) {
        status = context.Client().SelectStreamingDevice(0, 0, true);
    } else {
        KorvelDevice* device = context.Connection().FindBySerial(line.Word(0));
        if (device == nullptr) {
            return CtlConnection::NoSuchDevice(context.Report(), line.Word(0));
        }
        const KorvelDeviceKey key = device->Info().key;
        status = context.Client().SelectStreamingDevice(key.word0, key.word1, false);
    }
    if (status != KORVEL_STATUS_SUCCESS) {
        return context.Connection().ServiceFailure(
            context.Report(), "cannot select " + line.Word(0) + " for streaming", status);
    }
    // The flags of the device list follow the new selection.
    bool changed = false;
    (void)context.Client().RefreshDevices(changed);
    return ShowSelection(context);
}

int CtlSettingCommands::Policy(CtlContext& context)
{
    const CtlCommandLine& line = context.Line();
    bool forbid = false;
    if (line.WordCount() > 2 || (line.WordCount() >= 1 && line.Word(0) != kForbidRateChange) ||
        (line.WordCount() == 2 && !CtlText::ParseOnOff(line.Word(1), forbid))) {
        return context.Report().Usage("policy takes forbid-rate-change on|off, or nothing");
    }
    int exitCode = context.Connect();
    if (exitCode == CTL_EXIT_OK && line.WordCount() == 2) {
        uint32_t policy = 0;
        DWORD status = context.Client().GetPolicy(policy);
        if (status != KORVEL_STATUS_SUCCESS) {
            return context.Report().Failed("cannot read the policy", status);
        }
        policy = forbid ? (policy | KORVEL_POLICY_FORBID_SAMPLE_RATE_CHANGE)
                        : (policy & ~KORVEL_POLICY_FORBID_SAMPLE_RATE_CHANGE);
        status = context.Client().SetPolicy(policy);
        if (status != KORVEL_STATUS_SUCCESS) {
            return context.Connection().ServiceFailure(context.Report(), "cannot set the policy",
                                                       status);
        }
    }
    return exitCode == CTL_EXIT_OK ? ShowPolicy(context) : exitCode;
}

int CtlSettingCommands::ShowRates(CtlContext& context)
{
    return Show(context, CtlDriverState::ReadRates, "cannot read the sample rates",
                CtlDriverState::RatesText);
}

int CtlSettingCommands::ShowBuffers(CtlContext& context)
{
    return Show(context, CtlDriverState::ReadBuffers, "cannot read the buffer sizes",
                CtlDriverState::BuffersText);
}

int CtlSettingCommands::ShowSelection(CtlContext& context)
{
    json streaming;
    const DWORD status = CtlDriverState::ReadStreaming(context.Client(), streaming);
    if (status != KORVEL_STATUS_SUCCESS) {
        return context.Report().Failed("cannot read the streaming state", status);
    }
    json selected = json::array();
    KorvelCplClient& client = context.Client();
    for (size_t i = 0; i < client.DeviceCount(); ++i) {
        const KorvelDevice& device = *client.DeviceAt(i);
        if ((device.Info().flags & KORVEL_DEVICE_FLAG_STREAMING) != 0) {
            selected.push_back(CtlConnection::Serial(device));
        }
    }
    const std::string mode = streaming["mode"].get<std::string>();
    std::string text = "streaming mode: " + mode + "\nselected:";
    for (const json& serial : selected) {
        text += " " + serial.get<std::string>();
    }
    return context.Report().Done({{"mode", mode}, {"selected", selected}}, text);
}

int CtlSettingCommands::ShowPolicy(CtlContext& context)
{
    return Show(context, CtlDriverState::ReadPolicy, "cannot read the policy",
                CtlDriverState::PolicyText);
}

int CtlSettingCommands::Show(CtlContext& context, DWORD (*read)(KorvelDriver&, json&),
                             const char* what, std::string (*text)(const json&))
{
    json value;
    const DWORD status = read(context.Client(), value);
    if (status != KORVEL_STATUS_SUCCESS) {
        return context.Report().Failed(what, status);
    }
    return context.Report().Done(value, text(value));
}
