// A handler whose message box is open runs inside the box's modal loop, which
// dispatches the panel's other messages; one of them may delete the page the
// handler belongs to (the frame rebuilds the tree when a device leaves).
// After OK the handler must leave the deleted page alone.
#include "DevicePageHost.h"
#include "FormDevice.h"
#include "InProcessSimTest.h"
#include "MessageBoxWatcher.h"
#include "WaitFor.h"

#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>
#include <utility>

using cpl_test::DevicePageHost;
using cpl_test::MessageBoxWatcher;

namespace {

constexpr unsigned char kDeleted = 0xDD;
constexpr DWORD kWaitMs = 10000;

// Runs an action on the window's thread when the window receives MESSAGE,
// as the frame's own handlers run inside another window's modal loop.
class ActionOnMessage
{
public:
    static constexpr UINT MESSAGE = WM_APP + 77;

    ActionOnMessage(HWND window, std::function<void()> action)
        : m_window(window), m_action(std::move(action))
    {
        SetWindowSubclass(m_window, Proc, 1, reinterpret_cast<DWORD_PTR>(this));
    }
    ~ActionOnMessage() { RemoveWindowSubclass(m_window, Proc, 1); }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                 UINT_PTR, DWORD_PTR data)
    {
        if (message == MESSAGE) {
            reinterpret_cast<ActionOnMessage*>(data)->m_action();
            return 0;
        }
        return DefSubclassProc(window, message, wParam, lParam);
    }

    HWND m_window;
    std::function<void()> m_action;
};

class FormModalLoopTest : public InProcessSimTest
{
};

TEST_F(FormModalLoopTest, APageDeletedWhileItsErrorBoxIsOpenIsLeftAloneAfterOk)
{
    Control("plug serial=MOD1");
    DevicePageHost host;
    ASSERT_EQ(host.Connect(), 0u);
    const KorvelDeviceKey key = host.Client().DeviceAt(0)->Info().key;

    // The page lives in the test's storage, filled with a pattern once it is
    // deleted: any write through the deleted page changes the pattern.
    alignas(FormDevice) static unsigned char storage[sizeof(FormDevice)];
    FormDevice* page = new (storage)
        FormDevice(host.Client(), host.Frame(), key.word0, key.word1, nullptr, nullptr);
    ASSERT_NE(page->CreateForm(GetModuleHandleW(nullptr), host.Frame()), nullptr);
    HWND window = page->GetFormWindow();
    ActionOnMessage deleter(host.Frame(), [&] {
        page->~FormDevice();
        std::memset(storage, kDeleted, sizeof storage);
    });
    MessageBoxWatcher watcher([&](HWND) {
        PostMessageW(host.Frame(), ActionOnMessage::MESSAGE, 0, 0);
        (void)quillo_test::WaitFor([&] { return !IsWindow(window); }, kWaitMs, 10);
    });

    // The policy goes to the service, and none runs: the error box opens.
    DevicePageHost::ToggleAndClick(window, IDC_DEVICE_FORBID_RATE_CHANGE);
    ASSERT_EQ(watcher.Boxes().size(), 1u);
    EXPECT_FALSE(IsWindow(window)) << "the page was not deleted while its box was open";
    EXPECT_TRUE(std::all_of(std::begin(storage), std::end(storage),
                            [](unsigned char byte) { return byte == kDeleted; }))
        << "the handler wrote into the deleted page after OK";
}

} // namespace
