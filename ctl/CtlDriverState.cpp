#include "CtlDriverState.h"

#include "CtlConnection.h"
#include "CtlText.h"
#include "KorvelStatus.h"

#include <cstdio>

using nlohmann::json;

namespace {

constexpr const char* kStreamingClasses[] = {"Minimum", "ExtraSmall", "Small",
                                             "Large",   "ExtraLarge", "Safe"};
constexpr const char* kAsioClasses[] = {"Minimum", "Small", "Large", "Maximum"};
constexpr const char* kStates[] = {"undefined", "down",  "ready",        "prepared",
                                   "running",   "error", "not-supported"};
constexpr const char* kLocks[] = {"not-streaming", "no-signal", "synchronizing", "locked"};
constexpr const char* kFormats[] = {"unknown", "pcm", "non-pcm"};

template <size_t N> const char* NameAt(const char* const (&names)[N], uint32_t index)
{
    return index < N ? names[index] : nullptr;
}

template <size_t N> json NameOrNumber(const char* const (&names)[N], uint32_t index)
{
    const char* name = NameAt(names, index);
    return name != nullptr ? json(name) : json(index);
}

template <size_t N>
bool FindClass(const char* const (&names)[N], const std::string& text, uint32_t& sizeClass)
{
    for (uint32_t i = 0; i < N; ++i) {
        if (CtlText::SameText(text, names[i])) {
            sizeClass = i;
            return true;
        }
    }
    return CtlText::ParseU32(text, sizeClass) && sizeClass < N;
}

std::string Version(uint32_t major, uint32_t minor)
{
    return std::to_string(major) + "." + std::to_string(minor);
}

std::string OnOff(const json& value)
{
    return value.is_boolean() ? (value.get<bool>() ? "on" : "off") : "n/a";
}

} // namespace

DWORD CtlDriverState::ReadVersion(KorvelDriver& driver, json& out)
{
    KorvelVersionInfo version{};
    const DWORD status = driver.GetVersion(version);
    if (status == KORVEL_STATUS_SUCCESS) {
        out = {{"interface", Version(version.interfaceMajor, version.interfaceMinor)},
               {"driver", Version(version.driverMajor, version.driverMinor) + "." +
                              std::to_string(version.driverBuild)},
               {"debugBuild", (version.buildFlags & KORVEL_BUILD_FLAG_DEBUG) != 0}};
    }
    return status;
}

DWORD CtlDriverState::ReadStreaming(KorvelDriver& driver, json& out)
{
    KorvelStreamingState state{};
    const DWORD status = driver.GetStreamingState(state);
    if (status == KORVEL_STATUS_SUCCESS) {
        out = {{"state", NameOrNumber(kStates, state.state)},
               {"mode", state.mode == KORVEL_STREAMING_MODE_ALL ? "all" : "single"},
               {"sampleRate", state.sampleRate},
               {"activity",
                {state.activityCount1, state.activityCount2, state.activityCount3,
                 state.activityCount4, state.activityCount5}}};
    }
    return status;
}

DWORD CtlDriverState::ReadRates(KorvelDriver& driver, json& out)
{
    KorvelSampleRates rates{};
    const DWORD status = driver.GetSampleRates(rates);
    if (status == KORVEL_STATUS_SUCCESS) {
        json offered = json::array();
        for (uint32_t i = 0; i < rates.count && i < KORVEL_MAX_SAMPLE_RATES; ++i) {
            offered.push_back(rates.rates[i]);
        }
        out = {{"current", rates.currentRate}, {"offered", offered}};
    }
    return status;
}

DWORD CtlDriverState::ReadBuffers(KorvelDriver& driver, json& out)
{
    KorvelBufferSizes sizes{};
    const DWORD status = driver.GetBufferSizes(sizes);
    if (status == KORVEL_STATUS_SUCCESS) {
        out = {{"streaming",
                {{"class", NameOrNumber(kStreamingClasses, sizes.streamingSizeClass)},
                 {"index", sizes.streamingSizeClass},
                 {"latencyUs", sizes.streamingLatencyUs}}},
               {"asio",
                {{"class", NameOrNumber(kAsioClasses, sizes.asioSizeClass)},
                 {"index", sizes.asioSizeClass},
                 {"latencyUs", sizes.asioLatencyUs},
                 {"samples", sizes.asioBufferSize}}},
               {"thirdWord", sizes.thirdWord}};
    }
    return status;
}

DWORD CtlDriverState::ReadCounters(KorvelDriver& driver, json& out)
{
    KorvelStatusCounters counters{};
    const DWORD status = driver.GetStatusCounters(counters);
    if (status == KORVEL_STATUS_SUCCESS) {
        out = {{"streamingErrors", counters.streamingErrors},
               {"fifoErrors", counters.fifoErrors},
               {"asioErrors", counters.asioErrors},
               {"wdmAudioErrors", counters.wdmAudioErrors},
               {"wdmMidiErrors", counters.wdmMidiErrors}};
    }
    return status;
}

DWORD CtlDriverState::ReadPolicy(KorvelDriver& driver, json& out)
{
    uint32_t policy = 0;
    const DWORD status = driver.GetPolicy(policy);
    if (status == KORVEL_STATUS_SUCCESS) {
        out = {{"word", policy},
               {"forbidRateChange", (policy & KORVEL_POLICY_FORBID_SAMPLE_RATE_CHANGE) != 0}};
    }
    return status;
}

