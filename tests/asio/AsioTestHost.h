#pragma once
// A host as the tests play it: the callback table a driver object calls on
// its streaming thread, what each buffer switch carried (index, position and
// time stamp, which callback), and the messages the host was sent. The
// callbacks are plain C functions, so one host at a time is current.
#include "AsioDriver.h"

#include <condition_variable>
#include <functional>
#include <cstdint>
#include <mutex>
#include <set>
#include <vector>

class AsioTestHost
{
public:
    struct Switch
    {
        long index;
        bool timeInfo; // bufferSwitchTimeInfo, else bufferSwitch
        uint64_t position;
        uint64_t timeNs;
        double speed;
        double sampleRate;
        unsigned long flags;
    };

    // `timeInfo`: the answer to kAsioSupportsTimeInfo. `accepted`: the
    // selectors answered 1 for kAsioSelectorSupported.
    AsioTestHost(bool timeInfo, std::set<long> accepted);
    ~AsioTestHost();

    AsioTestHost(const AsioTestHost&) = delete;
    AsioTestHost& operator=(const AsioTestHost&) = delete;

    ASIOCallbacks* Callbacks() { return &m_callbacks; }
    // The driver a plain host asks for the position inside bufferSwitch.
    void Attach(AsioDriver* driver) { m_driver = driver; }
    // Runs on the streaming thread at every switch, before it is recorded.
    void OnSwitch(std::function<void()> action) { m_onSwitch = std::move(action); }

    std::vector<Switch> Switches();
    // Selectors of asioMessage calls other than kAsioSelectorSupported and
    // kAsioSupportsTimeInfo.
    std::vector<long> Messages();
    // The values those messages carried, in the same order.
    std::vector<long> MessageValues();
    // True once `count` switches have arrived within `timeoutMs`.
    bool WaitSwitches(size_t count, DWORD timeoutMs = 10000);
    bool WaitMessages(size_t count, DWORD timeoutMs = 10000);

private:
    static void __cdecl BufferSwitch(long index, ASIOBool directProcess);
    static void __cdecl SampleRateDidChange(ASIOSampleRate rate);
    static long __cdecl AsioMessage(long selector, long value, void* message, double* opt);
    static ASIOTime* __cdecl BufferSwitchTimeInfo(ASIOTime* time, long index,
                                                  ASIOBool directProcess);
    void Record(const Switch& entry);

    static AsioTestHost* s_current;

    ASIOCallbacks m_callbacks;
    bool m_timeInfo;
    std::set<long> m_accepted;
    AsioDriver* m_driver = nullptr;
    std::function<void()> m_onSwitch;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Switch> m_switches;
    std::vector<long> m_messages;
    std::vector<long> m_values;
};
