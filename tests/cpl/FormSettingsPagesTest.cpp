// The sample-rate, buffer-size and channel pages against the in-process
// simulator (reads, refusals that need no service), against a scripted
// driver (records the simulator never gives) and against the device server
// (requests that the service answers).
#include "FormBufferSettings.h"
#include "FormErrorBox.h"
#include "FormInChannels.h"
#include "FormOutChannels.h"
#include "FormSampleRate.h"
#include "InProcessSimTest.h"
#include "KorvelIoctl.h"
#include "KorvelServer.h"
#include "KorvelStatus.h"
#include "MessageBoxWatcher.h"
#include "ScriptedPanelTest.h"
#include "ServerHarness.h"
#include "SettingsPageProbe.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

using cpl_test::MessageBoxWatcher;
using P = cpl_test::SettingsPageProbe;

namespace {

using Rows = std::vector<std::pair<std::wstring, std::wstring>>;

const wchar_t* const kDsdWarning = L"Changing to this the sample rate prohibited.\n"
                                   L"It sample rate can be installed only from ASIO host for DSD mode.";

std::string ModelValueOf(const std::string& dump, const std::string& key)
{
    std::istringstream lines(dump);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(key + "=", 0) == 0) {
            return line.substr(key.size() + 1);
        }
    }
    return {};
}

class SettingsPagesTest : public InProcessSimTest
{
protected:
    void TearDown() override
    {
        m_client.CloseAll();
        InProcessSimTest::TearDown();
    }

    void Connect()
    {
        ASSERT_EQ(m_client.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
        bool changed = false;
        ASSERT_EQ(m_client.RefreshDevices(changed), 0u);
    }

    std::string ModelValue(const std::string& key) { return ModelValueOf(m_sim.Control("dump-model"), key); }

    P m_probe;
    KorvelCplClient m_client;
    FormSampleRate m_rate{m_client};
    FormBufferSettings m_buffers{m_client};
};

// A page whose channel list is the input list in reverse order.
class ReversedInChannels : public FormInChannels
{
public:
    using FormInChannels::FormInChannels;
    DWORD GetChannelList(KorvelChannelList& list) override
    {
        const DWORD status = FormInChannels::GetChannelList(list);
        std::reverse(list.keys, list.keys + std::min<uint32_t>(list.count, KORVEL_MAX_CHANNELS));
        return status;
    }
};

// A page whose channel list claims far more channels than the record holds,
// every key the first input channel's.
class OverfullInChannels : public FormInChannels
{
public:
    using FormInChannels::FormInChannels;
    DWORD GetChannelList(KorvelChannelList& list) override
    {
        const DWORD status = FormInChannels::GetChannelList(list);
        std::fill(list.keys, list.keys + KORVEL_MAX_CHANNELS, list.keys[0]);
        list.count = 5000;
        return status;
    }
};

} // namespace

TEST_F(SettingsPagesTest, SampleRatePageListsTheDriversRatesAndSelectsTheCurrentOne)
{
    Control("plug serial=SR rates=44100,48000,96000,2822400,5644800");
    Control("rate 48000");
    Connect();
    ASSERT_TRUE(m_probe.Create(m_rate));
    m_rate.ShowForm();

    EXPECT_EQ(P::Items(m_rate, IDC_SAMPLERATE_LIST),
              (std::vector<std::wstring>{L"44.100 kHz", L"48.000 kHz", L"96.000 kHz", L"2822.400 kHz",
                                         L"5644.800 kHz"}));
    EXPECT_EQ(P::ItemData(m_rate, IDC_SAMPLERATE_LIST),
              (std::vector<LRESULT>{44100, 48000, 96000, 2822400, 5644800}));
    EXPECT_EQ(P::Selected(m_rate, IDC_SAMPLERATE_LIST), L"48.000 kHz");
    EXPECT_TRUE(P::Enabled(m_rate, IDC_SAMPLERATE_LIST));
    EXPECT_TRUE(P::Enabled(m_rate, IDC_SAMPLERATE_APPLY));
    EXPECT_FALSE(P::Visible(m_rate, IDC_SAMPLERATE_DSD));

    Control("rate 44100");
    m_rate.RefreshForm();
    EXPECT_EQ(P::Selected(m_rate, IDC_SAMPLERATE_LIST), L"44.100 kHz");
    EXPECT_EQ(P::Items(m_rate, IDC_SAMPLERATE_LIST).size(), 5u) << "the list was not refilled once";
}

