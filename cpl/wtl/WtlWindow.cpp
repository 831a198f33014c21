#include "WtlWindow.h"

namespace {

std::wstring TextOf(HWND hwnd)
{
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

} // namespace

std::wstring WtlWindow::GetWindowText() const
{
    return TextOf(m_hWnd);
}

std::wstring WtlWindow::GetDlgItemText(int id) const
{
    HWND control = GetDlgItem(id);
    return control != nullptr ? TextOf(control) : std::wstring();
}

bool WtlWindow::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags)
{
    return ModifyLong(GWL_STYLE, remove, add, swpFlags);
}

bool WtlWindow::ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags)
{
    return ModifyLong(GWL_EXSTYLE, remove, add, swpFlags);
}

bool WtlWindow::ModifyLong(int index, DWORD remove, DWORD add, UINT swpFlags)
{
    const DWORD old = static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, index));
    const DWORD changed = (old & ~remove) | add;
    if (changed == old)
        return false;
    ::SetWindowLongPtrW(m_hWnd, index, static_cast<LONG_PTR>(changed));
    if (swpFlags != 0)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | swpFlags);
    return true;
}
