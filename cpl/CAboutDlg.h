#pragma once
// The about box: the program's version, its maker and a link to the
// maker's web site, opened in the browser. OK has the focus and is the
// default button, so Enter closes the box; the link opens on a click, or on
// Enter or Space once Tab has moved the focus to it.
#include "CplDesktopShell.h"
#include "WtlDialogImpl.h"
#include "WtlHyperLink.h"
#include "resource.h"

#include <string>

class CAboutDlg : public WtlDialogImpl
{
public:
    static constexpr int IDD = IDD_ABOUTBOX;
    static constexpr const wchar_t* MAKER = L"Vantrel";
    static constexpr const wchar_t* WEB_ADDRESS = L"https://www.vantrel.example/";

    // Runs the box modally over `owner`; the dialog's result (IDOK).
    INT_PTR DoModal(HINSTANCE instance, HWND owner);

    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

    // The three lines of the text under the product line.
    static std::wstring AboutText();
protected:
    // Opens a clicked link's address in the browser, unelevated.
    virtual void OpenAddress(const wchar_t* address);

private:
    void OnInitDialog();
    void CenterOnParent();

    WtlHyperLink m_link;
    CplDesktopShell m_shell;
};
