// The streaming engine against the simulator's pacing, with the device
// server running: real periods, the simulator's test signal in the input
// buffers, and repeated start/stop and open/close cycles as hosts do them.
#include "AsioDriverFixture.h"
#include "AsioTestHost.h"

#include <sstream>
#include <string>

namespace {

constexpr long B = 128; // the simulator's default ASIO buffer size at 48 kHz

// One field of the simulator's "asio.stream=…" dump line.
std::string StreamField(const std::string& line, const std::string& field)
{
    std::istringstream words(line);
    std::string word;
    while (words >> word) {
        if (word.compare(0, field.size() + 1, field + "=") == 0) {
            return word.substr(field.size() + 1);
        }
    }
    return "";
}

std::vector<ASIOBufferInfo> TwoInTwoOut()
{
    return {{ASIOTrue, 0, {}}, {ASIOTrue, 1, {}}, {ASIOFalse, 0, {}}, {ASIOFalse, 1, {}}};
}

} // namespace

TEST_F(AsioDriverFixture, StreamsAtTheSimulatorsPace)
{
    Start();
    AsioDriverPtr driver = InitDriver();
    AsioTestHost host(true, {kAsioResetRequest});
    auto infos = TwoInTwoOut();
    ASSERT_EQ(driver->createBuffers(infos.data(), 4, B, host.Callbacks()), ASE_OK);
    EXPECT_EQ(Model("asio.enabled"), "4");
    for (const auto& info : infos) {
        ASSERT_NE(info.buffers[0], nullptr) << "the simulator accepted every channel";
    }
    ASSERT_EQ(driver->start(), ASE_OK);
    ASSERT_TRUE(host.WaitSwitches(100, 20000)) << "waited for 100 switches (about 0.3 s)";
    EXPECT_EQ(StreamField(Model("asio.stream"), "state"), "running");
    ASSERT_EQ(driver->stop(), ASE_OK);

    const auto switches = host.Switches();
    const std::string line = Model("asio.stream");
    // The halves alternate from 0. A period the streaming thread woke too
    // late for (a loaded machine) is one the simulator counts as missed: the
    // thread then sees the same half twice in a row, never more often.
    ASSERT_FALSE(switches.empty());
    EXPECT_EQ(switches[0].index, 0);
    uint64_t repeats = 0;
    for (size_t i = 0; i < switches.size(); ++i) {
        EXPECT_EQ(switches[i].position, i * B) << i;
        EXPECT_TRUE(switches[i].index == 0 || switches[i].index == 1) << i;
        repeats += i > 0 && switches[i].index == switches[i - 1].index ? 1 : 0;
    }
    EXPECT_LE(repeats, std::stoull(StreamField(line, "missed")))
        << "halves repeated without a missed period";
    EXPECT_EQ(StreamField(line, "state"), "stopped");
    // The simulator reads the counter at each signal: the last increment
    // may come after the last signal.
    const uint32_t counted = driver->Engine().SharedBlock()->switchCount;
    const uint32_t read = static_cast<uint32_t>(std::stoul(StreamField(line, "switches")));
    EXPECT_TRUE(read == counted || read + 1 == counted) << read << " read, " << counted;
    EXPECT_EQ(switches.size(), 2 + driver->Engine().SharedBlock()->switchCount);
    // Input 1 carries the simulator's test signal; after stop it stays as
    // the last period left it.
    const auto* input = static_cast<const int32_t*>(infos[1].buffers[0]);
    bool signal = false;
    for (long i = 0; i < 2 * B; ++i) {
        signal = signal || input[i] != 0;
    }
    EXPECT_TRUE(signal) << "the test signal reached the input buffer";
    EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
    EXPECT_EQ(Model("asio.enabled"), "0");
}

