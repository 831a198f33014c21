#include "MixerFaderScale.h"

#include "MixerValueScale.h"
#include "WtlGdiOwners.h"

#include <commctrl.h>

#include <algorithm>

namespace {

constexpr UINT_PTR SubclassId = 1;

bool Overlaps(const RECT& a, const RECT& b)
{
    return a.top < b.bottom && b.top < a.bottom;
}

} // namespace

MixerFaderScale::~MixerFaderScale()
{
    Detach();
}

bool MixerFaderScale::Attach(HWND scale, HWND fader)
{
    Detach();
    if (scale == nullptr || fader == nullptr)
        return false;
    m_hWnd = scale;
    m_fader = fader;
    MakeFont();
    ::SetWindowSubclass(m_hWnd, SubclassProc, SubclassId, reinterpret_cast<DWORD_PTR>(this));
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    return true;
}

void MixerFaderScale::Detach()
{
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd))
        ::RemoveWindowSubclass(m_hWnd, SubclassProc, SubclassId);
    m_hWnd = nullptr;
    m_fader = nullptr;
    m_font.reset();
}

void MixerFaderScale::MakeFont()
{
    auto font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    LOGFONTW face{};
    if (::GetObjectW(font != nullptr ? font : ::GetStockObject(DEFAULT_GUI_FONT), sizeof(face),
                     &face) == 0) {
        m_font.reset();
        return;
    }
    face.lfHeight = ::MulDiv(face.lfHeight, 4, 5);
    face.lfWidth = 0;
    m_font.reset(::CreateFontIndirectW(&face));
}

std::wstring MixerFaderScale::Label(int value)
{
    const std::wstring number = std::to_wstring(value / 100);
    return value > 0 ? L"+" + number : number;
}

int MixerFaderScale::ThumbCentre(int position) const
{
    RECT channel{};
    RECT thumb{};
    ::SendMessageW(m_fader, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    ::SendMessageW(m_fader, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    // Some versions of the control give a vertical bar's channel as if the
    // bar were horizontal; its long side is the travel either way.
    int top = channel.top;
    int bottom = channel.bottom;
    if (channel.right - channel.left > channel.bottom - channel.top) {
        top = channel.left;
        bottom = channel.right;
    }
    const int minimum = static_cast<int>(::SendMessageW(m_fader, TBM_GETRANGEMIN, 0, 0));
    const int maximum = static_cast<int>(::SendMessageW(m_fader, TBM_GETRANGEMAX, 0, 0));
    const int range = std::max(maximum - minimum, 1);
    // The thumb moves inside the channel: its top edge runs over the
    // channel's length less its own.
    const int thumbLength = thumb.bottom - thumb.top;
    const int travel = bottom - top - thumbLength;
    const auto offset = static_cast<long long>(travel) * (position - minimum) / range;
    return top + static_cast<int>(offset) + thumbLength / 2;
}

std::vector<MixerFaderScale::Mark> MixerFaderScale::Marks() const
{
    std::vector<Mark> marks;
    if (m_hWnd == nullptr)
        return marks;
    for (int value : VALUES) {
        POINT centre{0, ThumbCentre(MixerValueScale::SliderFromValue(value))};
        ::MapWindowPoints(m_fader, m_hWnd, &centre, 1);
        marks.push_back(Mark{value, centre.y});
    }
    return marks;
}

void MixerFaderScale::Paint(HDC hdc) const
{
    RECT client{};
    GetClientRect(&client);
    // The strip's colours, as a static control of its own would ask for them.
    auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(
        GetParent(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(hdc), reinterpret_cast<LPARAM>(m_hWnd)));
    ::FillRect(hdc, &client, brush != nullptr ? brush : ::GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ font = m_font != nullptr ? static_cast<HGDIOBJ>(m_font.get())
                                     : ::GetStockObject(DEFAULT_GUI_FONT);
    WtlSelectObject selectFont(hdc, font);
    ::SetBkMode(hdc, TRANSPARENT);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(hdc, &metrics);
    const int height = metrics.tmHeight;

    // 0 dB first, then the rest from the top; a label that would run into
    // one already drawn (a short fader) is left out.
    std::vector<Mark> marks = Marks();
    std::stable_partition(marks.begin(), marks.end(), [](const Mark& m) { return m.value == 0; });
    std::vector<RECT> drawn;
    for (const Mark& mark : marks) {
        RECT box{client.left, mark.y - height / 2, client.right, mark.y - height / 2 + height};
        if (std::any_of(drawn.begin(), drawn.end(), [&](const RECT& r) { return Overlaps(r, box); }))
            continue;
        const std::wstring text = Label(mark.value);
        ::DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &box,
                    DT_CENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
        drawn.push_back(box);
    }
}

LRESULT CALLBACK MixerFaderScale::SubclassProc(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam, UINT_PTR /*id*/, DWORD_PTR data)
{
    auto* scale = reinterpret_cast<MixerFaderScale*>(data);
    switch (message) {
    case WM_ERASEBKGND:
        return 1; // the paint fills the background
    case WM_PAINT: {
        WtlPaintDC paint(hwnd);
        scale->Paint(paint.Get());
        return 0;
    }
    case WM_PRINTCLIENT:
        scale->Paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SETFONT: {
        // The strip's font changed (a new DPI): the static keeps it, and
        // the labels follow.
        const LRESULT result = ::DefSubclassProc(hwnd, message, wParam, lParam);
        scale->MakeFont();
        ::InvalidateRect(hwnd, nullptr, FALSE);
        return result;
    }
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(hwnd, SubclassProc, SubclassId);
        scale->m_hWnd = nullptr;
        scale->m_fader = nullptr;
        scale->m_font.reset();
        break;
    default:
        break;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}
