#include "AsioTestHost.h"

#include <chrono>

AsioTestHost* AsioTestHost::s_current = nullptr;

namespace {

uint64_t Join(const ASIOSamples& value)
{
    return (uint64_t{value.hi} << 32) | value.lo;
}

} // namespace

AsioTestHost::AsioTestHost(bool timeInfo, std::set<long> accepted)
    : m_callbacks{&BufferSwitch, &SampleRateDidChange, &AsioMessage, &BufferSwitchTimeInfo},
      m_timeInfo(timeInfo), m_accepted(std::move(accepted))
{
    s_current = this;
}

AsioTestHost::~AsioTestHost()
{
    s_current = nullptr;
}

void AsioTestHost::BufferSwitch(long index, ASIOBool)
{
    Switch entry{index, false, 0, 0, 0.0, 0.0, 0};
    if (s_current->m_driver != nullptr) {
        ASIOSamples position{};
        ASIOTimeStamp stamp{};
        s_current->m_driver->getSamplePosition(&position, &stamp);
        entry.position = Join(position);
        entry.timeNs = Join(stamp);
    }
    s_current->Record(entry);
}

ASIOTime* AsioTestHost::BufferSwitchTimeInfo(ASIOTime* time, long index, ASIOBool)
{
    const AsioTimeInfo& info = time->timeInfo;
    s_current->Record(Switch{index, true, Join(info.samplePosition), Join(info.systemTime),
                             info.speed, info.sampleRate, info.flags});
    return time;
}

void AsioTestHost::SampleRateDidChange(ASIOSampleRate)
{
}

long AsioTestHost::AsioMessage(long selector, long value, void*, double*)
{
    AsioTestHost& host = *s_current;
    if (selector == kAsioSelectorSupported) {
        return host.m_accepted.count(value) != 0 ? 1 : 0;
    }
    if (selector == kAsioSupportsTimeInfo) {
        return host.m_timeInfo ? 1 : 0;
    }
    {
        std::lock_guard guard(host.m_mutex);
        host.m_messages.push_back(selector);
        host.m_values.push_back(value);
    }
    host.m_changed.notify_all();
    return selector == kAsioEngineVersion ? 2 : 1;
}

void AsioTestHost::Record(const Switch& entry)
{
    if (m_onSwitch) {
        m_onSwitch();
    }
    {
        std::lock_guard guard(m_mutex);
        m_switches.push_back(entry);
    }
    m_changed.notify_all();
}

std::vector<AsioTestHost::Switch> AsioTestHost::Switches()
{
    std::lock_guard guard(m_mutex);
    return m_switches;
}

std::vector<long> AsioTestHost::Messages()
{
    std::lock_guard guard(m_mutex);
    return m_messages;
}

std::vector<long> AsioTestHost::MessageValues()
{
    std::lock_guard guard(m_mutex);
    return m_values;
}

bool AsioTestHost::WaitSwitches(size_t count, DWORD timeoutMs)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_switches.size() >= count; });
}

bool AsioTestHost::WaitMessages(size_t count, DWORD timeoutMs)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_messages.size() >= count; });
}
