// The driver object against the simulator and the running device server:
// what a host sees of channels, rates, buffer sizes and clocks, the stream
// format switch, and a misbehaving kernel driver.
#include "AsioDriverFixture.h"
#include "KorvelIoctl.h"
#include "KorvelLinkFrame.h"
#include "ProgramDirectory.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace {

ASIOChannelInfo ChannelInfo(AsioDriver& driver, bool input, long channel, ASIOError* result)
{
    ASIOChannelInfo info{};
    info.isInput = input ? ASIOTrue : ASIOFalse;
    info.channel = channel;
    *result = driver.getChannelInfo(&info);
    return info;
}

std::string ChannelName(AsioDriver& driver, bool input, long channel)
{
    ASIOError result = ASE_OK;
    ASIOChannelInfo info = ChannelInfo(driver, input, channel, &result);
    return result == ASE_OK ? info.name : "<" + std::to_string(result) + ">";
}

ASIOError SetIoFormat(AsioDriver& driver, long type, long selector = kAsioSetIoFormat)
{
    ASIOIoFormat format{};
    format.FormatType = type;
    return driver.future(selector, &format);
}

} // namespace

TEST_F(AsioDriverFixture, WhatAHostSeesOfAnInitialisedDriver)
{
    Start();
    AsioDriverPtr driver = InitDriver();
    EXPECT_EQ(driver->CurrentState(), AsioDriver::INITIALIZED);
    EXPECT_EQ(Model("stream.state"), "4") << "init waits until streaming runs";

    char name[32];
    std::memset(name, 0x55, sizeof(name));
    driver->getDriverName(name);
    EXPECT_STREQ(name, "Brindle ASIO Driver");
    EXPECT_EQ(driver->getDriverVersion(), 0x124);

    long inputs = 0, outputs = 0;
    EXPECT_EQ(driver->getChannels(&inputs, &outputs), ASE_OK);
    EXPECT_EQ(inputs, 18); // 16 analog and 2 SPDIF
    EXPECT_EQ(outputs, 18);
    EXPECT_EQ(ChannelName(*driver, true, 0), "Analog In 1");
    EXPECT_EQ(ChannelName(*driver, true, 17), "SPDIF In 2");
    EXPECT_EQ(ChannelName(*driver, false, 15), "Analog Out 16");
    ASIOError result = ASE_OK;
    ASIOChannelInfo info = ChannelInfo(*driver, false, 3, &result);
    EXPECT_EQ(info.type, ASIOSTInt32LSB);
    EXPECT_EQ(info.isActive, ASIOFalse);
    EXPECT_EQ(info.channelGroup, 0);
    ChannelInfo(*driver, true, -1, &result);
    EXPECT_EQ(result, ASE_NotPresent);
    ChannelInfo(*driver, false, 18, &result);
    EXPECT_EQ(result, ASE_NotPresent);
    EXPECT_EQ(driver->getChannelInfo(nullptr), ASE_InvalidParameter);

    ASIOSampleRate rate = 0;
    EXPECT_EQ(driver->getSampleRate(&rate), ASE_OK);
    EXPECT_EQ(rate, 48000.0);

    ASIOClockSource clocks[2] = {};
    long count = 2;
    EXPECT_EQ(driver->getClockSources(clocks, &count), ASE_OK);
    EXPECT_EQ(count, 1);
    EXPECT_STREQ(clocks[0].name, "Computer");
    EXPECT_EQ(clocks[0].associatedChannel, -1);
    EXPECT_EQ(clocks[0].isCurrentSource, ASIOTrue);
    count = 0;
    EXPECT_EQ(driver->getClockSources(clocks, &count), ASE_InvalidParameter);
    EXPECT_EQ(driver->setClockSource(0), ASE_OK);
    EXPECT_EQ(driver->setClockSource(1), ASE_InvalidParameter);

    long inLatency = -1, outLatency = -1;
    EXPECT_EQ(driver->getLatencies(&inLatency, &outLatency), ASE_OK);
    EXPECT_EQ(inLatency, 32) << "no buffers yet: only what the device adds";
    EXPECT_EQ(outLatency, 48);

    long minSize = 0, maxSize = 0, preferred = 0, granularity = -1;
    EXPECT_EQ(driver->getBufferSize(&minSize, &maxSize, &preferred, &granularity), ASE_OK);
    EXPECT_EQ(preferred, 128) << "the simulator's default ASIO class at 48 kHz";
    EXPECT_EQ(minSize, 128);
    EXPECT_EQ(maxSize, 128);
    EXPECT_EQ(granularity, 0);
    ASSERT_EQ(harness.Control("buffers 2 2").rfind("OK", 0), 0u);
    EXPECT_EQ(driver->getBufferSize(&minSize, &maxSize, &preferred, &granularity), ASE_OK);
    EXPECT_EQ(preferred, 256);

    ASIOSamples position{1, 1};
    ASIOTimeStamp stamp{1, 1};
    EXPECT_EQ(driver->getSamplePosition(&position, &stamp), ASE_OK);
    EXPECT_EQ(position.hi | position.lo | stamp.hi | stamp.lo, 0u);
    EXPECT_EQ(driver->outputReady(), ASE_NotPresent);
    EXPECT_EQ(driver->stop(), ASE_OK);
    EXPECT_EQ(driver->start(), ASE_NotPresent) << "nothing prepared";
    EXPECT_EQ(driver->disposeBuffers(), ASE_OK);
    EXPECT_EQ(driver->CurrentState(), AsioDriver::INITIALIZED);
}

