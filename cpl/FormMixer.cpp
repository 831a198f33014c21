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

// A scroll bar over the whole of an axis, its thumb the view.
void SetScrollRange(HWND window, int bar, const WtlFrozenAxis& axis, int view)
{
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE;
    info.nMax = axis.Range() > 0 ? axis.Total() - 1 : 0;
    info.nPage = axis.Range() > 0 ? static_cast<UINT>(view) : 0;
    ::SetScrollInfo(window, bar, &info, TRUE);
}

bool HasStyle(HWND window, DWORD style)
{
    return (static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE)) & style) != 0;
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
    case WM_SIZE:
        Layout();
        return false;
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (lParam != 0) {
            return false; // a control's, not the window's
        }
        OnScroll(message == WM_HSCROLL ? SB_HORZ : SB_VERT, LOWORD(wParam));
        result = 0;
        return true;
    case WM_MOUSEWHEEL: {
        // A row per notch down the rows; with Shift held, a column per
        // notch across. A touch pad's fractions of a notch scroll as far.
        const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
        const bool across = (GET_KEYSTATE_WPARAM(wParam) & MK_SHIFT) != 0;
        const int step = ::MulDiv(delta, across ? m_parts.pitchX() : m_parts.row.cy, WHEEL_DELTA);
        ScrollTo(across ? POINT{m_scroll.x - step, m_scroll.y}
                        : POINT{m_scroll.x, m_scroll.y - step});
        result = 0;
        return true;
    }
    case WM_NEXTDLGCTL:
        // Tab and the dialog keys move the focus in the default handling;
        // once it has moved, its control is brought into view.
        PostMessage(WM_MIXER_SHOW_FOCUS);
        return false;
    case WM_MIXER_SHOW_FOCUS:
        ScrollFocusIntoView();
        result = 0;
        return true;
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
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
    if (!MeasureParts()) {
        return;
    }
    CreatePanes();
    BuildRows();
    BuildCrosspoints();
    BuildColumns();
    m_built = true;
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
    m_built = false;
    // The panes take their children with them; the forms' objects go after their windows.
    for (WtlScrollPane* pane : {&m_rowsPane, &m_gridPane, &m_columnsPane}) {
        if (pane->m_hWnd != nullptr) {
            ::DestroyWindow(pane->m_hWnd);
        }
    }
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
    m_scroll = POINT{0, 0};
    if (m_hWnd != nullptr) {
        ::ShowScrollBar(m_hWnd, SB_BOTH, FALSE);
    }
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

bool FormMixer::MeasureParts()
{
    // From the templates, in this window's font: the strips are child
    // dialogs of the same font, so the dialog manager gives them these sizes.
    Parts parts;
    parts.bar = WtlDpi::Scale(m_hWnd, BAR);
    parts.header = WtlDpi::Scale(m_hWnd, HEADER);
    parts.rows = static_cast<int>(m_inputPinCount / 2); // an odd last pin has no pair
    parts.columns = static_cast<int>(m_outputPinCount / 2);
    if (!WtlDialogTemplate::SizeInPixels(m_instance, FormStereoInputCtrl::IDD, m_hWnd, parts.row) ||
        !WtlDialogTemplate::SizeInPixels(m_instance, FormStereoOutputCtrl::IDD, m_hWnd,
                                         parts.column)) {
        return false;
    }
    m_parts = parts;
    return true;
}

void FormMixer::CreatePanes()
{
    const RECT none{0, 0, 0, 0};
    m_rowsPane.Create(m_instance, m_hWnd, none);
    m_gridPane.Create(m_instance, m_hWnd, none);
    m_columnsPane.Create(m_instance, m_hWnd, none);
    m_headers.push_back(AddHeader(m_hWnd, m_hardwareInputs ? L"Hardware Inputs" : L"Software Outputs",
                                  0, 0, m_parts.rowsWidth()));
}

