#pragma once

#include <windows.h>

// A page of the control panel as the main frame sees it: shown, hidden, laid
// out and refreshed without knowing its class. FormBaseImpl gives every
// operation but RefreshForm its default. The virtual destructor comes last.
class FormBase
{
public:
    // The page's dialog window.
    virtual HWND GetFormWindow() = 0;
    // The page's WM_INITDIALOG work; the result is WM_INITDIALOG's.
    virtual LRESULT OnInitForm() = 0;
    virtual void ShowForm() = 0;
    virtual void HideForm() = 0;
    // After the pane changed the page's size.
    virtual void OnFormLayout() = 0;
    // Not used by any page; keeps the operations' order.
    virtual void OnFormReserved() = 0;
    virtual void OnFormTimer(UINT_PTR id) = 0;
    // Re-read from the driver and redraw.
    virtual void RefreshForm() = 0;
    virtual ~FormBase() = default;
};