TEST_F(AsioDriverFixture, CreateBuffersChecksItsInputsFirst)
{
    Start();
    ASIOBufferInfo infos[2] = {{ASIOTrue, 0, {}}, {ASIOFalse, 0, {}}};
    ASIOCallbacks callbacks{};
    AsioDriverPtr loaded = NewDriver();
    EXPECT_EQ(loaded->createBuffers(infos, 2, 256, &callbacks), ASE_NotPresent) << "not initialised";

    AsioDriverPtr driver = InitDriver();
    EXPECT_EQ(driver->createBuffers(infos, -1, 256, &callbacks), ASE_InvalidParameter);
    EXPECT_EQ(driver->createBuffers(infos, 2, -256, &callbacks), ASE_InvalidParameter);
    EXPECT_EQ(driver->createBuffers(nullptr, 2, 256, &callbacks), ASE_InvalidParameter);
    EXPECT_EQ(driver->createBuffers(infos, 2, 256, nullptr), ASE_InvalidParameter);
    EXPECT_EQ(driver->createBuffers(infos, 2, 0, &callbacks), ASE_InvalidParameter);
    EXPECT_EQ(driver->CurrentState(), AsioDriver::INITIALIZED);
    EXPECT_EQ(Model("asio.enabled"), "0") << "nothing announced";

    ASSERT_EQ(SetIoFormat(*driver, kASIODSDFormat), ASE_SUCCESS);
    EXPECT_EQ(driver->createBuffers(infos, 2, 63, &callbacks), ASE_InvalidParameter)
        << "below one block of 64 DSD samples";
}

TEST_F(AsioDriverFixture, InitOnAnInitialisedDriverSendsNothing)
{
    Start("", true, true);
    AsioDriverPtr driver = InitDriver();
    const size_t before = TraceCount();
    EXPECT_GT(before, 0u);
    EXPECT_EQ(driver->init(nullptr), ASIOTrue);
    EXPECT_EQ(TraceCount(), before);
}

TEST_F(AsioDriverFixture, NoSimulatorGivesTheErrorText)
{
    SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, L"asio-nobody-serves-this");
    AsioDriverPtr driver = NewDriver();
    EXPECT_EQ(driver->init(nullptr), ASIOFalse);
    char text[124];
    driver->getErrorMessage(text);
    EXPECT_STREQ(text, "No device is connected to the PC.");
    EXPECT_EQ(driver->CurrentState(), AsioDriver::LOADED);
    long inputs = -1, outputs = -1;
    EXPECT_EQ(driver->getChannels(&inputs, &outputs), ASE_NotPresent);
    EXPECT_EQ(inputs + outputs, 0);
    SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, nullptr);
}

