#include "FormMixer.h"

#include "KorvelStatus.h"

#include <algorithm>
#include <cstdio>

namespace {

// The labels of a pair by its left pin's type, in an input row and in an
// output column (null: "unknown").
struct PairFormats
{
    uint8_t type;
    const wchar_t* input;
    const wchar_t* output;
};

constexpr PairFormats kPairFormats[] = {
    {KORVEL_MIXER_PIN_ANALOG, L"Analog In %u/%u", L"Analog Out %u/%u"},
    {KORVEL_MIXER_PIN_SPDIF, L"SPDIF In %u/%u", L"SPDIF Out %u/%u"},
    {KORVEL_MIXER_PIN_OUT, L"Out %u/%u", nullptr},
    {KORVEL_MIXER_PIN_SPDIF_OUT, L"SPDIF %u/%u", nullptr},
    {KORVEL_MIXER_PIN_VIRTUAL, L"Virtual In %u/%u", L"Virtual In %u/%u"},
};

const PairFormats* FormatsOf(uint8_t type)
{
    for (const PairFormats& formats : kPairFormats) {
        if (formats.type == type) {
            return &formats;
        }
    }
    return nullptr;
}

std::wstring PairLabel(const wchar_t* format, const KorvelMixerPin& left,
                       const KorvelMixerPin& right)
{
    if (format == nullptr) {
        return L"unknown";
    }
    wchar_t text[64];
    std::swprintf(text, 64, format, left.channel + 1u, right.channel + 1u);
    return text;
}

// A hidden instance's dialog procedure: the measured templates need no handling.
INT_PTR CALLBACK MeasureDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

void TakeGain(KorvelMixerGain& entry, const KorvelMixerGain& answer)
{
    entry.flags = answer.flags;
    entry.gain = answer.gain;
}

void TakeWeight(KorvelMixerWeight& entry, const KorvelMixerWeight& answer)
{
    entry.weight = answer.weight;
    entry.flags = answer.flags;
}

void TakeLevel(KorvelMixerLevel& entry, const KorvelMixerLevel& answer)
{
    entry.level = answer.level;
}

// Appends the level entries of a pair (no level read yet: the floor); the first of the two.
template <size_t N>
const KorvelMixerLevel* AppendLevels(std::array<KorvelMixerLevel, N>& list, uint32_t& count,
                                     const KorvelMixerPin& left, const KorvelMixerPin& right)
{
    KorvelMixerLevel* pair = &list[count];
    pair[0] = KorvelMixerLevel{left, INT16_MIN, 0};
    pair[1] = KorvelMixerLevel{right, INT16_MIN, 0};
    count += 2;
    return pair;
}

// Reads the values of the first `count` entries with `request` (the device
// request for the whole list), then has every control show them, or show
// the failure. Nothing is requested without entries. The request is made
// on a copy and only the values are taken back: the pin descriptors the
// window sends stay as it built them whatever a failed or faulty answer
// left in the buffer, so the next tick or notification can recover.
template <class Control, class Entry, size_t N, class Request>
void ReadInto(KorvelDevice* device, Request request, std::array<Entry, N>& entries, uint32_t count,
              void (*take)(Entry&, const Entry&), std::vector<std::unique_ptr<Control>>& controls,
              void (Control::*show)(), void (Control::*fail)())
{
    if (count == 0) {
        return;
    }
    std::array<Entry, N> answer = entries;
    const bool read =
        device != nullptr && (device->*request)(answer.data(), count) == KORVEL_STATUS_SUCCESS;
    for (uint32_t i = 0; read && i < count; ++i) {
        take(entries[i], answer[i]);
    }
    for (auto& control : controls) {
        ((*control).*(read ? show : fail))();
    }
}

} // namespace

FormMixer::FormMixer(KorvelCplClient& client, uint32_t keyWord0, uint32_t keyWord1,
                     bool hardwareInputs)
    : m_client(client), m_key{keyWord0, keyWord1}, m_hardwareInputs(hardwareInputs)
{
}

FormMixer::~FormMixer()
{
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) {
        TearDown();
    }
}

HWND FormMixer::CreateMixer(HINSTANCE instance, HWND owner)
{
    m_instance = instance;
    if (Create(instance, IDD, owner) == nullptr) {
        return nullptr;
    }
    m_headerBrush.reset(::CreateSolidBrush(HEADER_COLOR));
    return m_hWnd;
}

void FormMixer::Show()
{
    if (m_hWnd == nullptr || IsWindowVisible()) {
        return;
    }
    TearDown();
    Build();
    ShowWindow(SW_SHOW);
    ::SetForegroundWindow(m_hWnd);
}

