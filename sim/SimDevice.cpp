#include "SimDevice.h"

#include "KorvelIoctl.h"
#include "KorvelMessage.h"
#include "KorvelStatus.h"
#include "SimNotifier.h"
#include "SimRequestIo.h"
#include "SimSavedVolumeStore.h"

#include <cstdio>
#include <cwchar>

namespace {

std::string ToHex(const void* data, size_t length)
{
    static const char digits[] = "0123456789abcdef";
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::string hex;
    hex.reserve(length * 2);
    for (size_t i = 0; i < length; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 0xF];
    }
    return hex;
}

// The text of a fixed UTF-16 field, never reading past it.
std::string FieldText(const wchar_t* field, size_t chars)
{
    return SimDeviceConfig::Narrow(std::wstring(field, wcsnlen(field, chars)));
}

template <class Entry> bool NamesTerminated(const Entry* entries, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        if (wcsnlen(entries[i].name, KORVEL_WDM_NAME_CHARS) == KORVEL_WDM_NAME_CHARS) {
            return false;
        }
    }
    return true;
}

void CopyText(wchar_t* field, size_t chars, const std::wstring& text)
{
    size_t length = std::min(text.size(), chars - 1);
    std::wmemcpy(field, text.data(), length);
    field[length] = L'\0';
}

} // namespace

SimDevice::SimDevice(const SimDeviceConfig& config, KorvelDeviceKey key, SimNotifier& notifier,
                     SimSavedVolumeStore& volumes)
    : m_config(config), m_key(key), m_notifier(notifier), m_volumes(volumes),
      m_mixer(LayoutOf(config)), m_echo(config.EchoChannels())
{
}

SimMixer::Layout SimDevice::LayoutOf(const SimDeviceConfig& config)
{
    SimMixer::Layout layout;
    if (!config.mixer) {
        return SimMixer::Layout{0, 0, 0, 0, false};
    }
    layout.analogIn = config.analogIn;
    layout.analogOut = config.analogOut;
    layout.spdif = SimDeviceConfig::SPDIF_CHANNELS;
    layout.virtualIn = config.virtualIn;
    layout.spdifInputPresent = config.spdifPresent;
    return layout;
}

KorvelDeviceInfo SimDevice::Info() const
{
    KorvelDeviceInfo info{};
    info.key = m_key;
    info.vendorId = m_config.vendorId;
    info.productId = m_config.productId;
    CopyText(info.serialNumber, KORVEL_SERIAL_NUMBER_CHARS,
             SimDeviceConfig::Widen(m_config.serial));
    CopyText(info.deviceName, KORVEL_DEVICE_NAME_CHARS, SimDeviceConfig::Widen(m_config.name));
    info.flags = (m_config.highSpeed ? KORVEL_DEVICE_FLAG_HIGH_SPEED : 0) |
                 (m_config.echo ? KORVEL_DEVICE_FLAG_ECHO : 0) |
                 (m_selected ? KORVEL_DEVICE_FLAG_STREAMING : 0);
    return info;
}

void SimDevice::SetSpdifPresent(bool present)
{
    m_config.spdifPresent = present;
    m_mixer.SetLayout(LayoutOf(m_config));
}

void SimDevice::SetMixerPresent(bool present)
{
    m_config.mixer = present;
    m_mixer.SetLayout(LayoutOf(m_config));
}

bool SimDevice::SetSpdifLock(uint32_t lock)
{
    if (lock > KORVEL_SPDIF_LOCK_LOCKED) {
        return false;
    }
    m_config.spdifLock = lock;
    return true;
}

void SimDevice::SetBypass(bool bypass, bool bypassMute)
{
    m_bypass = bypass;
    m_bypassMute = bypassMute;
    m_mixer.SetBypass(bypass, bypassMute);
}

