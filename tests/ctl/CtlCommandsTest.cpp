// quilloctl's commands against the simulator and the device server: what
// each shows and sets, the refusals with their reasons and exit codes, and
// what happens without a service, without a driver and after an unplug.
#include "CtlApp.h"
#include "CtlTestBed.h"
#include "KorvelDeviceLink.h"
#include "KorvelStatus.h"

#include <chrono>
#include <thread>

using nlohmann::json;

namespace {

using CtlCommandsTest = CtlTestBed;

TEST_F(CtlCommandsTest, StatusListsDriverDevicesAndSettings)
{
    const CtlRun run = Run({"status", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const json status = run.Json();
    ASSERT_TRUE(status.is_object()) << run.out;
    ASSERT_EQ(status["devices"].size(), 2u);
    EXPECT_EQ(status["devices"][0]["serial"], "AAA1");
    EXPECT_EQ(status["devices"][1]["serial"], "BBB2");
    EXPECT_EQ(status["devices"][0]["usbSpeed"], "high");
    EXPECT_EQ(status["devices"][0]["selected"], true);
    EXPECT_EQ(status["devices"][1]["selected"], false);
    EXPECT_EQ(status["sampleRate"]["current"], 48000);
    EXPECT_GT(status["sampleRate"]["offered"].size(), 1u);
    EXPECT_EQ(status["counters"].size(), 5u);
    EXPECT_TRUE(status["buffers"]["asio"]["class"].is_string());
    EXPECT_EQ(status["policy"]["forbidRateChange"], false);
    EXPECT_EQ(status["version"]["interface"].get<std::string>().substr(0, 2), "2.");

    // The text form carries the same facts.
    const CtlRun text = Run({"status"});
    ASSERT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find("AAA1"), std::string::npos);
    EXPECT_NE(text.out.find("48000 Hz"), std::string::npos);
}

TEST_F(CtlCommandsTest, SettingsAreSetThroughTheServiceAndShownBack)
{
    CtlRun run = Run({"rate", "96000", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.Json()["current"], 96000);
    EXPECT_EQ(Run({"rate", "--json"}).Json()["current"], 96000);

    run = Run({"buffers", "large", "3", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.Json()["streaming"]["class"], "Large");
    EXPECT_EQ(run.Json()["asio"]["class"], "Maximum");

    run = Run({"select", "bbb2", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.Json()["selected"], json::array({"BBB2"}));
    run = Run({"select", "all", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.Json()["mode"], "all");

    run = Run({"policy", "forbid-rate-change", "on", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.Json()["forbidRateChange"], true);
    EXPECT_EQ(Run({"policy", "--json"}).Json()["word"], 1);
}

TEST_F(CtlCommandsTest, RefusalsSayWhyAndExitWithOne)
{
    // Audio in use: the service refuses the rate and says so.
    ASSERT_EQ(harness.Control("activity 2 1"), "OK");
    CtlRun run = Run({"rate", "44100", "--json"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.Status(), "KORVEL_STATUS_SOUND_DEVICE_IN_USE");
    EXPECT_NE(run.err.find("audio is in use"), std::string::npos) << run.err;
    run = Run({"buffers", "Safe", "Minimum"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("audio is in use (Status=KORVEL_STATUS_SOUND_DEVICE_IN_USE)."),
              std::string::npos)
        << run.err;
    ASSERT_EQ(harness.Control("activity 2 0"), "OK");

    // A rate the device does not offer.
    run = Run({"rate", "12345", "--json"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.Status(), "KORVEL_STATUS_UNSUPPORTED_SAMPLE_RATE");
    EXPECT_EQ(Run({"rate", "--json"}).Json()["current"], 48000);
}

TEST_F(CtlCommandsTest, UsageErrorsExitWithTwoBeforeAnyRequest)
{
    // Without a driver at all a usage error is still a usage error.
    harness.Sim().Stop();
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{},
                                               {"frobnicate"},
                                               {"status", "extra"},
                                               {"rate", "fast"},
                                               {"rate", "99999999999"},
                                               {"buffers", "Small"},
                                               {"buffers", "Huge", "Small"},
                                               {"policy", "forbid-rate-change", "maybe"},
                                               {"gain", "AAA1", "Analog Out 1", "-1000"},
                                               {"gain", "AAA1", "Analog Out 1", "1.234"},
                                               {"route", "AAA1", "Analog In 1", "Analog Out 1"},
                                               {"mixer", "AAA1", "sideways"},
                                               {"status", "--colour"}}) {
        const CtlRun run = Run(arguments);
        EXPECT_EQ(run.exitCode, 2) << (arguments.empty() ? "" : arguments[0]) << ": " << run.err;
    }
    const CtlRun json = Run({"rate", "fast", "--json"});
    EXPECT_EQ(json.Status(), "KORVEL_STATUS_INVALID_COMMAND");
}

TEST_F(CtlCommandsTest, WithoutServiceSettingsExitWithThreeAndReadingsWork)
{
    // A stopped service's connection is gone: the kernel driver has no server.
    ASSERT_EQ(harness.StopServe(), 0u);
    server.CloseAll();
    CtlRun run = Run({"rate", "44100", "--json"});
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_EQ(run.Status(), "KORVEL_STATUS_NO_SERVER");
    EXPECT_EQ(Run({"select", "all"}).exitCode, 3);
    EXPECT_EQ(Run({"policy", "forbid-rate-change", "on"}).exitCode, 3);
    // The kernel driver answers readings and device requests by itself.
    EXPECT_EQ(Run({"status"}).exitCode, 0);
    EXPECT_EQ(Run({"bypass", "AAA1", "on"}).exitCode, 0);
}

TEST_F(CtlCommandsTest, WithoutDriverEveryCommandExitsWithThree)
{
    harness.Sim().Stop();
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"status"}, {"rate"}, {"bypass", "AAA1"}, {"mixer", "AAA1", "inputs"}, {"watch"}}) {
        const CtlRun run = Run(arguments);
        EXPECT_EQ(run.exitCode, 3) << arguments[0] << ": " << run.err;
        EXPECT_NE(run.err.find("cannot open the quillo driver"), std::string::npos) << run.err;
    }
}

TEST_F(CtlCommandsTest, DeviceUnpluggedBetweenTwoCommandsIsRefused)
{
    ASSERT_EQ(Run({"bypass", "AAA1", "on"}).exitCode, 0);
    ASSERT_EQ(harness.Control("unplug AAA1").rfind("OK", 0), 0u);
    const CtlRun run = Run({"bypass", "AAA1", "off", "--json"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.Status(), "KORVEL_STATUS_NO_DEVICE");
    EXPECT_EQ(Run({"gain", "AAA1", "Analog Out 1", "0"}).exitCode, 1);
    EXPECT_EQ(Run({"bypass", "BBB2", "--json"}).Json()["bypass"], false);
}

TEST_F(CtlCommandsTest, DeviceSwitchesAreSetAndRead)
{
    CtlRun run = Run({"spdif", "AAA1", "passthrough", "on", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.Json()["passThrough"], true);
    run = Run({"bypass", "BBB2", "on", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.Json()["bypass"], true);
    // Each device keeps its own.
    const json status = Run({"status", "--json"}).Json();
    EXPECT_EQ(status["devices"][0]["passThrough"], true);
    EXPECT_EQ(status["devices"][0]["bypass"], false);
    EXPECT_EQ(status["devices"][1]["passThrough"], false);
    EXPECT_EQ(status["devices"][1]["bypass"], true);
}

TEST_F(CtlCommandsTest, GainsAndRoutesChangeTheMixerTable)
{
    ASSERT_EQ(Run({"gain", "AAA1", "analog-out-2", "-12.5"}).exitCode, 0);
    ASSERT_EQ(Run({"gain", "AAA1", "Analog Out 3", "mute"}).exitCode, 0);
    CtlRun run = Run({"route", "AAA1", "Analog In 2", "Analog Out 1", "-6", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.Json()["connected"], true);
    EXPECT_EQ(run.Json()["weightDb"], -6.0);
    ASSERT_EQ(Run({"route", "AAA1", "Out 1", "Analog Out 1", "off"}).exitCode, 0);

    const json inputs = Run({"mixer", "AAA1", "inputs", "--json"}).Json();
    ASSERT_TRUE(inputs.is_object());
    EXPECT_EQ(inputs["outputs"][1]["gainDb"], -12.5);
    EXPECT_EQ(inputs["outputs"][2]["muted"], true);
    const size_t rows = inputs["inputs"].size();
    const json& cell = inputs["weights"][0 * rows + 1]; // Analog Out 1, Analog In 2
    EXPECT_EQ(cell["input"], "Analog In 2");
    EXPECT_EQ(cell["connected"], true);
    EXPECT_EQ(cell["weightDb"], -6.0);
    const json playback = Run({"mixer", "AAA1", "outputs", "--json"}).Json();
    EXPECT_EQ(playback["weights"][0]["input"], "Out 1");
    EXPECT_EQ(playback["weights"][0]["connected"], false);
    // The other device is untouched.
    EXPECT_EQ(Run({"mixer", "BBB2", "inputs", "--json"}).Json()["outputs"][1]["gainDb"], 0.0);

    // Pins the device does not have are refused.
    run = Run({"route", "AAA1", "Analog In 99", "Analog Out 1", "0"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("no input pin Analog In 99"), std::string::npos) << run.err;
}

TEST_F(CtlCommandsTest, LevelsFollowTheSimulatedSignal)
{
    // Playback channel Out 1 reaches Analog Out 1 at 0 dB by default; its gain
    // takes 4 dB off.
    ASSERT_EQ(harness.Control("set 0 input-level 2 0 -600"), "OK");
    ASSERT_EQ(Run({"gain", "AAA1", "Analog Out 1", "-4"}).exitCode, 0);
    const CtlRun run = Run({"levels", "AAA1", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const json levels = run.Json();
    EXPECT_EQ(levels["playback"][0]["pin"], "Out 1");
    EXPECT_EQ(levels["playback"][0]["levelDb"], -6.0);
    EXPECT_EQ(levels["outputs"][0]["pin"], "Analog Out 1");
    EXPECT_EQ(levels["outputs"][0]["levelDb"], -10.0);
    EXPECT_LT(levels["outputs"][1]["levelDb"].get<double>(), -100.0);
}

// Runs a command that lasts until stopped on a thread of its own.
class StoppableRun
{
public:
    StoppableRun(std::vector<std::string> arguments, CtlStopSignal& stop)
        : m_stream(&m_buffer), m_stop(stop)
    {
        m_thread = std::thread([this, arguments] {
            std::ostringstream err;
            m_exitCode = CtlApp::Run(arguments, m_stream, err, m_stop);
        });
    }
    ~StoppableRun() { Stop(); }

    // Waits until the output holds `text` (bounded far beyond any machine's need).
    bool WaitFor(const std::string& text, const std::function<void()>& poke)
    {
        for (int i = 0; i < 200; ++i) {
            if (m_buffer.Snapshot().find(text) != std::string::npos) {
                return true;
            }
            poke();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    int Stop()
    {
        m_stop.Set();
        if (m_thread.joinable()) {
            m_thread.join();
        }
        return m_exitCode;
    }
    std::string Output() { return m_buffer.Snapshot(); }

private:
    CtlSharedStream m_buffer;
    std::ostream m_stream;
    CtlStopSignal& m_stop;
    std::thread m_thread;
    int m_exitCode = -1;
};

TEST_F(CtlCommandsTest, WatchPrintsEachNotificationAsAJsonLine)
{
    StoppableRun watch({"watch", "--json"}, stop);
    int gain = 0;
    ASSERT_TRUE(watch.WaitFor("mixer-gains-changed", [&] {
        (void)Run({"gain", "BBB2", "Analog Out 1", std::to_string(--gain)});
    })) << watch.Output();
    ASSERT_TRUE(watch.WaitFor("sample-rate-changed", [&] { (void)Run({"rate", "96000"}); }))
        << watch.Output();
    EXPECT_EQ(watch.Stop(), 0);
    std::istringstream lines(watch.Output());
    std::string line;
    bool namedDevice = false;
    while (std::getline(lines, line)) {
        const json event = json::parse(line, nullptr, false);
        ASSERT_TRUE(event.is_object()) << line;
        ASSERT_TRUE(event["code"].is_number()) << line;
        namedDevice |= event["event"] == "mixer-gains-changed" && event["serial"] == "BBB2";
    }
    EXPECT_TRUE(namedDevice) << watch.Output();
}

TEST_F(CtlCommandsTest, LevelsWatchReadsUntilStopped)
{
    StoppableRun levels({"levels", "AAA1", "--watch"}, stop);
    // Three readings: the meter keeps ticking.
    ASSERT_TRUE(levels.WaitFor("inputs:", [] {}));
    ASSERT_TRUE(levels.WaitFor("\ninputs:", [] {}));
    EXPECT_EQ(levels.Stop(), 0);
}

} // namespace
