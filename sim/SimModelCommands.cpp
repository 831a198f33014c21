#include "SimModelCommands.h"

#include "KorvelMessage.h"
#include "KorvelStatus.h"
#include "SimDeviceModel.h"
#include "SimNotifier.h"
#include "SimWords.h"

#include <cstdio>

namespace {

std::string KeyText(KorvelDeviceKey key)
{
    return std::to_string(key.word0) + ":" + std::to_string(key.word1);
}

std::string StatusText(uint32_t status)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08x", status);
    return std::string(StatusName(status)) + " (" + text + ")";
}

bool ParseCentiDb(const std::string& text, int16_t& value)
{
    int32_t parsed = 0;
    if (!SimWords::ParseS32(text, parsed) || parsed < INT16_MIN || parsed > INT16_MAX) {
        return false;
    }
    value = static_cast<int16_t>(parsed);
    return true;
}

bool ParsePin(const std::string& type, const std::string& channel, KorvelMixerPin& pin)
{
    uint32_t t = 0;
    uint32_t c = 0;
    if (!SimWords::ParseU32(type, t) || !SimWords::ParseU32(channel, c) || t > 255 || c > 255) {
        return false;
    }
    pin = SimMixer::MakePin(static_cast<uint8_t>(t), static_cast<uint8_t>(c));
    return true;
}

} // namespace

std::string SimModelCommands::Execute(const Words& words, bool& handled)
{
    handled = true;
    const std::string command = words.empty() ? std::string() : words[0];
    if (command == "plug") {
        return Plug(words);
    } else if (command == "unplug") {
        return Unplug(words);
    } else if (command == "set") {
        return Set(words);
    } else if (command == "state") {
        return State(words);
    } else if (command == "activity") {
        return Activity(words);
    } else if (command == "counters") {
        return Counters(words);
    } else if (command == "counter") {
        return Counter(words);
    } else if (command == "rate") {
        return Rate(words);
    } else if (command == "buffers") {
        return Buffers(words);
    } else if (command == "policy") {
        return Policy(words);
    } else if (command == "select") {
        return Select(words);
    } else if (command == "endpoint-event") {
        return EndpointEvent(words);
    } else if (command == "notify") {
        return Notify(words);
    } else if (command == "dump-model") {
        return DumpModel(words);
    } else if (command == "dump-record") {
        return DumpRecord(words);
    }
    handled = false;
    return {};
}

SimDevice* SimModelCommands::ResolveDevice(const std::string& word, std::string& error) const
{
    int index = m_model.Devices().Resolve(word);
    if (index < 0) {
        error = "ERR no device '" + word + "'";
        return nullptr;
    }
    return m_model.Devices().At(static_cast<size_t>(index));
}

void SimModelCommands::NotifyDevice(uint32_t code, const SimDevice& device)
{
    KorvelDeviceKey key = device.Key();
    m_model.Notifier().Broadcast(code, &key, sizeof(key));
}

std::string SimModelCommands::Plug(const Words& words)
{
    SimDeviceConfig config;
    std::string error;
    if (!config.Parse(words, 1, error)) {
        return "ERR " + error;
    }
    size_t index = 0;
    uint32_t status = m_model.Plug(config, index, error);
    if (status != KORVEL_STATUS_SUCCESS) {
        return "ERR " + error;
    }
    SimDevice* device = m_model.Devices().At(index);
    return "OK plugged index=" + std::to_string(index) + " key=" + KeyText(device->Key()) +
           " serial=" + device->Serial();
}

std::string SimModelCommands::Unplug(const Words& words)
{
    if (words.size() != 2) {
        return "ERR usage: unplug <index|serial>";
    }
    int index = m_model.Devices().Resolve(words[1]);
    if (index < 0) {
        return "ERR no device '" + words[1] + "'";
    }
    std::string serial = m_model.Devices().At(static_cast<size_t>(index))->Serial();
    m_model.Unplug(static_cast<size_t>(index));
    return "OK unplugged serial=" + serial;
}

