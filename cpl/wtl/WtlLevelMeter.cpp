#include "WtlLevelMeter.h"

#include "WtlGdiOwners.h"

#include <commctrl.h>

#include <algorithm>

namespace {

constexpr UINT_PTR SubclassId = 1;

void Fill(HDC hdc, const RECT& rect, COLORREF color)
{
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
}

void WtlLevelMeter::SetPosition(int position)
{
    position = std::clamp(position, 0, m_maximum);
    if (m_hWnd == nullptr || position == m_position)
        return;
    m_position = position;
    SendMessage(PBM_SETPOS, static_cast<WPARAM>(position), 0);
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void WtlLevelMeter::Paint(HDC target) const
{
    RECT client{};
    GetClientRect(&client);
    const int width = client.right;
    const int height = client.bottom;
    if (width <= 0 || height <= 0)
        return;
    WtlBitmap bitmap(::CreateCompatibleBitmap(target, width, height));
    WtlMemoryDC memoryDC(::CreateCompatibleDC(target));
    if (memoryDC == nullptr || bitmap == nullptr)
        return;
    HDC memory = memoryDC.get();
    WtlSelectObject select(memory, bitmap.get());
    Fill(memory, client, BackColor);
    const bool vertical = (GetStyle() & PBS_VERTICAL) != 0;
    const int length = vertical ? height : width;
    // Pixel extents along the bar of the fill and of the zone starts.
    auto extent = [&](int position) {
        return static_cast<int>(static_cast<long long>(length) * position / m_maximum);
    };
    const int filled = extent(m_position);
    const int zones[3][2] = {
        {0, extent(m_maximum - m_maximum / 10)},
        {extent(m_maximum - m_maximum / 10), extent(m_maximum - m_maximum / 120)},
        {extent(m_maximum - m_maximum / 120), length}};
    const COLORREF colors[3] = {LowColor, HighColor, PeakColor};
    for (int z = 0; z < 3; ++z) {
        const int from = zones[z][0];
        const int to = std::min(zones[z][1], filled);
        if (to <= from)
            continue;
        const RECT part =
            vertical ? RECT{0, height - to, width, height - from} : RECT{from, 0, to, height};
        Fill(memory, part, colors[z]);
    }
    ::BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);
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
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(hwnd, SubclassProc, SubclassId);
        meter->m_hWnd = nullptr;
        break;
    default:
        break;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}
