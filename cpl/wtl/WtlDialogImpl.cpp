#include "WtlDialogImpl.h"

namespace {

// Messages whose result a dialog procedure returns itself instead of
// through DWLP_MSGRESULT.
bool ReturnsValueDirectly(UINT message)
{
    switch (message) {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return true;
    default:
        return false;
    }
}

} // namespace

WtlDialogImpl::~WtlDialogImpl()
{
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) {
        ::SetWindowLongPtrW(m_hWnd, DWLP_USER, 0);
        ::DestroyWindow(m_hWnd);
    }
}

HWND WtlDialogImpl::Create(HINSTANCE instance, int templateId, HWND parent)
{
    return ::CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId), parent, StaticDialogProc,
                                reinterpret_cast<LPARAM>(this));
}

INT_PTR WtlDialogImpl::DoModal(HINSTANCE instance, int templateId, HWND owner)
{
    return ::DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), owner, StaticDialogProc,
                             reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK WtlDialogImpl::StaticDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<WtlDialogImpl*>(lParam);
        ::SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->m_hWnd = hwnd;
    }
    auto* self = reinterpret_cast<WtlDialogImpl*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (self == nullptr)
        return FALSE;
    return self->Dispatch(hwnd, message, wParam, lParam);
}

INT_PTR WtlDialogImpl::Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    INT_PTR answer = FALSE;
    if (ProcessWindowMessage(hwnd, message, wParam, lParam, result)) {
        if (ReturnsValueDirectly(message)) {
            answer = static_cast<INT_PTR>(result);
        } else {
            ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
            answer = TRUE;
        }
    } else if (message == WM_INITDIALOG) {
        answer = TRUE; // unhandled: let the dialog manager set the focus
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        m_hWnd = nullptr;
        OnFinalMessage(hwnd);
    }
    return answer;
}