void FormMixer::Rebuild()
{
    if (m_hWnd == nullptr || !IsWindowVisible()) {
        return;
    }
    ShowWindow(SW_HIDE);
    TearDown();
    Build();
    ShowWindow(SW_SHOW);
}

void FormMixer::Close()
{
    ShowWindow(SW_HIDE);
    TearDown();
}

void FormMixer::ReadGains()
{
    ReadInto(Device(), &KorvelDevice::GetMixerOutputGains, m_gains, m_gainCount, TakeGain,
             m_outputStrips, &FormStereoOutputCtrl::ShowGains,
             &FormStereoOutputCtrl::ShowGainFailure);
}

void FormMixer::ReadWeights()
{
    ReadInto(Device(), &KorvelDevice::GetMixerWeights, m_weights, m_weightCount, TakeWeight,
             m_cells, &FormMixerConnection::ShowWeights, &FormMixerConnection::ShowWeightFailure);
}

bool FormMixer::ProcessWindowMessage(HWND /*hwnd*/, UINT message, WPARAM wParam, LPARAM lParam,
                                     LRESULT& result)
{
    switch (message) {
    case WM_INITDIALOG: {
        ShowWindow(SW_HIDE);
        const auto instance =
            reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(m_hWnd, GWLP_HINSTANCE));
        SendMessage(
            WM_SETICON, ICON_BIG,
            reinterpret_cast<LPARAM>(::LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME))));
        result = TRUE;
        return true;
    }
    case WM_CTLCOLORSTATIC:
        if (!IsHeader(reinterpret_cast<HWND>(lParam))) {
            return false;
        }
        ::SetBkColor(reinterpret_cast<HDC>(wParam), HEADER_COLOR);
        result = reinterpret_cast<LRESULT>(m_headerBrush.get());
        return true;
    case WM_TIMER:
        if (wParam == TIMER_ID) {
            OnTimer();
        }
        result = 0;
        return true;
    case WM_CLOSE:
        Close();
        result = 0;
        return true;
    case WM_DESTROY:
        TearDown();
        return false;
    default:
        return false;
    }
}

std::wstring FormMixer::InputPairLabel(const KorvelMixerPin& left, const KorvelMixerPin& right)
{
    const PairFormats* formats = FormatsOf(left.type);
    return PairLabel(formats != nullptr ? formats->input : nullptr, left, right);
}

std::wstring FormMixer::OutputPairLabel(const KorvelMixerPin& left, const KorvelMixerPin& right)
{
    const PairFormats* formats = FormatsOf(left.type);
    return PairLabel(formats != nullptr ? formats->output : nullptr, left, right);
}

void FormMixer::Build()
{
    SetWindowText(m_hardwareInputs ? L"Hardware Inputs Mixer" : L"Software Outputs Mixer");
    KorvelDevice* device = Device();
    if (device == nullptr) {
        return;
    }
    ReadPins(*device);
    if (m_outputPinCount == 0 && m_inputPinCount == 0) {
        ShowNoPins();
        return;
    }
    OpenViews();
    const SIZE strip = TemplateSize<FormStereoInputCtrl>();
    BuildRows(strip);
    AddHeader(m_hardwareInputs ? L"Hardware Inputs" : L"Software Outputs", 0, 0, strip.cx);
    BuildCells(strip, TemplateSize<FormMixerConnection>());
    BuildColumns(strip, TemplateSize<FormStereoOutputCtrl>());
    FitToChildren();
    ReadWeights();
    ReadGains();
    m_timer = ::SetTimer(m_hWnd, TIMER_ID, TIMER_PERIOD_MS, nullptr);
}

void FormMixer::TearDown()
{
    if (m_timer != 0) {
        ::KillTimer(m_hWnd, m_timer);
        m_timer = 0;
    }
    auto destroyAll = [](auto& forms) {
        for (auto& form : forms) {
            ::DestroyWindow(form->GetFormWindow());
        }
        forms.clear();
    };
    destroyAll(m_outputStrips);
    destroyAll(m_inputStrips);
    destroyAll(m_cells);
    for (HWND control : m_bars) {
        ::DestroyWindow(control);
    }
    for (HWND control : m_headers) {
        ::DestroyWindow(control);
    }
    m_bars.clear();
    m_headers.clear();
    m_noPins.reset();
    m_outputPins = {};
    m_inputPins = {};
    m_outputLevels = {};
    m_inputLevels = {};
    m_gains = {};
    m_weights = {};
    m_outputPinCount = m_inputPinCount = 0;
    m_outputLevelCount = m_inputLevelCount = 0;
    m_gainCount = m_weightCount = 0;
    m_panelView.CloseAll();
    m_mixerView.CloseAll();
}

