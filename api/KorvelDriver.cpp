#include "KorvelDriver.h"

#include "KorvelLog.h"

#include "KorvelDeadline.h"
#include "KorvelStatus.h"

#include <cwchar>
#include <new>
#include <utility>

KorvelDriver::KorvelDriver()
{
    // At most KORVEL_MAX_DEVICES are ever listed, so appending never
    // allocates during an enumeration.
    m_devices.reserve(KORVEL_MAX_DEVICES);
    m_previous.reserve(KORVEL_MAX_DEVICES);
}

KorvelDriver::~KorvelDriver()
{
    CloseAll();
    m_devices.clear(); // each device closes its own handle
    // The events go with the members, after the owner has ended its waits.
}

KorvelDevice* KorvelDriver::CreateDevice()
{
    return new (std::nothrow) KorvelDevice();
}

DWORD KorvelDriver::OpenWithEvents(const wchar_t* name, bool wantMessageEvent,
                                   bool wantNotificationEvent)
{
    Lock();
    if (IsOpen()) {
        Unlock();
        return KORVEL_STATUS_REJECTED;
    }
    StoreName(m_name, name);
    DWORD status = Open(m_name);
    if (status == ERROR_SUCCESS) {
        status = CreateWantedEvents(wantMessageEvent, wantNotificationEvent);
        if (status == ERROR_SUCCESS) {
            status = SetNotificationEvents(
                wantMessageEvent ? m_messageEvent.GetHandle() : nullptr,
                wantNotificationEvent ? m_notificationEvent.GetHandle() : nullptr);
        }
        m_messageRegistered = status == ERROR_SUCCESS && wantMessageEvent;
        m_notificationRegistered = status == ERROR_SUCCESS && wantNotificationEvent;
        if (status != ERROR_SUCCESS) {
            Close();
        }
    }
    Unlock();
    return status;
}

DWORD KorvelDriver::CreateWantedEvents(bool wantMessageEvent, bool wantNotificationEvent)
{
    DWORD status = wantMessageEvent ? PrepareEvent(m_messageEvent) : ERROR_SUCCESS;
    if (status == ERROR_SUCCESS && wantNotificationEvent) {
        status = PrepareEvent(m_notificationEvent);
    }
    return status;
}

DWORD KorvelDriver::PrepareEvent(WnEvent& event)
{
    if (event.GetHandle() == nullptr) {
        return event.Create(FALSE, FALSE);
    }
    // Kept from an earlier connection: a signal left from it means nothing now.
    return event.Reset();
}

DWORD KorvelDriver::OpenTyped(const wchar_t* name, uint32_t clientType, bool wantMessageEvent,
                              bool wantNotificationEvent)
{
    Lock();
    DWORD status = ERROR_SUCCESS;
    if (!IsOpen()) {
        // Without events this registers all zeros, as a view connection must.
        status = OpenWithEvents(name, wantMessageEvent, wantNotificationEvent);
        if (status == ERROR_SUCCESS) {
            status = SetClientType(clientType);
            if (status != ERROR_SUCCESS) {
                CloseAll();
            }
        }
    }
    Unlock();
    return status;
}

DWORD KorvelDriver::OpenPanel(const wchar_t* name)
{
    return OpenTyped(name, KORVEL_CLIENT_PANEL, true, true);
}

DWORD KorvelDriver::OpenPanelView(const wchar_t* name)
{
    return OpenTyped(name, KORVEL_CLIENT_PANEL_VIEW, false, false);
}

DWORD KorvelDriver::OpenMixerView(const wchar_t* name)
{
    return OpenTyped(name, KORVEL_CLIENT_MIXER_VIEW, false, false);
}

void KorvelDriver::CloseAll()
{
    Lock();
    // Withdrawn before the handle goes; on a closed connection this fails
    // with KORVEL_STATUS_NOT_OPENED, which does not matter here.
    (void)SetNotificationEvents(nullptr, nullptr);
    m_messageRegistered = false;
    m_notificationRegistered = false;
    Close();
    // The events stay: an owner thread may still be waiting on their raw
    // handles, and closing them would let the values name other objects.
    Unlock();
}

bool KorvelDriver::SameDevice(const KorvelDeviceInfo& a, const KorvelDeviceInfo& b)
{
    // The serial number field comes from the kernel driver and need not be
    // terminated: compare within the field only.
    return a.vendorId == b.vendorId && a.productId == b.productId &&
           std::wcsncmp(a.serialNumber, b.serialNumber, KORVEL_SERIAL_NUMBER_CHARS) == 0;
}