TEST_F(AsioDriverFixture, ADeviceStuckInReadyFailsInitAfterAboutTwoSeconds)
{
    Start("", false, true); // no server: nothing brings streaming up
    ASSERT_EQ(harness.Control("state 2").rfind("OK", 0), 0u);
    AsioDriverPtr driver = NewDriver();
    const ULONGLONG started = GetTickCount64();
    EXPECT_EQ(driver->init(nullptr), ASIOFalse);
    const ULONGLONG elapsed = GetTickCount64() - started;
    EXPECT_GE(elapsed, 1900u);
    EXPECT_LT(elapsed, 20000u);
    EXPECT_EQ(TraceCount(IOCTL_KORVEL_GET_STREAMING_STATE), 201u);
    char text[124];
    driver->getErrorMessage(text);
    EXPECT_STREQ(text, "") << "nothing set an error text";
    EXPECT_TRUE(ServerHarness::WaitFor([&] { return Model("stream.asioClients") == "0"; }))
        << "the connection is closed again";
    ASSERT_EQ(harness.Control("state 5").rfind("OK", 0), 0u);
    EXPECT_EQ(driver->init(nullptr), ASIOFalse) << "error state: not ready at once";
}

TEST_F(AsioDriverFixture, ADeviceWithoutPcmOutputsShowsTwoDummyOutputs)
{
    Start("pcm-out=0");
    AsioDriverPtr driver = InitDriver();
    long inputs = 0, outputs = 0;
    EXPECT_EQ(driver->getChannels(&inputs, &outputs), ASE_OK);
    EXPECT_EQ(inputs, 18);
    EXPECT_EQ(outputs, 2);
    for (long channel : {0L, 1L}) {
        ASIOError result = ASE_OK;
        ASIOChannelInfo info = ChannelInfo(*driver, false, channel, &result);
        EXPECT_EQ(result, ASE_OK);
        EXPECT_EQ(info.type, ASIOSTInt32LSB);
        EXPECT_STREQ(info.name, channel == 0 ? "Dummy OUT L" : "Dummy OUT R");
    }
}

TEST_F(AsioDriverFixture, SampleRatesFollowTheTableAndTheMode)
{
    Start("rates=44100,48000,2822400");
    AsioDriverPtr driver = InitDriver();
    EXPECT_EQ(driver->canSampleRate(2822400.0), ASE_OK) << "the mode is not considered";
    EXPECT_EQ(driver->setSampleRate(2822400.0), ASE_NoClock) << "a DSD rate in PCM mode";
    EXPECT_EQ(driver->canSampleRate(96000.0), ASE_NoClock);
    EXPECT_EQ(driver->canSampleRate(-48000.0), ASE_NoClock);
    EXPECT_EQ(driver->canSampleRate(std::numeric_limits<double>::quiet_NaN()), ASE_NoClock);
    EXPECT_EQ(driver->canSampleRate(1e300), ASE_NoClock);

    EXPECT_EQ(driver->setSampleRate(44100.7), ASE_OK);
    EXPECT_EQ(Model("stream.rate"), "44100");
    ASIOSampleRate rate = 0;
    driver->getSampleRate(&rate);
    EXPECT_EQ(rate, 44100.0);
    EXPECT_EQ(driver->setSampleRate(48000.9), ASE_OK);
    EXPECT_EQ(Model("stream.rate"), "48000");
    EXPECT_EQ(driver->setSampleRate(48000.0), ASE_OK) << "the current rate again";

    ASSERT_EQ(harness.Control("activity 2 1").rfind("OK", 0), 0u);
    EXPECT_EQ(driver->setSampleRate(44100.0), ASE_HWMalfunction) << "the service refuses";
    EXPECT_EQ(Model("stream.rate"), "48000");
}

