#include "FormSelection.h"

namespace {

bool IsForwardedToParent(UINT message)
{
    switch (message) {
    case WM_NOTIFY:
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_COMPAREITEM:
    case WM_DELETEITEM:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_PARENTNOTIFY:
        return true;
    default:
        return false;
    }
}

FormBase* PageOf(HWND tree, HTREEITEM item)
{
    TVITEMW data{};
    data.mask = TVIF_PARAM | TVIF_HANDLE;
    data.hItem = item;
    if (!TreeView_GetItem(tree, &data))
        return nullptr;
    return reinterpret_cast<FormBase*>(data.lParam);
}

} // namespace

std::span<const WtlDialogResize::Rule> FormSelection::ResizeRules()
{
    static constexpr WtlDialogResize::Rule rules[] = {
        {IDC_PAGE_TREE, WtlDialogResize::SizeX | WtlDialogResize::SizeY}};
    return rules;
}

LRESULT FormSelection::OnInitForm()
{
    if (m_images != nullptr)
        TreeView_SetImageList(GetTree(), m_images, TVSIL_NORMAL);
    return 0;
}

void FormSelection::SetImageList(HIMAGELIST images)
{
    m_images = images;
    if (m_hWnd != nullptr && GetTree() != nullptr)
        TreeView_SetImageList(GetTree(), m_images, TVSIL_NORMAL);
}

bool FormSelection::AddPage(const wchar_t* text, FormBase* page, FormBase* parent, int image)
{
    if (page == nullptr || ContainsPage(page))
        return false;
    const auto parentItem = parent != nullptr ? m_items.find(parent) : m_items.end();
    const bool hasParent = parentItem != m_items.end();

    TVINSERTSTRUCTW insert{};
    insert.hParent = hasParent ? parentItem->second : TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = const_cast<wchar_t*>(text != nullptr ? text : L"");
    insert.item.iImage = image;
    insert.item.iSelectedImage = image;
    insert.item.lParam = reinterpret_cast<LPARAM>(page);
    HWND tree = GetTree();
    HTREEITEM item = TreeView_InsertItem(tree, &insert);
    if (item == nullptr)
        return false;
    m_items[page] = item;
    if (hasParent)
        TreeView_Expand(tree, parentItem->second, TVE_EXPAND);
    RedrawTree();
    return true;
}

void FormSelection::RemovePage(FormBase* page)
{
    const auto found = m_items.find(page);
    if (found == m_items.end())
        return;
    HTREEITEM item = found->second;
    // Deleting an item deletes its children too; their pages leave the map
    // with it so that no entry names a deleted item.
    ForgetSubtree(item);
    TreeView_DeleteItem(GetTree(), item);
}

void FormSelection::ForgetSubtree(HTREEITEM item)
{
    HWND tree = GetTree();
    for (HTREEITEM child = TreeView_GetChild(tree, item); child != nullptr;
         child = TreeView_GetNextSibling(tree, child))
        ForgetSubtree(child);
    if (FormBase* page = PageOf(tree, item))
        m_items.erase(page);
    TVITEMW data{};
    data.mask = TVIF_PARAM | TVIF_HANDLE;
    data.hItem = item;
    data.lParam = 0;
    TreeView_SetItem(tree, &data);
}

FormBase* FormSelection::GetSelectedPage() const
{
    HWND tree = GetTree();
    HTREEITEM selected = TreeView_GetSelection(tree);
    return selected != nullptr ? PageOf(tree, selected) : nullptr;
}

void FormSelection::SelectFirst()
{
    HWND tree = GetTree();
    TreeView_SelectItem(tree, TreeView_GetRoot(tree));
    ::SetFocus(tree);
}

bool FormSelection::SelectPage(FormBase* page)
{
    const auto found = m_items.find(page);
    return found != m_items.end() && TreeView_SelectItem(GetTree(), found->second) != FALSE;
}

void FormSelection::RedrawTree()
{
    HWND tree = GetTree();
    ::UpdateWindow(tree);
    ::InvalidateRect(tree, nullptr, TRUE);
}

bool FormSelection::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         LRESULT& result)
{
    if (IsForwardedToParent(message)) {
        result = ::SendMessageW(GetParent(), message, wParam, lParam);
        return true;
    }
    return FormBaseImpl<FormSelection>::ProcessWindowMessage(hwnd, message, wParam, lParam, result);
}