TEST_F(SettingsPagesTest, ADsdRateShowsTheNoteAndChoosingOneIsRefusedWithoutARequest)
{
    Control("plug serial=DSD rates=44100,48000,2822400,5644800,11289600");
    Control("rate 2822400");
    Connect();
    ASSERT_TRUE(m_probe.Create(m_rate));
    m_rate.ShowForm();
    EXPECT_TRUE(P::Visible(m_rate, IDC_SAMPLERATE_DSD));
    EXPECT_EQ(P::Text(m_rate, IDC_SAMPLERATE_DSD), L"DSD mode is active.");
    EXPECT_EQ(P::Selected(m_rate, IDC_SAMPLERATE_LIST), L"2822.400 kHz");
    EXPECT_EQ(P::Items(m_rate, IDC_SAMPLERATE_LIST).size(), 5u);

    // The icon of the warning box as this process shows it.
    HICON warningIcon = nullptr;
    {
        MessageBoxWatcher watcher;
        FormErrorBox::ShowWarning(m_rate.GetFormWindow(), L"reference");
        ASSERT_EQ(watcher.Boxes().size(), 1u);
        warningIcon = watcher.Boxes()[0].icon;
        ASSERT_NE(warningIcon, MessageBoxWatcher::ErrorIcon());
    }
    // No service runs: a request sent would fail and show the error box as
    // a second box.
    for (const wchar_t* dsd : {L"5644.800 kHz", L"11289.600 kHz"}) {
        ASSERT_TRUE(P::Choose(m_rate, IDC_SAMPLERATE_LIST, dsd));
        MessageBoxWatcher watcher;
        P::Click(m_rate, IDC_SAMPLERATE_APPLY);
        const auto boxes = watcher.Boxes();
        ASSERT_EQ(boxes.size(), 1u) << "choosing a DSD rate";
        EXPECT_EQ(boxes[0].text, kDsdWarning);
        EXPECT_EQ(boxes[0].caption, FormErrorBox::Caption());
        EXPECT_EQ(boxes[0].icon, warningIcon);
        // A child page cannot own a window: the system gives the box to its top-level window.
        EXPECT_EQ(boxes[0].owner, GetAncestor(m_rate.GetFormWindow(), GA_ROOT));
        EXPECT_EQ(ModelValue("stream.rate"), "2822400");
        EXPECT_EQ(P::Selected(m_rate, IDC_SAMPLERATE_LIST), L"2822.400 kHz") << "refreshed after Apply";
    }

    // Every rate from 2822400 Hz on is a DSD rate, also the largest.
    Control("rate 11289600");
    m_rate.RefreshForm();
    EXPECT_TRUE(P::Visible(m_rate, IDC_SAMPLERATE_DSD));
    Control("rate 48000");
    m_rate.RefreshForm();
    EXPECT_FALSE(P::Visible(m_rate, IDC_SAMPLERATE_DSD));
}

