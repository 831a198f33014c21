// quilloctl log: the level every program follows, set and read back through
// the product key, and a support folder collected from the logs, the status,
// the service's events and the versions.
#include "CtlFile.h"
#include "CtlTestBed.h"
#include "CtlText.h"
#include "KorvelLog.h"

using nlohmann::json;

namespace {

class CtlLogTest : public CtlTestBed
{
protected:
    void TearDown() override
    {
        (void)KorvelLog::WriteRegistryLevel(KORVEL_LOG_OFF);
        CtlTestBed::TearDown();
    }

    static KorvelLogLevel RegistryLevel()
    {
        KorvelLogLevel level = KORVEL_LOG_OFF;
        EXPECT_EQ(KorvelLog::ReadRegistryLevel(level), 0u);
        return level;
    }
};

TEST_F(CtlLogTest, OnAndOffSetTheLevelEveryProgramReads)
{
    EXPECT_EQ(Run({"log", "on"}).exitCode, 0);
    EXPECT_EQ(RegistryLevel(), KORVEL_LOG_INFO);
    const CtlRun debug = Run({"log", "on", "debug", "--json"});
    ASSERT_EQ(debug.exitCode, 0) << debug.err;
    EXPECT_EQ(debug.Json()["level"], "debug");
    EXPECT_EQ(RegistryLevel(), KORVEL_LOG_DEBUG);
    EXPECT_EQ(Run({"log", "--json"}).Json()["level"], "debug");
    EXPECT_EQ(Run({"log", "off"}).exitCode, 0);
    EXPECT_EQ(RegistryLevel(), KORVEL_LOG_OFF);
    for (const std::vector<std::string>& wrong : std::vector<std::vector<std::string>>{
             {"log", "on", "loud"}, {"log", "on", "off"}, {"log", "sideways"}, {"log", "collect"}}) {
        EXPECT_EQ(Run(wrong).exitCode, 2) << wrong.back();
    }
    EXPECT_EQ(RegistryLevel(), KORVEL_LOG_OFF);
}

TEST_F(CtlLogTest, CollectGathersLogsStatusEventsAndVersions)
{
    const std::wstring logs = KorvelLog::DefaultDirectory();
    CreateDirectoryW(logs.substr(0, logs.rfind(L'\\')).c_str(), nullptr);
    CreateDirectoryW(logs.c_str(), nullptr);
    const std::wstring name = L"ctltest-" + std::to_wstring(GetCurrentProcessId()) + L".log";
    ASSERT_EQ(CtlFile::Write(logs + L"\\" + name, "a line of the log\n"), 0u);

    const std::string folder = TempFile("support");
    const CtlRun run = Run({"log", "collect", folder, "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_GE(run.Json()["logFiles"].get<int>(), 1);
    EXPECT_EQ(ReadText(folder + "\\" + CtlText::Utf8(name)), "a line of the log\n");
    const json status = json::parse(ReadText(folder + "\\status.json"), nullptr, false);
    ASSERT_TRUE(status.is_object());
    EXPECT_EQ(status["devices"].size(), 2u);
    EXPECT_NE(ReadText(folder + "\\versions.txt").find("quilloctl "), std::string::npos);
    EXPECT_FALSE(ReadText(folder + "\\events.txt").empty());

    for (const char* file : {"status.json", "events.txt", "versions.txt"}) {
        DeleteFileW(CtlText::Wide(folder + "\\" + file).c_str());
    }
    DeleteFileW(CtlText::Wide(folder + "\\" + CtlText::Utf8(name)).c_str());
    RemoveDirectoryW(CtlText::Wide(folder).c_str());
    DeleteFileW((logs + L"\\" + name).c_str());
}

} // namespace
