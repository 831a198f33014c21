#include "CtlSetupCommands.h"

#include "CtlDriverState.h"
#include "CtlFile.h"
#include "CtlText.h"
#include "KorvelStatus.h"

#include <algorithm>
#include <map>

using nlohmann::json;

namespace {

void TakeMixer(uint32_t inputSet, const CtlMixerLayout& layout,
               const std::vector<KorvelMixerWeight>& weights, CtlSetupMixer& mixer)
{
    for (const KorvelMixerPin& pin : layout.PinSet(inputSet)) {
        mixer.inputs.push_back(CtlMixerLayout::PinName(inputSet, pin));
    }
    for (const KorvelMixerWeight& weight : weights) {
        mixer.routes.push_back({CtlMixerLayout::PinName(inputSet, weight.input),
                                CtlMixerLayout::PinName(KORVEL_MIXER_PINSET_OUTPUT, weight.output),
                                weight.weight,
                                (weight.flags & KORVEL_MIXER_WEIGHT_FLAG_CONNECTED) != 0});
    }
}

using RouteKey = std::pair<std::string, std::string>; // input, output

std::map<RouteKey, size_t> RouteIndex(const CtlSetupMixer& mixer)
{
    std::map<RouteKey, size_t> index;
    for (size_t i = 0; i < mixer.routes.size(); ++i) {
        index.emplace(RouteKey{mixer.routes[i].input, mixer.routes[i].output}, i);
    }
    return index;
}

json Change(const std::string& setting, const json& from, const json& to)
{
    return {{"setting", setting}, {"from", from}, {"to", to}};
}

json RouteValue(const CtlSetupRoute& route)
{
    // A route that is off keeps its weight for when it is connected again.
    return route.connected ? json(route.weight / 100.0)
                           : json("off (" + CtlText::Db(route.weight) + " dB)");
}

void AddMixerChanges(const char* label, const CtlSetupMixer& file, const CtlSetupMixer& device,
                     json& changes)
{
    const std::map<RouteKey, size_t> index = RouteIndex(device);
    for (const CtlSetupRoute& route : file.routes) {
        const CtlSetupRoute& now = device.routes[index.at({route.input, route.output})];
        if (now.connected != route.connected || now.weight != route.weight) {
            changes.push_back(Change(std::string(label) + " " + route.input + " -> " + route.output,
                                     RouteValue(now), RouteValue(route)));
        }
    }
}

} // namespace

int CtlSetupCommands::Save(CtlContext& context)
{
    const CtlCommandLine& line = context.Line();
    if (line.WordCount() != 2) {
        return context.Report().Usage("save takes SERIAL FILE.json");
    }
    Current current;
    int exitCode = CTL_EXIT_OK;
    if (CaptureDevice(context, current, exitCode) == nullptr) {
        return exitCode;
    }
    const json document = current.setup.ToJson();
    const DWORD written = CtlFile::Write(CtlText::Wide(line.Word(1)), document.dump(2) + "\n");
    if (written != ERROR_SUCCESS) {
        return context.Report().Refused("cannot write " + line.Word(1), written);
    }
    return context.Report().Done({{"saved", line.Word(1)}, {"setup", document}},
                                 "saved " + current.setup.serial + " to " + line.Word(1));
}

int CtlSetupCommands::Load(CtlContext& context)
{
    const CtlCommandLine& line = context.Line();
    if (line.WordCount() != 2) {
        return context.Report().Usage("load takes SERIAL FILE.json [--dry-run]");
    }
    const std::string& path = line.Word(1);
    std::string text;
    const DWORD read = CtlFile::Read(CtlText::Wide(path), text);
    if (read != ERROR_SUCCESS) {
        return context.Report().Refused("cannot read " + path, read);
    }
    CtlSetup file;
    std::string problem;
    if (!file.FromText(text, problem)) {
        return context.Report().Refused(path + ": " + problem);
    }
    Current current;
    int exitCode = CTL_EXIT_OK;
    KorvelDevice* device = CaptureDevice(context, current, exitCode);
    if (device == nullptr) {
        return exitCode;
    }
    problem = Mismatch(file, current);
    if (!problem.empty()) {
        return context.Report().Refused(path + " does not fit " + current.setup.serial + ": " +
                                        problem);
    }
    const json changes = Changes(file, current);
    if (line.DryRun()) {
        return context.Report().Done({{"dryRun", true}, {"changes", changes}},
                                     ChangesText(changes, true));
    }
    exitCode = Apply(context, *device, file, current);
    if (exitCode != CTL_EXIT_OK) {
        return exitCode;
    }
    return context.Report().Done({{"dryRun", false}, {"changes", changes}},
                                 ChangesText(changes, false));
}

