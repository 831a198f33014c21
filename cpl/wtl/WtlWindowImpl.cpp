#include "WtlWindowImpl.h"

WtlWindowImpl::~WtlWindowImpl()
{
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) {
        ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
        ::DestroyWindow(m_hWnd);
    }
}

bool WtlWindowImpl::RegisterWindowClass(WNDCLASSEXW& wc)
{
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = StaticWindowProc;
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND WtlWindowImpl::Create(HINSTANCE instance, HWND parent, RECT rect, const wchar_t* title,
                           DWORD style, DWORD exStyle, HMENU menuOrId)
{
    WNDCLASSEXW wc{};
    wc.style = CS_DBLCLKS;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<const wchar_t*>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = GetWindowClassName();
    PrepareWindowClass(wc);
    if (!RegisterWindowClass(wc))
        return nullptr;
    return ::CreateWindowExW(exStyle, GetWindowClassName(), title, style, rect.left, rect.top,
                             rect.right - rect.left, rect.bottom - rect.top, parent, menuOrId,
                             instance, this);
}

LRESULT WtlWindowImpl::DefaultWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK WtlWindowImpl::StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<WtlWindowImpl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->m_hWnd = hwnd;
    }
    auto* self = reinterpret_cast<WtlWindowImpl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr)
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    return self->Dispatch(hwnd, message, wParam, lParam);
}

LRESULT WtlWindowImpl::Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!ProcessWindowMessage(hwnd, message, wParam, lParam, result))
        result = DefaultWindowProc(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        m_hWnd = nullptr;
        OnFinalMessage(hwnd);
    }
    return result;
}
