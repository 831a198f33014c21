#pragma once

#include <windows.h>

// The device-interface notifications registered for one recipient (a service
// status handle or a window), so that all of them can be withdrawn at once.
// Registration happens on one thread (the service body) and withdrawal on
// another (the control or console-handler thread), so the list has its own lock.
class DeviceNotificationList
{
public:
    // The system's registration call, or one that stands in for it in a test.
    using RegisterFunction = HDEVNOTIFY(WINAPI*)(HANDLE recipient, LPVOID filter, DWORD flags);

    DeviceNotificationList();
    explicit DeviceNotificationList(RegisterFunction registerFunction);
    ~DeviceNotificationList();

    DeviceNotificationList(const DeviceNotificationList&) = delete;
    DeviceNotificationList& operator=(const DeviceNotificationList&) = delete;

    // Registers `recipient` for arrivals and removals of interfaces of
    // `classGuid`. `flags` is DEVICE_NOTIFY_SERVICE_HANDLE (1) for a service
    // status handle, DEVICE_NOTIFY_WINDOW_HANDLE (0) for a window.
    // 0 or the error of the registration. Holds the list's lock across the
    // system call, so that nothing registered survives an UnregisterAll.
    DWORD RegisterFor(HANDLE recipient, const GUID& classGuid, DWORD flags);

    // Withdraws every registration (failures are dropped) and empties the list.
    void UnregisterAll();

    // Number of registrations currently held.
    size_t Count() const;

private:
    struct Entry
    {
        GUID classGuid;
        HDEVNOTIFY notification;
        Entry* prev;
        Entry* next;
    };

    RegisterFunction m_register;
    mutable CRITICAL_SECTION m_lock;
    Entry* m_head = nullptr;
    Entry* m_tail = nullptr;
};
