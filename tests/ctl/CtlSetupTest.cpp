// quilloctl save and load: a device's setup round trip, a file from another
// device of the same layout, --dry-run, and every refusal of a file that is
// broken or does not fit, each of which writes nothing.
#include "CtlTestBed.h"

using nlohmann::json;

namespace {

class CtlSetupTest : public CtlTestBed
{
protected:
    // AAA1 set up away from the defaults, and saved.
    void SetUpStudio()
    {
        for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
                 {"gain", "AAA1", "Analog Out 1", "-3.25"},
                 {"gain", "AAA1", "Analog Out 2", "mute"},
                 {"route", "AAA1", "Analog In 1", "Analog Out 2", "-6"},
                 {"route", "AAA1", "Out 1", "Analog Out 1", "off"},
                 {"spdif", "AAA1", "passthrough", "on"},
                 {"bypass", "AAA1", "on"},
                 {"rate", "96000"},
                 {"buffers", "Large", "Small"}}) {
            const CtlRun run = Run(command);
            ASSERT_EQ(run.exitCode, 0) << command[0] << ": " << run.err;
        }
        m_file = TempFile("studio.json");
        const CtlRun saved = Run({"save", "AAA1", m_file});
        ASSERT_EQ(saved.exitCode, 0) << saved.err;
    }

    // Everything a setup holds, read through quilloctl, for comparing.
    json Snapshot(const std::string& serial)
    {
        const json status = Run({"status", "--json"}).Json();
        json device;
        for (const json& entry : status["devices"]) {
            if (entry["serial"] == serial) {
                device = {{"passThrough", entry["passThrough"]}, {"bypass", entry["bypass"]}};
            }
        }
        return {{"rate", status["sampleRate"]["current"]},
                {"buffers", status["buffers"]},
                {"policy", status["policy"]},
                {"device", device},
                {"inputs", Run({"mixer", serial, "inputs", "--json"}).Json()["weights"]},
                {"playback", Run({"mixer", serial, "outputs", "--json"}).Json()},
                {"gains", Run({"mixer", serial, "inputs", "--json"}).Json()["outputs"]}};
    }

    void Reset()
    {
        for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
                 {"gain", "AAA1", "Analog Out 1", "0"},
                 {"gain", "AAA1", "Analog Out 2", "unmute"},
                 {"route", "AAA1", "Analog In 1", "Analog Out 2", "off"},
                 {"route", "AAA1", "Out 1", "Analog Out 1", "0"},
                 {"spdif", "AAA1", "passthrough", "off"},
                 {"bypass", "AAA1", "off"},
                 {"rate", "48000"},
                 {"buffers", "Small", "Small"}}) {
            ASSERT_EQ(Run(command).exitCode, 0) << command[0];
        }
    }

    json SavedDocument() { return json::parse(ReadText(m_file)); }

    std::string m_file;
};

TEST_F(CtlSetupTest, SavedSetupLoadsBackWhole)
{
    SetUpStudio();
    const json saved = SavedDocument();
    EXPECT_EQ(saved["format"], "quillo-setup");
    EXPECT_EQ(saved["version"], 1);
    EXPECT_EQ(saved["device"]["serial"], "AAA1");
    EXPECT_EQ(saved["outputs"][0]["gainDb"], -3.25);
    const json studio = Snapshot("AAA1");

    Reset();
    ASSERT_NE(Snapshot("AAA1"), studio);
    const CtlRun loaded = Run({"load", "AAA1", m_file, "--json"});
    ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
    EXPECT_EQ(Snapshot("AAA1"), studio);
    // Loading again changes nothing.
    EXPECT_EQ(Run({"load", "AAA1", m_file, "--json"}).Json()["changes"], json::array());
}

TEST_F(CtlSetupTest, FileOfAnotherDeviceOfTheSameLayoutLoads)
{
    SetUpStudio();
    const json studio = Snapshot("AAA1");
    const CtlRun loaded = Run({"load", "BBB2", m_file});
    ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
    json copy = Snapshot("BBB2");
    EXPECT_EQ(copy["gains"], studio["gains"]);
    EXPECT_EQ(copy["inputs"], studio["inputs"]);
    EXPECT_EQ(copy["device"], studio["device"]);
}

