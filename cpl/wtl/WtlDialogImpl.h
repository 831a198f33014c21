#pragma once

#include "WtlMessageHandler.h"
#include "WtlWindow.h"

// A dialog from a template whose messages go to ProcessWindowMessage. The
// static dialog procedure stores `this` at WM_INITDIALOG and, for a handled
// message, returns the result the way dialog procedures must: directly for
// the messages that return a value (WM_INITDIALOG, WM_CTLCOLOR*, ...), else
// through DWLP_MSGRESULT (WM_NOTIFY answers, for instance).
class WtlDialogImpl : public WtlWindow, public WtlMessageHandler
{
public:
    WtlDialogImpl() = default;
    // Destroys a modeless dialog that still exists, without dispatching to
    // this (already partly destroyed) object.
    virtual ~WtlDialogImpl();

    WtlDialogImpl(const WtlDialogImpl&) = delete;
    WtlDialogImpl& operator=(const WtlDialogImpl&) = delete;

    // Modeless dialog as a child or pop-up of `parent`. Null on failure.
    HWND Create(HINSTANCE instance, int templateId, HWND parent);
    // Modal dialog; returns what EndDialog gave, -1 when it could not be created.
    INT_PTR DoModal(HINSTANCE instance, int templateId, HWND owner);
    // Ends a modal dialog.
    BOOL EndDialog(INT_PTR result) { return ::EndDialog(m_hWnd, result); }

protected:
    // Called after WM_NCDESTROY; m_hWnd is already null.
    virtual void OnFinalMessage(HWND /*hwnd*/) {}

private:
    static INT_PTR CALLBACK StaticDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};
