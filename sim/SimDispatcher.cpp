#include "SimDispatcher.h"

#include "KorvelIoctl.h"
#include "KorvelMessage.h"
#include "KorvelRecords.h"
#include "KorvelStatus.h"
#include "SimConnection.h"
#include "SimDeviceModel.h"
#include "SimFaults.h"
#include "SimMessaging.h"
#include "SimRequest.h"
#include "SimRequestLengths.h"
#include "SimTrace.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

uint32_t FunctionOf(uint32_t code)
{
    return (code >> 2) & 0xFFF;
}

} // namespace

SimDispatcher::SimDispatcher(std::recursive_mutex& lock, SimMessaging& messaging,
                             SimDeviceModel& model, SimFaults& faults, SimTrace& trace)
    : m_lock(lock), m_messaging(messaging), m_model(model), m_faults(faults), m_trace(trace)
{
}

bool SimDispatcher::IsDeviceLevel(uint32_t code)
{
    uint32_t function = FunctionOf(code);
    return (code >> 16) == KORVEL_DEVICE_TYPE && function >= 0xB00 && function < 0xF00;
}

void SimDispatcher::SetInterfaceVersion(uint32_t major, uint32_t minor)
{
    m_interfaceMajor = major;
    m_interfaceMinor = minor;
}

std::string SimDispatcher::DescribeVersion() const
{
    char text[96];
    std::snprintf(text, sizeof text, "interface=%u.%u driver=%u.%u.%u build=%s",
                  static_cast<unsigned>(m_interfaceMajor), static_cast<unsigned>(m_interfaceMinor),
                  static_cast<unsigned>(DRIVER_MAJOR), static_cast<unsigned>(DRIVER_MINOR),
                  static_cast<unsigned>(DRIVER_BUILD), m_debug ? "debug" : "release");
    return text;
}

void SimDispatcher::Handle(uint32_t connectionId, const uint8_t* data, size_t size, bool tooLong,
                           std::vector<uint8_t>& answer)
{
    std::lock_guard guard(m_lock);
    SimFrame frame;
    uint32_t status = frame.Parse(data, size, tooLong);
    uint32_t bytesReturned = 0;
    SimConnection* connection = m_messaging.Find(connectionId);
    if (status == 0 && connection == nullptr) {
        status = KORVEL_STATUS_NOT_OPENED; // cannot happen: the session outlives its connection
    }
    if (status == 0) {
        // Output buffers start zeroed, as the I/O manager's system buffer does.
        m_out.assign(frame.OutCapacity(), 0);
        status = Dispatch(*connection, frame, bytesReturned);
        bytesReturned = std::min(bytesReturned, frame.OutCapacity());
    }
    // A failed request carries no output bytes back.
    if (status != 0) {
        bytesReturned = 0;
    }
    Trace(connection, frame, status, bytesReturned);
    SimFrame::BuildAnswer(status, m_out.data(), bytesReturned, frame.OutCapacity(), answer);
}

uint32_t SimDispatcher::Dispatch(SimConnection& connection, const SimFrame& frame,
                                 uint32_t& bytesReturned)
{
    uint32_t injected = 0;
    if (m_faults.TakeFailure(frame.Code(), injected)) {
        return injected;
    }
    const uint32_t code = frame.Code();
    const SimLengthRule* rule = SimRequestLengths::Find(code);
    if (rule == nullptr) {
        return KORVEL_STATUS_INVALID_IOCTL;
    }
    // Device-level codes only on a bound handle, everything else but the
    // version only on a driver handle.
    if (code != IOCTL_KORVEL_GET_VERSION && IsDeviceLevel(code) != connection.IsBound()) {
        return KORVEL_STATUS_INVALID_IOCTL;
    }
    uint32_t status = SimRequestLengths::Check(*rule, frame.InLength(), frame.OutCapacity());
    if (status != 0) {
        return status;
    }
    if (code == IOCTL_KORVEL_GET_VERSION) {
        return GetVersion(bytesReturned);
    }
    if (code == IOCTL_KORVEL_OPEN_DEVICE) {
        return OpenDevice(connection, frame);
    }
    uint32_t function = FunctionOf(code);
    if (function >= 0x810 && function <= 0x819) {
        return Messaging(connection, frame, bytesReturned);
    }
    return ToModel(connection, frame, bytesReturned);
}

