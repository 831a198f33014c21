#pragma once
// The echo effect of a simulated device: one delay (milliseconds) and one
// amplification (thousandths) per mixer output channel, read and written
// through the 520-byte echo parameter block. The last block a client set is
// kept verbatim for inspection.
#include "KorvelEchoRecord.h"
#include "SimRequest.h"

#include <cstdint>
#include <string>
#include <vector>

class SimEcho
{
public:
    static constexpr uint32_t MAX_DELAY_MS = 500;
    static constexpr uint32_t MAX_AMPLIFICATION = 1000;

    // Values are kept for at most this many channels (every channel a full
    // block of pairs can name); a larger reported count is answered as it is.
    static constexpr uint32_t MAX_STORED_CHANNELS = 2 * KORVEL_ECHO_MAX_PAIRS;

    explicit SimEcho(uint32_t outputChannels);

    uint32_t Get(SimRequest& r) const;
    uint32_t Set(SimRequest& r);

    uint32_t Delay(uint32_t channel) const { return m_delay.at(channel); }
    uint32_t Amplification(uint32_t channel) const { return m_amplification.at(channel); }
    uint32_t SetCount() const { return m_setCount; }
    const KorvelEchoRecord& LastSet() const { return m_lastSet; }

    void Dump(const std::string& prefix, std::vector<std::string>& lines) const;

private:
    uint32_t CheckPairs(const KorvelEchoRecord& record) const;

    uint32_t m_channels; // reported
    std::vector<uint32_t> m_delay;
    std::vector<uint32_t> m_amplification;
    KorvelEchoRecord m_lastSet{};
    uint32_t m_setCount = 0;
};
