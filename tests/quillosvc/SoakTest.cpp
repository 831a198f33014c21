// A seeded random sequence of plugs, unplugs, injected kernel-driver faults
// and requests against quillosvc.exe -console with two to four devices. After
// every step: the service is the server, every attached device has been set
// up exactly once, and every request got its reply within its limit. At the
// end the service holds no more handles than after its start.
// QUILLO_SOAK_SEED=<n> repeats a sequence; the seed is in every failure.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "KorvelClient.h"
#include "KorvelIoctl.h"
#include "KorvelStatus.h"
#include "QuillosvcTestSupport.h"

using quillosvc_test::Child;
using quillosvc_test::SimFixture;
using quillosvc_test::WaitFor;

namespace {

constexpr int STEPS = 200;
constexpr size_t MIN_DEVICES = 2;
constexpr size_t MAX_DEVICES = 4;
constexpr DWORD REQUEST_LIMIT_MS = 10000;
// A fault may delay a setup until the service's next retry (3 s).
constexpr DWORD SETUP_LIMIT_MS = 10000;
// Handles that may come and go with the work in flight (a pipe instance, a
// thread of the runtime); a leak per step would pass this many times over.
constexpr DWORD HANDLE_SLACK = 8;

std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

unsigned ChooseSeed()
{
    if (const char* text = std::getenv("QUILLO_SOAK_SEED")) {
        return static_cast<unsigned>(std::strtoul(text, nullptr, 10));
    }
    return static_cast<unsigned>(GetTickCount64() ^ GetCurrentProcessId());
}

// Steps are short: conditions are polled more often than by default.
constexpr DWORD POLL_MS = 10;

struct FaultKind
{
    uint32_t code;
    uint32_t status;
};

// One failure each of what the service must ride out.
const FaultKind FAULTS[] = {
    {IOCTL_KORVEL_GET_DEVICE_LIST, KORVEL_STATUS_INTERNAL_ERROR},
    {IOCTL_KORVEL_RECEIVE_MESSAGE, KORVEL_STATUS_INTERNAL_ERROR},
    {IOCTL_KORVEL_RECEIVE_NOTIFICATION, KORVEL_STATUS_INTERNAL_ERROR},
    {IOCTL_KORVEL_GET_STREAMING_STATE, KORVEL_STATUS_PENDING},
    {IOCTL_KORVEL_SET_DEVICE_SETUP, KORVEL_STATUS_NO_RESOURCES},
};

class Soak
{
public:
    Soak(SimFixture& sim, unsigned seed) : m_sim(sim), m_random(seed) {}