TEST_F(AsioDriverFixture, StartAndStopTwentyTimesAgainstTheSimulator)
{
    Start();
    AsioDriverPtr driver = InitDriver();
    AsioTestHost host(false, {});
    auto infos = TwoInTwoOut();
    ASSERT_EQ(driver->createBuffers(infos.data(), 4, B, host.Callbacks()), ASE_OK);
    size_t seen = 0;
    for (int round = 1; round <= 20; ++round) {
        ASSERT_EQ(driver->start(), ASE_OK) << round;
        ASSERT_TRUE(host.WaitSwitches(seen + 6, 20000)) << "switches of round " << round;
        ASSERT_EQ(driver->stop(), ASE_OK) << round;
        seen = host.Switches().size();
        EXPECT_EQ(StreamField(Model("asio.stream"), "state"), "stopped") << round;
    }
    Sleep(50);
    EXPECT_EQ(host.Switches().size(), seen) << "no switch after stop";
    EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
}

TEST_F(AsioDriverFixture, OpenStreamAndCloseTwentyTimes)
{
    Start();
    for (int round = 1; round <= 20; ++round) {
        AsioDriverPtr driver = InitDriver();
        AsioTestHost host(round % 2 == 0, {});
        auto infos = TwoInTwoOut();
        ASSERT_EQ(driver->createBuffers(infos.data(), 4, B, host.Callbacks()), ASE_OK) << round;
        ASSERT_EQ(driver->start(), ASE_OK) << round;
        ASSERT_TRUE(host.WaitSwitches(5, 20000)) << "switches of round " << round;
        ASSERT_EQ(driver->disposeBuffers(), ASE_OK) << "stops first";
        ASSERT_EQ(driver->createBuffers(infos.data(), 4, B, host.Callbacks()), ASE_OK)
            << "at once again, as some hosts do";
        driver.reset(); // released while prepared
        ASSERT_TRUE(ServerHarness::WaitFor([&] { return Model("asio.streams") == "0"; }))
            << "the simulator ended the stream of round " << round;
        EXPECT_EQ(Model("asio.enabled"), "0") << round;
    }
}

TEST_F(AsioDriverFixture, AFormatSwitchWhilePreparedKeepsTheBuffersUntilDisposal)
{
    Start();
    AsioDriverPtr driver = InitDriver();
    AsioTestHost host(false, {});
    auto infos = TwoInTwoOut();
    ASSERT_EQ(driver->createBuffers(infos.data(), 4, B, host.Callbacks()), ASE_OK);
    const std::string disables = Model("asio.disables");

    // Every channel becomes a DSD channel: a new layout while buffers exist.
    ASIOIoFormat format{};
    format.FormatType = kASIODSDFormat;
    ASSERT_EQ(driver->future(kAsioSetIoFormat, &format), ASE_SUCCESS);
    EXPECT_EQ(host.Messages(), std::vector<long>{kAsioResetRequest});
    EXPECT_EQ(Model("asio.enabled"), "4") << "still announced";
    EXPECT_EQ(Model("asio.disables"), disables);
    for (const auto& info : infos) {
        MEMORY_BASIC_INFORMATION page{};
        ASSERT_NE(VirtualQuery(info.buffers[0], &page, sizeof(page)), 0u);
        EXPECT_EQ(page.State, static_cast<DWORD>(MEM_COMMIT)) << "not released under the device";
    }

    EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
    EXPECT_EQ(Model("asio.enabled"), "0");
    EXPECT_EQ(std::stoul(Model("asio.disables")) - std::stoul(disables), 4u);
    for (const auto& info : infos) {
        MEMORY_BASIC_INFORMATION page{};
        ASSERT_NE(VirtualQuery(info.buffers[0], &page, sizeof(page)), 0u);
        EXPECT_EQ(page.State, static_cast<DWORD>(MEM_FREE));
    }
    long minimum = 0, maximum = 0, preferred = 0, granularity = 0;
    ASSERT_EQ(driver->getBufferSize(&minimum, &maximum, &preferred, &granularity), ASE_OK);
    ASIOBufferInfo dsd[] = {{ASIOFalse, 0, {}}};
    EXPECT_EQ(driver->createBuffers(dsd, 1, preferred, host.Callbacks()), ASE_OK);
    // The host goes first and releases the driver while prepared in DSD
    // mode: the switch back to PCM must not call into the host any more.
}