json CtlDriverState::Device(KorvelDevice& device)
{
    const KorvelDeviceInfo& info = device.Info();
    std::wstring name(info.deviceName, KORVEL_DEVICE_NAME_CHARS);
    name.resize(name.find(L'\0') == std::wstring::npos ? name.size() : name.find(L'\0'));
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04X:%04X", info.vendorId, info.productId);
    json entry = {{"serial", CtlConnection::Serial(device)},
                  {"name", CtlText::Utf8(name)},
                  {"usbId", ids},
                  {"usbSpeed", (info.flags & KORVEL_DEVICE_FLAG_HIGH_SPEED) != 0 ? "high" : "full"},
                  {"selected", (info.flags & KORVEL_DEVICE_FLAG_STREAMING) != 0},
                  {"spdif", nullptr},
                  {"passThrough", nullptr},
                  {"bypass", nullptr}};
    KorvelSpdifInputStatus spdif{};
    if (device.GetSpdifInputStatus(0, spdif) == KORVEL_STATUS_SUCCESS) {
        entry["spdif"] = {{"lock", NameOrNumber(kLocks, spdif.lockState)},
                          {"format", NameOrNumber(kFormats, spdif.format)},
                          {"sampleRate", spdif.sampleRate}};
    }
    bool passThrough = false;
    if (device.GetSpdifPassThrough(0, 0, passThrough) == KORVEL_STATUS_SUCCESS) {
        entry["passThrough"] = passThrough;
    }
    uint8_t bypass = 0;
    if (device.GetVolumeBypass(bypass) == KORVEL_STATUS_SUCCESS) {
        entry["bypass"] = bypass != 0;
    }
    return entry;
}

std::string CtlDriverState::RatesText(const json& rates)
{
    std::string text = "sample rate: " + std::to_string(rates["current"].get<uint32_t>()) +
                       " Hz (offered:";
    for (const json& rate : rates["offered"]) {
        text += " " + std::to_string(rate.get<uint32_t>());
    }
    return text + ")";
}

std::string CtlDriverState::BuffersText(const json& buffers)
{
    const json& streaming = buffers["streaming"];
    const json& asio = buffers["asio"];
    auto name = [](const json& value) {
        return value.is_string() ? value.get<std::string>() : value.dump();
    };
    return "streaming buffers: " + name(streaming["class"]) + " (" +
           std::to_string(streaming["latencyUs"].get<uint32_t>()) + " us)\nASIO buffers: " +
           name(asio["class"]) + " (" + std::to_string(asio["latencyUs"].get<uint32_t>()) +
           " us, " + std::to_string(asio["samples"].get<uint32_t>()) + " samples)";
}

std::string CtlDriverState::PolicyText(const json& policy)
{
    return std::string("forbid-rate-change: ") + OnOff(policy["forbidRateChange"]);
}

std::string CtlDriverState::StreamingText(const json& streaming)
{
    const json& state = streaming["state"];
    std::string text = "streaming: " +
                       (state.is_string() ? state.get<std::string>() : state.dump()) + ", mode " +
                       streaming["mode"].get<std::string>() + ", activity";
    for (const json& count : streaming["activity"]) {
        text += " " + std::to_string(count.get<uint32_t>());
    }
    return text;
}

std::string CtlDriverState::DeviceText(const json& device)
{
    std::string text = device["serial"].get<std::string>() + "  " +
                       device["name"].get<std::string>() + "  USB " +
                       device["usbId"].get<std::string>() + " " +
                       device["usbSpeed"].get<std::string>() + " speed" +
                       (device["selected"].get<bool>() ? ", selected for streaming" : "");
    const json& spdif = device["spdif"];
    if (spdif.is_object()) {
        const json& lock = spdif["lock"];
        text += "\n    S/PDIF input: " + (lock.is_string() ? lock.get<std::string>() : lock.dump());
        if (lock == "locked") {
            const json& format = spdif["format"];
            text += " (" + (format.is_string() ? format.get<std::string>() : format.dump());
            text += format == "pcm" ? " " + std::to_string(spdif["sampleRate"].get<uint32_t>()) +
                                          " Hz)"
                                    : ")";
        }
    }
    text += "\n    pass-through " + OnOff(device["passThrough"]) + ", volume bypass " +
            OnOff(device["bypass"]);
    return text;
}

const char* CtlDriverState::StreamingClassName(uint32_t sizeClass)
{
    return NameAt(kStreamingClasses, sizeClass);
}

const char* CtlDriverState::AsioClassName(uint32_t sizeClass)
{
    return NameAt(kAsioClasses, sizeClass);
}

bool CtlDriverState::FindStreamingClass(const std::string& text, uint32_t& sizeClass)
{
    return FindClass(kStreamingClasses, text, sizeClass);
}

bool CtlDriverState::FindAsioClass(const std::string& text, uint32_t& sizeClass)
{
    return FindClass(kAsioClasses, text, sizeClass);
}

const char* CtlDriverState::SpdifLockName(uint32_t lockState)
{
    return NameAt(kLocks, lockState);
}
