#pragma once
// A top-level window the window tests put their controls and pages in; it
// records the notifications and commands that reach it.
#include "WtlWindowImpl.h"

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

namespace cpl_test {

// The test program's instance, with the common controls initialised once.
HINSTANCE TestInstance();

// Dispatches the calling thread's messages until `done` holds; false after
// `timeoutMs`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// The text of a tree item (up to 63 characters).
std::wstring TreeItemText(HWND tree, HTREEITEM item);

class WtlTestHost : public WtlWindowImpl
{
public:
    struct Notification
    {
        UINT_PTR idFrom;
        UINT code;
    };

    // Creates the host (not shown) with a client of about cx x cy.
    bool CreateHost(int cx = 600, int cy = 400);

    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

    std::vector<Notification> notifications;
    std::vector<WPARAM> commands;
    LRESULT notifyAnswer = 0;

protected:
    const wchar_t* GetWindowClassName() const override { return L"CplWtlTestHost"; }
};

} // namespace cpl_test