std::string SimModelCommands::Set(const Words& words)
{
    if (words.size() < 4) {
        return "ERR usage: set <dev> <field> <value…>";
    }
    std::string error;
    SimDevice* device = ResolveDevice(words[1], error);
    if (device == nullptr) {
        return error;
    }
    const std::string& field = words[2];
    if (field == "input-level" || field == "gain" || field == "weight") {
        return SetMixer(*device, words);
    }
    if (words.size() != 4) {
        return "ERR usage: set <dev> " + field + " <value>";
    }
    bool flag = false;
    if (SimDeviceConfig::ParseBool(words[3], flag)) {
        std::string answer = SetFlag(*device, field, flag);
        if (!answer.empty()) {
            return answer;
        }
    }
    uint32_t value = 0;
    if (!SimWords::ParseU32(words[3], value)) {
        return "ERR bad value '" + words[3] + "' for " + field;
    }
    if (field == "spdif-lock") {
        if (!device->SetSpdifLock(value)) {
            return "ERR spdif-lock is 0..3";
        }
    } else if (field == "spdif-format") {
        device->SetSpdifFormat(value);
    } else if (field == "spdif-rate") {
        device->SetSpdifRate(value);
    } else if (field == "highspeed" || field == "echo" || field == "spdif-present" ||
               field == "mixer" || field == "passthrough" || field == "bypass" ||
               field == "bypass-mute" || field == "kind2") {
        return "ERR " + field + " is 0 or 1";
    } else {
        return "ERR unknown field '" + field + "'";
    }
    NotifyDevice(KORVEL_NOTIFY_DEVICE_STATUS_CHANGED, *device);
    return "OK";
}

// Fields that take 0 or 1; an empty answer when `field` is not one of them.
std::string SimModelCommands::SetFlag(SimDevice& device, const std::string& field, bool value)
{
    if (field == "highspeed") {
        device.SetHighSpeed(value);
        if (device.Selected()) {
            m_model.Streaming().OnHighSpeedChanged(value);
        }
        m_model.Notifier().Broadcast(KORVEL_NOTIFY_DEVICES_CHANGED_REQUEST, nullptr, 0);
    } else if (field == "echo") {
        device.SetEcho(value);
        m_model.Notifier().Broadcast(KORVEL_NOTIFY_DEVICES_CHANGED_REQUEST, nullptr, 0);
    } else if (field == "spdif-present") {
        device.SetSpdifPresent(value);
        NotifyDevice(KORVEL_NOTIFY_MIXER_PINS_CHANGED, device);
    } else if (field == "mixer") {
        device.SetMixerPresent(value);
        NotifyDevice(KORVEL_NOTIFY_MIXER_PINS_CHANGED, device);
        return "OK";
    } else if (field == "passthrough") {
        device.SetPassThrough(value);
    } else if (field == "bypass") {
        device.SetBypass(value, device.BypassMute());
    } else if (field == "bypass-mute") {
        device.SetBypass(device.Bypass(), value);
    } else if (field == "kind2") {
        device.SetKind2Function(value);
        return "OK"; // read only when the service starts the device
    } else {
        return {};
    }
    NotifyDevice(KORVEL_NOTIFY_DEVICE_STATUS_CHANGED, device);
    return "OK";
}

