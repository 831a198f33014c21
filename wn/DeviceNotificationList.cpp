#include "DeviceNotificationList.h"

#include <dbt.h>

#include <new>

// The filter record the system expects: size 32, device type, reserved, class, empty name.
static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) == 32);

DeviceNotificationList::DeviceNotificationList()
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

    entry->notification = RegisterDeviceNotificationW(recipient, &filter, flags);
    if (entry->notification == nullptr) {
        DWORD error = GetLastError();
        delete entry;
        // A failure is never reported as success, even without a last error.
        return error != 0 ? error : ERROR_INVALID_HANDLE;
    }

    EnterCriticalSection(&m_lock);
    entry->prev = m_tail;
    if (m_tail != nullptr) {
        m_tail->next = entry;
    } else {
        m_head = entry;
    }
    m_tail = entry;
    LeaveCriticalSection(&m_lock);
    return 0;
}

void DeviceNotificationList::UnregisterAll()
{
    EnterCriticalSection(&m_lock);
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
    LeaveCriticalSection(&m_lock);
}

size_t DeviceNotificationList::Count() const
{
    EnterCriticalSection(&m_lock);
    size_t count = 0;
    for (const Entry* entry = m_head; entry != nullptr; entry = entry->next) {
        ++count;
    }
    LeaveCriticalSection(&m_lock);
    return count;
}
