#include "SimConnection.h"

#include "KorvelStatus.h"
#include "SimEventType.h"
#include "SimRequest.h"

#include <cstdio>

SimConnection::SimConnection(uint32_t id, uint32_t processId, std::string deviceName)
    : m_id(id), m_processId(processId), m_deviceName(std::move(deviceName)),
      m_clientType(SIM_NO_CLIENT_TYPE)
{
}

bool SimConnection::HasClientType() const
{
    return m_clientType != SIM_NO_CLIENT_TYPE;
}

void SimConnection::Bind(uint32_t keyWord0, uint32_t keyWord1)
{
    m_bound = true;
    m_keyWord0 = keyWord0;
    m_keyWord1 = keyWord1;
}

uint32_t SimConnection::DuplicateEvent(uint32_t processId, uint64_t value, bool autoReset,
                                      SimHandle& target)
{
    target.Close();
    if (value == 0) {
        return 0;
    }
    // A handle value that does not fit this process's handle type cannot name
    // a handle of the client (a 32-bit build receiving a 64-bit value).
    if (value > static_cast<uint64_t>(UINTPTR_MAX)) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    HANDLE process = OpenProcess(PROCESS_DUP_HANDLE, FALSE, processId);
    if (process == nullptr) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    HANDLE source = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
    HANDLE duplicate = nullptr;
    BOOL ok = DuplicateHandle(process, source, GetCurrentProcess(), &duplicate,
                              EVENT_MODIFY_STATE | SimEventType::QUERY_ACCESS | SYNCHRONIZE,
                              FALSE, 0);
    CloseHandle(process);
    if (!ok || duplicate == nullptr) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    target.Attach(duplicate);
    // Anything but an event of the expected kind would never be woken as
    // the client expects.
    if (!SimEventType::IsEvent(target.GetHandle(), autoReset)) {
        target.Close();
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    return 0;
}

uint32_t SimConnection::RegisterEvents(uint64_t messageEvent, uint64_t notificationEvent)
{
    SimHandle newMessage;
    SimHandle newNotification;
    // The message and notification events are the client's auto-reset events.
    uint32_t status = DuplicateEvent(m_processId, messageEvent, true, newMessage);
    if (status == 0) {
        status = DuplicateEvent(m_processId, notificationEvent, true, newNotification);
    }
    if (status != 0) {
        return status;
    }
    m_messageEvent.Attach(newMessage.Detach());
    m_notificationEvent.Attach(newNotification.Detach());
    if (m_messages.Size() != 0) {
        Signal(m_messageEvent);
    }
    if (m_notifications.Size() != 0) {
        Signal(m_notificationEvent);
    }
    return 0;
}

void SimConnection::WithdrawEvents()
{
    m_messageEvent.Close();
    m_notificationEvent.Close();
}

void SimConnection::Signal(const SimHandle& event)
{
    // A client may pass any handle; a failed signal only means it will not be woken.
    if (event.IsValid() && !SetEvent(event.GetHandle())) {
        (void)GetLastError();
    }
}

bool SimConnection::QueueMessage(const KorvelMessage& message)
{
    bool dropped = m_messages.Push(message);
    Signal(m_messageEvent);
    return dropped;
}

bool SimConnection::QueueNotification(const KorvelMessage& message)
{
    bool dropped = m_notifications.Push(message);
    Signal(m_notificationEvent);
    return dropped;
}

std::string SimConnection::Describe() const
{
    char type[16] = "-";
    if (HasClientType()) {
        std::snprintf(type, sizeof type, "%u", static_cast<unsigned>(m_clientType));
    }
    char dev[32] = "-";
    if (m_bound) {
        std::snprintf(dev, sizeof dev, "%u:%u", static_cast<unsigned>(m_keyWord0),
                      static_cast<unsigned>(m_keyWord1));
    }
    char line[320];
    std::snprintf(line, sizeof line,
                  "conn=%u pid=%u device=%s type=%s dev=%s msgEvent=%d notifyEvent=%d "
                  "messages=%u messagesDropped=%llu notifications=%u notificationsDropped=%llu",
                  static_cast<unsigned>(m_id), static_cast<unsigned>(m_processId),
                  m_deviceName.c_str(), type, dev, HasMessageEvent() ? 1 : 0,
                  HasNotificationEvent() ? 1 : 0, static_cast<unsigned>(m_messages.Size()),
                  static_cast<unsigned long long>(m_messages.Dropped()),
                  static_cast<unsigned>(m_notifications.Size()),
                  static_cast<unsigned long long>(m_notifications.Dropped()));
    return line;
}
