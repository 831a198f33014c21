#pragma once

#include "FormBase.h"
#include "FormErrorBox.h"
#include "WtlDialogImpl.h"
#include "WtlDialogResize.h"
#include "WtlLifetime.h"

#include <cstdint>
#include <span>
#include <utility>

// Binds a page class T to FormBase: a modeless child dialog from template
// T::IDD with dialog resize and the default operations.
//
// A page declares its resize rule as a static table, which hides the empty
// one here:
//     static std::span<const WtlDialogResize::Rule> ResizeRules()
//     {
//         static constexpr WtlDialogResize::Rule rules[] = {
//             {IDC_PAGE_TREE, WtlDialogResize::SizeX | WtlDialogResize::SizeY}};
//         return rules;
//     }
// A page's ProcessWindowMessage handles its own messages first and passes
// the rest to FormBaseImpl<T>::ProcessWindowMessage.
//
// A handler that opens a message box or a dialog runs it through RunModal
// (or ShowErrorBox / ShowWarningBox) and returns at once on false: the
// modal loop dispatches messages, and a device set that changed meanwhile
// may have deleted the page.
//
// Each page lays out its own controls (OnFormLayout) after the resize rules
// have given them their new size, so a list's columns fit the list as it is
// now, not as it was before the resize.
//
// Pages get the client edge. The parts of a mixer window (strips, cells) are
// bare and say so with `static constexpr bool CLIENT_EDGE = false;`: they
// never get the edge rather than losing it again: under Wine each frame
// change of a child in a window being built repainted the whole of another
// open mixer window, so a mixer took seconds to open beside another.
template <class T>
class FormBaseImpl : public WtlDialogImpl, public FormBase
{
public:
    // Creates the page's dialog (hidden, as the template says) as a child of
    // `parent`; OnInitForm runs during the call. Null on failure.
    HWND CreateForm(HINSTANCE instance, HWND parent) { return Create(instance, T::IDD, parent); }

    HWND GetFormWindow() override { return m_hWnd; }
    LRESULT OnInitForm() override { return 0; }
    void ShowForm() override
    {
        RefreshForm();
        ShowWindow(SW_SHOW);
    }
    void HideForm() override { ShowWindow(SW_HIDE); }
    void OnFormLayout() override {}
    void OnFormReserved() override {}
    void OnFormTimer(UINT_PTR /*id*/) override {}

    static std::span<const WtlDialogResize::Rule> ResizeRules() { return {}; }
    static constexpr bool CLIENT_EDGE = true;

    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override
    {
        switch (message) {
        case WM_INITDIALOG:
            result = InitForm(hwnd);
            return true;
        case WM_TIMER:
            OnFormTimer(static_cast<UINT_PTR>(wParam));
            result = 0;
            return true;
        case WM_SIZE:
            m_resize.UpdateLayout(LOWORD(lParam), HIWORD(lParam));
            OnFormLayout();
            return false;
        default:
            return false;
        }
    }

protected:
    // Runs `modal` (which opens a box or a dialog); false when this page
    // was deleted before it returned.
    template <class Modal>
    bool RunModal(Modal&& modal)
    {
        const WtlLifetime::Watch alive = m_lifetime.Observe();
        std::forward<Modal>(modal)();
        return static_cast<bool>(alive);
    }
    bool ShowErrorBox(const wchar_t* message, uint32_t status)
    {
        return RunModal([&] { FormErrorBox::Show(m_hWnd, message, status); });
    }
    bool ShowWarningBox(const wchar_t* text)
    {
        return RunModal([&] { FormErrorBox::ShowWarning(m_hWnd, text); });
    }

    WtlDialogResize m_resize;

private:
    WtlLifetime m_lifetime;

    LRESULT InitForm(HWND hwnd)
    {
        // The client edge goes on first so that the size recorded as the
        // layout's reference is the one the controls are laid out in.
        if (T::CLIENT_EDGE) {
            ModifyStyleEx(0, WS_EX_CLIENTEDGE, SWP_NOSIZE);
        }
        m_resize.Init(hwnd, false, true);
        for (const WtlDialogResize::Rule& rule : T::ResizeRules())
            m_resize.AddRule(rule.controlId, rule.flags);
        return OnInitForm();
    }
};
