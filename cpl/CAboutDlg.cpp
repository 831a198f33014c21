#include "CAboutDlg.h"

#include <commctrl.h>

#include <cstdio>

INT_PTR CAboutDlg::DoModal(HINSTANCE instance, HWND owner)
{
    // The hyperlink's window class.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LINK_CLASS};
    ::InitCommonControlsEx(&controls);
    return WtlDialogImpl::DoModal(instance, IDD, owner);
}

std::wstring CAboutDlg::AboutText()
{
    wchar_t text[128];
    std::swprintf(text, 128, L"Vantrel Device Driver\nVersion %u.%u.%u\nCopyright (C) %ls",
                  static_cast<unsigned>(QUILLO_VERSION_MAJOR),
                  static_cast<unsigned>(QUILLO_VERSION_MINOR),
                  static_cast<unsigned>(QUILLO_VERSION_PATCH), MAKER);
    return text;
}

void CAboutDlg::OpenAddress(const wchar_t* address)
{
    (void)m_shell.Open(address); // a browser that does not start shows nothing to report
}

void CAboutDlg::OnInitDialog()
{
    CenterOnParent();
    SetDlgItemText(IDC_ABOUT_TEXT, AboutText().c_str());
    if (m_link.Attach(GetDlgItem(IDC_ABOUT_LINK))) {
        m_link.FitToText();
    }
    // The template's first tab stop is the link; Enter on it would open the
    // browser instead of closing the box.
    SendMessage(DM_SETDEFID, IDOK);
    ::SetFocus(GetDlgItem(IDOK));
}

void CAboutDlg::CenterOnParent()
{
    HWND parent = ::GetWindow(m_hWnd, GW_OWNER);
    RECT outer{};
    if (parent == nullptr || !::GetWindowRect(parent, &outer)) {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &outer, 0);
    }
    RECT box{};
    GetWindowRect(&box);
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    const int x = outer.left + ((outer.right - outer.left) - width) / 2;
    const int y = outer.top + ((outer.bottom - outer.top) - height) / 2;
    SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CAboutDlg::ProcessWindowMessage(HWND /*hwnd*/, UINT message, WPARAM wParam, LPARAM lParam,
                                     LRESULT& result)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        result = FALSE; // the focus is set
        return true;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(LOWORD(wParam));
            result = 0;
            return true;
        }
        return false;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header != nullptr && header->idFrom == IDC_ABOUT_LINK &&
            (header->code == NM_CLICK || header->code == NM_RETURN)) {
            const wchar_t* address = reinterpret_cast<const NMLINK*>(lParam)->item.szUrl;
            OpenAddress(*address != L'\0' ? address : WEB_ADDRESS);
            result = 0;
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}