uint32_t SimDevice::HandleRequest(SimRequest& r)
{
    switch (r.code) {
    case IOCTL_KORVEL_GET_AUDIO_FUNCTIONS:
        return GetAudioFunctions(r);
    case IOCTL_KORVEL_SET_DEVICE_SETUP:
        return SetDeviceSetup(r);
    case IOCTL_KORVEL_SET_WDM_CHANNEL_NAMES:
        return SetChannelTable(r);
    case IOCTL_KORVEL_SET_WDM_PAIR_NAMES:
        return SetPairTable(r);
    case IOCTL_KORVEL_GET_SPDIF_INPUT_STATUS:
        return GetSpdifInputStatus(r);
    case IOCTL_KORVEL_SET_SPDIF_PASS_THROUGH:
        return SetPassThroughRequest(r);
    case IOCTL_KORVEL_GET_SPDIF_PASS_THROUGH:
        return GetPassThroughRequest(r);
    case IOCTL_KORVEL_SET_VOLUME_BYPASS:
        return SetBypassRequest(r, false);
    case IOCTL_KORVEL_SET_BYPASS_MUTE:
        return SetBypassRequest(r, true);
    case IOCTL_KORVEL_GET_VOLUME_BYPASS:
        return GetBypassRequest(r);
    case IOCTL_KORVEL_GET_SAVED_VOLUME:
        return m_volumes.Get(m_config.serial, r);
    case IOCTL_KORVEL_SAVE_VOLUME:
        return m_volumes.Save(m_config.serial, r);
    case IOCTL_KORVEL_GET_ECHO:
    case IOCTL_KORVEL_SET_ECHO:
        if (!m_config.echo) {
            return KORVEL_STATUS_NOT_SUPPORTED;
        }
        return r.code == IOCTL_KORVEL_GET_ECHO ? m_echo.Get(r) : m_echo.Set(r);
    case IOCTL_KORVEL_SET_ENDPOINT_PARAMETER:
        return SetEndpoint(r, false);
    case IOCTL_KORVEL_SET_ENDPOINT_STATE:
        return SetEndpoint(r, true);
    default:
        return MixerRequest(r);
    }
}

KorvelMixerPin SimDevice::LevelPin(uint32_t direction, uint32_t index) const
{
    const uint32_t analog = direction == DIRECTION_INPUT ? m_config.analogIn : m_config.analogOut;
    const uint8_t analogType = direction == DIRECTION_INPUT ? 0 : 2;
    if (index < analog) {
        return SimMixer::MakePin(analogType, static_cast<uint8_t>(index));
    }
    return SimMixer::MakePin(static_cast<uint8_t>(analogType + 1),
                             static_cast<uint8_t>(index - analog));
}

uint32_t SimDevice::MixerRequest(SimRequest& r)
{
    uint32_t status = KORVEL_STATUS_SUCCESS;
    RefreshLevels();
    switch (r.code) {
    case IOCTL_KORVEL_GET_MIXER_PINS:
        return m_mixer.GetPins(r);
    case IOCTL_KORVEL_GET_MIXER_INPUT_LEVELS:
        return m_mixer.GetInputLevels(r);
    case IOCTL_KORVEL_GET_MIXER_OUTPUT_LEVELS:
        return m_mixer.GetOutputLevels(r);
    case IOCTL_KORVEL_GET_MIXER_OUTPUT_GAINS:
        return m_mixer.GetGains(r);
    case IOCTL_KORVEL_GET_MIXER_WEIGHTS:
        return m_mixer.GetWeights(r);
    case IOCTL_KORVEL_SET_MIXER_OUTPUT_GAINS:
        status = m_mixer.SetGains(r);
        if (status == KORVEL_STATUS_SUCCESS) {
            NotifyKey(KORVEL_NOTIFY_MIXER_GAINS_CHANGED);
        }
        return status;
    case IOCTL_KORVEL_SET_MIXER_WEIGHTS:
        status = m_mixer.SetWeights(r);
        if (status == KORVEL_STATUS_SUCCESS) {
            NotifyKey(KORVEL_NOTIFY_MIXER_WEIGHTS_CHANGED);
        }
        return status;
    default:
        return KORVEL_STATUS_INVALID_IOCTL;
    }
}

void SimDevice::NotifyKey(uint32_t code) const
{
    m_notifier.Broadcast(code, &m_key, sizeof(m_key));
}