DWORD KorvelDriver::RefreshDevices(bool& changed, OnListFailure onFailure)
{
    changed = false;
    KorvelDeviceList list{};
    DWORD status = GetDeviceList(list);
    if (status != ERROR_SUCCESS && onFailure == OnListFailure::KeepList) {
        return status;
    }
    // Both lists keep their reserved room across the swap.
    DeviceList& oldDevices = m_previous;
    oldDevices.swap(m_devices);
    m_listedCount = 0;
    if (status == ERROR_SUCCESS) {
        // The record holds KORVEL_MAX_DEVICES entries; a larger count cannot
        // name entries that do not exist.
        uint32_t count = list.count < KORVEL_MAX_DEVICES ? list.count : KORVEL_MAX_DEVICES;
        m_listedCount = count;
        for (uint32_t i = 0; i < count; ++i) {
            AddListedDevice(list.devices[i], oldDevices, changed);
        }
    }
    if (!oldDevices.empty()) {
        changed = true;
    }
    oldDevices.clear(); // closes and deletes the devices that are gone
    return status;
}

void KorvelDriver::AddListedDevice(const KorvelDeviceInfo& info, DeviceList& oldDevices,
                                   bool& changed)
{
    for (auto it = oldDevices.begin(); it != oldDevices.end(); ++it) {
        if (SameDevice((*it)->Info(), info)) {
            std::unique_ptr<KorvelDevice> device = std::move(*it);
            oldDevices.erase(it);
            if (KeepListedDevice(*device, info, changed)) {
                m_devices.push_back(std::move(device));
            }
            return;
        }
    }
    std::unique_ptr<KorvelDevice> device(CreateDevice());
    if (device == nullptr) {
        return;
    }
    if (device->OpenFor(m_name, info) != ERROR_SUCCESS) {
        return; // not bound: deleted at once, the enumeration goes on
    }
    m_devices.push_back(std::move(device));
    changed = true;
}

bool KorvelDriver::KeepListedDevice(KorvelDevice& device, const KorvelDeviceInfo& info,
                                    bool& changed)
{
    const KorvelDeviceKey& key = device.Info().key;
    if (device.IsOpen() && !device.IsConnectionLost() && key.word0 == info.key.word0 &&
        key.word1 == info.key.word1) {
        device.UpdateInfo(info); // still attached: same handle, same binding
        return true;
    }
    // The handle is bound to a device that is gone (the same serial came back
    // under a new key) or to nothing: bind it to the device listed now.
    changed = true;
    device.Close();
    return device.OpenFor(m_name, info) == ERROR_SUCCESS;
}

KorvelDevice* KorvelDriver::FindDevice(uint32_t keyWord0, uint32_t keyWord1) const
{
    for (const auto& device : m_devices) {
        const KorvelDeviceKey& key = device->Info().key;
        if (key.word0 == keyWord0 && key.word1 == keyWord1) {
            return device.get();
        }
    }
    return nullptr;
}

KorvelDevice* KorvelDriver::DeviceAt(size_t index) const
{
    return index < m_devices.size() ? m_devices[index].get() : nullptr;
}

DWORD KorvelDriver::ReceiveNextNotification(KorvelMessage& message, DWORD timeoutMs)
{
    const KorvelDeadline deadline(timeoutMs);
    for (;;) {
        DWORD status = ReceiveNotification(message);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        if (message.type == KORVEL_MSG_TYPE_NOTIFICATION) {
            KorvelLog::Write(KORVEL_LOG_INFO, "notification %u received", message.code);
            return ERROR_SUCCESS;
        }
        if (deadline.Expired()) {
            return KORVEL_STATUS_TIMEOUT; // a peer that only sends other types
        }
    }
}

DWORD KorvelDriver::FlushNotifications(DWORD timeoutMs)
{
    const KorvelDeadline deadline(timeoutMs);
    KorvelMessage message;
    for (;;) {
        DWORD status = ReceiveNotification(message);
        if (status == KORVEL_STATUS_NO_MORE_ITEMS) {
            return ERROR_SUCCESS;
        }
        if (status != ERROR_SUCCESS) {
            return status;
        }
        if (deadline.Expired()) {
            return KORVEL_STATUS_TIMEOUT; // a queue that never runs empty
        }
    }
}
