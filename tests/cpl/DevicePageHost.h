#pragma once
// What the device and status page tests share: a frame window to parent
// the pages, a panel client on the simulator, clicks and list reads as the
// user's actions produce them, and a message pump with a time limit.
#include "KorvelCplClient.h"

#include <windows.h>

#include <functional>
#include <string>

namespace cpl_test {

class DevicePageHost
{
public:
    DevicePageHost();
    ~DevicePageHost();
    DevicePageHost(const DevicePageHost&) = delete;
    DevicePageHost& operator=(const DevicePageHost&) = delete;

    HWND Frame() const { return m_frame; }
    KorvelCplClient& Client() { return m_client; }
    // Opens the shared client and lists the devices; 0 or the failure.
    DWORD Connect();
    // Lists the devices again, as the frame does on a device-set notification.
    void RefreshDevices();

    // BN_CLICKED of button `id` of `page`, after toggling a check box.
    static void Click(HWND page, int id);
    static void ToggleAndClick(HWND page, int id);
    static bool IsChecked(HWND page, int id);
    static std::wstring Text(HWND page, int id);
    static std::wstring ListText(HWND list, int item, int column);
    // Selects `item` (-1: none) as a click would; the list tells its parent.
    static void SelectItem(HWND list, int item);
    // Dispatches this thread's messages until `condition` holds; false
    // after `timeoutMs`.
    static bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs);

private:
    HWND m_frame = nullptr;
    KorvelCplClient m_client;
};

} // namespace cpl_test
