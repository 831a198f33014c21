#include "WtlLevelMeter.h"

#include "WtlDpi.h"
#include "WtlGdiOwners.h"

#include <commctrl.h>

#include <algorithm>

namespace {

constexpr UINT_PTR SubclassId = 1;
// WM_DPICHANGED_AFTERPARENT, which the headers declare only for newer targets.
constexpr UINT DPI_CHANGED_AFTER_PARENT = 0x02E3;

void Fill(HDC hdc, const RECT& rect, COLORREF color)
{
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    ::SetBkColor(hdc, color);
    ::ExtTextOutW(hdc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

} // namespace

WtlLevelMeter::~WtlLevelMeter()
{
    Detach();
}

bool WtlLevelMeter::Attach(HWND progress, int maximum)
{
    Detach();
    if (progress == nullptr)
        return false;
    m_hWnd = progress;
    m_maximum = std::max(maximum, 1);
    m_position = 0;
    m_peak = 0;
    m_peakSince = Now();
    m_clipped = false;
    ScaleMarks();
    SendMessage(PBM_SETRANGE32, 0, m_maximum);
    SendMessage(PBM_SETPOS, 0, 0);
    ::SetWindowSubclass(m_hWnd, SubclassProc, SubclassId, reinterpret_cast<DWORD_PTR>(this));
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
    return true;
}

void WtlLevelMeter::Detach()
{
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd))
        ::RemoveWindowSubclass(m_hWnd, SubclassProc, SubclassId);
    m_hWnd = nullptr;
    m_cache.Free();
}

void WtlLevelMeter::SetPosition(int position)
{
    position = std::clamp(position, 0, m_maximum);
    if (m_hWnd == nullptr)
        return;
    bool changed = false;
    if (position != m_position) {
        m_position = position;
        SendMessage(PBM_SETPOS, static_cast<WPARAM>(position), 0);
        changed = true;
    }
    changed = UpdatePeak(Now()) || changed;
    if (position == m_maximum && !m_clipped) {
        m_clipped = true;
        changed = true;
    }
    if (changed)
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void WtlLevelMeter::ClearClip()
{
    if (!m_clipped)
        return;
    m_clipped = false;
    if (m_hWnd != nullptr)
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void WtlLevelMeter::ScaleMarks()
{
    // Once per DPI, not per paint: the meters paint fifty times a second.
    m_peakLinePx = WtlDpi::Scale(m_hWnd, PEAK_LINE_PX);
    m_clipBlockPx = WtlDpi::Scale(m_hWnd, CLIP_BLOCK_PX);
}

uint64_t WtlLevelMeter::Now() const
{
    return m_clock ? m_clock() : ::GetTickCount64();
}

bool WtlLevelMeter::UpdatePeak(uint64_t now)
{
    if (m_position >= m_peak) {
        const bool moved = m_position != m_peak;
        m_peak = m_position;
        m_peakSince = now;
        return moved;
    }
    if (now - m_peakSince < HOLD_MS)
        return false;
    m_peak = m_position;
    m_peakSince = now;
    return true;
}

int WtlLevelMeter::Extent(int position, int length) const
{
    return static_cast<int>(static_cast<long long>(length) * position / m_maximum);
}

RECT WtlLevelMeter::Span(const RECT& client, bool vertical, int from, int to)
{
    if (vertical)
        return RECT{0, client.bottom - to, client.right, client.bottom - from};
    return RECT{from, 0, to, client.bottom};
}

void WtlLevelMeter::Paint(HDC target)
{
    RECT client{};
    GetClientRect(&client);
    if (client.right <= 0 || client.bottom <= 0)
        return;
    HDC memory = m_cache.Prepare(m_hWnd, client.right, client.bottom);
    if (memory == nullptr)
        return;
    const bool vertical = (GetStyle() & PBS_VERTICAL) != 0;
    PaintBar(memory, client, vertical);
    PaintMarks(memory, client, vertical);
    ::BitBlt(target, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
}

void WtlLevelMeter::PaintBar(HDC hdc, const RECT& client, bool vertical)
{
    Fill(hdc, client, BackColor);
    const int length = vertical ? client.bottom : client.right;
    const int filled = Extent(m_position, length);
    const int highFrom = Extent(m_maximum - m_maximum / 10, length);
    const int peakFrom = Extent(m_maximum - m_maximum / 120, length);
    const int zones[3][2] = {{0, highFrom}, {highFrom, peakFrom}, {peakFrom, length}};
    const COLORREF colors[3] = {LowColor, HighColor, PeakColor};
    for (int z = 0; z < 3; ++z)
        Fill(hdc, Span(client, vertical, zones[z][0], std::min(zones[z][1], filled)), colors[z]);
}

void WtlLevelMeter::PaintMarks(HDC hdc, const RECT& client, bool vertical)
{
    const int length = vertical ? client.bottom : client.right;
    if (m_peak > m_position) {
        // The line's far edge is where the bar ended at the peak; at the
        // position itself the bar's end shows it.
        const int at = Extent(m_peak, length);
        const int thickness = std::max(1, m_peakLinePx);
        Fill(hdc, Span(client, vertical, std::max(0, at - thickness), at), PeakLineColor);
    }
    if (m_clipped) {
        const int block = std::clamp(m_clipBlockPx, 1, length);
        Fill(hdc, Span(client, vertical, length - block, length), ClipColor);
    }
}

LRESULT CALLBACK WtlLevelMeter::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                             UINT_PTR /*id*/, DWORD_PTR data)
{
    auto* meter = reinterpret_cast<WtlLevelMeter*>(data);
    switch (message) {
    case WM_ERASEBKGND:
        return 1; // the paint covers every pixel
    case WM_PAINT: {
        WtlPaintDC paint(hwnd);
        meter->Paint(paint.Get());
        return 0;
    }
    case WM_PRINTCLIENT:
        meter->Paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_LBUTTONDOWN:
        meter->ClearClip(); // the musician has seen it
        break;
    case DPI_CHANGED_AFTER_PARENT:
        meter->ScaleMarks();
        break;
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(hwnd, SubclassProc, SubclassId);
        meter->m_hWnd = nullptr;
        meter->m_cache.Free();
        break;
    default:
        break;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}