KorvelDevice* CtlSetupCommands::CaptureDevice(CtlContext& context, Current& current,
                                              int& exitCode)
{
    KorvelDevice* device = context.ConnectDevice(context.Line().Word(0), exitCode);
    if (device == nullptr) {
        return nullptr;
    }
    std::string what;
    const DWORD status = Capture(context.Client(), *device, current, what);
    if (status != KORVEL_STATUS_SUCCESS) {
        exitCode = context.Report().Failed(what, status);
        return nullptr;
    }
    return device;
}

DWORD CtlSetupCommands::Capture(KorvelCplClient& client, KorvelDevice& device, Current& current,
                                std::string& what)
{
    CtlSetup& setup = current.setup;
    setup.serial = CtlConnection::Serial(device);
    setup.name = CtlDriverState::Device(device)["name"].get<std::string>();
    KorvelSampleRates rates{};
    DWORD status = client.GetSampleRates(rates);
    what = "cannot read the sample rates";
    if (status == KORVEL_STATUS_SUCCESS) {
        setup.sampleRate = rates.currentRate;
        current.offeredRates.assign(rates.rates,
                                    rates.rates + std::min(rates.count, KORVEL_MAX_SAMPLE_RATES));
        what = "cannot read the buffer sizes";
        status = client.GetBufferSizes(current.buffers);
    }
    if (status == KORVEL_STATUS_SUCCESS) {
        setup.streamingClass = current.buffers.streamingSizeClass;
        setup.asioClass = current.buffers.asioSizeClass;
        what = "cannot read the policy";
        status = client.GetPolicy(current.policy);
        setup.forbidRateChange = (current.policy & KORVEL_POLICY_FORBID_SAMPLE_RATE_CHANGE) != 0;
    }
    if (status == KORVEL_STATUS_SUCCESS) {
        what = "cannot read the mixer";
        status = current.layout.Read(device);
    }
    if (status == KORVEL_STATUS_SUCCESS) {
        status = current.layout.ReadGains(device, current.gains);
    }
    if (status == KORVEL_STATUS_SUCCESS) {
        status = current.layout.ReadWeights(device, KORVEL_MIXER_PINSET_HARDWARE_INPUT,
                                            current.hardwareWeights);
    }
    if (status == KORVEL_STATUS_SUCCESS) {
        status = current.layout.ReadWeights(device, KORVEL_MIXER_PINSET_SOFTWARE_OUTPUT,
                                            current.playbackWeights);
    }
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    for (const KorvelMixerGain& gain : current.gains) {
        setup.outputs.push_back({CtlMixerLayout::PinName(KORVEL_MIXER_PINSET_OUTPUT, gain.pin),
                                 gain.gain, (gain.flags & KORVEL_MIXER_GAIN_FLAG_MUTED) != 0});
    }
    TakeMixer(KORVEL_MIXER_PINSET_HARDWARE_INPUT, current.layout, current.hardwareWeights,
              setup.hardwareInputs);
    TakeMixer(KORVEL_MIXER_PINSET_SOFTWARE_OUTPUT, current.layout, current.playbackWeights,
              setup.playback);
    // A device without the switch has none to save.
    bool passThrough = false;
    if (device.GetSpdifPassThrough(0, 0, passThrough) == KORVEL_STATUS_SUCCESS) {
        setup.passThrough = passThrough;
    }
    uint8_t bypass = 0;
    if (device.GetVolumeBypass(bypass) == KORVEL_STATUS_SUCCESS) {
        setup.bypass = bypass != 0;
    }
    return KORVEL_STATUS_SUCCESS;
}

std::string CtlSetupCommands::Mismatch(const CtlSetup& file, const Current& current)
{
    const CtlSetup& device = current.setup;
    if (file.outputs.size() != device.outputs.size()) {
        return "the device has " + std::to_string(device.outputs.size()) + " output pins, the file " +
               std::to_string(file.outputs.size());
    }
    for (size_t i = 0; i < file.outputs.size(); ++i) {
        if (file.outputs[i].pin != device.outputs[i].pin) {
            return "output pin " + std::to_string(i + 1) + " is " + device.outputs[i].pin +
                   " on the device, " + file.outputs[i].pin + " in the file";
        }
    }
    std::string problem = MixerMismatch("hardwareInputs", file.hardwareInputs, device.hardwareInputs);
    if (problem.empty()) {
        problem = MixerMismatch("playback", file.playback, device.playback);
    }
    if (!problem.empty()) {
        return problem;
    }
    if (std::find(current.offeredRates.begin(), current.offeredRates.end(), file.sampleRate) ==
        current.offeredRates.end()) {
        return "the device does not offer " + std::to_string(file.sampleRate) + " Hz";
    }
    if (file.passThrough.has_value() && !device.passThrough.has_value()) {
        return "the device has no S/PDIF pass-through";
    }
    if (file.bypass.has_value() && !device.bypass.has_value()) {
        return "the device has no volume bypass";
    }
    return "";
}

