#pragma once
// The ASIO control device's requests (IOCTL_KORVEL_ASIO_*), answered as the
// kernel driver answers them on a typed ASIO connection of that device: the
// stream configuration (current rate, the device's PCM and DSD rates, the
// ASIO buffer of the current buffer class), the channel list in two tables
// (inputs, then outputs, of the streaming devices), channel info, latencies,
// and which channels each connection has enabled. The lengths are checked
// before (SimRequestLengths). Buffer announcement and start/stop
// are refused with KORVEL_STATUS_NOT_SUPPORTED (no ASIO streaming yet).
//
// Control commands (answers "OK …" or "ERR …"), faults of a misbehaving
// kernel driver for the ASIO driver's tests:
//   asio-fault rate-count <n>         stream configurations report n rates
//   asio-fault key-count <n>          both channel tables report n keys
//   asio-fault unterminated-names 0|1 channel names fill their field, no zero
//   asio-fault fail-info <n> <status> the n-th channel-info request from now
//                                     fails with status (hex)
//   asio-fault clear
// Dump lines: asio.enabled=<count> asio.enabledKeys=<w0:w1,…> asio.enables=<n>
//   asio.disables=<n> asio.infoRequests=<n> asio.faults=<…>
#include "KorvelAsioRecords.h"
#include "SimRequest.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

class SimDeviceSet;
class SimStreaming;

class SimAsio
{
public:
    // What the device and the kernel driver add, in frames.
    static constexpr uint32_t EXTRA_INPUT_LATENCY = 32;
    static constexpr uint32_t EXTRA_OUTPUT_LATENCY = 48;
    static constexpr uint32_t DSD_BLOCK_SAMPLES = 64;

    SimAsio(SimDeviceSet& devices, SimStreaming& streaming);

    static bool IsAsioCode(uint32_t code);
    // r.asioDevice must be set and the connection typed as an ASIO client.
    uint32_t HandleRequest(SimRequest& r);
    void OnConnectionClosed(uint32_t connection);

    std::string Control(const std::vector<std::string>& words, bool& handled);
    void Dump(std::vector<std::string>& lines) const;

    // Channels enabled by all connections together.
    size_t EnabledCount() const;

private:
    using Key = std::pair<uint32_t, uint32_t>;

    uint32_t GetStreamConfig(SimRequest& r) const;
    uint32_t GetChannelList(SimRequest& r) const;
    uint32_t GetChannelInfo(SimRequest& r);
    uint32_t GetLatencies(SimRequest& r) const;
    uint32_t EnableChannel(SimRequest& r, bool enable);
    bool FindChannelInfo(KorvelChannelKey key, KorvelAsioChannelInfo& info) const;
    std::string Fault(const std::vector<std::string>& words);

    SimDeviceSet& m_devices;
    SimStreaming& m_streaming;
    std::map<uint32_t, std::set<Key>> m_enabled; // per connection
    uint64_t m_enables = 0;
    uint64_t m_disables = 0;
    uint64_t m_infoRequests = 0;
    // Injected faults.
    std::optional<uint32_t> m_rateCount;
    std::optional<uint32_t> m_keyCount;
    bool m_unterminatedNames = false;
    uint64_t m_failInfoAt = 0; // value of m_infoRequests that fails; 0: none
    uint32_t m_failInfoStatus = 0;
};
