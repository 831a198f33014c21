#pragma once
// The simulated kernel driver's devices and driver-wide settings: everything
// it answers besides version, messaging, events, client type and binding.
// The simulator core calls every operation under its one mutex; the model
// takes no locks of its own.
//
// Control commands (one line of words; answers "OK …" or "ERR …"; <dev> is a
// device-list index 0..7 or a serial number):
//   plug [vid pid serial name] [key=value …]
//        plug a device (options as in SimDeviceConfig.h: flags, highspeed, echo, spdif,
//        lock, format, spdifrate, kind2, analog-in, analog-out, virtual, mixer, rates,
//        vid, pid, serial, name); at most 8 devices. Raises 3005.
//   unplug <dev>                         unplug a device. Raises 3005.
//   set <dev> highspeed|echo|spdif-present|mixer|passthrough|bypass|bypass-mute|kind2 <0|1>
//   set <dev> spdif-lock <0..3> | spdif-format <u32> | spdif-rate <Hz>
//   set <dev> input-level <type> <channel> <centi-dB>
//   set <dev> gain <type> <channel> <centi-dB> [<muted 0|1>]            raises 3051
//   set <dev> weight <out type> <out ch> <in type> <in ch> <centi-dB> <connected 0|1>
//                                                                          raises 3052
//        Device changes visible in the panel raise 3040 with the device key;
//        highspeed and echo also 3020 (device list flags), spdif-present and mixer 3050.
//   state <0..6>                         force the streaming state
//   activity <1..5> <value>              set an activity count (raises 3003 / 3004
//                                        when "streaming needed" changes); count 1
//                                        also counts the open ASIO clients
//   counters <c1> <c2> <c3> <c4> <c5>    set all five status counters
//   counter <1..5> <value>               set one status counter
//   rate <Hz>                            set the sample rate in any state (3001)
//   buffers <streaming class> <asio class> [<third word>]           (3001)
//   policy <word>                        set the policy word (3001)
//   select all | select <dev>            choose the streaming device(s)
//   endpoint-event <dev> <kind> <value>  raise 3060 for the device
//   notify <code> [<dev>]                raise a driver notification, with the
//                                        device key as payload when <dev> is given
//   dump-model                           "OK dump-model" then key=value lines:
//                                        model.*, stream.*, asio.*, saved.*, dev.<i>.*
//   asio-fault …, asio-capture …, asio-signal-log …     see SimAsio.h
//   dump-record <dev> setup|wdm-channels|wdm-pairs|echo|audio-functions
//                                        "OK <hex of the whole record>"
//
// Config file (serve --config FILE): one device per line, the words of `plug`
//   vid pid serial name [key=value …]    e.g.  4b56 0010 QV100234 "quillo 16" echo=1
// A word may be quoted with double quotes to hold spaces; blank lines and lines
// starting with # are skipped. The file is checked completely before any
// device of it is plugged.
#include "SimAsio.h"
#include "SimDeviceConfig.h"
#include "SimDeviceSet.h"
#include "SimModelCommands.h"
#include "SimRequest.h"
#include "SimSavedVolumeStore.h"
#include "SimStreaming.h"

#include <cstdint>
#include <string>
#include <vector>

class SimNotifier;

class SimDeviceModel
{
public:
    explicit SimDeviceModel(SimNotifier& notifier);

    // Driver-handle requests; INVALID_IOCTL for codes that are not the model's.
    uint32_t HandleDriverRequest(SimRequest& r);
    // Device-handle requests on the device named by r.keyWord0/1;
    // KORVEL_STATUS_DEVICE_REMOVED once that device is unplugged.
    uint32_t HandleDeviceRequest(SimRequest& r);
    bool HasDevice(uint32_t keyWord0, uint32_t keyWord1) const;

    // Plugs `count` default devices (start-up); stops at the first failure.
    uint32_t AddDevices(unsigned count);
    // Plugs the devices of a config file; a parse error plugs nothing and
    // returns KORVEL_STATUS_INVALID_PARAMETER (reason: LastConfigError()).
    uint32_t LoadConfig(const std::wstring& path);
    const std::string& LastConfigError() const { return m_configError; }

    std::string Control(const std::vector<std::string>& words, bool& handled);
    // A client connection went away: an ASIO client no longer counts as
    // needing streaming (see SimStreaming::OnClientRequest).
    void OnConnectionClosed(uint32_t connection, uint32_t processId);

    // Plug and unplug with the driver's notifications and the streaming repair.
    uint32_t Plug(const SimDeviceConfig& config, size_t& index, std::string& error);
    void Unplug(size_t index);

    SimDeviceSet& Devices() { return m_devices; }
    SimStreaming& Streaming() { return m_streaming; }
    SimAsio& Asio() { return m_asio; }
    const SimSavedVolumeStore& Volumes() const { return m_volumes; }
    SimNotifier& Notifier() { return m_notifier; }

    std::vector<std::string> DumpLines() const;

private:
    uint32_t DriverRequest(SimRequest& r);
    uint32_t GetDeviceList(SimRequest& r) const;
    uint32_t GetChannels(SimRequest& r, uint32_t direction) const;
    uint32_t GetChannelInfo(SimRequest& r) const;

    SimNotifier& m_notifier;
    SimSavedVolumeStore m_volumes;
    SimDeviceSet m_devices;
    SimStreaming m_streaming;
    SimAsio m_asio;
    SimModelCommands m_commands;
    std::string m_configError;
};
