#pragma once
// A connection to the kernel driver as a whole: it declares what kind of
// client it is, owns the two auto-reset events on which the kernel driver
// signals queued messages and notifications, and keeps one device object per
// device that the kernel driver reports.
#include "KorvelApiContext.h"
#include "KorvelDevice.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

class KorvelDriver : public KorvelApiContext
{
public:
    KorvelDriver();
    ~KorvelDriver() override;

    // Returns a new, unopened device object (null when none can be made).
    // A derived driver returns its own device class.
    virtual KorvelDevice* CreateDevice();

    // Stores the name, opens the connection, creates the wanted events that
    // do not exist yet and registers them (null for the others). Any failure
    // after the open closes the connection again. KORVEL_STATUS_REJECTED on
    // an open connection, whose name stays as it was.
    DWORD OpenWithEvents(const wchar_t* name, bool wantMessageEvent, bool wantNotificationEvent);

    // Opens a typed client connection: nothing (0) when already open; else
    // OpenWithEvents with the wanted events, then the client type. A refused
    // client type closes everything again (CloseAll).
    DWORD OpenTyped(const wchar_t* name, uint32_t clientType, bool wantMessageEvent,
                    bool wantNotificationEvent);
    // The control panel's connections: main (both events), its view and a
    // mixer view (no events).
    DWORD OpenPanel(const wchar_t* name);
    DWORD OpenPanelView(const wchar_t* name);
    DWORD OpenMixerView(const wchar_t* name);

    // Withdraws the event registration and closes the connection. The
    // device objects stay, and so do both events: they outlive every wait
    // on them. An owner thread that still waits on a raw handle read before
    // CloseAll waits on the same event object (never on a reused handle
    // value) until its own stop wakes it; the events are closed only when
    // the driver object is destroyed, which the owner does after its waits
    // have ended. A later open resets and registers them again.
    void CloseAll();

    // Enumerates again. A device that stays attached keeps its object and
    // its handle; a device no longer listed is closed and deleted; a failed
    // list request empties the list. `changed` tells whether devices were
    // added or removed. Returns the status of the list request.
    DWORD RefreshDevices(bool& changed);

    // First device whose key matches both words, or null.
    KorvelDevice* FindDevice(uint32_t keyWord0, uint32_t keyWord1) const;
    // Null when `index` is not below DeviceCount().
    KorvelDevice* DeviceAt(size_t index) const;
    size_t DeviceCount() const { return m_devices.size(); }

    // How long one drain of the notification queue may take. A queue that
    // the kernel driver fills empties in far less; only a broken peer that
    // never stops answering reaches it.
    static constexpr DWORD DRAIN_TIME_LIMIT_MS = 5000;

    // Receives until a notification (type 3) arrives: 0, or the failing
    // status (KORVEL_STATUS_NO_MORE_ITEMS when the queue is empty,
    // KORVEL_STATUS_TIMEOUT when only other messages came for `timeoutMs`).
    DWORD ReceiveNextNotification(KorvelMessage& message, DWORD timeoutMs = DRAIN_TIME_LIMIT_MS);
    // Discards queued notifications; an empty queue is success,
    // KORVEL_STATUS_TIMEOUT a queue still not empty after `timeoutMs`.
    DWORD FlushNotifications(DWORD timeoutMs = DRAIN_TIME_LIMIT_MS);

    // The raw event handles for the owner's waits; null while the
    // connection is closed or the event was not asked for.
    HANDLE MessageEvent() const
    {
        return IsOpen() && m_messageRegistered ? m_messageEvent.GetHandle() : nullptr;
    }
    HANDLE NotificationEvent() const
    {
        return IsOpen() && m_notificationRegistered ? m_notificationEvent.GetHandle() : nullptr;
    }

    // The name the connection was last opened with.
    const wchar_t* ControlDeviceName() const { return m_name; }

private:
    using DeviceList = std::vector<std::unique_ptr<KorvelDevice>>;

    DWORD CreateWantedEvents(bool wantMessageEvent, bool wantNotificationEvent);
    static DWORD PrepareEvent(WnEvent& event);
    void AddListedDevice(const KorvelDeviceInfo& info, DeviceList& oldDevices, bool& changed);
    static bool SameDevice(const KorvelDeviceInfo& a, const KorvelDeviceInfo& b);

    DeviceList m_devices;
    DeviceList m_previous; // the old list while an enumeration runs
    WnEvent m_messageEvent;
    WnEvent m_notificationEvent;
    // Registered with the open connection (the events themselves may be
    // kept from an earlier one).
    std::atomic<bool> m_messageRegistered{false};
    std::atomic<bool> m_notificationRegistered{false};
    wchar_t m_name[NAME_CHARS] = {};
};
