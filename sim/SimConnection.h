#pragma once
// State of one client handle (one pipe instance) as the kernel driver would
// keep it per file object: the client's process, its declared type, the
// events it registered (duplicated into this process), its message and
// notification queues, and the device the handle is bound to.
//
// Not thread-safe by itself: every access happens under the simulator lock.
#include "SimHandle.h"
#include "SimMessageQueue.h"

#include <cstdint>
#include <string>

class SimConnection
{
public:
    SimConnection(uint32_t id, uint32_t processId, std::string deviceName);

    SimConnection(const SimConnection&) = delete;
    SimConnection& operator=(const SimConnection&) = delete;

    uint32_t Id() const { return m_id; }
    uint32_t ProcessId() const { return m_processId; }
    const std::string& DeviceName() const { return m_deviceName; }
    // Name of the ASIO control device's connections (the other one is "control").
    static constexpr const char* ASIO_DEVICE = "asio";
    bool IsAsioDevice() const { return m_deviceName == ASIO_DEVICE; }

    // Client type; SIM_NO_CLIENT_TYPE until declared.
    uint32_t ClientType() const { return m_clientType; }
    bool HasClientType() const;
    void SetClientType(uint32_t type) { m_clientType = type; }

    // Device binding (IOCTL_KORVEL_OPEN_DEVICE).
    bool IsBound() const { return m_bound; }
    uint32_t KeyWord0() const { return m_keyWord0; }
    uint32_t KeyWord1() const { return m_keyWord1; }
    void Bind(uint32_t keyWord0, uint32_t keyWord1);

    // Replaces the registration with the client's handle values (zero: no
    // event). Both handles are duplicated from the client's process first
    // and must name auto-reset events; if either fails, the old
    // registration stays and the result is KORVEL_STATUS_INVALID_PARAMETER. Queued entries signal a newly
    // registered event at once so that nothing waits for a wake-up that
    // already happened.
    uint32_t RegisterEvents(uint64_t messageEvent, uint64_t notificationEvent);
    void WithdrawEvents();
    bool HasMessageEvent() const { return m_messageEvent.IsValid(); }
    bool HasNotificationEvent() const { return m_notificationEvent.IsValid(); }

    // Queue and signal. True when the queue was full and dropped its oldest entry.
    bool QueueMessage(const KorvelMessage& message);
    bool QueueNotification(const KorvelMessage& message);
    bool TakeMessage(KorvelMessage& message) { return m_messages.Pop(message); }
    bool TakeNotification(KorvelMessage& message) { return m_notifications.Pop(message); }
    SimMessageQueue& Messages() { return m_messages; }

    // Duplicates handle `value` of process `processId` into this process and
    // checks that it names an event (an auto-reset one with `autoReset`).
    // Zero closes `target` and succeeds; any failure leaves `target` empty
    // and gives KORVEL_STATUS_INVALID_PARAMETER.
    static uint32_t DuplicateEvent(uint32_t processId, uint64_t value, bool autoReset,
                                   SimHandle& target);

    // One line for the control protocol's dump.
    std::string Describe() const;

private:
    static void Signal(const SimHandle& event);

    uint32_t m_id;
    uint32_t m_processId;
    std::string m_deviceName;
    uint32_t m_clientType;
    bool m_bound = false;
    uint32_t m_keyWord0 = 0;
    uint32_t m_keyWord1 = 0;
    SimHandle m_messageEvent;
    SimHandle m_notificationEvent;
    SimMessageQueue m_messages;
    SimMessageQueue m_notifications;
};
