#include "WtlCommandBar.h"

#include <windowsx.h>

#include <string>

namespace {

constexpr UINT_PTR SubclassId = 1;
// Button command ids: first id + top-level menu index.
constexpr int FirstButtonId = 0xC000;

std::wstring MenuItemText(HMENU menu, int index)
{
    wchar_t text[128]{};
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_STRING;
    item.dwTypeData = text;
    item.cch = static_cast<UINT>(std::size(text));
    if (!::GetMenuItemInfoW(menu, static_cast<UINT>(index), TRUE, &item))
        return {};
    return text;
}

} // namespace

WtlCommandBar::~WtlCommandBar()
{
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd))
        ::RemoveWindowSubclass(m_hWnd, SubclassProc, SubclassId);
}

HWND WtlCommandBar::Create(HWND parent, DWORD style)
{
    m_hWnd = ::CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                               style | TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TRANSPARENT, 0, 0, 100,
                               22, parent, nullptr,
                               reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE)),
                               nullptr);
    if (m_hWnd == nullptr)
        return nullptr;
    SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessage(TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_MIXEDBUTTONS);
    SendMessage(TB_SETBITMAPSIZE, 0, MAKELPARAM(0, 0));
    ::SetWindowSubclass(m_hWnd, SubclassProc, SubclassId, reinterpret_cast<DWORD_PTR>(this));
    return m_hWnd;
}

bool WtlCommandBar::AttachMenu(HMENU menu)
{
    m_menu.reset(menu);
    if (m_hWnd == nullptr)
        return false;
    RemoveButtons();
    const int count = menu != nullptr ? ::GetMenuItemCount(menu) : 0;
    for (int i = 0; i < count; ++i) {
        const std::wstring text = MenuItemText(menu, i);
        TBBUTTON button{};
        button.iBitmap = I_IMAGENONE;
        button.idCommand = FirstButtonId + i;
        button.fsState = TBSTATE_ENABLED;
        button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT | BTNS_NOPREFIX;
        button.iString = reinterpret_cast<INT_PTR>(text.c_str());
        if (!SendMessage(TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button)))
            return false;
    }
    SendMessage(TB_AUTOSIZE);
    return true;
}

bool WtlCommandBar::LoadImages(HINSTANCE instance, int toolbarId)
{
    m_images.reset(::ImageList_LoadImageW(instance, MAKEINTRESOURCEW(toolbarId), 16, 0,
                                          RGB(192, 192, 192), IMAGE_BITMAP, LR_CREATEDIBSECTION));
    return m_images != nullptr;
}

bool WtlCommandBar::OpenMenu(int index)
{
    HMENU popup = m_menu != nullptr ? ::GetSubMenu(m_menu.get(), index) : nullptr;
    if (popup == nullptr)
        return false;
    RECT button{};
    SendMessage(TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&button));
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&button), 2);
    const int id = FirstButtonId + index;
    SendMessage(TB_PRESSBUTTON, static_cast<WPARAM>(id), TRUE);
    HWND owner = ::GetAncestor(m_hWnd, GA_ROOT);
    ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN, button.left, button.bottom, 0, owner, nullptr);
    SendMessage(TB_PRESSBUTTON, static_cast<WPARAM>(id), FALSE);
    return true;
}

void WtlCommandBar::RemoveButtons()
{
    while (SendMessage(TB_BUTTONCOUNT) > 0)
        SendMessage(TB_DELETEBUTTON, 0);
}

LRESULT CALLBACK WtlCommandBar::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                             UINT_PTR /*id*/, DWORD_PTR data)
{
    if (message == WM_LBUTTONDOWN) {
        POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        const int index = static_cast<int>(::SendMessageW(hwnd, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&point)));
        if (index >= 0 && reinterpret_cast<WtlCommandBar*>(data)->OpenMenu(index))
            return 0;
    } else if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(hwnd, SubclassProc, SubclassId);
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}
