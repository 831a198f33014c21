#include "DeviceNotificationList.h"

#include "WnCriticalSectionLock.h"
#include "WnLastError.h"

#include <dbt.h>

#include <new>

// The filter record the system expects: size 32, device type, reserved, class, empty name.
static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) == 32);

DeviceNotificationList::DeviceNotificationList() : DeviceNotificationList(RegisterDeviceNotificationW)
{
}

DeviceNotificationList::DeviceNotificationList(RegisterFunction registerFunction)
    : m_register(registerFunction)
{
    InitializeCriticalSection(&m_lock);
}

DeviceNotificationList::~DeviceNotificationList()
{
    UnregisterAll();
    DeleteCriticalSection(&m_lock);
}

DWORD DeviceNotificationList::RegisterFor(HANDLE recipient, const GUID& classGuid, DWORD flags)
{
    Entry* entry = new (std::nothrow) Entry{classGuid, nullptr, nullptr, nullptr};
    if (entry == nullptr) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }

    DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_reserved = 0;
    filter.dbcc_classguid = classGuid;
    filter.dbcc_name[0] = L'\0';

    // The registration and its entry are made under one hold of the lock: an
    // UnregisterAll that comes in between (a stop during a registration)
    // waits for the entry and withdraws it, instead of missing it.
    WnCriticalSectionLock lock(m_lock);
    entry->notification = m_register(recipient, &filter, flags);
    if (entry->notification == nullptr) {
        DWORD error = LastErrorOr(ERROR_INVALID_HANDLE);
        delete entry;
        return error;
    }
    entry->prev = m_tail;
    if (m_tail != nullptr) {
        m_tail->next = entry;
    } else {
        m_head = entry;
    }
    m_tail = entry;
    return 0;
}

void DeviceNotificationList::UnregisterAll()
{
    WnCriticalSectionLock lock(m_lock);
    while (m_head != nullptr) {
        Entry* entry = m_head;
        m_head = entry->next;
        if (m_head != nullptr) {
            m_head->prev = nullptr;
        }
        if (entry->notification != nullptr && !UnregisterDeviceNotification(entry->notification)) {
            GetLastError(); // nothing to do about a registration that will not go
        }
        delete entry;
    }
    m_tail = nullptr;
}

size_t DeviceNotificationList::Count() const
{
    WnCriticalSectionLock lock(m_lock);
    size_t count = 0;
    for (const Entry* entry = m_head; entry != nullptr; entry = entry->next) {
        ++count;
    }
    return count;
}
