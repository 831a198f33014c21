// The mixer window against a scripted driver, for what the simulator never
// reports: odd and single pins, the exact requests a strip writes, and an
// answer that rewrites the pins the window sent.
#include "FormMixer.h"
#include "KorvelCplClient.h"
#include "KorvelIoctl.h"
#include "ScriptedPanelTest.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr const wchar_t* PLACEMENT_ROOT = L"Software\\VANTREL\\quillo-tests\\ScriptedMixers";

template <class Record> std::vector<uint8_t> Bytes(const std::vector<Record>& records)
{
    std::vector<uint8_t> bytes(records.size() * sizeof(Record));
    if (!bytes.empty()) {
        std::memcpy(bytes.data(), records.data(), bytes.size());
    }
    return bytes;
}

template <class Record> Record RecordOf(const std::vector<uint8_t>& bytes, size_t index = 0)
{
    Record record{};
    std::memcpy(&record, bytes.data() + index * sizeof(Record), sizeof(Record));
    return record;
}

std::vector<KorvelMixerPin> AnalogPins(uint8_t count)
{
    std::vector<KorvelMixerPin> pins;
    for (uint8_t c = 0; c < count; ++c) {
        pins.push_back(KorvelMixerPin{KORVEL_MIXER_PIN_ANALOG, c, {0, 0}});
    }
    return pins;
}

class FormMixerScriptedTest : public ScriptedPanelTest<KorvelCplClient>
{
protected:
    void TearDown() override
    {
        m_mixer.reset();
        if (m_frame != nullptr) {
            DestroyWindow(m_frame);
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, PLACEMENT_ROOT);
        ScriptedPanelTest::TearDown();
    }

    // One device whose every pin set is `pins`; its hardware inputs mixer, shown.
    void ShowMixer(const std::vector<KorvelMixerPin>& pins)
    {
        KorvelDeviceInfo device{};
        device.key = {7, 9};
        device.flags = KORVEL_DEVICE_FLAG_HIGH_SPEED;
        m_server->SetDevices({device});
        m_server->SetOutput(IOCTL_KORVEL_GET_MIXER_PINS, Bytes(pins));
        bool changed = false;
        ASSERT_EQ(m_client.RefreshDevices(changed), 0u);
        m_frame = CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        m_mixer = std::make_unique<FormMixer>(m_client, 7, 9, true, PLACEMENT_ROOT);
        ASSERT_NE(m_mixer->CreateMixer(GetModuleHandleW(nullptr), m_frame), nullptr);
        m_mixer->Show();
    }

    std::vector<ScriptedPipeServer::Call> CallsOf(uint32_t code) const
    {
        std::vector<ScriptedPipeServer::Call> calls;
        for (const auto& call : m_server->Calls()) {
            if (call.code == code) {
                calls.push_back(call);
            }
        }
        return calls;
    }

    HWND m_frame = nullptr;
    std::unique_ptr<FormMixer> m_mixer;
};