TEST_F(AsioDriverFixture, StreamFormatSwitchAndBackOnRelease)
{
    Start();
    AsioDriverPtr driver = InitDriver();
    EXPECT_EQ(SetIoFormat(*driver, kASIODSDFormat, kAsioCanDoIoFormat), ASE_SUCCESS);
    EXPECT_EQ(SetIoFormat(*driver, kASIOPCMFormat, kAsioCanDoIoFormat), ASE_SUCCESS);
    EXPECT_EQ(SetIoFormat(*driver, 7, kAsioCanDoIoFormat), ASE_NotPresent);
    EXPECT_EQ(driver->future(kAsioCanDoIoFormat, nullptr), ASE_NotPresent);

    const std::string infoBefore = Model("asio.infoRequests");
    ASSERT_EQ(SetIoFormat(*driver, kASIODSDFormat), ASE_SUCCESS);
    EXPECT_TRUE(driver->InDsdMode());
    EXPECT_EQ(Model("stream.rate"), "2822400") << "the first DSD rate of the table";
    EXPECT_EQ(server.DsdModes(), std::vector<int>{1});
    // The layout changed (every channel now DSD): the sets were filled twice.
    EXPECT_EQ(std::stoul(Model("asio.infoRequests")) - std::stoul(infoBefore), 2u * 36u);
    EXPECT_EQ(SetIoFormat(*driver, 0, kAsioGetIoFormat), ASE_SUCCESS);
    ASIOIoFormat format{};
    driver->future(kAsioGetIoFormat, &format);
    EXPECT_EQ(format.FormatType, kASIODSDFormat);

    long inputs = 0, outputs = 0;
    EXPECT_EQ(driver->getChannels(&inputs, &outputs), ASE_OK);
    EXPECT_EQ(inputs, 18);
    EXPECT_EQ(outputs, 18);
    ASIOError result = ASE_OK;
    EXPECT_EQ(ChannelInfo(*driver, true, 0, &result).type, ASIOSTDSDInt8MSB1);
    EXPECT_EQ(driver->setSampleRate(48000.0), ASE_NoClock) << "a PCM rate in DSD mode";
    long minSize = 0, maxSize = 0, preferred = 0, granularity = 0;
    driver->getBufferSize(&minSize, &maxSize, &preferred, &granularity);
    // The simulator's default ASIO class at DSD64: 128 blocks of 64 samples.
    EXPECT_EQ(preferred, 128 * 64);
    EXPECT_EQ(minSize, 8192);

    driver.reset(); // released in DSD mode
    EXPECT_EQ(server.DsdModes(), (std::vector<int>{1, 0}));
    EXPECT_EQ(Model("stream.rate"), "44100") << "the first PCM rate of the table";
}

TEST_F(AsioDriverFixture, FormatRequestsWithoutDsdRatesSendNothing)
{
    Start("rates=44100,48000", true, true);
    AsioDriverPtr driver = InitDriver();
    const size_t messages = TraceCount(IOCTL_KORVEL_SEND_MESSAGE);
    EXPECT_EQ(SetIoFormat(*driver, kASIODSDFormat, kAsioCanDoIoFormat), ASE_NotPresent);
    EXPECT_EQ(SetIoFormat(*driver, kASIODSDFormat), ASE_NotPresent);
    EXPECT_EQ(SetIoFormat(*driver, 5), ASE_NotPresent);
    EXPECT_EQ(driver->future(kAsioSetIoFormat, nullptr), ASE_NotPresent);
    EXPECT_EQ(TraceCount(IOCTL_KORVEL_SEND_MESSAGE), messages);
    EXPECT_TRUE(server.DsdModes().empty());
    EXPECT_FALSE(driver->InDsdMode());

    EXPECT_EQ(driver->future(kAsioEnableTimeCodeRead, nullptr), ASE_SUCCESS);
    EXPECT_EQ(driver->future(kAsioDisableTimeCodeRead, nullptr), ASE_SUCCESS);
    EXPECT_EQ(driver->future(kAsioCanTimeInfo, nullptr), ASE_SUCCESS);
    EXPECT_EQ(driver->future(kAsioCanTimeCode, nullptr), ASE_NotPresent);
    EXPECT_EQ(driver->future(kAsioSetInputMonitor, nullptr), ASE_NotPresent);

    // PCM while in PCM: nothing to switch, the rate stays where the host
    // set it.
    EXPECT_EQ(SetIoFormat(*driver, kASIOPCMFormat), ASE_SUCCESS);
    EXPECT_TRUE(server.DsdModes().empty());
    EXPECT_EQ(Model("stream.rate"), "48000");
    EXPECT_EQ(TraceCount(IOCTL_KORVEL_SEND_MESSAGE), messages);
}

