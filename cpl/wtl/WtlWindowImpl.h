#pragma once

#include "WtlMessageHandler.h"
#include "WtlWindow.h"

// A window of our own class whose messages go to ProcessWindowMessage. One
// static window procedure serves every such window: it stores `this` at
// WM_NCCREATE and dispatches to it until WM_NCDESTROY, after which m_hWnd is
// null and OnFinalMessage runs (a self-owned window may delete itself there).
class WtlWindowImpl : public WtlWindow, public WtlMessageHandler
{
public:
    WtlWindowImpl() = default;
    // Destroys a window that still exists, without dispatching to this
    // (already partly destroyed) object.
    virtual ~WtlWindowImpl();

    WtlWindowImpl(const WtlWindowImpl&) = delete;
    WtlWindowImpl& operator=(const WtlWindowImpl&) = delete;

    // Registers a class whose window procedure is ours (`wc.lpfnWndProc` is
    // set here). True also when the class is already registered.
    static bool RegisterWindowClass(WNDCLASSEXW& wc);

    // Registers the derived class's window class on first use, then creates
    // the window. Null on failure (GetLastError tells why).
    HWND Create(HINSTANCE instance, HWND parent, RECT rect, const wchar_t* title, DWORD style,
                DWORD exStyle, HMENU menuOrId = nullptr);

protected:
    // The window class name; chosen by the derived class.
    virtual const wchar_t* GetWindowClassName() const = 0;
    // Lets a derived class set icon, cursor, background or class style
    // before its class is registered. Default: arrow, window colour, double clicks.
    virtual void PrepareWindowClass(WNDCLASSEXW& /*wc*/) const {}
    // What an unhandled message gets.
    virtual LRESULT DefaultWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Called after WM_NCDESTROY; m_hWnd is already null.
    virtual void OnFinalMessage(HWND /*hwnd*/) {}

private:
    static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};