TEST_F(FormMixerScriptedTest, AnOddPinCountIgnoresTheLastPin)
{
    ShowMixer(AnalogPins(3));
    EXPECT_EQ(m_mixer->ColumnCount(), 1u);
    EXPECT_EQ(m_mixer->RowCount(), 1u);
    EXPECT_EQ(m_mixer->CellCount(), 1u);
    EXPECT_EQ(m_mixer->WeightCount(), 4u);
    EXPECT_EQ(m_mixer->GainCount(), 2u);
    EXPECT_EQ(m_mixer->OutputLevelCount() + m_mixer->InputLevelCount(), 4u);
    // The cell's four entries in their order: out L / in L, out R / in L, out L / in R, out R / in
    // R.
    const auto reads = CallsOf(IOCTL_KORVEL_GET_MIXER_WEIGHTS);
    ASSERT_FALSE(reads.empty());
    ASSERT_EQ(reads.back().in.size(), 4 * sizeof(KorvelMixerWeight));
    const uint8_t expected[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (size_t i = 0; i < 4; ++i) {
        const auto entry = RecordOf<KorvelMixerWeight>(reads.back().in, i);
        EXPECT_EQ(entry.output.channel, expected[i][0]) << i;
        EXPECT_EQ(entry.input.channel, expected[i][1]) << i;
    }
}

TEST_F(FormMixerScriptedTest, ASingleOutputPinGivesNoColumnAndNoLowerHeader)
{
    ShowMixer(AnalogPins(1));
    EXPECT_EQ(m_mixer->ColumnCount(), 0u);
    EXPECT_EQ(m_mixer->RowCount(), 0u);
    EXPECT_EQ(m_mixer->NoPinsText(), nullptr);
    // A header over no column would name nothing: only the inputs' remains.
    ASSERT_EQ(m_mixer->HeaderLabels().size(), 1u);
    EXPECT_EQ(WtlWindow(m_mixer->HeaderLabels()[0]).GetWindowText(), L"Hardware Inputs");
    // With no entries nothing is requested.
    m_mixer->ReadGains();
    m_mixer->ReadWeights();
    SendMessageW(*m_mixer, WM_TIMER, FormMixer::TIMER_ID, 0);
    EXPECT_EQ(m_server->CountCalls(IOCTL_KORVEL_GET_MIXER_OUTPUT_GAINS), 0u);
    EXPECT_EQ(m_server->CountCalls(IOCTL_KORVEL_GET_MIXER_WEIGHTS), 0u);
    EXPECT_EQ(m_server->CountCalls(IOCTL_KORVEL_GET_MIXER_OUTPUT_LEVELS), 0u);
}

TEST_F(FormMixerScriptedTest, AStripWritesOneEntryPerRequestLeftFirst)
{
    ShowMixer(AnalogPins(4));
    HWND strip = m_mixer->OutputStrip(1).GetFormWindow();
    SendMessageW(strip, WM_COMMAND, MAKEWPARAM(IDC_STRIP_ZERO_DB, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(strip, IDC_STRIP_ZERO_DB)));
    const auto writes = CallsOf(IOCTL_KORVEL_SET_MIXER_OUTPUT_GAINS);
    ASSERT_EQ(writes.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        ASSERT_EQ(writes[i].in.size(), sizeof(KorvelMixerGain));
        const auto entry = RecordOf<KorvelMixerGain>(writes[i].in);
        EXPECT_EQ(entry.pin.channel, 2 + i) << "the second pair, left first";
        EXPECT_EQ(entry.gain, 0);
    }
}

TEST_F(FormMixerScriptedTest, AnAnswerThatRewritesThePinsDoesNotChangeTheNextRequest)
{
    ShowMixer(AnalogPins(2));
    // A faulty driver answers every level request with other pins.
    std::vector<KorvelMixerLevel> foreign(2, KorvelMixerLevel{{9, 9, {1, 1}}, -1000, 7});
    m_server->SetOutput(IOCTL_KORVEL_GET_MIXER_OUTPUT_LEVELS, Bytes(foreign));
    for (int tick = 0; tick < 2; ++tick) {
        SendMessageW(*m_mixer, WM_TIMER, FormMixer::TIMER_ID, 0);
    }
    EXPECT_EQ(m_mixer->OutputStrip(0).Meter(true).GetPosition(), 5000) << "the level is taken";
    const auto reads = CallsOf(IOCTL_KORVEL_GET_MIXER_OUTPUT_LEVELS);
    ASSERT_GE(reads.size(), 2u);
    const auto last = RecordOf<KorvelMixerLevel>(reads.back().in, 1);
    EXPECT_EQ(last.pin.type, KORVEL_MIXER_PIN_ANALOG);
    EXPECT_EQ(last.pin.channel, 1);
    EXPECT_EQ(last.reserved, 0);
}

// Outputs whose kinds alternate: each run of virtual inputs or hardware
// outputs has its own header, spanning exactly its own columns.
TEST_F(FormMixerScriptedTest, EachRunOfHardwareOrVirtualColumnsHasItsOwnHeader)
{
    auto pin = [](uint8_t type, uint8_t channel) { return KorvelMixerPin{type, channel, {0, 0}}; };
    const uint8_t virtuals = KORVEL_MIXER_PIN_VIRTUAL;
    const uint8_t analog = KORVEL_MIXER_PIN_ANALOG;
    ShowMixer({pin(virtuals, 0), pin(virtuals, 1), pin(analog, 0), pin(analog, 1), pin(analog, 2),
               pin(analog, 3), pin(virtuals, 2), pin(virtuals, 3)});
    ASSERT_EQ(m_mixer->ColumnCount(), 4u);
    const auto& headers = m_mixer->HeaderLabels();
    ASSERT_EQ(headers.size(), 4u);
    struct Run
    {
        const wchar_t* text;
        size_t first;
        size_t last;
    };
    const Run runs[] = {{L"Virtual Inputs", 0, 0}, {L"Hardware Outputs", 1, 2},
                        {L"Virtual Inputs", 3, 3}};
    auto screen = [](HWND window) {
        RECT rect{};
        GetWindowRect(window, &rect);
        return rect;
    };
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const RECT header = screen(headers[i + 1]);
        EXPECT_EQ(WtlWindow(headers[i + 1]).GetWindowText(), runs[i].text);
        EXPECT_EQ(header.left, screen(m_mixer->OutputStrip(runs[i].first).GetFormWindow()).left);
        EXPECT_EQ(header.right, screen(m_mixer->OutputStrip(runs[i].last).GetFormWindow()).right);
        EXPECT_EQ(header.top, screen(m_mixer->OutputStrip(runs[i].first).GetFormWindow()).bottom);
    }
}

} // namespace
