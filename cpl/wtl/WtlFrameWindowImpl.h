#pragma once

#include "WtlWindowImpl.h"

// A frame window: a bar window at the top (the rebar holding the command
// bar), a status bar at the bottom and the client window between them, laid
// out again on every WM_SIZE.
class WtlFrameWindowImpl : public WtlWindowImpl
{
public:
    // Loads the accelerator table `id` (resource tables are freed with the module).
    bool LoadAccelerators(HINSTANCE instance, int id);
    // Translates a key message through the accelerators to WM_COMMAND of this frame.
    bool TranslateAccelerator(MSG* msg);

    // Places the bars and the client window in the client area.
    virtual void UpdateLayout();

    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

    HWND m_hWndToolBar = nullptr;
    HWND m_hWndStatusBar = nullptr;
    HWND m_hWndClient = nullptr;

protected:
    HACCEL m_accelerators = nullptr;
};