void FormMixer::BuildRows()
{
    const Parts& p = m_parts;
    for (int r = 0; r < p.rows; ++r) {
        const KorvelMixerPin& left = m_inputPins[2 * r];
        const KorvelMixerPin& right = m_inputPins[2 * r + 1];
        const KorvelMixerLevel* levels =
            AppendLevels(m_inputLevels, m_inputLevelCount, left, right);
        const int y = r * p.row.cy;
        AddChild(m_rowsPane, m_inputStrips,
                 std::make_unique<FormStereoInputCtrl>(MixerPinLabels::InputPair(left, right),
                                                       &levels[0], &levels[1]),
                 p.bar, y + p.bar);
        AddBar(m_rowsPane, 0, y, p.bar, p.row.cy + p.bar);
        AddBar(m_rowsPane, p.bar, y, p.row.cx, p.bar);
    }
    if (p.rows > 0) {
        AddBar(m_rowsPane, p.bar, p.rows * p.row.cy, p.row.cx, p.bar);
    }
}

void FormMixer::BuildCrosspoints()
{
    const Parts& p = m_parts;
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
    HWND grid = m_crosspoints->Create(m_instance, m_gridPane.m_hWnd, geometry, 0, 0);
    if (grid == nullptr) {
        m_crosspoints.reset();
        return;
    }
    ::SendMessageW(grid, WM_SETFONT, SendMessage(WM_GETFONT), FALSE);
    m_crosspoints->OnFocusMoved([this](const RECT& cell) { ScrollIntoView(cell); });
}

void FormMixer::BuildColumns()
{
    const Parts& p = m_parts;
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
        AddChild(m_columnsPane, m_outputStrips,
                 std::make_unique<FormStereoOutputCtrl>(
                     m_client, m_key, MixerPinLabels::OutputPair(left, right), &gains[0],
                     &gains[1], &levels[0], &levels[1]),
                 x + p.bar, 0);
        AddBar(m_columnsPane, x, 0, p.bar, p.column.cy);
    }
    BuildLowerHeaders();
}