KorvelAudioFunctions SimDevice::BuildAudioFunctions() const
{
    // Item kinds of this device: 1 analog terminal, 3 S/PDIF terminal, 4 MIDI
    // port, 2 a class-compliant function that the system's own audio class
    // driver serves (its analog channels are then not the kernel driver's).
    // The item's second word is the terminal's channel count.
    KorvelAudioFunctions functions{};
    auto& audio = functions.entries[functions.count++];
    audio.reserved0[0] = 0; // function number
    audio.reserved0[1] = 1; // audio
    uint32_t inputs = 0;
    uint32_t outputs = 0;
    audio.items1[inputs++] = {1, m_config.analogIn};
    if (m_config.spdifPresent) {
        audio.items1[inputs++] = {3, SimDeviceConfig::SPDIF_CHANNELS};
    }
    audio.items2[outputs++] = {1, m_config.analogOut};
    audio.items2[outputs++] = {3, SimDeviceConfig::SPDIF_CHANNELS};
    audio.reserved0[2] = inputs;
    audio.reserved0[3] = outputs;

    auto& midi = functions.entries[functions.count++];
    midi.reserved0[0] = 1;
    midi.reserved0[1] = 3; // MIDI
    midi.reserved0[2] = 1;
    midi.reserved0[3] = 1;
    midi.items1[0] = {4, 1};
    midi.items2[0] = {4, 1};

    if (m_config.kind2Function) {
        auto& compliant = functions.entries[functions.count++];
        compliant.reserved0[0] = 2;
        compliant.reserved0[1] = 1;
        compliant.reserved0[2] = 1;
        compliant.reserved0[3] = 1;
        compliant.items1[0] = {KORVEL_AUDIO_FUNCTION_KIND_2, 2};
        compliant.items2[0] = {KORVEL_AUDIO_FUNCTION_KIND_2, 2};
    }
    return functions;
}

uint32_t SimDevice::GetAudioFunctions(SimRequest& r) const
{
    uint32_t status = SimRequestIo::CheckFixed(r, 0, sizeof(KorvelAudioFunctions));
    if (status == KORVEL_STATUS_SUCCESS) {
        SimRequestIo::WriteOut(r, BuildAudioFunctions());
    }
    return status;
}

uint32_t SimDevice::SetDeviceSetup(SimRequest& r)
{
    uint32_t status = SimRequestIo::CheckFixed(r, sizeof(KorvelDeviceSetup), 0);
    if (status == KORVEL_STATUS_SUCCESS) {
        m_setup = std::make_unique<KorvelDeviceSetup>(SimRequestIo::ReadIn<KorvelDeviceSetup>(r));
        ++m_setupCount;
    }
    return status;
}

