// The device model's control commands and its config file.
#include "SimConfigFile.h"
#include "SimModelFixture.h"

#include <windows.h>

#include <cstdio>

TEST_F(SimModelFixture, ControlCommandsRefuseBadWords)
{
    ASSERT_EQ(model.AddDevices(1), 0u);
    const char* bad[] = {
        "plug vid=xyz",
        "plug 4b56 0010 SN",
        "plug serial=ABCDEFGHIJKLMNOPQRST",
        "plug analog-in=3",
        "plug rates=44100,44101",
        "plug rates=48000,48000",
        "plug colour=red",
        "unplug",
        "unplug 7",
        "unplug NOPE",
        "set 0 highspeed 2",
        "set 0 spdif-lock 4",
        "set 0 nonsense 1",
        "set 5 echo 1",
        "set 0 gain 0 99 0",
        "set 0 gain 0 0 40000",
        "set 0 weight 0 0 0 0 0",
        "set 0 input-level 0 0",
        "state 7",
        "state",
        "activity 0 1",
        "activity 6 1",
        "counters 1 2 3",
        "counters 1 2 3 4 x",
        "counter 6 1",
        "rate 44101",
        "buffers 6 0",
        "policy -1",
        "select 3",
        "endpoint-event 0 x 1",
        "notify",
        "dump-model extra",
        "dump-record 0 nothing",
    };
    for (const char* line : bad) {
        std::string answer = Control(line);
        EXPECT_EQ(answer.rfind("ERR ", 0), 0u) << line << " -> " << answer;
    }
    EXPECT_EQ(model.Devices().Count(), 1u) << "a refused plug plugs nothing";
    EXPECT_TRUE(DumpHas("stream.state=1"));

    bool handled = true;
    EXPECT_EQ(model.Control({"version"}, handled), "");
    EXPECT_FALSE(handled);
    model.Control({}, handled);
    EXPECT_FALSE(handled);
}

TEST_F(SimModelFixture, ControlCommandsChangeWhatTheDriverReports)
{
    std::string plugged = Control("plug 0x4b56 0x0020 QV7 Studio flags=0x100");
    EXPECT_EQ(plugged, "OK plugged index=0 key=" + std::to_string(KeyOf(0).word0) + ":" +
                           std::to_string(KeyOf(0).word1) + " serial=QV7");
    auto info = DriverGet<KorvelDeviceList>(IOCTL_KORVEL_GET_DEVICE_LIST).devices[0];
    EXPECT_EQ(info.productId, 0x20);
    EXPECT_EQ(std::wstring(info.serialNumber), L"QV7");
    EXPECT_EQ(std::wstring(info.deviceName), L"Studio");
    EXPECT_EQ(info.flags, KORVEL_DEVICE_FLAG_ECHO | KORVEL_DEVICE_FLAG_STREAMING);

    notifier.raised.clear();
    EXPECT_EQ(Control("set QV7 highspeed 1"), "OK");
    EXPECT_EQ(notifier.Count(KORVEL_NOTIFY_DEVICES_CHANGED_REQUEST), 1u);
    EXPECT_EQ(notifier.Count(KORVEL_NOTIFY_DEVICE_STATUS_CHANGED), 1u);
    EXPECT_EQ(Control("state 5"), "OK");
    EXPECT_EQ(State(), 5u);
    EXPECT_EQ(Control("rate 96000"), "OK");
    EXPECT_EQ(Control("buffers 5 0 7"), "OK");
    EXPECT_EQ(DriverGet<KorvelBufferSizes>(IOCTL_KORVEL_GET_BUFFER_SIZES).thirdWord, 7u);
    EXPECT_EQ(Control("policy 1"), "OK");
    EXPECT_EQ(notifier.Count(KORVEL_NOTIFY_SETTINGS_CHANGED), 3u);

    EXPECT_EQ(Control("endpoint-event 0 2 4"), "OK");
    EXPECT_EQ(Control("notify 3021"), "OK");
    ASSERT_GE(notifier.raised.size(), 2u);
    const auto& event = notifier.raised[notifier.raised.size() - 2];
    EXPECT_EQ(event.code, KORVEL_NOTIFY_ENDPOINT_EVENT);
    ASSERT_EQ(event.payload.size(), 16u);
    EXPECT_EQ(event.payload[8], 2);
    EXPECT_EQ(event.payload[12], 4);
    EXPECT_TRUE(notifier.raised.back().payload.empty());

    std::string dump = Control("dump-model");
    EXPECT_EQ(dump.rfind("OK dump-model\nmodel.devices=1\nstream.state=5\n", 0), 0u) << dump;
    EXPECT_NE(dump.find("\ndev.0.serial=QV7\n"), std::string::npos);
    EXPECT_NE(dump.find("\nstream.rate=96000\n"), std::string::npos);
}

TEST(SimConfigFileTest, ParsesDevicesQuotesAndComments)
{
    std::vector<SimDeviceConfig> devices;
    std::string error;
    ASSERT_EQ(SimConfigFile::Parse("# two devices\n"
                                   "4b56 0010 QV1 \"quillo 16\" echo=1\r\n"
                                   "\n"
                                   "   \n"
                                   "4B56 0x0011 QV2 q2 spdif=0 rates=44100,48000 kind2=1\n",
                                   devices, error),
              0u)
        << error;
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].name, "quillo 16");
    EXPECT_TRUE(devices[0].echo);
    EXPECT_EQ(devices[1].productId, 0x11);
    EXPECT_FALSE(devices[1].spdifPresent);
    EXPECT_TRUE(devices[1].kind2Function);
    EXPECT_EQ(devices[1].rates.size(), 2u);

    EXPECT_EQ(SimConfigFile::Parse("4b56 0010 QV1 q\n4b56 0010 QV2 \"open\n", devices, error),
              KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(error, "line 2: unterminated quote");
    EXPECT_EQ(SimConfigFile::Parse("\n\n4b56 0010 QV1 q lock=9\n", devices, error),
              KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(error, "line 3: bad value '9' for lock");
    EXPECT_EQ(devices.size(), 2u) << "a failed parse leaves the result alone";
}

TEST_F(SimModelFixture, LoadConfigPlugsAllOrNothing)
{
    wchar_t dir[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, dir), 0u);
    std::wstring path =
        std::wstring(dir) + L"simmodel-" + std::to_wstring(GetCurrentProcessId()) + L".cfg";
    auto write = [&](const char* text) {
        FILE* file = _wfopen(path.c_str(), L"wb");
        ASSERT_NE(file, nullptr);
        std::fputs(text, file);
        std::fclose(file);
    };

    EXPECT_EQ(model.LoadConfig(path + L".missing"), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    write("4b56 0010 QV1 one\n4b56 0010 QV1 two\n");
    EXPECT_EQ(model.LoadConfig(path), KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(model.LastConfigError(), "serial QV1 given twice");
    write("4b56 0010 QV1 one\n4b56 0010 QV2 two highspeed=0\n");
    ASSERT_EQ(model.LoadConfig(path), 0u) << model.LastConfigError();
    EXPECT_EQ(model.Devices().Count(), 2u);
    EXPECT_FALSE(model.Devices().At(1)->HighSpeed());
    ASSERT_EQ(model.AddDevices(5), 0u);
    write("4b56 0010 QV8 a\n4b56 0010 QV9 b\n");
    EXPECT_EQ(model.LoadConfig(path), KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(model.Devices().Count(), 7u);
    DeleteFileW(path.c_str());
}