std::string SimModelCommands::SetMixer(SimDevice& device, const Words& words)
{
    const std::string& field = words[2];
    KorvelMixerPin pin{};
    int16_t value = 0;
    if (field == "input-level") {
        if (words.size() != 6 || !ParsePin(words[3], words[4], pin) ||
            !ParseCentiDb(words[5], value)) {
            return "ERR usage: set <dev> input-level <type> <channel> <centi-dB>";
        }
        return device.Mixer().SetInputLevel(pin, value) ? "OK" : "ERR no such input pin";
    }
    if (field == "gain") {
        bool muted = false;
        if ((words.size() != 6 && words.size() != 7) || !ParsePin(words[3], words[4], pin) ||
            !ParseCentiDb(words[5], value) ||
            (words.size() == 7 && !SimDeviceConfig::ParseBool(words[6], muted))) {
            return "ERR usage: set <dev> gain <type> <channel> <centi-dB> [<muted 0|1>]";
        }
        if (!device.Mixer().SetGain(pin, value, muted)) {
            return "ERR no such output pin";
        }
        NotifyDevice(KORVEL_NOTIFY_MIXER_GAINS_CHANGED, device);
        return "OK";
    }
    KorvelMixerPin input{};
    bool connected = false;
    if (words.size() != 9 || !ParsePin(words[3], words[4], pin) ||
        !ParsePin(words[5], words[6], input) || !ParseCentiDb(words[7], value) ||
        !SimDeviceConfig::ParseBool(words[8], connected)) {
        return "ERR usage: set <dev> weight <out type> <out ch> <in type> <in ch> <centi-dB> "
               "<connected 0|1>";
    }
    if (!device.Mixer().SetWeight(pin, input, value, connected)) {
        return "ERR no such output or input pin";
    }
    NotifyDevice(KORVEL_NOTIFY_MIXER_WEIGHTS_CHANGED, device);
    return "OK";
}

std::string SimModelCommands::State(const Words& words)
{
    uint32_t state = 0;
    if (words.size() != 2 || !SimWords::ParseU32(words[1], state) ||
        !m_model.Streaming().ForceState(state)) {
        return "ERR usage: state <0..6>";
    }
    return "OK";
}

std::string SimModelCommands::Activity(const Words& words)
{
    uint32_t number = 0;
    uint32_t value = 0;
    if (words.size() != 3 || !SimWords::ParseU32(words[1], number) ||
        !SimWords::ParseU32(words[2], value) || !m_model.Streaming().SetActivity(number, value)) {
        return "ERR usage: activity <1..5> <value>";
    }
    return "OK";
}

std::string SimModelCommands::Counters(const Words& words)
{
    uint32_t values[SimStreaming::STATUS_COUNTERS] = {};
    if (words.size() != 1 + SimStreaming::STATUS_COUNTERS) {
        return "ERR usage: counters <c1> <c2> <c3> <c4> <c5>";
    }
    for (uint32_t i = 0; i < SimStreaming::STATUS_COUNTERS; ++i) {
        if (!SimWords::ParseU32(words[i + 1], values[i])) {
            return "ERR bad counter value '" + words[i + 1] + "'";
        }
    }
    for (uint32_t i = 0; i < SimStreaming::STATUS_COUNTERS; ++i) {
        m_model.Streaming().SetCounter(i + 1, values[i]);
    }
    return "OK";
}

std::string SimModelCommands::Counter(const Words& words)
{
    uint32_t number = 0;
    uint32_t value = 0;
    if (words.size() != 3 || !SimWords::ParseU32(words[1], number) ||
        !SimWords::ParseU32(words[2], value) || !m_model.Streaming().SetCounter(number, value)) {
        return "ERR usage: counter <1..5> <value>";
    }
    return "OK";
}

std::string SimModelCommands::Rate(const Words& words)
{
    uint32_t rate = 0;
    if (words.size() != 2 || !SimWords::ParseU32(words[1], rate)) {
        return "ERR usage: rate <Hz>";
    }
    uint32_t status = m_model.Streaming().ForceRate(rate);
    return status == KORVEL_STATUS_SUCCESS ? "OK" : "ERR " + StatusText(status);
}

std::string SimModelCommands::Buffers(const Words& words)
{
    uint32_t streamingClass = 0;
    uint32_t asioClass = 0;
    uint32_t third = m_model.Streaming().BufferSizes().thirdWord;
    if ((words.size() != 3 && words.size() != 4) || !SimWords::ParseU32(words[1], streamingClass) ||
        !SimWords::ParseU32(words[2], asioClass) ||
        (words.size() == 4 && !SimWords::ParseU32(words[3], third))) {
        return "ERR usage: buffers <streaming class 0..5> <asio class 0..3> [<third word>]";
    }
    if (!m_model.Streaming().ForceBufferSizes(streamingClass, asioClass, third)) {
        return "ERR streaming class is 0..5, ASIO class 0..3";
    }
    return "OK";
}

