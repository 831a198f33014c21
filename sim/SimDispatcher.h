#pragma once
// Answers the request frames of the driver connections the way the kernel
// driver completes control requests: it checks the frame, applies an injected
// failure, carries out the codes of the connection layer itself (version,
// messaging, notification events, client type, device binding) and hands
// every other code to the device model, on a driver handle as a driver-wide
// request and on a bound handle as a device-level one. Each answered request
// is written to the trace.
#include "SimFrame.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class SimConnection;
class SimDeviceModel;
class SimFaults;
class SimMessaging;
class SimTrace;

class SimDispatcher
{
public:
    // What IOCTL_KORVEL_GET_VERSION reports until changed through control.
    static constexpr uint32_t DEFAULT_INTERFACE_MAJOR = 2;
    static constexpr uint32_t DEFAULT_INTERFACE_MINOR = 3;
    static constexpr uint32_t DRIVER_MAJOR = 4;
    static constexpr uint32_t DRIVER_MINOR = 12;
    static constexpr uint32_t DRIVER_BUILD = 7;

    SimDispatcher(std::recursive_mutex& lock, SimMessaging& messaging, SimDeviceModel& model,
                  SimFaults& faults, SimTrace& trace);

    // Answers one pipe message of connection `connectionId`. `tooLong` says
    // the message did not fit the maximal frame. Takes the simulator lock.
    void Handle(uint32_t connectionId, const uint8_t* data, size_t size, bool tooLong,
                std::vector<uint8_t>& answer);

    // Settings of the version record (under the simulator lock).
    void SetInterfaceVersion(uint32_t major, uint32_t minor);
    void SetDebug(bool debug) { m_debug = debug; }
    // "interface=<major>.<minor> driver=<a>.<b>.<c> build=debug|release".
    std::string DescribeVersion() const;

    // True for the device-level codes (functions 0xB00 up to below 0xF00).
    static bool IsDeviceLevel(uint32_t code);

private:
    uint32_t Dispatch(SimConnection& connection, const SimFrame& frame, uint32_t& bytesReturned);
    uint32_t GetVersion(uint32_t& bytesReturned);
    uint32_t OpenDevice(SimConnection& connection, const SimFrame& frame);
    uint32_t Messaging(SimConnection& connection, const SimFrame& frame, uint32_t& bytesReturned);
    uint32_t ToModel(SimConnection& connection, const SimFrame& frame, uint32_t& bytesReturned);
    void Trace(const SimConnection* connection, const SimFrame& frame, uint32_t status,
               uint32_t bytesReturned);

    std::recursive_mutex& m_lock;
    SimMessaging& m_messaging;
    SimDeviceModel& m_model;
    SimFaults& m_faults;
    SimTrace& m_trace;
    std::vector<uint8_t> m_out; // output buffer of the request being answered
    uint32_t m_interfaceMajor = DEFAULT_INTERFACE_MAJOR;
    uint32_t m_interfaceMinor = DEFAULT_INTERFACE_MINOR;
    bool m_debug = false;
};
