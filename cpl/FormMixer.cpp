#include "FormMixer.h"

#include "CplDeviceName.h"
#include "CplWindowPlacement.h"
#include "KorvelStatus.h"
#include "MixerPinLabels.h"
#include "WtlDialogTemplate.h"
#include "WtlDpi.h"
#include "WtlRegistrySetting.h"

#include <algorithm>
#include <cwchar>

namespace {

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
// request for the whole list) into `entries`; false on failure. The request
// is made on a copy and only the values are taken back: the pin descriptors
// the window sends stay as it built them whatever a failed or faulty answer
// left in the buffer, so the next tick or notification can recover.
template <class Entry, size_t N, class Request>
bool ReadEntries(KorvelDevice* device, Request request, std::array<Entry, N>& entries,
                 uint32_t count, void (*take)(Entry&, const Entry&))
{
    std::array<Entry, N> answer = entries;
    if (device == nullptr || (device->*request)(answer.data(), count) != KORVEL_STATUS_SUCCESS) {
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        take(entries[i], answer[i]);
    }
    return true;
}

// Reads a list and has every control show it, or show the failure.
// Nothing is requested without entries.
template <class Control, class Entry, size_t N, class Request>
void ReadInto(KorvelDevice* device, Request request, std::array<Entry, N>& entries, uint32_t count,
              void (*take)(Entry&, const Entry&), std::vector<std::unique_ptr<Control>>& controls,
              void (Control::*show)(), void (Control::*fail)())
{
    if (count == 0) {
        return;
    }
    const bool read = ReadEntries(device, request, entries, count, take);
    for (auto& control : controls) {
        ((*control).*(read ? show : fail))();
    }
}

// A serial number as one registry key name: no separators, never empty.
std::wstring KeyName(const KorvelDeviceInfo& info)
{
    std::wstring name(info.serialNumber, wcsnlen(info.serialNumber, KORVEL_SERIAL_NUMBER_CHARS));
    std::replace(name.begin(), name.end(), L'\\', L'_');
    return name.empty() ? L"_" : name;
}

} // namespace

FormMixer::FormMixer(KorvelCplClient& client, uint32_t keyWord0, uint32_t keyWord1,
                     bool hardwareInputs, const wchar_t* placementRoot)
    : m_client(client), m_key{keyWord0, keyWord1}, m_hardwareInputs(hardwareInputs),
      m_placementRoot(placementRoot != nullptr ? placementRoot : PLACEMENT_ROOT)
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
    SavePlacement();
    ShowWindow(SW_HIDE);
    TearDown();
    Build();
    ShowWindow(SW_SHOW);
}

void FormMixer::Close()
{
    if (m_hWnd != nullptr && IsWindowVisible()) {
        SavePlacement();
    }
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
    if (m_weightCount == 0 || !m_crosspoints) {
        return;
    }
    if (ReadEntries(Device(), &KorvelDevice::GetMixerWeights, m_weights, m_weightCount,
                    TakeWeight)) {
        m_crosspoints->ShowWeights();
    } else {
        m_crosspoints->ShowWeightFailure();
    }
}

bool FormMixer::ProcessWindowMessage(HWND /*hwnd*/, UINT message, WPARAM wParam, LPARAM lParam,
                                     LRESULT& result)
{
    if (m_panes.ProcessMessage(message, wParam, lParam, result)) {
        return true;
    }
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
    case WM_DPICHANGED: {
        // Rebuilt at the new DPI: every pixel size follows it.
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        Rebuild();
        result = 0;
        return true;
    }
    case WM_CLOSE:
        Close();
        result = 0;
        return true;
    case WM_DESTROY:
        if (IsWindowVisible()) {
            SavePlacement();
        }
        TearDown();
        return false;
    default:
        return false;
    }
}