TEST_F(AsioDriverFixture, ControlPanelStartsTheProgramBesideTheModule)
{
    Start();
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring record = std::wstring(folder) + L"asio-cpl-" +
                                std::to_wstring(GetCurrentProcessId()) + L".txt";
    DeleteFileW(record.c_str());
    SetEnvironmentVariableW(L"KORVEL_TEST_CPL_RECORD", record.c_str());
    AsioDriverPtr driver = NewDriver();
    EXPECT_EQ(driver->controlPanel(), ASE_OK);
    std::string line;
    EXPECT_TRUE(ServerHarness::WaitFor(
        [&] {
            std::ifstream file{std::filesystem::path(record)};
            return std::getline(file, line) && !line.empty();
        },
        10000))
        << "the stand-in control panel did not record its command line";
    SetEnvironmentVariableW(L"KORVEL_TEST_CPL_RECORD", nullptr);
    DeleteFileW(record.c_str());

    const std::wstring directory = quillo_test::ProgramDirectory();
    std::string expected = "\"";
    for (wchar_t c : directory) {
        expected += static_cast<char>(c);
    }
    expected += "korvelcpl.exe\" -asio";
    EXPECT_EQ(line, expected);
}

TEST_F(AsioDriverFixture, ImpossibleCountsFromTheKernelDriverAreCut)
{
    Start();
    ASSERT_EQ(harness.Control("asio-fault rate-count 4000000000").rfind("OK", 0), 0u);
    ASSERT_EQ(harness.Control("asio-fault key-count 100000").rfind("OK", 0), 0u);
    AsioDriverPtr driver = InitDriver();
    // Keys 18 to 95 of each table are empty and not found: left out.
    long inputs = 0, outputs = 0;
    EXPECT_EQ(driver->getChannels(&inputs, &outputs), ASE_OK);
    EXPECT_EQ(inputs, 18);
    EXPECT_EQ(outputs, 18);
    // Both tables, read for the comparison and again for the new sets.
    EXPECT_EQ(std::stoul(Model("asio.infoRequests")), 4u * 96u);
    EXPECT_EQ(driver->canSampleRate(11289600.0), ASE_OK);
    EXPECT_EQ(driver->canSampleRate(12345.0), ASE_NoClock);
}

TEST_F(AsioDriverFixture, UnterminatedNamesAndAFailingChannelInfo)
{
    Start();
    ASSERT_EQ(harness.Control("asio-fault unterminated-names 1").rfind("OK", 0), 0u);
    // Init reads every channel twice (for the comparison, then for the new
    // sets): fail the fifth input of the second pass.
    ASSERT_EQ(harness.Control("asio-fault fail-info 41 0xE0000001").rfind("OK", 0), 0u);
    AsioDriverPtr driver = InitDriver();
    long inputs = 0, outputs = 0;
    EXPECT_EQ(driver->getChannels(&inputs, &outputs), ASE_OK);
    EXPECT_EQ(inputs, 17) << "the fifth channel could not be described";
    EXPECT_EQ(outputs, 18);
    const std::string fourth = ChannelName(*driver, true, 3);
    const std::string fifth = ChannelName(*driver, true, 4);
    EXPECT_EQ(fourth.size(), 31u);
    EXPECT_EQ(fourth.rfind("Analog In 4XXX", 0), 0u) << fourth;
    EXPECT_EQ(fifth.rfind("Analog In 6XXX", 0), 0u) << fifth;
}

TEST_F(AsioDriverFixture, AFailingChannelListFailsInit)
{
    Start();
    char command[64];
    std::snprintf(command, sizeof(command), "fault fail 0x%08X 0xE0000001",
                  static_cast<unsigned>(IOCTL_KORVEL_ASIO_GET_CHANNEL_LIST));
    ASSERT_EQ(harness.Control(command).rfind("OK", 0), 0u);
    AsioDriverPtr driver = NewDriver();
    EXPECT_EQ(driver->init(nullptr), ASIOFalse);
    char text[124];
    driver->getErrorMessage(text);
    EXPECT_STREQ(text, "No device is connected to the PC.");
    EXPECT_EQ(driver->CurrentState(), AsioDriver::LOADED);
    EXPECT_EQ(driver->init(nullptr), ASIOTrue) << "a host may try again";
}
