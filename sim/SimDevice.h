#pragma once
// One plugged simulated device: its identity and flags, its channels, SPDIF
// input and pass-through, mixer, volume bypass, echo, audio functions, and
// what the service last sent it (device setup, WDM tables, endpoint calls),
// kept so that tests can check it. Answers the device-handle requests.
#include "KorvelRecords.h"
#include "KorvelServiceRecords.h"
#include "KorvelWdmRecords.h"
#include "SimDeviceConfig.h"
#include "SimEcho.h"
#include "SimLevelMeter.h"
#include "SimMixer.h"
#include "SimRequest.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

class SimNotifier;
class SimSavedVolumeStore;

class SimDevice
{
public:
    static constexpr uint32_t DIRECTION_INPUT = 1;
    static constexpr uint32_t DIRECTION_OUTPUT = 2;
    static constexpr uint32_t SAMPLE_FORMAT_PCM = 1;
    static constexpr uint32_t SAMPLE_FORMAT_DSD = 2;
    static constexpr uint32_t MAX_ENDPOINT_SELECTOR = 3;
    static constexpr size_t ENDPOINT_LOG_CAPACITY = 256;

    struct EndpointCall
    {
        bool state; // true: SET_ENDPOINT_STATE, false: SET_ENDPOINT_PARAMETER
        uint32_t selector;
        uint32_t value;
    };

    SimDevice(const SimDeviceConfig& config, KorvelDeviceKey key, SimNotifier& notifier,
              SimSavedVolumeStore& volumes);

    uint32_t HandleRequest(SimRequest& r);

    KorvelDeviceKey Key() const { return m_key; }
    const SimDeviceConfig& Config() const { return m_config; }
    const std::string& Serial() const { return m_config.serial; }
    KorvelDeviceInfo Info() const;

    bool HighSpeed() const { return m_config.highSpeed; }
    bool Selected() const { return m_selected; }
    void SetSelected(bool selected) { m_selected = selected; }
    void SetHighSpeed(bool highSpeed) { m_config.highSpeed = highSpeed; }
    void SetEcho(bool echo) { m_config.echo = echo; }
    void SetKind2Function(bool kind2) { m_config.kind2Function = kind2; }
    void SetSpdifPresent(bool present);
    // A mixer without pins, or the pins of the device's layout again.
    void SetMixerPresent(bool present);
    bool SetSpdifLock(uint32_t lock);
    void SetSpdifFormat(uint32_t format) { m_config.spdifFormat = format; }
    void SetSpdifRate(uint32_t rate) { m_config.spdifRate = rate; }
    void SetPassThrough(bool on) { m_passThrough = on; }
    void SetBypass(bool bypass, bool bypassMute);
    bool Bypass() const { return m_bypass; }
    bool BypassMute() const { return m_bypassMute; }
    bool PassThrough() const { return m_passThrough; }
    SimMixer& Mixer() { return m_mixer; }
    const SimMixer& Mixer() const { return m_mixer; }
    // Live levels fed by ASIO streams; the mixer takes them over when its
    // levels are read (RefreshLevels).
    const std::shared_ptr<SimLevelMeter>& Meter() const { return m_meter; }
    void RefreshLevels() { m_meter->ApplyTo(m_mixer); }
    // The mixer input pin of a channel: hardware inputs for inputs, the
    // host's playback pins for outputs (analog first, then SPDIF).
    KorvelMixerPin LevelPin(uint32_t direction, uint32_t index) const;

    // Channels in the order the channel lists give them: analog, then SPDIF.
    uint32_t ChannelCount(uint32_t direction) const;
    KorvelChannelKey ChannelKey(uint32_t direction, uint32_t index) const;
    // Resolves a channel key of this device; false when it is not one.
    bool FindChannel(KorvelChannelKey key, uint32_t& direction, uint32_t& index) const;
    KorvelChannelInfo ChannelInfo(uint32_t direction, uint32_t index, uint32_t sampleRate) const;
    std::string ChannelName(uint32_t direction, uint32_t index) const;

    // "prefix.field=value" lines of everything the device holds.
    void Dump(const std::string& prefix, std::vector<std::string>& lines) const;
    // Hex of a kept record: "setup", "wdm-channels", "wdm-pairs", "echo", "audio-functions";
    // false for an unknown name or a record never received.
    bool RecordHex(const std::string& name, std::string& hex) const;

    const std::deque<EndpointCall>& EndpointLog() const { return m_endpointLog; }
    uint32_t SetupCount() const { return m_setupCount; }
    const KorvelDeviceSetup* Setup() const { return m_setup.get(); }
    const KorvelWdmChannelTable* ChannelTable() const { return m_channelTable.get(); }
    const KorvelWdmPairTable* PairTable() const { return m_pairTable.get(); }

private:
    uint32_t GetAudioFunctions(SimRequest& r) const;
    uint32_t SetDeviceSetup(SimRequest& r);
    uint32_t SetChannelTable(SimRequest& r);
    uint32_t SetPairTable(SimRequest& r);
    uint32_t GetSpdifInputStatus(SimRequest& r) const;
    uint32_t SetPassThroughRequest(SimRequest& r);
    uint32_t GetPassThroughRequest(SimRequest& r) const;
    uint32_t ReadPassThrough(SimRequest& r, uint32_t outLength,
                             KorvelSpdifPassThrough& record) const;
    uint32_t SetBypassRequest(SimRequest& r, bool mute);
    uint32_t GetBypassRequest(SimRequest& r) const;
    uint32_t SetEndpoint(SimRequest& r, bool state);
    uint32_t MixerRequest(SimRequest& r);
    KorvelAudioFunctions BuildAudioFunctions() const;
    void NotifyKey(uint32_t code) const;
    void DumpTables(const std::string& prefix, std::vector<std::string>& lines) const;
    static SimMixer::Layout LayoutOf(const SimDeviceConfig& config);

    SimDeviceConfig m_config;
    KorvelDeviceKey m_key;
    SimNotifier& m_notifier;
    SimSavedVolumeStore& m_volumes;
    bool m_selected = false;
    bool m_passThrough = false;
    bool m_bypass = false;
    bool m_bypassMute = false;
    SimMixer m_mixer;
    std::shared_ptr<SimLevelMeter> m_meter = std::make_shared<SimLevelMeter>();
    SimEcho m_echo;
    std::unique_ptr<KorvelDeviceSetup> m_setup;
    uint32_t m_setupCount = 0;
    std::unique_ptr<KorvelWdmChannelTable> m_channelTable;
    uint32_t m_channelTableCount = 0;
    std::unique_ptr<KorvelWdmPairTable> m_pairTable;
    uint32_t m_pairTableCount = 0;
    std::deque<EndpointCall> m_endpointLog;
    uint64_t m_endpointCalls = 0;
    std::map<uint32_t, uint32_t> m_endpointState;
    std::map<uint32_t, uint32_t> m_endpointParameter;
};
