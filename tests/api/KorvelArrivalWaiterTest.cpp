// The simulator's device arrivals and removals reach the handler the system's
// events would reach, only in a process configured for the simulator.
#include "InProcessSimTest.h"
#include "KorvelArrivalWaiter.h"
#include "KorvelLinkFrame.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

namespace {

const GUID INTERFACE_CLASS = {0x37A02BA4, 0x5264, 0x4c11,
                              {0x88, 0x03, 0xF2, 0x15, 0x0F, 0x58, 0x1B, 0xB0}};

// Counts the arrivals and removals that look exactly like the system's.
class ArrivalRecorder : public WnPnPNotificatorCallbackInterface
{
public:
    void OnDeviceChange(DWORD eventType, void* eventData) override
    {
        auto* header = static_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(eventData);
        if (header == nullptr || header->dbcc_devicetype != DBT_DEVTYP_DEVICEINTERFACE ||
            !IsEqualGUID(header->dbcc_classguid, INTERFACE_CLASS)) {
            ++others;
        } else if (eventType == DBT_DEVICEARRIVAL) {
            ++arrivals;
        } else if (eventType == DBT_DEVICEREMOVECOMPLETE) {
            ++removals;
        } else {
            ++others;
        }
    }
    std::atomic<int> arrivals{0};
    std::atomic<int> removals{0};
    std::atomic<int> others{0};
};

bool WaitUntil(const std::function<bool()>& condition)
{
    for (int i = 0; i < 500; ++i) {
        if (condition()) {
            return true;
        }
        Sleep(10);
    }
    return condition();
}

class ArrivalWaiterTest : public InProcessSimTest
{
protected:
    bool Listening(size_t count)
    {
        return WaitUntil([&] { return m_sim.ArrivalListenerCount() == count; });
    }
};

} // namespace

TEST_F(ArrivalWaiterTest, PlugsReachTheHandlerAndSurviveASimulatorRestart)
{
    ArrivalRecorder recorder;
    KorvelArrivalWaiter waiter;
    ASSERT_EQ(waiter.Start(&recorder, INTERFACE_CLASS), 0u);
    EXPECT_TRUE(waiter.IsListening());
    EXPECT_EQ(waiter.Start(&recorder, INTERFACE_CLASS),
              static_cast<DWORD>(ERROR_ALREADY_INITIALIZED));
    ASSERT_TRUE(Listening(1)) << "the waiter connected";

    Control("plug serial=ARR1");
    ASSERT_TRUE(WaitUntil([&] { return recorder.arrivals == 1; })) << "the plug was announced";
    Control("unplug ARR1");
    Control("plug serial=ARR2");
    ASSERT_TRUE(WaitUntil([&] { return recorder.arrivals == 2; }));
    Sleep(100);
    EXPECT_EQ(recorder.arrivals, 2) << "a removal is not an arrival";
    EXPECT_EQ(recorder.removals, 1) << "the unplug was announced as a removal";
    EXPECT_EQ(recorder.others, 0);

    // The simulator goes away and comes back: the waiter connects again.
    const std::wstring nameSpace = m_sim.Namespace();
    m_sim.Stop();
    SimServerOptions options;
    options.nameSpace = nameSpace;
    ASSERT_EQ(m_sim.Start(options), 0u);
    ASSERT_TRUE(Listening(1)) << "connected again";
    Control("plug serial=ARR3");
    EXPECT_TRUE(WaitUntil([&] { return recorder.arrivals == 3; }));

    waiter.Stop();
    EXPECT_FALSE(waiter.IsListening());
    Control("plug serial=ARR4");
    Sleep(100);
    EXPECT_EQ(recorder.arrivals, 3) << "nothing after Stop";
    EXPECT_EQ(waiter.Delivered(), 4);
}

TEST(ArrivalWaiter, AnUnconfiguredProcessDoesNotListen)
{
    SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, nullptr);
    wchar_t nameSpace[KorvelDeviceLink::MAX_NAMESPACE_CHARS + 1];
    ASSERT_EQ(KorvelDeviceLink::ReadNamespace(nameSpace), 0u);
    if (nameSpace[0] != L'\0') {
        GTEST_SKIP() << "a service test has configured the simulator in the registry";
    }
    ArrivalRecorder recorder;
    KorvelArrivalWaiter waiter;
    EXPECT_EQ(waiter.Start(nullptr, INTERFACE_CLASS), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(waiter.Start(&recorder, INTERFACE_CLASS), 0u);
    EXPECT_FALSE(waiter.IsListening()) << "no simulator configured: nothing to listen to";
}