TEST_F(SettingsPagesTest, BufferPageShowsTheClassesAndTruncatedLatencies)
{
    Control("plug serial=BUF");
    Control("rate 48000");
    Connect();
    ASSERT_TRUE(m_probe.Create(m_buffers));
    EXPECT_EQ(P::Items(m_buffers, IDC_BUFFER_STREAM_LIST),
              (std::vector<std::wstring>{L"Minimum", L"ExtraSmall", L"Small", L"Large", L"ExtraLarge",
                                         L"Safe"}));
    EXPECT_EQ(P::ItemData(m_buffers, IDC_BUFFER_STREAM_LIST), (std::vector<LRESULT>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(P::Items(m_buffers, IDC_BUFFER_ASIO_LIST),
              (std::vector<std::wstring>{L"Minimum", L"Small", L"Large", L"Maximum"}));
    EXPECT_EQ(P::ItemData(m_buffers, IDC_BUFFER_ASIO_LIST), (std::vector<LRESULT>{0, 1, 2, 3}));

    // 128 samples at 48 kHz are 2666 us: 2.6, where rounding would say 2.7.
    m_buffers.ShowForm();
    EXPECT_EQ(P::Selected(m_buffers, IDC_BUFFER_STREAM_LIST), L"Small");
    EXPECT_EQ(P::Selected(m_buffers, IDC_BUFFER_ASIO_LIST), L"Small");
    EXPECT_EQ(P::Text(m_buffers, IDC_BUFFER_STREAM_LATENCY), L"4.0 millisecs\n");
    EXPECT_EQ(P::Text(m_buffers, IDC_BUFFER_ASIO_LATENCY), L"2.6 millisecs\n128 samples");

    // 64 samples at 44.1 kHz are 1451 us.
    Control("rate 44100");
    Control("buffers 0 0");
    m_buffers.RefreshForm();
    EXPECT_EQ(P::Selected(m_buffers, IDC_BUFFER_STREAM_LIST), L"Minimum");
    EXPECT_EQ(P::Selected(m_buffers, IDC_BUFFER_ASIO_LIST), L"Minimum");
    EXPECT_EQ(P::Text(m_buffers, IDC_BUFFER_STREAM_LATENCY), L"1.0 millisecs\n");
    EXPECT_EQ(P::Text(m_buffers, IDC_BUFFER_ASIO_LATENCY), L"1.4 millisecs\n64 samples");
    for (int id : {IDC_BUFFER_STREAM_LIST, IDC_BUFFER_STREAM_LATENCY, IDC_BUFFER_ASIO_LIST,
                   IDC_BUFFER_ASIO_LATENCY, IDC_BUFFER_APPLY}) {
        EXPECT_TRUE(P::Enabled(m_buffers, id)) << id;
    }
}

TEST_F(SettingsPagesTest, ClosedConnectionOrFailedReadsDisableTheControlsAndApplyDoesNothing)
{
    Control("plug serial=OFF");
    ASSERT_TRUE(m_probe.Create(m_rate));
    ASSERT_TRUE(m_probe.Create(m_buffers));
    const int bufferControls[] = {IDC_BUFFER_STREAM_LIST, IDC_BUFFER_STREAM_LATENCY, IDC_BUFFER_ASIO_LIST,
                                  IDC_BUFFER_ASIO_LATENCY, IDC_BUFFER_APPLY};
    auto expectDisabled = [&](const char* when) {
        EXPECT_EQ(P::Items(m_rate, IDC_SAMPLERATE_LIST).size(), 0u) << when;
        EXPECT_FALSE(P::Enabled(m_rate, IDC_SAMPLERATE_LIST)) << when;
        EXPECT_FALSE(P::Enabled(m_rate, IDC_SAMPLERATE_APPLY)) << when;
        for (int id : bufferControls) {
            EXPECT_FALSE(P::Enabled(m_buffers, id)) << when << ": " << id;
        }
    };
    auto applyShowsNothing = [&](const char* when) {
        MessageBoxWatcher watcher;
        P::Choose(m_buffers, IDC_BUFFER_STREAM_LIST, L"Safe");
        P::Click(m_rate, IDC_SAMPLERATE_APPLY);
        P::Click(m_buffers, IDC_BUFFER_APPLY);
        EXPECT_TRUE(watcher.Boxes().empty()) << when;
    };

    m_rate.ShowForm();
    m_buffers.ShowForm();
    expectDisabled("never connected");
    applyShowsNothing("never connected");

    Connect();
    m_rate.RefreshForm();
    m_buffers.RefreshForm();
    EXPECT_TRUE(P::Enabled(m_rate, IDC_SAMPLERATE_APPLY));
    EXPECT_TRUE(P::Enabled(m_buffers, IDC_BUFFER_APPLY));
    const std::wstring latency = P::Text(m_buffers, IDC_BUFFER_ASIO_LATENCY);
    ASSERT_FALSE(latency.empty());

    char faults[128];
    std::snprintf(faults, sizeof(faults), "fault fail %08x %08x", IOCTL_KORVEL_GET_SAMPLE_RATES,
                  KORVEL_STATUS_FAILED);
    Control(faults);
    std::snprintf(faults, sizeof(faults), "fault fail %08x %08x", IOCTL_KORVEL_GET_BUFFER_SIZES,
                  KORVEL_STATUS_FAILED);
    Control(faults);
    m_rate.RefreshForm();
    m_buffers.RefreshForm();
    expectDisabled("after failed reads");
    EXPECT_EQ(P::Text(m_buffers, IDC_BUFFER_ASIO_LATENCY), latency) << "the texts stay";

    m_client.CloseAll();
    m_rate.RefreshForm();
    m_buffers.RefreshForm();
    expectDisabled("after the close");
    applyShowsNothing("after the close");
    EXPECT_EQ(ModelValue("stream.bufferClass"), "2");
}

TEST_F(SettingsPagesTest, ApplyWhenTheSizesCannotBeReadShowsTheErrorAndSendsNothing)
{
    Control("plug serial=GET");
    Connect();
    ASSERT_TRUE(m_probe.Create(m_buffers));
    m_buffers.ShowForm();
    ASSERT_TRUE(P::Choose(m_buffers, IDC_BUFFER_STREAM_LIST, L"Large"));
    char fault[64];
    std::snprintf(fault, sizeof(fault), "fault fail %08x %08x", IOCTL_KORVEL_GET_BUFFER_SIZES,
                  KORVEL_STATUS_DEVICE_REMOVED);
    Control(fault);

    // No service runs: a request sent would show a second box.
    MessageBoxWatcher watcher;
    P::Click(m_buffers, IDC_BUFFER_APPLY);
    const auto boxes = watcher.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, FormErrorBox::Text(L"Get the buffer sizes failed.", KORVEL_STATUS_DEVICE_REMOVED));
    EXPECT_EQ(boxes[0].icon, MessageBoxWatcher::ErrorIcon());
    EXPECT_EQ(ModelValue("stream.bufferClass"), "2");
    EXPECT_EQ(P::Selected(m_buffers, IDC_BUFFER_STREAM_LIST), L"Small") << "refreshed after Apply";
}

TEST_F(SettingsPagesTest, ChannelRowsSkipDevicesTheClientDoesNotListAndKeepTheirOwnNames)
{
    Control("plug serial=CHB name=Bravo analog-in=2 analog-out=2");
    Connect();
    // Plugged after the client's enumeration: its channels have no device.
    Control("plug serial=CHA name=Alpha analog-in=2 analog-out=2");
    Control("select all");

    FormInChannels inputs(m_client);
    FormOutChannels outputs(m_client);
    ReversedInChannels reversed(m_client);
    OverfullInChannels overfull(m_client);
    ASSERT_TRUE(m_probe.Create(inputs));
    ASSERT_TRUE(m_probe.Create(outputs));
    ASSERT_TRUE(m_probe.Create(reversed));
    ASSERT_TRUE(m_probe.Create(overfull));

    inputs.RefreshForm();
    EXPECT_EQ(P::Rows(P::Control(inputs, IDC_CHANNELS_LIST)),
              (Rows{{L"Bravo", L"Analog In 1"}, {L"Bravo", L"Analog In 2"}, {L"Bravo", L"SPDIF In 1"},
                    {L"Bravo", L"SPDIF In 2"}}));
    outputs.RefreshForm();
    EXPECT_EQ(P::Rows(P::Control(outputs, IDC_CHANNELS_LIST)),
              (Rows{{L"Bravo", L"Analog Out 1"}, {L"Bravo", L"Analog Out 2"}, {L"Bravo", L"SPDIF Out 1"},
                    {L"Bravo", L"SPDIF Out 2"}}));
    // The unknown device's channels first: the rows after them are right.
    reversed.RefreshForm();
    EXPECT_EQ(P::Rows(P::Control(reversed, IDC_CHANNELS_LIST)),
              (Rows{{L"Bravo", L"SPDIF In 2"}, {L"Bravo", L"SPDIF In 1"}, {L"Bravo", L"Analog In 2"},
                    {L"Bravo", L"Analog In 1"}}));
    overfull.RefreshForm();
    EXPECT_EQ(ListView_GetItemCount(P::Control(overfull, IDC_CHANNELS_LIST)), KORVEL_MAX_CHANNELS);

    // A refresh replaces the rows; a failed list leaves none.
    inputs.RefreshForm();
    EXPECT_EQ(ListView_GetItemCount(P::Control(inputs, IDC_CHANNELS_LIST)), 4);
    m_client.CloseAll();
    inputs.RefreshForm();
    EXPECT_EQ(ListView_GetItemCount(P::Control(inputs, IDC_CHANNELS_LIST)), 0);
}

TEST_F(SettingsPagesTest, ChannelColumnsShareTheListWidth)
{
    FormInChannels page(m_client);
    ASSERT_TRUE(m_probe.Create(page));
    HWND list = P::Control(page, IDC_CHANNELS_LIST);
    wchar_t title[32] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = title;
    column.cchTextMax = 32;
    ASSERT_TRUE(ListView_GetColumn(list, 0, &column));
    EXPECT_STREQ(title, L"Device");
    ASSERT_TRUE(ListView_GetColumn(list, 1, &column));
    EXPECT_STREQ(title, L"Channel name");
    EXPECT_NE(ListView_GetExtendedListViewStyle(list) & LVS_EX_FULLROWSELECT, 0u);
    EXPECT_NE(ListView_GetExtendedListViewStyle(list) & LVS_EX_GRIDLINES, 0u);

    for (int width : {500, 320}) {
        SetWindowPos(page.GetFormWindow(), nullptr, 0, 0, width, 300, SWP_NOZORDER | SWP_NOMOVE);
        RECT client{};
        GetClientRect(list, &client);
        EXPECT_EQ(ListView_GetColumnWidth(list, 0), client.right / 2) << width;
        EXPECT_EQ(ListView_GetColumnWidth(list, 1), client.right / 2) << width;
    }
}

// ---------------------------------------------------------------------------
// Records the simulator never gives.

class BufferPageScriptedTest : public ScriptedPanelTest<KorvelCplClient>
{
protected:
    void Answer(const KorvelBufferSizes& sizes)
    {
        std::vector<uint8_t> out(sizeof(sizes));
        std::memcpy(out.data(), &sizes, sizeof(sizes));
        m_server->SetOutput(IOCTL_KORVEL_GET_BUFFER_SIZES, out);
    }

    // Replies success to every request and keeps the buffer-size payloads.
    void RecordRequests()
    {
        m_server->SetReplyScript([this](uint32_t connection, const KorvelMessage& request) {
            KorvelBufferSizesSetting setting{};
            if (request.code == KORVEL_MSG_SET_BUFFER_SIZES && request.ReadPayload(setting) == 0) {
                m_sent.push_back(setting);
            }
            KorvelMessage reply;
            reply.InitReply(request, 0);
            m_server->QueueMessage(connection, reply, true);
        });
    }

    P m_probe;
    std::vector<KorvelBufferSizesSetting> m_sent; // written on the server's thread before the reply
};

TEST_F(BufferPageScriptedTest, UnknownClassesKeepTheSelectionAndApplyCarriesTheThirdWordBack)
{
    RecordRequests();
    Answer({3, 2, 0xABCD, 2999, 2999, 96, {}});
    FormBufferSettings page(m_client);
    ASSERT_TRUE(m_probe.Create(page));
    page.ShowForm();
    EXPECT_EQ(P::Selected(page, IDC_BUFFER_STREAM_LIST), L"Large");
    EXPECT_EQ(P::Selected(page, IDC_BUFFER_ASIO_LIST), L"Large");
    EXPECT_EQ(P::Text(page, IDC_BUFFER_STREAM_LATENCY), L"2.9 millisecs\n");
    EXPECT_EQ(P::Text(page, IDC_BUFFER_ASIO_LATENCY), L"2.9 millisecs\n96 samples");

    Answer({9, 7, 0x1234, 1500, 12345, 512, {}});
    page.RefreshForm();
    EXPECT_EQ(P::Selected(page, IDC_BUFFER_STREAM_LIST), L"Large");
    EXPECT_EQ(P::Selected(page, IDC_BUFFER_ASIO_LIST), L"Large");
    EXPECT_EQ(P::Text(page, IDC_BUFFER_ASIO_LATENCY), L"12.3 millisecs\n512 samples");

    // The selections and the third word just read.
    ASSERT_TRUE(P::Choose(page, IDC_BUFFER_ASIO_LIST, L"Maximum"));
    P::Click(page, IDC_BUFFER_APPLY);
    ASSERT_EQ(m_sent.size(), 1u);
    EXPECT_EQ(m_sent[0].streamingSizeClass, 3u);
    EXPECT_EQ(m_sent[0].asioSizeClass, 3u);
    EXPECT_EQ(m_sent[0].thirdWord, 0x1234u);

    // A page that never had a selection asks for the classes the driver has.
    FormBufferSettings fresh(m_client);
    ASSERT_TRUE(m_probe.Create(fresh));
    fresh.ShowForm();
    EXPECT_EQ(P::Selected(fresh, IDC_BUFFER_STREAM_LIST), L"");
    P::Click(fresh, IDC_BUFFER_APPLY);
    ASSERT_EQ(m_sent.size(), 2u);
    EXPECT_EQ(m_sent[1].streamingSizeClass, 9u);
    EXPECT_EQ(m_sent[1].asioSizeClass, 7u);
    EXPECT_EQ(m_sent[1].thirdWord, 0x1234u);
}

// ---------------------------------------------------------------------------
// Requests the device server answers.

class SettingsPagesServedTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_harness.StartSim(1), 0u);
        m_harness.StartServe(m_server);
        ASSERT_TRUE(m_harness.SyncWithServer());
        ASSERT_EQ(m_client.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
        bool changed = false;
        ASSERT_EQ(m_client.RefreshDevices(changed), 0u);
    }
    void TearDown() override
    {
        m_client.CloseAll();
        m_harness.StopServe();
    }

    ServerHarness m_harness;
    KorvelServer m_server;
    P m_probe;
    KorvelCplClient m_client;
};