void FormMixer::Build()
{
    KorvelDevice* device = Device();
    const std::wstring title = m_hardwareInputs ? L"Hardware Inputs Mixer" : L"Software Outputs Mixer";
    if (device == nullptr) {
        SetWindowText(title.c_str());
        return;
    }
    const KorvelDeviceInfo info = device->Info();
    SetWindowText((title + L" - " + CplDeviceName::Of(info)).c_str());
    m_placementKey = m_placementRoot + L"\\" + KeyName(info) +
                     (m_hardwareInputs ? L"\\HardwareInputs" : L"\\SoftwareOutputs");
    ReadPins(*device);
    if (m_outputPinCount == 0 && m_inputPinCount == 0) {
        ShowNoPins();
        return;
    }
    OpenViews();
    FormMixerPanes::Parts parts;
    if (!MeasureParts(parts)) {
        return;
    }
    CreatePanes(parts);
    BuildRows();
    BuildCrosspoints();
    BuildColumns();
    PlaceOnOpen();
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
    // The panes take their children with them; the forms' objects go after their windows.
    m_panes.Destroy();
    for (HWND control : m_headers) {
        if (::IsWindow(control)) {
            ::DestroyWindow(control);
        }
    }
    m_outputStrips.clear();
    m_inputStrips.clear();
    m_crosspoints.reset();
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
    RECT rect{};
    ::GetWindowRect(text, &rect);
    RECT window{0, 0, rect.right - rect.left, rect.bottom - rect.top};
    ::AdjustWindowRectEx(&window, GetStyle() & ~(WS_HSCROLL | WS_VSCROLL), FALSE, GetExStyle());
    SetWindowPos(nullptr, 0, 0, window.right - window.left, window.bottom - window.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormMixer::OpenViews()
{
    const wchar_t* name = m_client.ControlDeviceName();
    // Each only when not open yet; a view that cannot open leaves the window working.
    (void)m_panelView.OpenPanelView(name);
    (void)m_mixerView.OpenMixerView(name);
}

bool FormMixer::MeasureParts(FormMixerPanes::Parts& parts)
{
    // From the templates, in this window's font: the strips are child
    // dialogs of the same font, so the dialog manager gives them these sizes.
    parts.bar = WtlDpi::Scale(m_hWnd, BAR);
    parts.header = WtlDpi::Scale(m_hWnd, HEADER);
    parts.rows = static_cast<int>(m_inputPinCount / 2); // an odd last pin has no pair
    parts.columns = static_cast<int>(m_outputPinCount / 2);
    if (!WtlDialogTemplate::SizeInPixels(m_instance, FormStereoInputCtrl::IDD, m_hWnd, parts.row) ||
        !WtlDialogTemplate::SizeInPixels(m_instance, FormStereoOutputCtrl::IDD, m_hWnd,
                                         parts.column)) {
        return false;
    }
    return true;
}

void FormMixer::CreatePanes(const FormMixerPanes::Parts& parts)
{
    m_panes.Create(m_instance, m_hWnd, parts);
    m_headers.push_back(AddHeader(m_hWnd, m_hardwareInputs ? L"Hardware Inputs" : L"Software Outputs",
                                  0, 0, parts.rowsWidth()));
}

void FormMixer::BuildRows()
{
    const FormMixerPanes::Parts& p = m_panes.Sizes();
    for (int r = 0; r < p.rows; ++r) {
        const KorvelMixerPin& left = m_inputPins[2 * r];
        const KorvelMixerPin& right = m_inputPins[2 * r + 1];
        const KorvelMixerLevel* levels =
            AppendLevels(m_inputLevels, m_inputLevelCount, left, right);
        const int y = r * p.row.cy;
        AddChild(m_panes.Rows(), m_inputStrips,
                 std::make_unique<FormStereoInputCtrl>(MixerPinLabels::InputPair(left, right),
                                                       &levels[0], &levels[1]),
                 p.bar, y + p.bar);
        AddBar(m_panes.Rows(), 0, y, p.bar, p.row.cy + p.bar);
        AddBar(m_panes.Rows(), p.bar, y, p.row.cx, p.bar);
    }
    if (p.rows > 0) {
        AddBar(m_panes.Rows(), p.bar, p.rows * p.row.cy, p.row.cx, p.bar);
    }
}

void FormMixer::BuildCrosspoints()
{
    const FormMixerPanes::Parts& p = m_panes.Sizes();
    for (int c = 0; c < p.columns; ++c) {
        const KorvelMixerPin& outLeft = m_outputPins[2 * c];
        const KorvelMixerPin& outRight = m_outputPins[2 * c + 1];
        for (int r = 0; r < p.rows; ++r) {
            const KorvelMixerPin& inLeft = m_inputPins[2 * r];
            const KorvelMixerPin& inRight = m_inputPins[2 * r + 1];
            KorvelMixerWeight* four = &m_weights[m_weightCount];
            four[0] = KorvelMixerWeight{outLeft, inLeft, 0, 0, 0};
            four[1] = KorvelMixerWeight{outRight, inLeft, 0, 0, 0};
            four[2] = KorvelMixerWeight{outLeft, inRight, 0, 0, 0};
            four[3] = KorvelMixerWeight{outRight, inRight, 0, 0, 0};
            m_weightCount += 4;
        }
    }
    if (p.columns == 0 || p.rows == 0) {
        return;
    }
    m_crosspoints = std::make_unique<FormMixerCrosspoints>(
        m_client, m_key, m_weights.data(), m_outputPins.data(), p.columns, m_inputPins.data(),
        p.rows);
    // Each block is as wide as a column's strip and as high as a row's; its
    // texts keep two dialog units from its edges and from each other.
    RECT inset{0, 0, 2, 2};
    ::MapDialogRect(m_hWnd, &inset);
    WtlCellGrid::Geometry geometry;
    geometry.pitchX = p.pitchX();
    geometry.pitchY = p.row.cy;
    geometry.bar = p.bar;
    geometry.insetX = inset.right;
    geometry.insetY = inset.bottom;
    HWND grid = m_crosspoints->Create(m_instance, m_panes.Crosspoints().m_hWnd, geometry, 0, 0);
    if (grid == nullptr) {
        m_crosspoints.reset();
        return;
    }
    ::SendMessageW(grid, WM_SETFONT, SendMessage(WM_GETFONT), FALSE);
    m_crosspoints->OnFocusMoved([this](const RECT& cell) { m_panes.ScrollIntoView(cell); });
    m_panes.SetGrid(&m_crosspoints->Grid());
}

void FormMixer::BuildColumns()
{
    const FormMixerPanes::Parts& p = m_panes.Sizes();
    for (int c = 0; c < p.columns; ++c) {
        const KorvelMixerPin& left = m_outputPins[2 * c];
        const KorvelMixerPin& right = m_outputPins[2 * c + 1];
        const KorvelMixerLevel* levels =
            AppendLevels(m_outputLevels, m_outputLevelCount, left, right);
        KorvelMixerGain* gains = &m_gains[m_gainCount];
        gains[0] = KorvelMixerGain{left, 0, 0, 0};
        gains[1] = KorvelMixerGain{right, 0, 0, 0};
        m_gainCount += 2;
        const int x = c * p.pitchX();
        AddChild(m_panes.Columns(), m_outputStrips,
                 std::make_unique<FormStereoOutputCtrl>(
                     m_client, m_key, MixerPinLabels::OutputPair(left, right), &gains[0],
                     &gains[1], &levels[0], &levels[1]),
                 x + p.bar, 0);
        AddBar(m_panes.Columns(), x, 0, p.bar, p.column.cy);
    }
    BuildLowerHeaders();
}

void FormMixer::BuildLowerHeaders()
{
    // Each run of hardware outputs or of virtual inputs gets a header
    // spanning exactly its own columns.
    const FormMixerPanes::Parts& p = m_panes.Sizes();
    for (int first = 0; first < p.columns;) {
        const bool virtuals = MixerPinLabels::IsVirtual(m_outputPins[2 * first]);
        int last = first;
        while (last + 1 < p.columns &&
               MixerPinLabels::IsVirtual(m_outputPins[2 * (last + 1)]) == virtuals) {
            ++last;
        }
        const int left = first * p.pitchX() + p.bar;
        const int right = last * p.pitchX() + p.bar + p.column.cx;
        m_headers.push_back(AddHeader(m_panes.Columns().m_hWnd,
                                      virtuals ? L"Virtual Inputs" : L"Hardware Outputs", left,
                                      p.column.cy, right - left));
        first = last + 1;
    }
    m_headers.erase(std::remove(m_headers.begin(), m_headers.end(), nullptr), m_headers.end());
}

HWND FormMixer::AddHeader(HWND parent, const wchar_t* text, int x, int y, int width)
{
    HWND label = ::CreateWindowExW(0, L"Static", text,
                                   WS_CHILD | WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE, x, y, width,
                                   m_panes.Sizes().header, parent, nullptr, m_instance, nullptr);
    if (label != nullptr) {
        ::SendMessageW(label, WM_SETFONT, SendMessage(WM_GETFONT), FALSE);
    }
    return label;
}

void FormMixer::AddBar(WtlScrollPane& pane, int x, int y, int width, int height)
{
    HWND bar = ::CreateWindowExW(WS_EX_STATICEDGE, L"Static", L"", WS_CHILD | WS_VISIBLE, x, y,
                                 width, height, pane.m_hWnd, nullptr, m_instance, nullptr);
    if (bar != nullptr) {
        // Bars lie over the strips' empty margins.
        ::SetWindowPos(bar, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        m_bars.push_back(bar);
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












void FormMixer::PlaceOnOpen()
{
    // The kept rectangle, else the content's size where the window is; then
    // no larger than the work area (a side cut short makes room for the
    // other side's scroll bar) and moved into it.
    RECT window{};
    GetWindowRect(&window);
    const SIZE content = m_panes.ContentWindowSize(false);
    window.right = window.left + content.cx;
    window.bottom = window.top + content.cy;
    WtlRegistrySetting setting(m_placementKey.c_str());
    RECT kept{};
    const bool restored = CplWindowPlacement::Read(setting, kept);
    if (restored) {
        window = kept;
    }
    const RECT work = m_panes.WorkArea();
    const int workWidth = work.right - work.left;
    const int workHeight = work.bottom - work.top;
    int width = window.right - window.left;
    int height = window.bottom - window.top;
    if (!restored && height > workHeight) {
        width += ::GetSystemMetrics(SM_CXVSCROLL);
    }
    if (!restored && width > workWidth) {
        height += ::GetSystemMetrics(SM_CYHSCROLL);
    }
    const SIZE most = m_panes.ContentWindowSize(true);
    width = std::min({width, workWidth, static_cast<int>(most.cx)});
    height = std::min({height, workHeight, static_cast<int>(most.cy)});
    const int x = std::clamp<int>(window.left, work.left, work.right - width);
    const int y = std::clamp<int>(window.top, work.top, work.bottom - height);
    SetWindowPos(nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    m_panes.Layout();
}

void FormMixer::SavePlacement()
{
    if (!m_panes.IsCreated() || m_placementKey.empty()) {
        return;
    }
    WtlRegistrySetting setting(m_placementKey.c_str());
    CplWindowPlacement::Save(setting, m_hWnd);
}

template <class Ctrl>
Ctrl* FormMixer::AddChild(WtlScrollPane& pane, std::vector<std::unique_ptr<Ctrl>>& list,
                          std::unique_ptr<Ctrl> ctrl, int x, int y)
{
    HWND window = ctrl->CreateForm(m_instance, pane.m_hWnd);
    if (window == nullptr) {
        return nullptr;
    }
    pane.Place(window, x, y);
    ::ShowWindow(window, SW_SHOW);
    list.push_back(std::move(ctrl));
    return list.back().get();
}