std::string CtlSetupCommands::MixerMismatch(const char* label, const CtlSetupMixer& file,
                                            const CtlSetupMixer& device)
{
    const std::string name = label;
    if (file.inputs != device.inputs) {
        if (file.inputs.size() != device.inputs.size()) {
            return name + ": the device has " + std::to_string(device.inputs.size()) +
                   " input pins, the file " + std::to_string(file.inputs.size());
        }
        for (size_t i = 0; i < file.inputs.size(); ++i) {
            if (file.inputs[i] != device.inputs[i]) {
                return name + ": input pin " + std::to_string(i + 1) + " is " + device.inputs[i] +
                       " on the device, " + file.inputs[i] + " in the file";
            }
        }
    }
    const std::map<RouteKey, size_t> index = RouteIndex(device);
    std::map<RouteKey, size_t> seen;
    for (size_t i = 0; i < file.routes.size(); ++i) {
        const RouteKey key{file.routes[i].input, file.routes[i].output};
        const std::string where = name + ".routes[" + std::to_string(i) + "]";
        if (index.find(key) == index.end()) {
            return where + ": the device has no crosspoint " + key.first + " -> " + key.second;
        }
        if (!seen.emplace(key, i).second) {
            return where + ": crosspoint " + key.first + " -> " + key.second + " appears twice";
        }
    }
    return "";
}

json CtlSetupCommands::Changes(const CtlSetup& file, const Current& current)
{
    const CtlSetup& now = current.setup;
    json changes = json::array();
    if (file.sampleRate != now.sampleRate) {
        changes.push_back(Change("sample rate", now.sampleRate, file.sampleRate));
    }
    if (file.streamingClass != now.streamingClass || file.asioClass != now.asioClass) {
        auto classes = [](const CtlSetup& setup) {
            return std::string(CtlDriverState::StreamingClassName(setup.streamingClass)) + " " +
                   CtlDriverState::AsioClassName(setup.asioClass);
        };
        changes.push_back(Change("buffers", classes(now), classes(file)));
    }
    if (file.forbidRateChange != now.forbidRateChange) {
        changes.push_back(Change("forbid-rate-change", now.forbidRateChange, file.forbidRateChange));
    }
    if (file.passThrough.has_value() && file.passThrough != now.passThrough) {
        changes.push_back(Change("S/PDIF pass-through", *now.passThrough, *file.passThrough));
    }
    if (file.bypass.has_value() && file.bypass != now.bypass) {
        changes.push_back(Change("volume bypass", *now.bypass, *file.bypass));
    }
    for (size_t i = 0; i < file.outputs.size(); ++i) {
        const CtlSetupGain& to = file.outputs[i];
        const CtlSetupGain& from = now.outputs[i];
        if (to.gain != from.gain || to.muted != from.muted) {
            auto value = [](const CtlSetupGain& gain) {
                return gain.muted ? json("muted") : json(gain.gain / 100.0);
            };
            changes.push_back(Change("gain " + to.pin, value(from), value(to)));
        }
    }
    AddMixerChanges("route", file.hardwareInputs, now.hardwareInputs, changes);
    AddMixerChanges("route", file.playback, now.playback, changes);
    return changes;
}

