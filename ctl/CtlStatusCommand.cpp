#include "CtlStatusCommand.h"

#include "CtlDriverState.h"
#include "KorvelStatus.h"
#include "QuilloVersion.h"

using nlohmann::json;

int CtlStatusCommand::Run(CtlContext& context)
{
    if (context.Line().WordCount() != 0) {
        return context.Report().Usage("status takes no arguments");
    }
    const int connected = context.Connect();
    if (connected != CTL_EXIT_OK) {
        return connected;
    }
    KorvelCplClient& client = context.Client();
    json status = {{"quilloctl", QUILLO_VERSION_TEXT}};
    struct Part
    {
        const char* key;
        DWORD (*read)(KorvelDriver&, json&);
        const char* what;
    };
    const Part parts[] = {
        {"version", CtlDriverState::ReadVersion, "cannot read the driver version"},
        {"streaming", CtlDriverState::ReadStreaming, "cannot read the streaming state"},
        {"sampleRate", CtlDriverState::ReadRates, "cannot read the sample rates"},
        {"buffers", CtlDriverState::ReadBuffers, "cannot read the buffer sizes"},
        {"counters", CtlDriverState::ReadCounters, "cannot read the status counters"},
        {"policy", CtlDriverState::ReadPolicy, "cannot read the policy"},
    };
    for (const Part& part : parts) {
        json value;
        const DWORD result = part.read(client, value);
        if (result != KORVEL_STATUS_SUCCESS) {
            return context.Report().Failed(part.what, result);
        }
        status[part.key] = value;
    }
    json devices = json::array();
    for (size_t i = 0; i < client.DeviceCount(); ++i) {
        devices.push_back(CtlDriverState::Device(*client.DeviceAt(i)));
    }
    status["devices"] = devices;
    return context.Report().Done(status, Text(status));
}

std::string CtlStatusCommand::Text(const json& status)
{
    const json& version = status["version"];
    const json& counters = status["counters"];
    std::string text = "quillo driver " + version["driver"].get<std::string>() + " (interface " +
                       version["interface"].get<std::string>() +
                       (version["debugBuild"].get<bool>() ? ", debug build" : "") + ")\n";
    text += CtlDriverState::StreamingText(status["streaming"]) + "\n";
    text += CtlDriverState::RatesText(status["sampleRate"]) + "\n";
    text += CtlDriverState::BuffersText(status["buffers"]) + "\n";
    text += CtlDriverState::PolicyText(status["policy"]) + "\n";
    text += "errors: streaming " + std::to_string(counters["streamingErrors"].get<uint32_t>()) +
            ", FIFO " + std::to_string(counters["fifoErrors"].get<uint32_t>()) + ", ASIO " +
            std::to_string(counters["asioErrors"].get<uint32_t>()) + ", WDM audio " +
            std::to_string(counters["wdmAudioErrors"].get<uint32_t>()) + ", WDM MIDI " +
            std::to_string(counters["wdmMidiErrors"].get<uint32_t>()) + "\n";
    const json& devices = status["devices"];
    text += devices.empty() ? "no devices\n" : "devices:\n";
    for (const json& device : devices) {
        text += "  " + CtlDriverState::DeviceText(device) + "\n";
    }
    return text;
}
