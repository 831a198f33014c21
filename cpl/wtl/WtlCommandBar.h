#pragma once

#include "WtlGdiOwners.h"
#include "WtlWindow.h"

// The frame's menu shown as a flat toolbar, one button per top-level menu
// item, for a rebar band. A click on a button opens that item's submenu with
// TrackPopupMenu below the button; the chosen command goes to the top-level
// window that holds the bar as WM_COMMAND.
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

    HMENU GetMenu() const { return m_menu.get(); }
    HIMAGELIST GetImageList() const { return m_images.get(); }

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    void RemoveButtons();

    WtlMenu m_menu;
    WtlImageList m_images;
};
