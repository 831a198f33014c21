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

// Where the mnemonic letter of a menu text is: after the first "&" that is
// not "&&"; npos for none.
size_t MnemonicPosition(const std::wstring& text)
{
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != L'&')
            continue;
        if (text[i + 1] != L'&')
            return i + 1;
        ++i; // "&&" is a shown ampersand
    }
    return std::wstring::npos;
}

// CharUpperW takes a single character in the low word of its argument.
wchar_t UpperCase(wchar_t c)
{
    auto* result = ::CharUpperW(reinterpret_cast<LPWSTR>(static_cast<UINT_PTR>(c)));
    return static_cast<wchar_t>(reinterpret_cast<UINT_PTR>(result));
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
        // The prefix stays: the toolbar underlines the mnemonic.
        button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
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

int WtlCommandBar::ButtonCount() const
{
    return m_hWnd != nullptr ? static_cast<int>(SendMessage(TB_BUTTONCOUNT)) : 0;
}

int WtlCommandBar::MnemonicIndex(wchar_t mnemonic) const
{
    if (m_menu == nullptr || mnemonic == 0)
        return -1;
    const wchar_t wanted = UpperCase(mnemonic);
    const int count = ::GetMenuItemCount(m_menu.get());
    for (int i = 0; i < count; ++i) {
        const std::wstring text = MenuItemText(m_menu.get(), i);
        const size_t amp = MnemonicPosition(text);
        if (amp != std::wstring::npos && UpperCase(text[amp]) == wanted)
            return i;
    }
    return -1;
}

bool WtlCommandBar::IsForOurWindow(HWND hwnd) const
{
    return m_hWnd != nullptr && hwnd != nullptr &&
           ::GetAncestor(hwnd, GA_ROOT) == ::GetAncestor(m_hWnd, GA_ROOT);
}

bool WtlCommandBar::PreTranslateMessage(const MSG* msg)
{
    if (!IsForOurWindow(msg->hwnd) || ButtonCount() == 0)
        return false;
    switch (msg->message) {
    case WM_SYSKEYDOWN:
        return OnSysKey(msg);
    case WM_SYSKEYUP:
        if (msg->wParam != VK_MENU || !m_altAlone)
            return false;
        m_altAlone = false;
        EnterMenuMode();
        return true;
    case WM_KEYDOWN:
        m_altAlone = false;
        return false;
    case WM_SYSCHAR: {
        // Before the pages' own mnemonics, which none of them has.
        const int index = MnemonicIndex(static_cast<wchar_t>(msg->wParam));
        if (index < 0)
            return false;
        OpenMenuFromKeyboard(index);
        return true;
    }
    default:
        return false;
    }
}

// Alt's own key down is kept from DefWindowProc, whose release would else
// track the frame's (absent) menu bar or its system menu.
bool WtlCommandBar::OnSysKey(const MSG* msg)
{
    const bool repeat = (msg->lParam & (1L << 30)) != 0;
    if (msg->wParam == VK_MENU) {
        if (!repeat) {
            m_altAlone = !m_menuMode; // Alt in menu mode leaves it
            if (m_menuMode)
                LeaveMenuMode(true);
        }
        return true;
    }
    m_altAlone = false;
    if (msg->wParam != VK_F10 || ::GetKeyState(VK_SHIFT) < 0) // Shift+F10: context menu
        return false;
    if (m_menuMode)
        LeaveMenuMode(true);
    else
        EnterMenuMode();
    return true;
}

void WtlCommandBar::EnterMenuMode()
{
    if (m_menuMode)
        return;
    HWND focus = ::GetFocus();
    m_focusBefore = focus != m_hWnd ? focus : nullptr;
    m_menuMode = true;
    ::SetFocus(m_hWnd);
    SendMessage(TB_SETHOTITEM, 0);
}

void WtlCommandBar::LeaveMenuMode(bool restoreFocus)
{
    if (!m_menuMode)
        return;
    m_menuMode = false;
    SendMessage(TB_SETHOTITEM, static_cast<WPARAM>(-1));
    HWND focus = m_focusBefore;
    m_focusBefore = nullptr;
    if (restoreFocus && ::GetFocus() == m_hWnd)
        ::SetFocus(focus != nullptr && ::IsWindow(focus) ? focus : ::GetAncestor(m_hWnd, GA_ROOT));
}

void WtlCommandBar::OpenMenuFromKeyboard(int index)
{
    EnterMenuMode();
    SendMessage(TB_SETHOTITEM, static_cast<WPARAM>(index));
    m_tracking = true;
    (void)OpenMenu(index);
    m_tracking = false;
    // A chosen command's WM_COMMAND is still queued: it finds the focus back.
    LeaveMenuMode(true);
}

int WtlCommandBar::HotItem() const
{
    return static_cast<int>(SendMessage(TB_GETHOTITEM));
}

void WtlCommandBar::MoveHotItem(int step)
{
    const int count = ButtonCount();
    const int hot = HotItem() < 0 ? 0 : HotItem();
    SendMessage(TB_SETHOTITEM, static_cast<WPARAM>((hot + step + count) % count));
}

// Keys that reach the bar while it has the focus in menu mode.
bool WtlCommandBar::OnMenuModeKey(WPARAM key)
{
    switch (key) {
    case VK_LEFT:
        MoveHotItem(-1);
        return true;
    case VK_RIGHT:
        MoveHotItem(1);
        return true;
    case VK_RETURN:
    case VK_DOWN:
    case VK_UP:
    case VK_SPACE:
        OpenMenuFromKeyboard(HotItem() < 0 ? 0 : HotItem());
        return true;
    case VK_ESCAPE:
        LeaveMenuMode(true);
        return true;
    default:
        return false;
    }
}

void WtlCommandBar::RemoveButtons()
{
    while (SendMessage(TB_BUTTONCOUNT) > 0)
        SendMessage(TB_DELETEBUTTON, 0);
}

LRESULT CALLBACK WtlCommandBar::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                             UINT_PTR /*id*/, DWORD_PTR data)
{
    auto* self = reinterpret_cast<WtlCommandBar*>(data);
    switch (message) {
    case WM_LBUTTONDOWN: {
        self->LeaveMenuMode(true);
        POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        const int index = static_cast<int>(::SendMessageW(hwnd, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&point)));
        if (index >= 0 && self->OpenMenu(index))
            return 0;
        break;
    }
    case WM_KEYDOWN:
        if (self->m_menuMode && self->OnMenuModeKey(wParam))
            return 0;
        break;
    case WM_CHAR:
        // In menu mode a letter alone is a mnemonic, as on a menu bar.
        if (self->m_menuMode) {
            const int index = self->MnemonicIndex(static_cast<wchar_t>(wParam));
            if (index >= 0)
                self->OpenMenuFromKeyboard(index);
            return 0;
        }
        break;
    case WM_KILLFOCUS:
        if (!self->m_tracking)
            self->LeaveMenuMode(false); // the focus went elsewhere by itself
        break;
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS;
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(hwnd, SubclassProc, SubclassId);
        break;
    default:
        break;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}
