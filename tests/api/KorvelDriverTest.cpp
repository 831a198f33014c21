// Typed opens, device enumeration and notification draining of the driver
// object, against the scripted pipe server.
#include "KorvelDriver.h"
#include "KorvelIoctl.h"
#include "KorvelStatus.h"
#include "ScriptedLinkTest.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <vector>

namespace {

KorvelDeviceInfo Device(uint32_t word0, uint32_t word1, uint16_t product, const wchar_t* serial)
{
    KorvelDeviceInfo info{};
    info.key = {word0, word1};
    info.vendorId = 0x1397;
    info.productId = product;
    std::wcsncpy(info.serialNumber, serial, KORVEL_SERIAL_NUMBER_CHARS - 1);
    std::wcsncpy(info.deviceName, L"quillo", KORVEL_DEVICE_NAME_CHARS - 1);
    return info;
}

// A device whose binding step can be made to fail.
class RefusingDevice : public KorvelDevice
{
public:
    explicit RefusingDevice(DWORD status) : m_status(status) {}
    DWORD OnOpened() override { return m_status; }

private:
    DWORD m_status;
};

class TestDriver : public KorvelDriver
{
public:
    KorvelDevice* CreateDevice() override
    {
        ++created;
        if (refuseCreate) {
            return nullptr;
        }
        return new RefusingDevice(openedStatus);
    }
    int created = 0;
    bool refuseCreate = false;
    DWORD openedStatus = 0;
};

class DriverTest : public ScriptedLinkTest
{
protected:
    void Refresh(KorvelDriver& driver, bool expectChanged, DWORD expectStatus = 0)
    {
        bool changed = !expectChanged;
        EXPECT_EQ(driver.RefreshDevices(changed), expectStatus);
        EXPECT_EQ(changed, expectChanged);
    }
};

} // namespace