void FormMixer::BuildLowerHeaders()
{
    // Each run of hardware outputs or of virtual inputs gets a header
    // spanning exactly its own columns.
    const Parts& p = m_parts;
    for (int first = 0; first < p.columns;) {
        const bool virtuals = MixerPinLabels::IsVirtual(m_outputPins[2 * first]);
        int last = first;
        while (last + 1 < p.columns &&
               MixerPinLabels::IsVirtual(m_outputPins[2 * (last + 1)]) == virtuals) {
            ++last;
        }
        const int left = first * p.pitchX() + p.bar;
        const int right = last * p.pitchX() + p.bar + p.column.cx;
        m_headers.push_back(AddHeader(m_columnsPane.m_hWnd,
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
                                   m_parts.header, parent, nullptr, m_instance, nullptr);
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

WtlFrozenAxis FormMixer::HorizontalAxis(int view) const
{
    const Parts& p = m_parts;
    return WtlFrozenAxis({0, p.rowsWidth(), p.columns * p.pitchX(), p.pitchX()}, view);
}

WtlFrozenAxis FormMixer::VerticalAxis(int view) const
{
    const Parts& p = m_parts;
    return WtlFrozenAxis({p.header, p.bandHeight(), p.rows * p.row.cy + p.bar, p.row.cy}, view);
}

void FormMixer::ShowNeededScrollBars()
{
    // The client area without scroll bars, then each bar that the content
    // needs; a bar taking room can make the other one needed too.
    RECT client{};
    GetClientRect(&client);
    const int fullWidth =
        client.right + (HasStyle(m_hWnd, WS_VSCROLL) ? ::GetSystemMetrics(SM_CXVSCROLL) : 0);
    const int fullHeight =
        client.bottom + (HasStyle(m_hWnd, WS_HSCROLL) ? ::GetSystemMetrics(SM_CYHSCROLL) : 0);
    bool across = false;
    bool down = false;
    for (int pass = 0; pass < 2; ++pass) {
        const int width = fullWidth - (down ? ::GetSystemMetrics(SM_CXVSCROLL) : 0);
        const int height = fullHeight - (across ? ::GetSystemMetrics(SM_CYHSCROLL) : 0);
        across = HorizontalAxis(width).Range() > 0;
        down = VerticalAxis(height).Range() > 0;
    }
    if (across != HasStyle(m_hWnd, WS_HSCROLL)) {
        ::ShowScrollBar(m_hWnd, SB_HORZ, across);
    }
    if (down != HasStyle(m_hWnd, WS_VSCROLL)) {
        ::ShowScrollBar(m_hWnd, SB_VERT, down);
    }
}

void FormMixer::Layout()
{
    if (!m_built || m_inLayout) {
        return;
    }
    m_inLayout = true;
    ShowNeededScrollBars();
    RECT client{};
    GetClientRect(&client);
    const WtlFrozenAxis across = HorizontalAxis(client.right);
    const WtlFrozenAxis down = VerticalAxis(client.bottom);
    const int header = m_parts.header;
    const int left = across.FrozenShown();
    const int width = across.BodyShown();
    const int height = down.BodyShown();
    ::MoveWindow(m_rowsPane.m_hWnd, 0, header, left, height, TRUE);
    ::MoveWindow(m_gridPane.m_hWnd, left, header, width, height, TRUE);
    ::MoveWindow(m_columnsPane.m_hWnd, left, header + height, width, down.FrozenShown(), TRUE);
    SetScrollRange(m_hWnd, SB_HORZ, across, client.right);
    SetScrollRange(m_hWnd, SB_VERT, down, client.bottom);
    m_inLayout = false;
    ScrollTo(m_scroll);
}

void FormMixer::ScrollTo(POINT position)
{
    if (!m_built) {
        return;
    }
    RECT client{};
    GetClientRect(&client);
    const WtlFrozenAxis across = HorizontalAxis(client.right);
    const WtlFrozenAxis down = VerticalAxis(client.bottom);
    m_scroll = POINT{std::clamp<LONG>(position.x, 0, across.Range()),
                     std::clamp<LONG>(position.y, 0, down.Range())};
    m_rowsPane.ScrollTo(across.FrozenOffset(m_scroll.x), down.BodyOffset(m_scroll.y));
    m_gridPane.ScrollTo(across.BodyOffset(m_scroll.x), down.BodyOffset(m_scroll.y));
    m_columnsPane.ScrollTo(across.BodyOffset(m_scroll.x), down.FrozenOffset(m_scroll.y));
    ::SetScrollPos(m_hWnd, SB_HORZ, m_scroll.x, TRUE);
    ::SetScrollPos(m_hWnd, SB_VERT, m_scroll.y, TRUE);
}

void FormMixer::OnScroll(int bar, int code)
{
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    ::GetScrollInfo(m_hWnd, bar, &info);
    const bool across = bar == SB_HORZ;
    const int line = across ? m_parts.pitchX() : m_parts.row.cy;
    const int page = std::max(static_cast<int>(info.nPage) - line, line);
    int position = across ? m_scroll.x : m_scroll.y;
    switch (code) {
    case SB_LINEUP:
        position -= line;
        break;
    case SB_LINEDOWN:
        position += line;
        break;
    case SB_PAGEUP:
        position -= page;
        break;
    case SB_PAGEDOWN:
        position += page;
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        position = info.nTrackPos;
        break;
    case SB_TOP:
        position = 0;
        break;
    case SB_BOTTOM:
        position = info.nMax;
        break;
    default:
        return;
    }
    ScrollTo(across ? POINT{position, m_scroll.y} : POINT{m_scroll.x, position});
}

void FormMixer::ScrollIntoView(const RECT& cell)
{
    RECT client{};
    GetClientRect(&client);
    const int x = HorizontalAxis(client.right).PositionShowing(m_scroll.x, cell.left, cell.right);
    const int y = VerticalAxis(client.bottom).PositionShowing(m_scroll.y, cell.top, cell.bottom);
    ScrollTo(POINT{x, y});
}

void FormMixer::ScrollFocusIntoView()
{
    HWND focus = ::GetFocus();
    if (!m_built || focus == nullptr) {
        return;
    }
    if (m_crosspoints && focus == m_crosspoints->Grid().m_hWnd) {
        const WtlCellGrid& grid = m_crosspoints->Grid();
        ScrollIntoView(grid.CellRect(grid.FocusColumn(), grid.FocusRow()));
        return;
    }
    // A strip's control: along the axis its pane scrolls with the crosspoints.
    const bool inColumns = ::IsChild(m_columnsPane.m_hWnd, focus) != FALSE;
    if (!inColumns && !::IsChild(m_rowsPane.m_hWnd, focus)) {
        return;
    }
    const WtlScrollPane& pane = inColumns ? m_columnsPane : m_rowsPane;
    RECT control{};
    ::GetWindowRect(focus, &control);
    ::MapWindowPoints(nullptr, pane.m_hWnd, reinterpret_cast<POINT*>(&control), 2);
    ::OffsetRect(&control, pane.Offset().x, pane.Offset().y);
    RECT client{};
    GetClientRect(&client);
    POINT position = m_scroll;
    if (inColumns) {
        position.x =
            HorizontalAxis(client.right).PositionShowing(m_scroll.x, control.left, control.right);
    } else {
        position.y =
            VerticalAxis(client.bottom).PositionShowing(m_scroll.y, control.top, control.bottom);
    }
    ScrollTo(position);
}

SIZE FormMixer::ContentWindowSize(bool withBars) const
{
    RECT window{0, 0, HorizontalAxis(0).Total(), VerticalAxis(0).Total()};
    if (withBars) {
        window.right += ::GetSystemMetrics(SM_CXVSCROLL);
        window.bottom += ::GetSystemMetrics(SM_CYHSCROLL);
    }
    ::AdjustWindowRectEx(&window, GetStyle() & ~(WS_HSCROLL | WS_VSCROLL), FALSE, GetExStyle());
    return SIZE{window.right - window.left, window.bottom - window.top};
}

RECT FormMixer::WorkArea() const
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    }
    return monitor.rcWork;
}

void FormMixer::OnGetMinMaxInfo(MINMAXINFO& info) const
{
    if (!m_built) {
        return;
    }
    // At most the content (with room for bars that a narrower side needs)
    // and the work area; at least the corner, one row and one column.
    const RECT work = WorkArea();
    const SIZE most = ContentWindowSize(true);
    info.ptMaxTrackSize.x = std::min<LONG>(most.cx, work.right - work.left);
    info.ptMaxTrackSize.y = std::min<LONG>(most.cy, work.bottom - work.top);
    info.ptMaxSize = info.ptMaxTrackSize;
    info.ptMaxPosition = POINT{work.left, work.top};
    RECT least{0, 0, m_parts.rowsWidth() + m_parts.pitchX() + ::GetSystemMetrics(SM_CXVSCROLL),
               m_parts.header + m_parts.row.cy + ::GetSystemMetrics(SM_CYHSCROLL)};
    ::AdjustWindowRectEx(&least, GetStyle() & ~(WS_HSCROLL | WS_VSCROLL), FALSE, GetExStyle());
    info.ptMinTrackSize.x = std::min(least.right - least.left, info.ptMaxTrackSize.x);
    info.ptMinTrackSize.y = std::min(least.bottom - least.top, info.ptMaxTrackSize.y);
}

void FormMixer::PlaceOnOpen()
{
    // The kept rectangle, else the content's size where the window is; then
    // no larger than the work area (a side cut short makes room for the
    // other side's scroll bar) and moved into it.
    RECT window{};
    GetWindowRect(&window);
    const SIZE content = ContentWindowSize(false);
    window.right = window.left + content.cx;
    window.bottom = window.top + content.cy;
    WtlRegistrySetting setting(m_placementKey.c_str());
    RECT kept{};
    const bool restored = CplWindowPlacement::Read(setting, kept);
    if (restored) {
        window = kept;
    }
    const RECT work = WorkArea();
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
    const SIZE most = ContentWindowSize(true);
    width = std::min({width, workWidth, static_cast<int>(most.cx)});
    height = std::min({height, workHeight, static_cast<int>(most.cy)});
    const int x = std::clamp<int>(window.left, work.left, work.right - width);
    const int y = std::clamp<int>(window.top, work.top, work.bottom - height);
    SetWindowPos(nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
}

void FormMixer::SavePlacement()
{
    if (!m_built || m_placementKey.empty()) {
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
