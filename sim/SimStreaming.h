#pragma once
// The kernel driver's driver-wide streaming side: the streaming state machine
// (1 down, 2 ready, 3 prepared, 4 running, 5 error, 6 USB 1.1), the sample
// rate, buffer-size classes, policy word, the five activity counts and the
// status counters, with the driver-handle requests that read and change them.
//
// Streaming commands: 1 leaves 5 or 6 for 1; 2 takes 1 to 2; 3 takes 2 to 1;
// 4 takes 2 to 3; 5 takes 3 to 4; 6 takes 3 or 4 to 2. Any other state gives
// KORVEL_STATUS_INVALID_STATE, an unknown command KORVEL_STATUS_INVALID_PARAMETER.
// Command 2 needs a streaming device (KORVEL_STATUS_NO_DEVICES /
// _NO_STREAMING_DEVICE) on a high-speed port; a USB 1.1 device moves the state
// to 6 and fails with KORVEL_STATUS_NOT_IN_HIGH_SPEED_MODE.
// Rate, buffer sizes, streaming device and policy change only while not
// prepared or running (else KORVEL_STATUS_INVALID_STATE); a change raises
// KORVEL_NOTIFY_SETTINGS_CHANGED.
#include "KorvelRecords.h"
#include "SimRequest.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <vector>

class SimDeviceSet;
class SimNotifier;

class SimStreaming
{
public:
    static constexpr uint32_t DEFAULT_RATE = 48000;
    static constexpr uint32_t DEFAULT_THIRD_WORD = 0x10;
    static constexpr size_t COMMAND_LOG_CAPACITY = 64;
    static constexpr uint32_t ACTIVITY_COUNTS = 5;
    static constexpr uint32_t STATUS_COUNTERS = 5;

    struct Command
    {
        uint32_t command;
        uint32_t argument;
        uint32_t status;
    };

    SimStreaming(SimDeviceSet& devices, SimNotifier& notifier);

    static bool IsStreamingCode(uint32_t code);
    uint32_t HandleRequest(SimRequest& r);

    // After devices were plugged or unplugged: `streamingSetChanged` when the
    // set of streaming devices differs from before. A stream whose devices
    // changed goes down; a rate the new set does not support is replaced.
    void OnDevicesChanged(bool streamingSetChanged);
    // The high-speed flag of a streaming device changed.
    void OnHighSpeedChanged(bool highSpeed);

    // Control protocol.
    bool ForceState(uint32_t state);
    bool SetActivity(uint32_t number, uint32_t value); // number 1..5
    // An open ASIO client needs streaming: activity count 1 is the value set
    // through control plus the number of ASIO connections (client type 1)
    // seen. A connection counts from its first driver-wide request (an ASIO
    // driver reads the streaming state right after it opens) until it closes;
    // the need appearing or going raises 3003 / 3004.
    void OnClientRequest(uint32_t connection, uint32_t clientType);
    void OnConnectionClosed(uint32_t connection);
    size_t AsioClients() const { return m_asioClients.size(); }
    bool SetCounter(uint32_t number, uint32_t value);  // number 1..5
    uint32_t ForceRate(uint32_t rate);                 // status as SET_SAMPLE_RATE, any state
    bool ForceBufferSizes(uint32_t streamingClass, uint32_t asioClass, uint32_t third);
    void ForcePolicy(uint32_t policy);

    // State, rate and the status counters are also read by the ASIO pacing
    // threads, which do not take the simulator lock.
    uint32_t State() const { return m_state; }
    uint32_t Rate() const { return m_rate; }
    // A missed ASIO buffer switch: "ASIO Error Count", the third counter.
    void CountAsioError() { ++m_counters[2]; }
    uint32_t Policy() const { return m_policy; }
    KorvelStreamingState StreamingState() const;
    KorvelBufferSizes BufferSizes() const;
    const std::deque<Command>& CommandLog() const { return m_commandLog; }

    void Dump(std::vector<std::string>& lines) const;

private:
    uint32_t StreamingCommand(SimRequest& r);
    uint32_t RunCommand(uint32_t command);
    uint32_t EnterReady();
    uint32_t SetSampleRate(SimRequest& r);
    uint32_t AnnounceSampleRate(SimRequest& r);
    uint32_t SetBufferSizes(SimRequest& r);
    uint32_t SelectStreamingDevice(SimRequest& r);
    uint32_t SetPolicy(SimRequest& r);
    uint32_t GetSampleRates(SimRequest& r) const;
    bool SettingsLocked() const;
    bool IsSupported(uint32_t rate) const;
    bool StreamingNeeded() const;
    uint32_t ActivityCount1() const;
    // Runs `change` and raises 3003 / 3004 when "streaming needed" flips.
    template <class Change>
    void ChangeNeed(Change change);
    void SettingsChanged();

    SimDeviceSet& m_devices;
    SimNotifier& m_notifier;
    std::atomic<uint32_t> m_state = KORVEL_STREAMING_STATE_DOWN;
    std::atomic<uint32_t> m_rate = DEFAULT_RATE;
    uint32_t m_announcedRate = 0;
    uint32_t m_streamingClass = 2; // "Small"
    uint32_t m_asioClass = 1;      // "Small"
    uint32_t m_thirdWord = DEFAULT_THIRD_WORD;
    uint32_t m_policy = 0;
    std::array<uint32_t, ACTIVITY_COUNTS> m_activity{};
    std::set<uint32_t> m_asioClients; // connections of ASIO clients seen
    std::array<std::atomic<uint32_t>, STATUS_COUNTERS> m_counters{};
    std::deque<Command> m_commandLog;
    uint64_t m_commandCount = 0;
};
