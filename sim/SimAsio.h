#pragma once
// The ASIO control device's requests (IOCTL_KORVEL_ASIO_*), answered as the
// kernel driver answers them on a typed ASIO connection of that device: the
// stream configuration (current rate, the device's PCM and DSD rates, the
// ASIO buffer of the current buffer class), the channel list in two tables
// (inputs, then outputs, of the streaming devices), channel info, latencies,
// which channels each connection has enabled, and each connection's stream
// (SimAsioStream: buffers, start, stop, pacing). The lengths are checked
// before (SimRequestLengths).
//
// Order, as the kernel driver enforces it: SET_CHANNEL_BUFFER needs
// CREATE_BUFFERS and the channel enabled on that connection; START needs
// CREATE_BUFFERS and streaming state 4 (else INVALID_STATE), a second START
// gives ALREADY_DONE, as does a STOP while not running; DISPOSE_BUFFERS
// without buffers INVALID_STATE; buffers and channels cannot change while
// running (INVALID_STATE). The first connection with buffers raises 3015, the
// last one releasing them 3016 (payload: connection id, process id). A
// closed connection stops and releases its stream.
//
// Control commands (answers "OK …" or "ERR …"):
//   asio-capture <path.wav>           from the next period on, append the
//                                     enabled PCM outputs of the running
//                                     stream (enable order, 32-bit, its rate)
//                                     to the file; see SimAsioCapture
//   asio-capture stop                 finish and close the file
//   asio-signal-log <path>            write the counter value of each buffer
//                                     event signal of the most recent stream
//                                     (the last 65536), one a line, oldest first
//   asio-loopback <output> <input>    a loopback cable from ASIO output to
//                                     ASIO input (numbers as the driver
//                                     counts them: places in the channel
//                                     list), for streams started from now on;
//                                     the input then records the output
//                                     EXTRA_OUTPUT_LATENCY +
//                                     EXTRA_INPUT_LATENCY frames after it
//                                     is played, instead of its test signal
//   asio-loopback off
// Faults of a misbehaving kernel driver for the ASIO driver's tests:
//   asio-fault rate-count <n>         stream configurations report n rates
//   asio-fault key-count <n>          both channel tables report n keys
//   asio-fault unterminated-names 0|1 channel names fill their field, no zero
//   asio-fault fail-info <n> <status> the n-th channel-info request from now
//                                     fails with status (hex)
//   asio-fault clear
// Dump lines: asio.enabled=<count> asio.enabledKeys=<w0:w1,…> asio.enables=<n>
//   asio.disables=<n> asio.infoRequests=<n> asio.faults=<…>
//   asio.loopback=<output>:<input>|- asio.streams=<count>
//   asio.stream=<connection> pid=<pid> state=<created|running|stopped> frames=<N>
//     rate=<Hz> inputs=<n> outputs=<n> signals=<n> switches=<counter> missed=<n>
//     signalUs=<µs> workUs=<µs> (one per connection with buffers)
//   asio.ended=<the same fields of the stream released last | ->
//   asio.capture=<path|-> frames=<n> dropped=<n> skipped=<n> error=<status>
#include "KorvelAsioRecords.h"
#include "SimAsioCapture.h"
#include "SimAsioStream.h"
#include "SimRequest.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class SimAsioSignalLog;
class SimDeviceSet;
class SimNotifier;
class SimStreaming;

class SimAsio
{
public:
    // What the device and the kernel driver add, in frames.
    static constexpr uint32_t EXTRA_INPUT_LATENCY = 32;
    static constexpr uint32_t EXTRA_OUTPUT_LATENCY = 48;
    static constexpr uint32_t DSD_BLOCK_SAMPLES = 64;

    SimAsio(SimDeviceSet& devices, SimStreaming& streaming, SimNotifier& notifier);
    ~SimAsio();

    SimAsio(const SimAsio&) = delete;
    SimAsio& operator=(const SimAsio&) = delete;

    static bool IsAsioCode(uint32_t code);
    // r.asioDevice must be set and the connection typed as an ASIO client.
    uint32_t HandleRequest(SimRequest& r);
    void OnConnectionClosed(uint32_t connection);

    std::string Control(const std::vector<std::string>& words, bool& handled);
    void Dump(std::vector<std::string>& lines) const;

    // Channels enabled by all connections together.
    size_t EnabledCount() const;
    // The stream of a connection with buffers, else null.
    const SimAsioStream* Stream(uint32_t connection) const;

private:
    using Key = std::pair<uint32_t, uint32_t>;
    struct Loopback
    {
        uint32_t outputNumber = 0;
        uint32_t inputNumber = 0;
        KorvelChannelKey output{};
        KorvelChannelKey input{};
    };
    struct Enabled
    {
        Key key;
        uint64_t order; // enable sequence number
    };

    uint32_t GetStreamConfig(SimRequest& r) const;
    uint32_t GetChannelList(SimRequest& r) const;
    uint32_t GetChannelInfo(SimRequest& r);
    uint32_t GetLatencies(SimRequest& r) const;
    uint32_t EnableChannel(SimRequest& r, bool enable);
    uint32_t CreateBuffers(SimRequest& r);
    uint32_t SetChannelBuffer(SimRequest& r);
    uint32_t Start(SimRequest& r);
    uint32_t Stop(SimRequest& r);
    uint32_t DisposeBuffers(SimRequest& r);
    SimAsioStream* FindStream(uint32_t connection);
    const Enabled* FindEnabled(uint32_t connection, KorvelChannelKey key) const;
    bool DescribeChannel(KorvelChannelKey key, SimAsioStream::Channel& channel) const;
    // Removes a connection's stream; the last one raises 3016.
    void ReleaseStream(uint32_t connection);
    void NotifyClientStream(uint32_t code, const SimAsioStream& stream);
    std::string Capture(const std::vector<std::string>& words);
    std::string SignalLog(const std::vector<std::string>& words) const;
    std::string LoopbackCommand(const std::vector<std::string>& words);
    bool ChannelOfNumber(bool input, uint32_t number, KorvelChannelKey& key) const;
    bool FindChannelInfo(KorvelChannelKey key, KorvelAsioChannelInfo& info) const;
    std::string Fault(const std::vector<std::string>& words);

    SimDeviceSet& m_devices;
    SimStreaming& m_streaming;
    SimNotifier& m_notifier;
    std::map<uint32_t, std::vector<Enabled>> m_enabled; // per connection, in enable order
    uint64_t m_enableOrder = 0;
    // Before the streams: they offer their periods to it until they stop.
    SimAsioCapture m_capture;
    std::map<uint32_t, std::unique_ptr<SimAsioStream>> m_streams; // connections with buffers
    std::shared_ptr<SimAsioSignalLog> m_lastLog; // of the stream started last
    std::string m_endedLine;                     // of the stream released last
    std::optional<Loopback> m_loopback;
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