    // Every attached device set up exactly once (after the retries a fault
    // may need), the service registered as server.
    ::testing::AssertionResult Healthy()
    {
        const size_t count = DeviceCount();
        for (size_t i = 0; i < count; ++i) {
            const std::string key = "dev." + std::to_string(i) + ".setup.count";
            if (!WaitFor([&] { return m_sim.ModelValue(key) != "0"; }, SETUP_LIMIT_MS, POLL_MS)) {
                return ::testing::AssertionFailure() << "device " << i << " was never set up";
            }
            const std::string setups = m_sim.ModelValue(key);
            if (setups != "1") {
                return ::testing::AssertionFailure()
                       << "device " << i << " was set up " << setups << " times";
            }
        }
        if (!m_sim.ServerRegistered()) {
            return ::testing::AssertionFailure() << "no server while " << count
                                                 << " devices are attached";
        }
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult Step()
    {
        const size_t count = DeviceCount();
        const unsigned roll = m_random() % 100;
        if (roll < 25 && count < MAX_DEVICES) {
            ++plugs;
            return Command("plug serial=SOAK" + std::to_string(++m_serial));
        }
        if (roll < 45 && count > MIN_DEVICES) {
            ++unplugs;
            return Command("unplug " + std::to_string(m_random() % count));
        }
        if (roll < 60) {
            ++faults;
            const FaultKind& fault = FAULTS[m_random() % (sizeof FAULTS / sizeof FAULTS[0])];
            return Command("fault fail " + Hex(fault.code) + " " + Hex(fault.status));
        }
        ++requests;
        return Request();
    }

    unsigned Plugged() const { return m_serial; }

    void UnplugDownTo(size_t count)
    {
        while (DeviceCount() > count) {
            m_sim.Control("unplug 0");
        }
    }

    int plugs = 0;
    int unplugs = 0;
    int faults = 0;
    int requests = 0;
    ULONGLONG longestReplyMs = 0;

private:
    size_t DeviceCount() { return std::strtoul(m_sim.ModelValue("model.devices").c_str(), nullptr, 10); }

    ::testing::AssertionResult Command(const std::string& line)
    {
        const std::string answer = m_sim.Control(line);
        if (answer.rfind("OK", 0) != 0) {
            return ::testing::AssertionFailure() << line << " -> " << answer;
        }
        return ::testing::AssertionSuccess();
    }

    // A setting request; any status but a lost or missing reply is the
    // service's answer (an injected fault may make the handler fail).
    ::testing::AssertionResult Request()
    {
        if (!m_client.IsOpen() && m_client.OpenPanel(KORVEL_CONTROL_DEVICE_NAME) != 0) {
            return ::testing::AssertionFailure() << "the client cannot connect";
        }
        const ULONGLONG start = GetTickCount64();
        DWORD status = 0;
        if (m_random() % 2 == 0) {
            status = m_client.SetPolicy(m_random() % 2, REQUEST_LIMIT_MS);
        } else {
            status = m_client.SetSampleRate(m_random() % 2 ? 44100 : 48000, REQUEST_LIMIT_MS);
        }
        const ULONGLONG elapsed = GetTickCount64() - start;
        longestReplyMs = std::max(longestReplyMs, elapsed);
        if (status == KORVEL_STATUS_TIMEOUT || status == KORVEL_STATUS_NO_SERVER) {
            return ::testing::AssertionFailure()
                   << "request without reply: " << StatusName(status) << " after " << elapsed
                   << " ms";
        }
        return ::testing::AssertionSuccess();
    }

    SimFixture& m_sim;
    std::mt19937 m_random;
    KorvelClient m_client;
    unsigned m_serial = 0;
};

} // namespace

TEST(QuillosvcSoak, RandomPlugsFaultsAndRequestsLeaveTheServiceHealthy)
{
    const unsigned seed = ChooseSeed();
    SCOPED_TRACE("QUILLO_SOAK_SEED=" + std::to_string(seed));
    SimFixture sim;
    ASSERT_EQ(sim.Start(static_cast<unsigned>(MIN_DEVICES)), 0u);
    Child console;
    ASSERT_TRUE(console.Start(L"-console"));
    ASSERT_TRUE(WaitFor([&] { return sim.ServerRegistered(); }, 15000)) << sim.Control("stats");

    Soak soak(sim, seed);
    ASSERT_TRUE(soak.Healthy());
    // Counted once the service has done one of each kind of work, so that
    // what it allocates once (runtime threads, cached handles) is in both.
    DWORD handlesBefore = 0;
    ASSERT_TRUE(quillosvc_test::CountProcessHandles(console.Process(), handlesBefore));

    const ULONGLONG start = GetTickCount64();
    for (int step = 0; step < STEPS; ++step) {
        ASSERT_TRUE(soak.Step()) << "step " << step;
        ASSERT_TRUE(soak.Healthy()) << "after step " << step << "\n" << sim.Control("fault");
        ASSERT_TRUE(console.Running()) << "step " << step;
    }
    const ULONGLONG elapsed = GetTickCount64() - start;

    // Counted with as many devices as at the start (each holds a handle, an
    // event and a timer), no fault pending, and the service settled.
    sim.Control("fault clear");
    soak.UnplugDownTo(MIN_DEVICES);
    ASSERT_TRUE(soak.Healthy());
    Sleep(500);
    DWORD handlesAfter = 0;
    ASSERT_TRUE(quillosvc_test::CountProcessHandles(console.Process(), handlesAfter));
    std::printf("soak: seed=%u steps=%d devices=%zu..%zu plugs=%d unplugs=%d faults=%d "
                "requests=%d longest reply=%llu ms handles before=%lu after=%lu time=%llu ms\n",
                seed, STEPS, MIN_DEVICES, MAX_DEVICES, soak.plugs, soak.unplugs, soak.faults,
                soak.requests, soak.longestReplyMs, handlesBefore, handlesAfter, elapsed);
    std::fflush(stdout);
    EXPECT_LE(handlesAfter, handlesBefore + HANDLE_SLACK) << "handles grew in the service";
    for (unsigned i = 1; i <= soak.Plugged(); ++i) {
        const std::wstring key = L"Software\\VANTREL\\quillo\\Devices\\SOAK" + std::to_wstring(i);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
    }
}