std::string SimModelCommands::Policy(const Words& words)
{
    uint32_t policy = 0;
    if (words.size() != 2 || !SimWords::ParseU32(words[1], policy)) {
        return "ERR usage: policy <word>";
    }
    m_model.Streaming().ForcePolicy(policy);
    return "OK";
}

std::string SimModelCommands::Select(const Words& words)
{
    if (words.size() != 2) {
        return "ERR usage: select all | select <dev>";
    }
    uint32_t allDevices = words[1] == "all" ? 1 : 0;
    KorvelDeviceKey key{0, 0};
    if (allDevices == 0) {
        std::string error;
        SimDevice* device = ResolveDevice(words[1], error);
        if (device == nullptr) {
            return error;
        }
        key = device->Key();
    }
    std::vector<SimDevice*> before = m_model.Devices().StreamingDevices();
    uint32_t modeBefore = m_model.Devices().Mode();
    uint32_t status = m_model.Devices().Select(allDevices, key);
    if (status != KORVEL_STATUS_SUCCESS) {
        return "ERR " + StatusText(status);
    }
    if (before != m_model.Devices().StreamingDevices() || modeBefore != m_model.Devices().Mode()) {
        m_model.Streaming().OnDevicesChanged(true);
        m_model.Notifier().Broadcast(KORVEL_NOTIFY_SETTINGS_CHANGED, nullptr, 0);
        m_model.Notifier().Broadcast(KORVEL_NOTIFY_DEVICES_CHANGED_REQUEST, nullptr, 0);
    }
    return "OK";
}

std::string SimModelCommands::EndpointEvent(const Words& words)
{
    KorvelEndpointEvent event{};
    if (words.size() != 4 || !SimWords::ParseU32(words[2], event.kind) ||
        !SimWords::ParseU32(words[3], event.value)) {
        return "ERR usage: endpoint-event <dev> <kind> <value>";
    }
    std::string error;
    SimDevice* device = ResolveDevice(words[1], error);
    if (device == nullptr) {
        return error;
    }
    event.key = device->Key();
    m_model.Notifier().Broadcast(KORVEL_NOTIFY_ENDPOINT_EVENT, &event, sizeof(event));
    return "OK";
}

std::string SimModelCommands::Notify(const Words& words)
{
    uint32_t code = 0;
    if ((words.size() != 2 && words.size() != 3) || !SimWords::ParseU32(words[1], code)) {
        return "ERR usage: notify <code> [<dev>]";
    }
    if (words.size() == 2) {
        m_model.Notifier().Broadcast(code, nullptr, 0);
        return "OK";
    }
    std::string error;
    SimDevice* device = ResolveDevice(words[2], error);
    if (device == nullptr) {
        return error;
    }
    NotifyDevice(code, *device);
    return "OK";
}

std::string SimModelCommands::DumpModel(const Words& words)
{
    if (words.size() != 1) {
        return "ERR usage: dump-model";
    }
    std::string answer = "OK dump-model";
    for (const std::string& line : m_model.DumpLines()) {
        answer += "\n" + line;
    }
    return answer;
}

std::string SimModelCommands::DumpRecord(const Words& words)
{
    if (words.size() != 3) {
        return "ERR usage: dump-record <dev> setup|wdm-channels|wdm-pairs|echo|audio-functions";
    }
    std::string error;
    SimDevice* device = ResolveDevice(words[1], error);
    if (device == nullptr) {
        return error;
    }
    std::string hex;
    if (!device->RecordHex(words[2], hex)) {
        return "ERR no record '" + words[2] + "' kept for this device";
    }
    return "OK " + hex;
}