TEST_F(SettingsPagesServedTest, ApplyChangesTheRateAndARefusalShowsTheErrorAndWhatTheDriverHas)
{
    FormSampleRate page(m_client);
    ASSERT_TRUE(m_probe.Create(page));
    page.ShowForm();
    ASSERT_EQ(P::Selected(page, IDC_SAMPLERATE_LIST), L"48.000 kHz");
    {
        ASSERT_TRUE(P::Choose(page, IDC_SAMPLERATE_LIST, L"44.100 kHz"));
        MessageBoxWatcher watcher;
        P::Click(page, IDC_SAMPLERATE_APPLY);
        EXPECT_TRUE(watcher.Boxes().empty());
        EXPECT_EQ(m_harness.ModelValue("stream.rate"), "44100");
        EXPECT_EQ(P::Selected(page, IDC_SAMPLERATE_LIST), L"44.100 kHz");
    }
    m_harness.Control("activity 2 1"); // audio in use
    {
        ASSERT_TRUE(P::Choose(page, IDC_SAMPLERATE_LIST, L"96.000 kHz"));
        MessageBoxWatcher watcher;
        P::Click(page, IDC_SAMPLERATE_APPLY);
        const auto boxes = watcher.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, FormErrorBox::Text(L"Changing the sample rate failed.",
                                                    KORVEL_STATUS_SOUND_DEVICE_IN_USE));
        EXPECT_EQ(boxes[0].icon, MessageBoxWatcher::ErrorIcon());
        EXPECT_EQ(m_harness.ModelValue("stream.rate"), "44100");
        EXPECT_EQ(P::Selected(page, IDC_SAMPLERATE_LIST), L"44.100 kHz");
    }
}

