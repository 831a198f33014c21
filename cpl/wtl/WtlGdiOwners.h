#pragma once
// Owners of USER/GDI handles (one owner releases each handle) and scope
// guards that undo BeginPaint, GetDC and SelectObject.
#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <utility>
#include <type_traits>

namespace wtl_detail {

struct DeleteGdiObject
{
    void operator()(void* handle) const noexcept { ::DeleteObject(static_cast<HGDIOBJ>(handle)); }
};
struct DeleteDC
{
    void operator()(HDC hdc) const noexcept { ::DeleteDC(hdc); }
};
struct DestroyIcon
{
    void operator()(HICON icon) const noexcept { ::DestroyIcon(icon); }
};
struct DestroyMenu
{
    void operator()(HMENU menu) const noexcept { ::DestroyMenu(menu); }
};
struct DestroyImageList
{
    void operator()(HIMAGELIST list) const noexcept { ::ImageList_Destroy(list); }
};

template <class Handle, class Deleter>
using Owner = std::unique_ptr<std::remove_pointer_t<Handle>, Deleter>;

} // namespace wtl_detail

using WtlBrush = wtl_detail::Owner<HBRUSH, wtl_detail::DeleteGdiObject>;
using WtlFont = wtl_detail::Owner<HFONT, wtl_detail::DeleteGdiObject>;
using WtlBitmap = wtl_detail::Owner<HBITMAP, wtl_detail::DeleteGdiObject>;
// A memory device context (CreateCompatibleDC).
using WtlMemoryDC = wtl_detail::Owner<HDC, wtl_detail::DeleteDC>;
using WtlIcon = wtl_detail::Owner<HICON, wtl_detail::DestroyIcon>;
using WtlMenu = wtl_detail::Owner<HMENU, wtl_detail::DestroyMenu>;
using WtlImageList = wtl_detail::Owner<HIMAGELIST, wtl_detail::DestroyImageList>;

// BeginPaint .. EndPaint for the scope of a WM_PAINT handler.
class WtlPaintDC
{
public:
    explicit WtlPaintDC(HWND hwnd) : m_hwnd(hwnd), m_hdc(::BeginPaint(hwnd, &m_paint)) {}
    ~WtlPaintDC() { ::EndPaint(m_hwnd, &m_paint); }
    WtlPaintDC(const WtlPaintDC&) = delete;
    WtlPaintDC& operator=(const WtlPaintDC&) = delete;

    HDC Get() const { return m_hdc; }
    const PAINTSTRUCT& Paint() const { return m_paint; }

private:
    HWND m_hwnd;
    PAINTSTRUCT m_paint{};
    HDC m_hdc;
};

// GetDC .. ReleaseDC.
class WtlClientDC
{
public:
    explicit WtlClientDC(HWND hwnd) : m_hwnd(hwnd), m_hdc(::GetDC(hwnd)) {}
    ~WtlClientDC()
    {
        if (m_hdc != nullptr)
            ::ReleaseDC(m_hwnd, m_hdc);
    }
    WtlClientDC(const WtlClientDC&) = delete;
    WtlClientDC& operator=(const WtlClientDC&) = delete;

    HDC Get() const { return m_hdc; }

private:
    HWND m_hwnd;
    HDC m_hdc;
};

// SelectObject, undone (the previous object selected again) at scope exit.
class WtlSelectObject
{
public:
    WtlSelectObject(HDC hdc, HGDIOBJ object) : m_hdc(hdc), m_previous(::SelectObject(hdc, object)) {}
    ~WtlSelectObject()
    {
        if (m_previous != nullptr && m_previous != HGDI_ERROR)
            ::SelectObject(m_hdc, m_previous);
    }
    WtlSelectObject(const WtlSelectObject&) = delete;
    WtlSelectObject& operator=(const WtlSelectObject&) = delete;

private:
    HDC m_hdc;
    HGDIOBJ m_previous;
};