uint32_t SimDevice::SetChannelTable(SimRequest& r)
{
    uint32_t status = SimRequestIo::CheckFixed(r, sizeof(KorvelWdmChannelTable), 0);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    auto table =
        std::make_unique<KorvelWdmChannelTable>(SimRequestIo::ReadIn<KorvelWdmChannelTable>(r));
    if (table->captureCount > KORVEL_WDM_MAX_ENTRIES ||
        table->renderCount > KORVEL_WDM_MAX_ENTRIES ||
        !NamesTerminated(table->capture, table->captureCount) ||
        !NamesTerminated(table->render, table->renderCount)) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    m_channelTable = std::move(table);
    ++m_channelTableCount;
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimDevice::SetPairTable(SimRequest& r)
{
    uint32_t status = SimRequestIo::CheckFixed(r, sizeof(KorvelWdmPairTable), 0);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    auto table = std::make_unique<KorvelWdmPairTable>(SimRequestIo::ReadIn<KorvelWdmPairTable>(r));
    if (table->captureCount > KORVEL_WDM_MAX_ENTRIES ||
        table->renderCount > KORVEL_WDM_MAX_ENTRIES ||
        !NamesTerminated(table->capture, table->captureCount) ||
        !NamesTerminated(table->render, table->renderCount)) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    m_pairTable = std::move(table);
    ++m_pairTableCount;
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimDevice::GetSpdifInputStatus(SimRequest& r) const
{
    uint32_t status =
        SimRequestIo::CheckFixed(r, sizeof(KorvelSpdifInputStatus), sizeof(KorvelSpdifInputStatus));
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    auto query = SimRequestIo::ReadIn<KorvelSpdifInputStatus>(r);
    if (!m_config.spdifPresent) {
        return KORVEL_STATUS_OBJECT_NOT_FOUND;
    }
    // One SPDIF input per device; the fields it fills in come zeroed.
    if (query.index != 0 || query.lockState != 0 || query.format != 0 || query.sampleRate != 0) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    KorvelSpdifInputStatus answer{0, m_config.spdifLock, m_config.spdifFormat, m_config.spdifRate};
    SimRequestIo::WriteOut(r, answer);
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimDevice::ReadPassThrough(SimRequest& r, uint32_t outLength,
                                    KorvelSpdifPassThrough& record) const
{
    uint32_t status = SimRequestIo::CheckFixed(r, sizeof(KorvelSpdifPassThrough), outLength);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    record = SimRequestIo::ReadIn<KorvelSpdifPassThrough>(r);
    if (!m_config.spdifPresent) {
        return KORVEL_STATUS_OBJECT_NOT_FOUND;
    }
    // One SPDIF input and output per device; enabled is 1 or 0, and 0 in a
    // query, whose answer fills it in.
    bool query = outLength != 0;
    if (record.index != 0 || record.index2 != 0 || record.enabled > 1 ||
        (query && record.enabled != 0)) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimDevice::SetPassThroughRequest(SimRequest& r)
{
    KorvelSpdifPassThrough record{};
    uint32_t status = ReadPassThrough(r, 0, record);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    m_passThrough = record.enabled != 0;
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimDevice::GetPassThroughRequest(SimRequest& r) const
{
    KorvelSpdifPassThrough record{};
    uint32_t status = ReadPassThrough(r, sizeof(KorvelSpdifPassThrough), record);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    record.enabled = m_passThrough ? 1 : 0;
    SimRequestIo::WriteOut(r, record);
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimDevice::SetBypassRequest(SimRequest& r, bool mute)
{
    uint32_t status = SimRequestIo::CheckFixed(r, 1, 0);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    uint8_t value = r.in[0];
    if (value > 1) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    if (mute) {
        SetBypass(m_bypass, value != 0);
    } else {
        SetBypass(value != 0, m_bypassMute);
    }
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimDevice::GetBypassRequest(SimRequest& r) const
{
    uint32_t status = SimRequestIo::CheckFixed(r, 0, 1);
    if (status == KORVEL_STATUS_SUCCESS) {
        uint8_t value = m_bypass ? 1 : 0;
        SimRequestIo::WriteOut(r, value);
    }
    return status;
}

uint32_t SimDevice::SetEndpoint(SimRequest& r, bool state)
{
    uint32_t status = SimRequestIo::CheckFixed(r, sizeof(KorvelEndpointControl), 0);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    auto control = SimRequestIo::ReadIn<KorvelEndpointControl>(r);
    if (control.selector > MAX_ENDPOINT_SELECTOR ||
        (state && control.value != KORVEL_ENDPOINT_STATE_OFF &&
         control.value != KORVEL_ENDPOINT_STATE_ON)) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    (state ? m_endpointState : m_endpointParameter)[control.selector] = control.value;
    if (m_endpointLog.size() == ENDPOINT_LOG_CAPACITY) {
        m_endpointLog.pop_front();
    }
    m_endpointLog.push_back(EndpointCall{state, control.selector, control.value});
    ++m_endpointCalls;
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimDevice::ChannelCount(uint32_t direction) const
{
    if (direction == DIRECTION_INPUT) {
        return m_config.analogIn + (m_config.spdifPresent ? SimDeviceConfig::SPDIF_CHANNELS : 0);
    }
    if (direction == DIRECTION_OUTPUT) {
        return m_config.analogOut + SimDeviceConfig::SPDIF_CHANNELS;
    }
    return 0;
}

// A channel key carries the device key's first word (unique per plug, so a
// key of an unplugged device never resolves) and the direction and index.
KorvelChannelKey SimDevice::ChannelKey(uint32_t direction, uint32_t index) const
{
    return KorvelChannelKey{m_key.word0, direction << 16 | index};
}

bool SimDevice::FindChannel(KorvelChannelKey key, uint32_t& direction, uint32_t& index) const
{
    if (key.word0 != m_key.word0) {
        return false;
    }
    direction = key.word1 >> 16;
    index = key.word1 & 0xFFFF;
    return (direction == DIRECTION_INPUT || direction == DIRECTION_OUTPUT) &&
           index < ChannelCount(direction);
}

std::string SimDevice::ChannelName(uint32_t direction, uint32_t index) const
{
    uint32_t analog = direction == DIRECTION_INPUT ? m_config.analogIn : m_config.analogOut;
    const char* side = direction == DIRECTION_INPUT ? "In" : "Out";
    bool isAnalog = index < analog;
    return std::string(isAnalog ? "Analog " : "SPDIF ") + side + " " +
           std::to_string((isAnalog ? index : index - analog) + 1);
}

KorvelChannelInfo SimDevice::ChannelInfo(uint32_t direction, uint32_t index,
                                         uint32_t sampleRate) const
{
    KorvelChannelInfo info{};
    KorvelChannelKey key = ChannelKey(direction, index);
    info.reserved0[0] = key.word0;
    info.reserved0[1] = key.word1;
    info.deviceKey = m_key;
    info.reserved1[0] = direction;
    bool dsd = sampleRate >= KORVEL_DSD_MIN_SAMPLE_RATE ||
               (direction == DIRECTION_OUTPUT && !m_config.pcmOutputs);
    info.reserved1[1] = dsd ? SAMPLE_FORMAT_DSD : SAMPLE_FORMAT_PCM;
    CopyText(info.name, KORVEL_CHANNEL_NAME_CHARS,
             SimDeviceConfig::Widen(ChannelName(direction, index)));
    return info;
}

bool SimDevice::RecordHex(const std::string& name, std::string& hex) const
{
    if (name == "setup" && m_setup) {
        hex = ToHex(m_setup.get(), sizeof(KorvelDeviceSetup));
    } else if (name == "wdm-channels" && m_channelTable) {
        hex = ToHex(m_channelTable.get(), sizeof(KorvelWdmChannelTable));
    } else if (name == "wdm-pairs" && m_pairTable) {
        hex = ToHex(m_pairTable.get(), sizeof(KorvelWdmPairTable));
    } else if (name == "echo" && m_echo.SetCount() != 0) {
        hex = ToHex(&m_echo.LastSet(), sizeof(KorvelEchoRecord));
    } else if (name == "audio-functions") {
        KorvelAudioFunctions functions = BuildAudioFunctions();
        hex = ToHex(&functions, sizeof(functions));
    } else {
        return false;
    }
    return true;
}

void SimDevice::Dump(const std::string& prefix, std::vector<std::string>& lines) const
{
    char text[64];
    std::snprintf(text, sizeof(text), "%u:%u", m_key.word0, m_key.word1);
    lines.push_back(prefix + "key=" + text);
    std::snprintf(text, sizeof(text), "0x%04x", m_config.vendorId);
    lines.push_back(prefix + "vid=" + text);
    std::snprintf(text, sizeof(text), "0x%04x", m_config.productId);
    lines.push_back(prefix + "pid=" + text);
    lines.push_back(prefix + "serial=" + m_config.serial);
    lines.push_back(prefix + "name=" + m_config.name);
    std::snprintf(text, sizeof(text), "0x%08x", Info().flags);
    lines.push_back(prefix + "flags=" + text);
    lines.push_back(prefix + "inputs=" + std::to_string(ChannelCount(DIRECTION_INPUT)));
    lines.push_back(prefix + "outputs=" + std::to_string(ChannelCount(DIRECTION_OUTPUT)));
    lines.push_back(prefix + "virtual=" + std::to_string(m_config.virtualIn));
    lines.push_back(prefix + "pcmOutputs=" + std::to_string(m_config.pcmOutputs ? 1 : 0));
    std::string rates;
    for (uint32_t rate : m_config.rates) {
        rates += (rates.empty() ? "" : ",") + std::to_string(rate);
    }
    lines.push_back(prefix + "rates=" + rates);
    lines.push_back(prefix + "kind2=" + std::to_string(m_config.kind2Function));
    lines.push_back(prefix + "spdif.present=" + std::to_string(m_config.spdifPresent));
    lines.push_back(prefix + "spdif.lock=" + std::to_string(m_config.spdifLock));
    lines.push_back(prefix + "spdif.format=" + std::to_string(m_config.spdifFormat));
    lines.push_back(prefix + "spdif.rate=" + std::to_string(m_config.spdifRate));
    lines.push_back(prefix + "passthrough=" + std::to_string(m_passThrough));
    lines.push_back(prefix + "bypass=" + std::to_string(m_bypass));
    lines.push_back(prefix + "bypassMute=" + std::to_string(m_bypassMute));
    lines.push_back(prefix + "setup.count=" + std::to_string(m_setupCount));
    lines.push_back(
        prefix + "setup=" + (m_setup ? ToHex(m_setup.get(), sizeof(KorvelDeviceSetup)) : "none"));
    DumpTables(prefix, lines);
    lines.push_back(prefix + "endpoint.calls=" + std::to_string(m_endpointCalls));
    for (size_t i = 0; i < m_endpointLog.size(); ++i) {
        const EndpointCall& call = m_endpointLog[i];
        lines.push_back(prefix + "endpoint.log." + std::to_string(i) + "=" +
                        (call.state ? "state" : "parameter") + " selector=" +
                        std::to_string(call.selector) + " value=" + std::to_string(call.value));
    }
    for (const auto& [selector, value] : m_endpointState) {
        lines.push_back(prefix + "endpoint.state." + std::to_string(selector) + "=" +
                        std::to_string(value));
    }
    for (const auto& [selector, value] : m_endpointParameter) {
        lines.push_back(prefix + "endpoint.parameter." + std::to_string(selector) + "=" +
                        std::to_string(value));
    }
    m_mixer.Dump(prefix + "mixer.", lines);
    if (m_config.echo) {
        m_echo.Dump(prefix, lines);
    }
}

void SimDevice::DumpTables(const std::string& prefix, std::vector<std::string>& lines) const
{
    lines.push_back(prefix + "wdm.channels.received=" + std::to_string(m_channelTableCount));
    if (m_channelTable) {
        auto list = [&](const char* name, uint32_t count, const KorvelWdmChannelEntry* entries) {
            lines.push_back(prefix + "wdm.channels." + name + ".count=" + std::to_string(count));
            for (uint32_t i = 0; i < count; ++i) {
                const auto& e = entries[i];
                lines.push_back(prefix + "wdm.channels." + name + "." + std::to_string(i) +
                                "=type=" + std::to_string(e.type) + " pair=" +
                                std::to_string(e.pair) + " side=" + std::to_string(e.side) +
                                " name=" + FieldText(e.name, KORVEL_WDM_NAME_CHARS));
            }
        };
        list("capture", m_channelTable->captureCount, m_channelTable->capture);
        list("render", m_channelTable->renderCount, m_channelTable->render);
    }
    lines.push_back(prefix + "wdm.pairs.received=" + std::to_string(m_pairTableCount));
    if (m_pairTable) {
        auto list = [&](const char* name, uint32_t count, const KorvelWdmPairEntry* entries) {
            lines.push_back(prefix + "wdm.pairs." + name + ".count=" + std::to_string(count));
            for (uint32_t i = 0; i < count; ++i) {
                const auto& e = entries[i];
                char words[96];
                std::snprintf(words, sizeof(words), " w44=%u midi=%d index=%u w140=0x%08x",
                              e.analogWord44, e.midiDirection, e.entryIndex, e.analogWord140);
                lines.push_back(prefix + "wdm.pairs." + name + "." + std::to_string(i) + "=type=" +
                                std::to_string(e.type) + " pairs=" + std::to_string(e.pairCount) +
                                " pair=" + std::to_string(e.pairNumbers[0]) +
                                " connection=" + std::to_string(e.connection) + words +
                                " name=" + FieldText(e.name, KORVEL_WDM_NAME_CHARS));
            }
        };
        list("capture", m_pairTable->captureCount, m_pairTable->capture);
        list("render", m_pairTable->renderCount, m_pairTable->render);
    }
}