void FormMixer::ReadPins(KorvelDevice& device)
{
    const uint32_t inputSet =
        m_hardwareInputs ? KORVEL_MIXER_PINSET_HARDWARE_INPUT : KORVEL_MIXER_PINSET_SOFTWARE_OUTPUT;
    if (device.GetMixerPins(KORVEL_MIXER_PINSET_OUTPUT, m_outputPins.data(), MAX_OUTPUT_PINS,
                            m_outputPinCount) != KORVEL_STATUS_SUCCESS) {
        m_outputPinCount = 0;
    }
    if (device.GetMixerPins(inputSet, m_inputPins.data(), MAX_INPUT_PINS, m_inputPinCount) !=
        KORVEL_STATUS_SUCCESS) {
        m_inputPinCount = 0;
    }
}

void FormMixer::ShowNoPins()
{
    m_noPins = std::make_unique<FormStaticText>(L"No mixer pins.");
    HWND text = m_noPins->CreateForm(m_instance, m_hWnd);
    if (text == nullptr) {
        m_noPins.reset();
        return;
    }
    ::SetWindowPos(text, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(text, SW_SHOW);
    FitToChildren();
}

void FormMixer::OpenViews()
{
    const wchar_t* name = m_client.ControlDeviceName();
    // Each only when not open yet; a view that cannot open leaves the window working.
    (void)m_panelView.OpenPanelView(name);
    (void)m_mixerView.OpenMixerView(name);
}

void FormMixer::BuildRows(SIZE strip)
{
    const uint32_t rows = m_inputPinCount / 2; // an odd last pin has no pair
    for (uint32_t r = 0; r < rows; ++r) {
        const KorvelMixerPin& left = m_inputPins[2 * r];
        const KorvelMixerPin& right = m_inputPins[2 * r + 1];
        const KorvelMixerLevel* levels =
            AppendLevels(m_inputLevels, m_inputLevelCount, left, right);
        const int y = HEADER + static_cast<int>(r) * strip.cy;
        AddChild(m_inputStrips,
                 std::make_unique<FormStereoInputCtrl>(InputPairLabel(left, right), &levels[0],
                                                       &levels[1]),
                 BAR, y + BAR);
        AddBar(0, y, BAR, strip.cy + BAR);
        AddBar(BAR, y, strip.cx, BAR);
    }
    if (rows > 0) {
        AddBar(BAR, HEADER + static_cast<int>(rows) * strip.cy, strip.cx, BAR);
    }
}

void FormMixer::BuildCells(SIZE strip, SIZE cell)
{
    const uint32_t rows = m_inputPinCount / 2;
    const uint32_t columns = m_outputPinCount / 2;
    for (uint32_t c = 0; c < columns; ++c) {
        const KorvelMixerPin& outLeft = m_outputPins[2 * c];
        const KorvelMixerPin& outRight = m_outputPins[2 * c + 1];
        for (uint32_t r = 0; r < rows; ++r) {
            const KorvelMixerPin& inLeft = m_inputPins[2 * r];
            const KorvelMixerPin& inRight = m_inputPins[2 * r + 1];
            KorvelMixerWeight* four = &m_weights[m_weightCount];
            four[0] = KorvelMixerWeight{outLeft, inLeft, 0, 0, 0};
            four[1] = KorvelMixerWeight{outRight, inLeft, 0, 0, 0};
            four[2] = KorvelMixerWeight{outLeft, inRight, 0, 0, 0};
            four[3] = KorvelMixerWeight{outRight, inRight, 0, 0, 0};
            m_weightCount += 4;
            AddChild(m_cells, std::make_unique<FormMixerConnection>(m_client, m_key, four),
                     strip.cx + BAR + static_cast<int>(c) * (cell.cx + BAR),
                     HEADER + static_cast<int>(r) * cell.cy);
        }
    }
}

void FormMixer::BuildColumns(SIZE strip, SIZE column)
{
    const uint32_t columns = m_outputPinCount / 2;
    const int top = HEADER + static_cast<int>(m_inputPinCount / 2) * strip.cy;
    for (uint32_t c = 0; c < columns; ++c) {
        const KorvelMixerPin& left = m_outputPins[2 * c];
        const KorvelMixerPin& right = m_outputPins[2 * c + 1];
        const KorvelMixerLevel* levels =
            AppendLevels(m_outputLevels, m_outputLevelCount, left, right);
        KorvelMixerGain* gains = &m_gains[m_gainCount];
        gains[0] = KorvelMixerGain{left, 0, 0, 0};
        gains[1] = KorvelMixerGain{right, 0, 0, 0};
        m_gainCount += 2;
        const int x = strip.cx + BAR + static_cast<int>(c) * (column.cx + BAR);
        AddChild(m_outputStrips,
                 std::make_unique<FormStereoOutputCtrl>(m_client, m_key,
                                                        OutputPairLabel(left, right), &gains[0],
                                                        &gains[1], &levels[0], &levels[1]),
                 x, top);
        AddBar(x - BAR, 0, BAR, top + column.cy);
    }
    if (m_outputPinCount > 0) {
        // The lower headers always split the columns' width 3 : 2.
        const int width = static_cast<int>(columns) * (column.cx + BAR);
        const int first = width * 3 / 5;
        AddHeader(L"Hardware Outputs", strip.cx, top + column.cy, first);
        AddHeader(L"Virtual Inputs", strip.cx + first, top + column.cy, width - first);
    }
}

void FormMixer::AddHeader(const wchar_t* text, int x, int y, int width)
{
    HWND label =
        ::CreateWindowExW(0, L"Static", text, WS_CHILD | WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE, x,
                          y, width, HEADER, m_hWnd, nullptr, m_instance, nullptr);
    if (label != nullptr) {
        ::SendMessageW(label, WM_SETFONT, SendMessage(WM_GETFONT), FALSE);
        m_headers.push_back(label);
    }
}

void FormMixer::AddBar(int x, int y, int width, int height)
{
    HWND bar = ::CreateWindowExW(WS_EX_STATICEDGE, L"Static", L"", WS_CHILD | WS_VISIBLE, x, y,
                                 width, height, m_hWnd, nullptr, m_instance, nullptr);
    if (bar != nullptr) {
        // Bars lie over the strips' empty margins.
        ::SetWindowPos(bar, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        m_bars.push_back(bar);
    }
}

void FormMixer::FitToChildren()
{
    RECT content{0, 0, 0, 0};
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT rect{};
        ::GetWindowRect(child, &rect);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        content.right = std::max(content.right, rect.right);
        content.bottom = std::max(content.bottom, rect.bottom);
    }
    ::AdjustWindowRectEx(&content, GetStyle(), FALSE, GetExStyle());
    SetWindowPos(nullptr, 0, 0, content.right - content.left, content.bottom - content.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    KeepInWorkArea();
}

void FormMixer::KeepInWorkArea()
{
    // A large mixer opened near the bottom or the right of the screen is
    // moved back so that its faders and buttons can be reached; one larger
    // than the work area keeps its caption on screen.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return;
    }
    const RECT& work = monitor.rcWork;
    RECT window{};
    GetWindowRect(&window);
    const int x =
        std::max(std::min(window.left, work.right - (window.right - window.left)), work.left);
    const int y =
        std::max(std::min(window.top, work.bottom - (window.bottom - window.top)), work.top);
    if (x != window.left || y != window.top) {
        SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void FormMixer::OnTimer()
{
    KorvelDevice* device = Device();
    ReadInto(device, &KorvelDevice::GetMixerOutputLevels, m_outputLevels, m_outputLevelCount,
             TakeLevel, m_outputStrips, &FormStereoOutputCtrl::ShowLevels,
             &FormStereoOutputCtrl::DropLevels);
    ReadInto(device, &KorvelDevice::GetMixerInputLevels, m_inputLevels, m_inputLevelCount,
             TakeLevel, m_inputStrips, &FormStereoInputCtrl::ShowLevels,
             &FormStereoInputCtrl::DropLevels);
}

bool FormMixer::IsHeader(HWND control) const
{
    return std::find(m_headers.begin(), m_headers.end(), control) != m_headers.end();
}

template <class Ctrl>
Ctrl* FormMixer::AddChild(std::vector<std::unique_ptr<Ctrl>>& list, std::unique_ptr<Ctrl> ctrl,
                          int x, int y)
{
    HWND window = ctrl->CreateForm(m_instance, m_hWnd);
    if (window == nullptr) {
        return nullptr;
    }
    ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(window, SW_SHOW);
    list.push_back(std::move(ctrl));
    return list.back().get();
}

template <class Ctrl> SIZE FormMixer::TemplateSize()
{
    // A hidden instance made only to be measured: the templates give the
    // sizes in dialog units, which the dialog manager turns into pixels for
    // the panel's font.
    RECT rect{};
    HWND window =
        ::CreateDialogParamW(m_instance, MAKEINTRESOURCEW(Ctrl::IDD), m_hWnd, MeasureDialogProc, 0);
    if (window != nullptr) {
        ::GetWindowRect(window, &rect);
        ::DestroyWindow(window);
    }
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}