uint32_t SimDispatcher::GetVersion(uint32_t& bytesReturned)
{
    KorvelVersionInfo info{};
    info.interfaceMajor = m_interfaceMajor;
    info.interfaceMinor = m_interfaceMinor;
    info.driverMajor = DRIVER_MAJOR;
    info.driverMinor = DRIVER_MINOR;
    info.driverBuild = DRIVER_BUILD;
    info.buildFlags = m_debug ? KORVEL_BUILD_FLAG_DEBUG : 0;
    std::memcpy(m_out.data(), &info, sizeof info);
    bytesReturned = sizeof info;
    return 0;
}

uint32_t SimDispatcher::OpenDevice(SimConnection& connection, const SimFrame& frame)
{
    // A device connection is opened, asked for the version and bound; one
    // that already declared a client type or registered events is a driver
    // connection and stays one.
    if (connection.HasClientType() || connection.HasMessageEvent() ||
        connection.HasNotificationEvent()) {
        return KORVEL_STATUS_INVALID_STATE;
    }
    KorvelDeviceKey key;
    std::memcpy(&key, frame.In(), sizeof key);
    if (!m_model.HasDevice(key.word0, key.word1)) {
        return KORVEL_STATUS_NO_DEVICE;
    }
    connection.Bind(key.word0, key.word1);
    return 0;
}

// Lengths and the kind of handle are checked already.
uint32_t SimDispatcher::Messaging(SimConnection& connection, const SimFrame& frame,
                                  uint32_t& bytesReturned)
{
    switch (frame.Code()) {
    case IOCTL_KORVEL_SEND_MESSAGE:
        return m_messaging.Send(connection, frame.In(), frame.InLength());
    case IOCTL_KORVEL_RECEIVE_MESSAGE:
    case IOCTL_KORVEL_RECEIVE_NOTIFICATION:
        return m_messaging.Receive(connection, frame.Code() == IOCTL_KORVEL_RECEIVE_NOTIFICATION,
                                   m_out.data(), bytesReturned);
    case IOCTL_KORVEL_SET_NOTIFICATION_EVENTS:
        return m_messaging.SetEvents(connection, frame.In());
    case IOCTL_KORVEL_SET_CLIENT_TYPE: {
        uint32_t type;
        std::memcpy(&type, frame.In(), sizeof type);
        return m_messaging.SetClientType(connection, type);
    }
    default:
        return KORVEL_STATUS_INVALID_IOCTL;
    }
}

uint32_t SimDispatcher::ToModel(SimConnection& connection, const SimFrame& frame,
                                uint32_t& bytesReturned)
{
    SimRequest request;
    request.connection = connection.Id();
    request.processId = connection.ProcessId();
    request.clientType = connection.ClientType();
    request.deviceBound = connection.IsBound();
    request.asioDevice = connection.DeviceName() == "asio";
    request.keyWord0 = connection.KeyWord0();
    request.keyWord1 = connection.KeyWord1();
    request.code = frame.Code();
    request.in = frame.In();
    request.inLength = frame.InLength();
    request.out = m_out.data();
    request.outCapacity = frame.OutCapacity();
    uint32_t status = connection.IsBound() ? m_model.HandleDeviceRequest(request)
                                           : m_model.HandleDriverRequest(request);
    bytesReturned = request.bytesReturned;
    return status;
}

void SimDispatcher::Trace(const SimConnection* connection, const SimFrame& frame, uint32_t status,
                          uint32_t bytesReturned)
{
    if (!m_trace.IsOpen()) {
        return;
    }
    SimTraceEntry entry;
    if (connection != nullptr) {
        entry.connection = connection->Id();
        entry.processId = connection->ProcessId();
        entry.clientType = connection->ClientType();
        entry.bound = connection->IsBound();
        entry.keyWord0 = connection->KeyWord0();
        entry.keyWord1 = connection->KeyWord1();
    }
    entry.code = frame.Code();
    entry.inLength = frame.InLength();
    entry.outCapacity = frame.OutCapacity();
    entry.status = status;
    entry.bytesReturned = bytesReturned;
    m_trace.Write(entry);
}
