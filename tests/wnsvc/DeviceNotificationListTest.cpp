// Registrations of DeviceNotificationList against a stop that arrives while
// a registration is under way.
#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "DeviceNotificationList.h"

namespace {

// The list under test and the withdrawal that races with its registration.
DeviceNotificationList* g_list = nullptr;
HANDLE g_withdrawn = nullptr;
std::thread g_stopper;

// The system's registration, during which another thread withdraws
// everything (a stop during the registration).
HDEVNOTIFY WINAPI RegisterWhileStopping(HANDLE recipient, LPVOID filter, DWORD flags)
{
    g_stopper = std::thread([] {
        g_list->UnregisterAll();
        SetEvent(g_withdrawn);
    });
    // Gives the withdrawal every chance to run before the registration ends.
    WaitForSingleObject(g_withdrawn, 500);
    return RegisterDeviceNotificationW(recipient, filter, flags);
}

HDEVNOTIFY WINAPI RefuseRegistration(HANDLE, LPVOID, DWORD)
{
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

const GUID TEST_CLASS = {0x5d1a2c3e, 0x11aa, 0x4bcd, {1, 2, 3, 4, 5, 6, 7, 8}};

} // namespace

TEST(DeviceNotificationList, NothingSurvivesAnUnregisterAllDuringARegistration)
{
    // A message-only window as the recipient, so that the registration is real.
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    DeviceNotificationList list(RegisterWhileStopping);
    g_list = &list;
    g_withdrawn = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(g_withdrawn, nullptr);
    ASSERT_EQ(list.RegisterFor(window, TEST_CLASS, DEVICE_NOTIFY_WINDOW_HANDLE), 0u);
    ASSERT_EQ(WaitForSingleObject(g_withdrawn, 10000), WAIT_OBJECT_0)
        << "the withdrawal never ran";
    g_stopper.join();
    EXPECT_EQ(list.Count(), 0u) << "a registration outlived UnregisterAll";
    CloseHandle(g_withdrawn);
    g_list = nullptr;
    DestroyWindow(window);
}

TEST(DeviceNotificationList, FailedRegistrationKeepsNothing)
{
    DeviceNotificationList list(RefuseRegistration);
    EXPECT_EQ(list.RegisterFor(nullptr, TEST_CLASS, DEVICE_NOTIFY_WINDOW_HANDLE),
              static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(list.Count(), 0u);
}