int CtlSetupCommands::Apply(CtlContext& context, KorvelDevice& device, const CtlSetup& file,
                            const Current& current)
{
    // The global settings first: they are the ones the service may refuse
    // (audio in use), and a refusal then leaves the device as it was. A
    // policy that is lifted goes first, one that is imposed last.
    KorvelCplClient& client = context.Client();
    const CtlSetup& now = current.setup;
    const uint32_t policy = file.forbidRateChange
                                ? current.policy | KORVEL_POLICY_FORBID_SAMPLE_RATE_CHANGE
                                : current.policy & ~KORVEL_POLICY_FORBID_SAMPLE_RATE_CHANGE;
    auto service = [&](const char* what, DWORD status) {
        return status == KORVEL_STATUS_SUCCESS
                   ? CTL_EXIT_OK
                   : context.Connection().ServiceFailure(context.Report(), what, status);
    };
    int exitCode = CTL_EXIT_OK;
    if (now.forbidRateChange && !file.forbidRateChange) {
        exitCode = service("cannot set the policy", client.SetPolicy(policy));
    }
    if (exitCode == CTL_EXIT_OK && file.sampleRate != now.sampleRate) {
        exitCode = service("cannot set the sample rate", client.SetSampleRate(file.sampleRate));
    }
    if (exitCode == CTL_EXIT_OK &&
        (file.streamingClass != now.streamingClass || file.asioClass != now.asioClass)) {
        exitCode = service("cannot set the buffer sizes",
                           client.SetBufferSizes({file.streamingClass, file.asioClass,
                                                  current.buffers.thirdWord}));
    }
    if (exitCode == CTL_EXIT_OK && !now.forbidRateChange && file.forbidRateChange) {
        exitCode = service("cannot set the policy", client.SetPolicy(policy));
    }
    if (exitCode != CTL_EXIT_OK) {
        return exitCode;
    }
    DWORD status = KORVEL_STATUS_SUCCESS;
    const char* what = "cannot set the S/PDIF pass-through";
    if (file.passThrough.has_value() && file.passThrough != now.passThrough) {
        status = device.SetSpdifPassThrough(0, 0, *file.passThrough);
    }
    if (status == KORVEL_STATUS_SUCCESS && file.bypass.has_value() && file.bypass != now.bypass) {
        what = "cannot set the volume bypass";
        status = device.SetVolumeBypass(*file.bypass ? 1 : 0);
    }
    std::vector<KorvelMixerGain> gains;
    for (size_t i = 0; i < file.outputs.size(); ++i) {
        KorvelMixerGain entry = current.gains[i];
        entry.gain = file.outputs[i].gain;
        entry.flags = file.outputs[i].muted ? (entry.flags | KORVEL_MIXER_GAIN_FLAG_MUTED)
                                            : (entry.flags & ~KORVEL_MIXER_GAIN_FLAG_MUTED);
        if (entry.gain != current.gains[i].gain || entry.flags != current.gains[i].flags) {
            gains.push_back(entry);
        }
    }
    if (status == KORVEL_STATUS_SUCCESS && !gains.empty()) {
        what = "cannot set the output gains";
        status = device.SetMixerOutputGains(gains.data(), static_cast<uint32_t>(gains.size()));
    }
    const std::pair<const CtlSetupMixer*, const CtlSetupMixer*> mixers[] = {
        {&file.hardwareInputs, &now.hardwareInputs}, {&file.playback, &now.playback}};
    const std::vector<KorvelMixerWeight>* entries[] = {&current.hardwareWeights,
                                                       &current.playbackWeights};
    for (size_t m = 0; m < 2 && status == KORVEL_STATUS_SUCCESS; ++m) {
        std::vector<KorvelMixerWeight> weights =
            ChangedWeights(*mixers[m].first, *mixers[m].second, *entries[m]);
        if (!weights.empty()) {
            what = "cannot set the crosspoints";
            status = device.SetMixerWeights(weights.data(), static_cast<uint32_t>(weights.size()));
        }
    }
    return status == KORVEL_STATUS_SUCCESS ? CTL_EXIT_OK : context.Report().Failed(what, status);
}

std::vector<KorvelMixerWeight> CtlSetupCommands::ChangedWeights(
    const CtlSetupMixer& file, const CtlSetupMixer& device,
    const std::vector<KorvelMixerWeight>& entries)
{
    // The device's routes were made from `entries`, one for one.
    const std::map<RouteKey, size_t> index = RouteIndex(device);
    std::vector<KorvelMixerWeight> changed;
    for (const CtlSetupRoute& route : file.routes) {
        KorvelMixerWeight entry = entries[index.at({route.input, route.output})];
        const KorvelMixerWeight before = entry;
        entry.weight = route.weight;
        entry.flags = route.connected ? (entry.flags | KORVEL_MIXER_WEIGHT_FLAG_CONNECTED)
                                      : (entry.flags & ~KORVEL_MIXER_WEIGHT_FLAG_CONNECTED);
        if (entry.weight != before.weight || entry.flags != before.flags) {
            changed.push_back(entry);
        }
    }
    return changed;
}

std::string CtlSetupCommands::ChangesText(const json& changes, bool dryRun)
{
    if (changes.empty()) {
        return dryRun ? "nothing would change" : "nothing changed";
    }
    std::string text;
    for (const json& change : changes) {
        auto value = [](const json& v) { return v.is_string() ? v.get<std::string>() : v.dump(); };
        text += (dryRun ? "would set " : "set ") + change["setting"].get<std::string>() + ": " +
                value(change["from"]) + " -> " + value(change["to"]) + "\n";
    }
    return text;
}