TEST_F(CtlSetupTest, DryRunListsTheChangesAndWritesNothing)
{
    SetUpStudio();
    Reset();
    const json before = Snapshot("AAA1");
    const CtlRun run = Run({"load", "AAA1", m_file, "--dry-run", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const json changes = run.Json()["changes"];
    std::vector<std::string> settings;
    for (const json& change : changes) {
        settings.push_back(change["setting"]);
    }
    EXPECT_EQ(settings, (std::vector<std::string>{
                            "sample rate", "buffers", "S/PDIF pass-through", "volume bypass",
                            "gain Analog Out 1", "gain Analog Out 2",
                            "route Analog In 1 -> Analog Out 2", "route Out 1 -> Analog Out 1"}));
    EXPECT_EQ(changes[0]["from"], 48000);
    EXPECT_EQ(changes[0]["to"], 96000);
    EXPECT_EQ(Snapshot("AAA1"), before);
}

TEST_F(CtlSetupTest, BrokenFilesAreRefusedWithTheirProblemAndWriteNothing)
{
    SetUpStudio();
    Reset();
    const json before = Snapshot("AAA1");
    const std::string good = ReadText(m_file);
    auto edited = [&](const std::function<void(json&)>& edit) {
        json document = json::parse(good);
        edit(document);
        return document.dump();
    };
    const struct
    {
        std::string text;
        std::string problem;
    } cases[] = {
        {"", "not valid JSON"},
        {"{\"format\": ", "not valid JSON"},
        {good.substr(0, good.size() / 2), "not valid JSON"},
        {"[1, 2, 3]", "is not an object"},
        {edited([](json& d) { d["format"] = "other"; }), "not a quillo setup"},
        {edited([](json& d) { d["version"] = 2; }), "format version 2 is not known"},
        {edited([](json& d) { d["version"] = "1"; }), "version must be a whole number"},
        {edited([](json& d) { d.erase("sampleRate"); }), "sampleRate is missing"},
        {edited([](json& d) { d["sampleRate"] = -1; }), "sampleRate must be a whole number"},
        {edited([](json& d) { d["sampleRate"] = 1e300; }), "sampleRate must be a whole number"},
        {edited([](json& d) { d["sampleRate"] = 99999999999ull; }), "sampleRate must be"},
        {edited([](json& d) { d["outputs"][3]["gainDb"] = "loud"; }), "outputs[3].gainDb must be"},
        {edited([](json& d) { d["outputs"][0]["gainDb"] = 1e308; }), "outputs[0].gainDb must be"},
        {edited([](json& d) { d["outputs"][0]["gainDb"] = -90.01; }), "outputs[0].gainDb must be"},
        {edited([](json& d) { d["outputs"][0]["muted"] = 1; }), "outputs[0].muted must be true"},
        {edited([](json& d) { d["buffers"]["asio"] = "Huge"; }), "buffers.asio names no buffer"},
        {edited([](json& d) { d["passThrough"] = "yes"; }), "passThrough must be"},
        {edited([](json& d) { d["hardwareInputs"]["routes"] = 5; }),
         "hardwareInputs.routes must be a list"},
        {edited([](json& d) { d["playback"]["routes"][2]["weightDb"] = nullptr; }),
         "playback.routes[2].weightDb must be"},
        // Files that are sound but do not fit the device.
        {edited([](json& d) { d["sampleRate"] = 12345; }), "does not offer 12345 Hz"},
        {edited([](json& d) { d["outputs"].erase(d["outputs"].end() - 1); }), "output pins, the file"},
        {edited([](json& d) { d["outputs"][1]["pin"] = "SPDIF Out 7"; }),
         "output pin 2 is Analog Out 2 on the device, SPDIF Out 7 in the file"},
        {edited([](json& d) { d["hardwareInputs"]["inputs"][0] = "Analog In 99"; }),
         "hardwareInputs: input pin 1 is Analog In 1"},
        {edited([](json& d) { d["playback"]["routes"][0]["input"] = "Out 99"; }),
         "no crosspoint Out 99 -> Analog Out 1"},
        {edited([](json& d) { d["playback"]["routes"][1] = d["playback"]["routes"][0]; }),
         "appears twice"},
    };
    const std::string bad = TempFile("bad.json");
    for (const auto& entry : cases) {
        WriteText(bad, entry.text);
        const CtlRun run = Run({"load", "AAA1", bad, "--json"});
        EXPECT_EQ(run.exitCode, 1) << entry.problem;
        const json error = json::parse(run.err, nullptr, false);
        ASSERT_TRUE(error.is_object()) << run.err;
        EXPECT_NE(error["error"].get<std::string>().find(entry.problem), std::string::npos)
            << "wanted: " << entry.problem << "\ngot: " << error["error"];
    }
    EXPECT_EQ(Snapshot("AAA1"), before);
}

TEST_F(CtlSetupTest, OtherLayoutIsRefused)
{
    SetUpStudio();
    ASSERT_EQ(harness.Control("plug serial=SMALL3 analog-in=4 spdif=0").rfind("OK", 0), 0u);
    ASSERT_TRUE(harness.WaitNotification(KORVEL_NOTIFY_DEVICES_CHANGED));
    const CtlRun run = Run({"load", "SMALL3", m_file});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("does not fit SMALL3"), std::string::npos) << run.err;
}

TEST_F(CtlSetupTest, MissingHugeAndUnwritableFilesAreRefused)
{
    CtlRun run = Run({"load", "AAA1", TempFile("absent.json"), "--json"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.Status(), "WIN32_ERROR_2");
    const std::string huge = TempFile("huge.json");
    WriteText(huge, "[" + std::string(2 * 1024 * 1024, ' ') + "]");
    run = Run({"load", "AAA1", huge, "--json"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.Status(), "WIN32_ERROR_" + std::to_string(ERROR_FILE_TOO_LARGE));
    // A folder that does not exist: no file, no temporary left either.
    run = Run({"save", "AAA1", "Z:\\no\\such\\folder\\setup.json"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
}

TEST_F(CtlSetupTest, LoadWhileAudioIsInUseWritesNothing)
{
    SetUpStudio();
    Reset();
    const json before = Snapshot("AAA1");
    ASSERT_EQ(harness.Control("activity 2 1"), "OK");
    const CtlRun run = Run({"load", "AAA1", m_file, "--json"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.Status(), "KORVEL_STATUS_SOUND_DEVICE_IN_USE");
    ASSERT_EQ(harness.Control("activity 2 0"), "OK");
    EXPECT_EQ(Snapshot("AAA1"), before);
}

} // namespace