TEST_F(SettingsPagesServedTest, ApplyChangesTheBufferSizesAndARefusalShowsTheError)
{
    m_harness.Control("buffers 2 1 77");
    FormBufferSettings page(m_client);
    ASSERT_TRUE(m_probe.Create(page));
    page.ShowForm();
    {
        ASSERT_TRUE(P::Choose(page, IDC_BUFFER_STREAM_LIST, L"Large"));
        ASSERT_TRUE(P::Choose(page, IDC_BUFFER_ASIO_LIST, L"Maximum"));
        MessageBoxWatcher watcher;
        P::Click(page, IDC_BUFFER_APPLY);
        EXPECT_TRUE(watcher.Boxes().empty());
        EXPECT_EQ(m_harness.ModelValue("stream.bufferClass"), "3");
        EXPECT_EQ(m_harness.ModelValue("stream.asioClass"), "3");
        EXPECT_EQ(m_harness.ModelValue("stream.thirdWord"), "77");
        EXPECT_EQ(P::Text(page, IDC_BUFFER_STREAM_LATENCY), L"8.0 millisecs\n");
        EXPECT_EQ(P::Text(page, IDC_BUFFER_ASIO_LATENCY), L"10.6 millisecs\n512 samples");
    }
    m_harness.Control("activity 3 1");
    {
        ASSERT_TRUE(P::Choose(page, IDC_BUFFER_STREAM_LIST, L"Minimum"));
        MessageBoxWatcher watcher;
        P::Click(page, IDC_BUFFER_APPLY);
        const auto boxes = watcher.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, FormErrorBox::Text(L"Changing the buffer sizes failed.",
                                                    KORVEL_STATUS_SOUND_DEVICE_IN_USE));
        EXPECT_EQ(m_harness.ModelValue("stream.bufferClass"), "3");
        EXPECT_EQ(P::Selected(page, IDC_BUFFER_STREAM_LIST), L"Large");
    }
}
