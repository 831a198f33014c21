#pragma once

#include <windows.h>

#include <vector>

// Resize state of a dialog: controls that grow or move with the right and
// bottom edges by the change of the client size since Init.
class WtlDialogResize
{
public:
    static constexpr unsigned SizeX = 0x1; // width grows with the client width
    static constexpr unsigned SizeY = 0x2; // height grows with the client height
    static constexpr unsigned MoveX = 0x4; // moves with the right edge
    static constexpr unsigned MoveY = 0x8; // moves with the bottom edge

    // One control's rule, for tables of rules.
    struct Rule
    {
        int controlId;
        unsigned flags;
    };

    // Records the dialog's initial client size (the reference of every
    // change) and, with `useMinTrackSize`, its window size as the minimum
    // tracking size. `gripper` adds a size grip at the bottom right corner.
    void Init(HWND dialog, bool gripper, bool useMinTrackSize);
    // Records the control's rectangle now; false when there is no such control.
    bool AddRule(int controlId, unsigned flags);
    // Moves and sizes the ruled controls for a client of cx x cy.
    void UpdateLayout(int cx, int cy);
    // The minimum tracking size ({0, 0} when not used), e.g. for WM_GETMINMAXINFO.
    SIZE MinTrackSize() const { return m_minTrackSize; }

private:
    struct Control
    {
        HWND hwnd;
        unsigned flags;
        RECT initial; // client coordinates of the dialog
    };

    HWND m_dialog = nullptr;
    SIZE m_initialClient{};
    SIZE m_minTrackSize{};
    std::vector<Control> m_controls;
};
