#pragma once

#include "WtlGdiOwners.h"
#include "WtlWindow.h"

// The frame's menu shown as a flat toolbar, one button per top-level menu
// item, for a rebar band. A click on a button opens that item's submenu with
// TrackPopupMenu below the button; the chosen command goes to the top-level
// window that holds the bar as WM_COMMAND.
//
// The keyboard reaches the menus as it reaches a menu bar, through
// PreTranslateMessage in the frame's message filter: F10, or Alt pressed
// and released alone, puts the bar into menu mode (the bar has the focus,
// the first button is hot, Left and Right move, Enter, Up or Down open the
// hot menu, a mnemonic letter opens its menu, Esc, Alt or F10 leave and the
// focus goes back); Alt+letter opens the menu whose mnemonic it is.
class WtlCommandBar : public WtlWindow
{
public:
    ~WtlCommandBar();

    HWND Create(HWND parent, DWORD style);
    // Takes ownership of `menu` and makes one button per top-level item.
    bool AttachMenu(HMENU menu);
    // Loads bitmap `toolbarId` (16 x 16 images) as the bar's command images.
    bool LoadImages(HINSTANCE instance, int toolbarId);
    // Opens the submenu of button `index` and returns when it closes;
    // false when there is no such submenu.
    bool OpenMenu(int index);

    // The keys of the bar's top-level window; true when one was used.
    bool PreTranslateMessage(const MSG* msg);
    bool IsInMenuMode() const { return m_menuMode; }
    // The button whose menu `mnemonic` opens ("&File": F or f), -1 for none.
    int MnemonicIndex(wchar_t mnemonic) const;

    HMENU GetMenu() const { return m_menu.get(); }
    HIMAGELIST GetImageList() const { return m_images.get(); }

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    void RemoveButtons();
    bool IsForOurWindow(HWND hwnd) const;
    bool OnSysKey(const MSG* msg);
    void EnterMenuMode();
    void LeaveMenuMode(bool restoreFocus);
    // Opens a menu from the keyboard; the focus goes back when it closes.
    void OpenMenuFromKeyboard(int index);
    bool OnMenuModeKey(WPARAM key);
    void MoveHotItem(int step);
    int HotItem() const;
    int ButtonCount() const;

    WtlMenu m_menu;
    WtlImageList m_images;
    bool m_menuMode = false;
    bool m_altAlone = false;  // Alt is down and no other key came since
    bool m_tracking = false;  // a keyboard-opened menu is up
    HWND m_focusBefore = nullptr;
};