TEST_F(DriverTest, TypedOpensRegisterEventsAndClientType)
{
    KorvelDriver panel;
    ASSERT_EQ(panel.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
    ASSERT_NE(panel.MessageEvent(), nullptr);
    ASSERT_NE(panel.NotificationEvent(), nullptr);
    EXPECT_EQ(m_server->LastClientType(1), KORVEL_CLIENT_PANEL);
    KorvelEventRegistration events = m_server->LastRegistration(1);
    EXPECT_EQ(events.messageEvent, reinterpret_cast<uintptr_t>(panel.MessageEvent()));
    EXPECT_EQ(events.notificationEvent, reinterpret_cast<uintptr_t>(panel.NotificationEvent()));
    EXPECT_STREQ(panel.ControlDeviceName(), KORVEL_CONTROL_DEVICE_NAME);

    // Already open: nothing is sent again.
    const size_t before = m_server->Calls().size();
    EXPECT_EQ(panel.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
    EXPECT_EQ(m_server->Calls().size(), before);

    KorvelDriver view;
    ASSERT_EQ(view.OpenMixerView(KORVEL_CONTROL_DEVICE_NAME), 0u);
    EXPECT_EQ(view.MessageEvent(), nullptr);
    EXPECT_EQ(m_server->LastClientType(2), KORVEL_CLIENT_MIXER_VIEW);
    events = m_server->LastRegistration(2);
    EXPECT_EQ(events.messageEvent | events.notificationEvent, 0u);
    EXPECT_EQ(m_server->CountCalls(IOCTL_KORVEL_SET_NOTIFICATION_EVENTS), 2u);

    // Closing withdraws the registration before the handle goes.
    panel.CloseAll();
    EXPECT_FALSE(panel.IsOpen());
    EXPECT_EQ(panel.MessageEvent(), nullptr);
    events = m_server->LastRegistration(1);
    EXPECT_EQ(events.messageEvent | events.notificationEvent, 0u);
}

TEST_F(DriverTest, DevicesAreMatchedByVendorProductAndExactSerial)
{
    KorvelDriver driver;
    ASSERT_EQ(driver.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
    m_server->SetDevices({Device(1, 1, 0x10, L"A1"), Device(2, 2, 0x10, L"B2")});
    Refresh(driver, true);
    ASSERT_EQ(driver.DeviceCount(), 2u);
    KorvelDevice* a = driver.DeviceAt(0);
    KorvelDevice* b = driver.DeviceAt(1);
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->IsOpen());
    EXPECT_EQ(driver.DeviceAt(2), nullptr);
    EXPECT_EQ(driver.FindDevice(2, 2), b);
    EXPECT_EQ(m_server->CountCalls(IOCTL_KORVEL_OPEN_DEVICE), 2u);

    // Same devices, one with a new key and in another order.
    m_server->SetDevices({Device(2, 2, 0x10, L"B2"), Device(9, 9, 0x10, L"A1")});
    Refresh(driver, false);
    ASSERT_EQ(driver.DeviceCount(), 2u);
    EXPECT_EQ(driver.DeviceAt(0), b);
    EXPECT_EQ(driver.DeviceAt(1), a);
    EXPECT_EQ(driver.FindDevice(9, 9), a);
    EXPECT_EQ(driver.FindDevice(1, 1), nullptr);
    EXPECT_EQ(m_server->CountCalls(IOCTL_KORVEL_OPEN_DEVICE), 2u) << "not bound again";

    // A serial that differs only in case, or another product ID, is another device.
    m_server->SetDevices({Device(2, 2, 0x11, L"B2"), Device(9, 9, 0x10, L"a1")});
    Refresh(driver, true);
    ASSERT_EQ(driver.DeviceCount(), 2u);
    EXPECT_NE(driver.DeviceAt(0), b);
    EXPECT_NE(driver.DeviceAt(1), a);
    EXPECT_TRUE(m_server->WaitClosed(2, 5000)) << "the removed devices' handles are closed";
}

TEST_F(DriverTest, DuplicateSerialsMatchOnlyWhileAnOldObjectIsLeft)
{
    KorvelDriver driver;
    ASSERT_EQ(driver.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
    m_server->SetDevices({Device(1, 1, 0x10, L"S"), Device(2, 2, 0x10, L"S")});
    Refresh(driver, true);
    ASSERT_EQ(driver.DeviceCount(), 2u);
    KorvelDevice* first = driver.DeviceAt(0);
    KorvelDevice* second = driver.DeviceAt(1);
    EXPECT_NE(first, second);

    m_server->SetDevices({Device(2, 2, 0x10, L"S")});
    Refresh(driver, true);
    ASSERT_EQ(driver.DeviceCount(), 1u);
    EXPECT_EQ(driver.DeviceAt(0), first) << "the first old match takes the entry";
    EXPECT_EQ(first->Info().key.word0, 2u);

    m_server->SetDevices({Device(1, 1, 0x10, L"S"), Device(2, 2, 0x10, L"S")});
    Refresh(driver, true);
    ASSERT_EQ(driver.DeviceCount(), 2u);
    EXPECT_EQ(driver.DeviceAt(0), first);
    EXPECT_EQ(driver.FindDevice(2, 2), driver.DeviceAt(1));
}

TEST_F(DriverTest, CountAboveTheRecordIsClampedAndUnboundDevicesAreSkipped)
{
    std::vector<KorvelDeviceInfo> devices;
    for (uint32_t i = 0; i < KORVEL_MAX_DEVICES; ++i) {
        wchar_t serial[8];
        swprintf(serial, 8, L"S%u", i);
        devices.push_back(Device(i + 1, 0, 0x10, serial));
    }
    m_server->SetDevices(devices, 12);
    KorvelDriver driver;
    ASSERT_EQ(driver.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
    Refresh(driver, true);
    EXPECT_EQ(driver.DeviceCount(), KORVEL_MAX_DEVICES);

    // Entries the kernel driver will not bind are left out without a failure.
    TestDriver refusing;
    ASSERT_EQ(refusing.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
    refusing.openedStatus = KORVEL_STATUS_NOT_SUPPORTED;
    Refresh(refusing, false);
    EXPECT_EQ(refusing.DeviceCount(), 0u);
    refusing.openedStatus = 0;
    refusing.refuseCreate = true;
    Refresh(refusing, false);
    EXPECT_EQ(refusing.DeviceCount(), 0u);
    m_server->SetDevices({Device(1, 1, 0x10, L"A"), Device(77, 0, 0x10, L"B")});
    m_server->FailNext(IOCTL_KORVEL_OPEN_DEVICE, KORVEL_STATUS_DEVICE_REMOVED);
    refusing.refuseCreate = false;
    Refresh(refusing, true);
    ASSERT_EQ(refusing.DeviceCount(), 1u);
    EXPECT_EQ(refusing.DeviceAt(0)->Info().key.word0, 77u);
}

TEST_F(DriverTest, NotificationsAreDrainedUntilTheQueueIsEmpty)
{
    KorvelDriver driver;
    ASSERT_EQ(driver.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
    KorvelMessage stray;
    stray.Init(KORVEL_MSG_TYPE_REPLY, KORVEL_MSG_REPLY);
    KorvelMessage notification;
    notification.Init(KORVEL_MSG_TYPE_NOTIFICATION, KORVEL_NOTIFY_DEVICES_CHANGED);
    m_server->QueueNotification(1, stray, false);
    m_server->QueueNotification(1, notification, true);
    EXPECT_EQ(WaitForSingleObject(driver.NotificationEvent(), 5000), WAIT_OBJECT_0);

    KorvelMessage received;
    EXPECT_EQ(driver.ReceiveNextNotification(received), 0u);
    EXPECT_EQ(received.code, KORVEL_NOTIFY_DEVICES_CHANGED);
    EXPECT_EQ(driver.ReceiveNextNotification(received), KORVEL_STATUS_NO_MORE_ITEMS);

    m_server->QueueNotification(1, notification, false);
    m_server->QueueNotification(1, notification, false);
    EXPECT_EQ(driver.FlushNotifications(), 0u);
    EXPECT_EQ(driver.ReceiveNextNotification(received), KORVEL_STATUS_NO_MORE_ITEMS);
    m_server->FailNext(IOCTL_KORVEL_RECEIVE_NOTIFICATION, KORVEL_STATUS_INTERNAL_ERROR);
    EXPECT_EQ(driver.FlushNotifications(), KORVEL_STATUS_INTERNAL_ERROR);
}

TEST_F(DriverTest, NotificationDrainsEndOnBrokenOrEndlessPeers)
{
    KorvelDriver driver;
    ASSERT_EQ(driver.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
    KorvelMessage received;
    m_server->SetOutput(IOCTL_KORVEL_RECEIVE_NOTIFICATION, {});
    EXPECT_EQ(driver.ReceiveNextNotification(received), KORVEL_STATUS_INVALID_MSG_SIZE);
    EXPECT_EQ(driver.FlushNotifications(), KORVEL_STATUS_INVALID_MSG_SIZE);

    KorvelMessage request;
    request.Init(KORVEL_MSG_TYPE_REQUEST, KORVEL_MSG_SET_POLICY);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&request);
    m_server->SetOutput(IOCTL_KORVEL_RECEIVE_NOTIFICATION,
                        std::vector<uint8_t>(bytes, bytes + sizeof(request)));
    EXPECT_EQ(driver.ReceiveNextNotification(received, 200), KORVEL_STATUS_TIMEOUT);
    EXPECT_EQ(driver.FlushNotifications(200), KORVEL_STATUS_TIMEOUT);
}

// An owner thread may still wait on the raw event handles when CloseAll
// runs: the events outlive the connection, so those waits never see a
// closed (and possibly reused) handle value.
TEST_F(DriverTest, EventsOutliveCloseAllAndAreReusedByTheNextOpen)
{
    KorvelDriver driver;
    ASSERT_EQ(driver.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
    HANDLE message = driver.MessageEvent();
    HANDLE notification = driver.NotificationEvent();
    SetEvent(message); // a stale signal from the old connection
    driver.CloseAll();
    EXPECT_EQ(driver.MessageEvent(), nullptr);
    EXPECT_EQ(driver.NotificationEvent(), nullptr);
    EXPECT_EQ(WaitForSingleObject(notification, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the event a waiter holds is still an event";
    DWORD flags = 0;
    EXPECT_TRUE(GetHandleInformation(message, &flags));

    ASSERT_EQ(driver.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
    EXPECT_EQ(driver.MessageEvent(), message);
    EXPECT_EQ(WaitForSingleObject(message, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the reopened connection starts without the old signal";
    KorvelEventRegistration events = m_server->LastRegistration(2);
    EXPECT_EQ(events.messageEvent, reinterpret_cast<uintptr_t>(message));
}
