#include "CtlMixerCommands.h"

#include "CtlText.h"
#include "KorvelStatus.h"

#include <algorithm>
#include <cstdio>

using nlohmann::json;

namespace {

json GainJson(const KorvelMixerGain& gain)
{
    return {{"pin", CtlMixerLayout::PinName(KORVEL_MIXER_PINSET_OUTPUT, gain.pin)},
            {"gainDb", gain.gain / 100.0},
            {"muted", (gain.flags & KORVEL_MIXER_GAIN_FLAG_MUTED) != 0}};
}

json WeightJson(uint32_t inputSet, const KorvelMixerWeight& weight)
{
    return {{"output", CtlMixerLayout::PinName(KORVEL_MIXER_PINSET_OUTPUT, weight.output)},
            {"input", CtlMixerLayout::PinName(inputSet, weight.input)},
            {"weightDb", weight.weight / 100.0},
            {"connected", (weight.flags & KORVEL_MIXER_WEIGHT_FLAG_CONNECTED) != 0}};
}

std::string Padded(const std::string& text, size_t width)
{
    return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

// Reads one entry, changes it, writes it and reads back what the device kept.
template <class Entry, class Read, class Change>
DWORD Rewrite(KorvelDevice& device, Read read, DWORD (KorvelApiContext::*write)(Entry*, uint32_t),
              Entry& entry, Change change)
{
    DWORD status = read(entry);
    if (status == KORVEL_STATUS_SUCCESS) {
        change(entry);
        status = (device.*write)(&entry, 1);
    }
    return status == KORVEL_STATUS_SUCCESS ? read(entry) : status;
}

std::string DbUsage(const char* command)
{
    return std::string(command) + ", DB from " + CtlText::Db(KORVEL_MIXER_SERVICE_GAIN_MIN) +
           " to " + CtlText::Db(KORVEL_MIXER_SERVICE_GAIN_MAX);
}

std::string DbText(const json& value)
{
    return CtlText::Db(static_cast<int>(value.get<double>() * 100.0 + (value.get<double>() < 0 ? -0.5 : 0.5)));
}

} // namespace

int CtlMixerCommands::Mixer(CtlContext& context)
{
    const CtlCommandLine& line = context.Line();
    const std::string& which = line.Word(1);
    if (line.WordCount() != 2 || (which != "inputs" && which != "outputs")) {
        return context.Report().Usage("mixer takes SERIAL inputs|outputs");
    }
    const uint32_t inputSet = which == "inputs" ? KORVEL_MIXER_PINSET_HARDWARE_INPUT
                                                : KORVEL_MIXER_PINSET_SOFTWARE_OUTPUT;
    CtlMixerLayout layout;
    int exitCode = CTL_EXIT_OK;
    KorvelDevice* device = Prepare(context, layout, exitCode);
    if (device == nullptr) {
        return exitCode;
    }
    std::vector<KorvelMixerGain> gains;
    std::vector<KorvelMixerWeight> weights;
    DWORD status = layout.ReadGains(*device, gains);
    if (status == KORVEL_STATUS_SUCCESS) {
        status = layout.ReadWeights(*device, inputSet, weights);
    }
    if (status != KORVEL_STATUS_SUCCESS) {
        return context.Report().Failed("cannot read the mixer", status);
    }
    json mixer = {{"serial", CtlConnection::Serial(*device)},
                  {"mixer", which == "inputs" ? "hardware-inputs" : "software-outputs"},
                  {"inputs", json::array()},
                  {"outputs", json::array()},
                  {"weights", json::array()}};
    for (const KorvelMixerPin& pin : layout.PinSet(inputSet)) {
        mixer["inputs"].push_back(CtlMixerLayout::PinName(inputSet, pin));
    }
    for (const KorvelMixerGain& gain : gains) {
        mixer["outputs"].push_back(GainJson(gain));
    }
    for (const KorvelMixerWeight& weight : weights) {
        mixer["weights"].push_back(WeightJson(inputSet, weight));
    }
    return context.Report().Done(mixer, Table(mixer));
}

int CtlMixerCommands::Gain(CtlContext& context)
{
    const CtlCommandLine& line = context.Line();
    const std::string& value = line.Word(2);
    int16_t gain = 0;
    const bool mute = value == "mute";
    const bool unmute = value == "unmute";
    if (line.WordCount() != 3 ||
        (!mute && !unmute &&
         !CtlText::ParseDb(value, KORVEL_MIXER_SERVICE_GAIN_MIN, KORVEL_MIXER_SERVICE_GAIN_MAX,
                           gain))) {
        return context.Report().Usage(DbUsage("gain takes SERIAL PIN DB|mute|unmute"));
    }
    CtlMixerLayout layout;
    int exitCode = CTL_EXIT_OK;
    KorvelDevice* device = Prepare(context, layout, exitCode);
    if (device == nullptr) {
        return exitCode;
    }
    KorvelMixerPin pin{};
    if (!layout.FindPin(KORVEL_MIXER_PINSET_OUTPUT, line.Word(1), pin)) {
        return context.Report().Refused("the device has no output pin " + line.Word(1));
    }
    KorvelMixerGain entry{};
    const DWORD status = Rewrite(
        *device, [&](KorvelMixerGain& e) { return CtlMixerLayout::ReadGain(*device, pin, e); },
        &KorvelDevice::SetMixerOutputGains, entry, [&](KorvelMixerGain& e) {
            if (mute || unmute) {
                e.flags = mute ? (e.flags | KORVEL_MIXER_GAIN_FLAG_MUTED)
                               : (e.flags & ~KORVEL_MIXER_GAIN_FLAG_MUTED);
            } else {
                e.gain = gain;
            }
        });
    if (status != KORVEL_STATUS_SUCCESS) {
        return context.Report().Failed("cannot set the gain of " + line.Word(1), status);
    }
    const json result = GainJson(entry);
    return context.Report().Done(result, result["pin"].get<std::string>() + ": " +
                                             CtlText::Db(entry.gain) + " dB" +
                                             (result["muted"].get<bool>() ? ", muted" : ""));
}

int CtlMixerCommands::Route(CtlContext& context)
{
    const CtlCommandLine& line = context.Line();
    const bool off = line.Word(3) == "off";
    int16_t weight = 0;
    if (line.WordCount() != 4 ||
        (!off && !CtlText::ParseDb(line.Word(3), KORVEL_MIXER_SERVICE_GAIN_MIN,
                                   KORVEL_MIXER_SERVICE_GAIN_MAX, weight))) {
        return context.Report().Usage(DbUsage("route takes SERIAL IN OUT DB|off"));
    }
    CtlMixerLayout layout;
    int exitCode = CTL_EXIT_OK;
    KorvelDevice* device = Prepare(context, layout, exitCode);
    if (device == nullptr) {
        return exitCode;
    }
    KorvelMixerPin input{};
    KorvelMixerPin output{};
    uint32_t inputSet = 0;
    if (!layout.FindInput(line.Word(1), input, inputSet)) {
        return context.Report().Refused("the device has no input pin " + line.Word(1));
    }
    if (!layout.FindPin(KORVEL_MIXER_PINSET_OUTPUT, line.Word(2), output)) {
        return context.Report().Refused("the device has no output pin " + line.Word(2));
    }
    KorvelMixerWeight entry{};
    const DWORD status = Rewrite(
        *device,
        [&](KorvelMixerWeight& e) { return CtlMixerLayout::ReadWeight(*device, output, input, e); },
        &KorvelDevice::SetMixerWeights, entry, [&](KorvelMixerWeight& e) {
            // "off" keeps the weight: connecting again restores the level.
            if (off) {
                e.flags &= ~KORVEL_MIXER_WEIGHT_FLAG_CONNECTED;
            } else {
                e.weight = weight;
                e.flags |= KORVEL_MIXER_WEIGHT_FLAG_CONNECTED;
            }
        });
    if (status != KORVEL_STATUS_SUCCESS) {
        return context.Report().Failed("cannot route " + line.Word(1) + " to " + line.Word(2),
                                       status);
    }
    const json result = WeightJson(inputSet, entry);
    const bool connected = result["connected"].get<bool>();
    return context.Report().Done(result, result["input"].get<std::string>() + " -> " +
                                             result["output"].get<std::string>() + ": " +
                                             (connected ? CtlText::Db(entry.weight) + " dB" : "off"));
}

int CtlMixerCommands::Levels(CtlContext& context)
{
    const CtlCommandLine& line = context.Line();
    if (line.WordCount() != 1) {
        return context.Report().Usage("levels takes SERIAL [--watch]");
    }
    CtlMixerLayout layout;
    int exitCode = CTL_EXIT_OK;
    KorvelDevice* device = Prepare(context, layout, exitCode);
    if (device == nullptr) {
        return exitCode;
    }
    DWORD status = KORVEL_STATUS_SUCCESS;
    json meters = ReadMeters(*device, layout, status);
    if (status != KORVEL_STATUS_SUCCESS) {
        return context.Report().Failed("cannot read the levels", status);
    }
    if (!line.Watch()) {
        return context.Report().Done(meters, MeterLine(meters));
    }
    // A live meter: one line (or JSON line) a tick until Ctrl+C; the wait
    // is on the stop signal, so a stop ends it within the tick.
    CtlReport& report = context.Report();
    do {
        report.Line(meters, MeterLine(meters));
        if (WaitForSingleObject(context.Stop().Handle(), WATCH_PERIOD_MS) != WAIT_TIMEOUT) {
            break;
        }
        meters = ReadMeters(*device, layout, status);
    } while (status == KORVEL_STATUS_SUCCESS);
    if (status != KORVEL_STATUS_SUCCESS) {
        return context.Report().Failed("cannot read the levels", status);
    }
    return CTL_EXIT_OK;
}

KorvelDevice* CtlMixerCommands::Prepare(CtlContext& context, CtlMixerLayout& layout,
                                        int& exitCode)
{
    KorvelDevice* device = context.ConnectDevice(context.Line().Word(0), exitCode);
    if (device == nullptr) {
        return nullptr;
    }
    const DWORD status = layout.Read(*device);
    if (status != KORVEL_STATUS_SUCCESS) {
        exitCode = context.Report().Failed("cannot read the mixer pins", status);
        return nullptr;
    }
    return device;
}

json CtlMixerCommands::ReadMeters(KorvelDevice& device, const CtlMixerLayout& layout,
                                  DWORD& status)
{
    json meters = {{"serial", CtlConnection::Serial(device)}};
    const std::pair<uint32_t, const char*> sets[] = {
        {KORVEL_MIXER_PINSET_HARDWARE_INPUT, "inputs"},
        {KORVEL_MIXER_PINSET_SOFTWARE_OUTPUT, "playback"},
        {KORVEL_MIXER_PINSET_OUTPUT, "outputs"},
    };
    status = KORVEL_STATUS_SUCCESS;
    for (const auto& [set, key] : sets) {
        std::vector<KorvelMixerLevel> levels;
        status = layout.ReadLevels(device, set, levels);
        if (status != KORVEL_STATUS_SUCCESS) {
            return meters;
        }
        json list = json::array();
        for (const KorvelMixerLevel& level : levels) {
            list.push_back({{"pin", CtlMixerLayout::PinName(set, level.pin)},
                            {"levelDb", level.level == INT16_MIN ? json(nullptr)
                                                                 : json(level.level / 100.0)}});
        }
        meters[key] = list;
    }
    return meters;
}

std::string CtlMixerCommands::MeterLine(const json& meters)
{
    std::string text;
    for (const char* key : {"inputs", "playback", "outputs"}) {
        text += text.empty() ? "" : " | ";
        text += key;
        text += ":";
        for (const json& level : meters[key]) {
            text += " " + level["pin"].get<std::string>() + " ";
            text += level["levelDb"].is_null() ? "-inf" : DbText(level["levelDb"]);
        }
    }
    return text;
}

std::string CtlMixerCommands::Table(const json& mixer)
{
    // Rows: the inputs, one cell per output; the last row holds the gains.
    size_t width = 12;
    for (const json& name : mixer["inputs"]) {
        width = std::max(width, name.get<std::string>().size() + 2);
    }
    size_t column = 8;
    for (const json& output : mixer["outputs"]) {
        column = std::max(column, output["pin"].get<std::string>().size() + 2);
    }
    std::string text = Padded("", width);
    for (const json& output : mixer["outputs"]) {
        text += Padded(output["pin"].get<std::string>(), column);
    }
    text += "\n";
    const json& weights = mixer["weights"];
    const size_t inputs = mixer["inputs"].size();
    for (size_t r = 0; r < inputs; ++r) {
        text += Padded(mixer["inputs"][r].get<std::string>(), width);
        for (size_t c = 0; c < mixer["outputs"].size(); ++c) {
            const json& cell = weights[c * inputs + r];
            text += Padded(cell["connected"].get<bool>() ? DbText(cell["weightDb"]) : "x", column);
        }
        text += "\n";
    }
    text += Padded("gain", width);
    for (const json& output : mixer["outputs"]) {
        text += Padded(output["muted"].get<bool>() ? "muted" : DbText(output["gainDb"]), column);
    }
    return text + "\n";
}
