#pragma once

#include "FormBaseImpl.h"
#include "resource.h"

#include <commctrl.h>

#include <map>

// The page-tree pane: one tree item per page, the item's data being its page.
// Notifications and commands from the tree go on to the pane's parent, so the
// frame sees TVN_SELCHANGEDW from IDC_PAGE_TREE.
class FormSelection : public FormBaseImpl<FormSelection>
{
public:
    static constexpr int IDD = IDD_FORM_SELECTION;

    static std::span<const WtlDialogResize::Rule> ResizeRules();

    // Adds `page` as the last child of `parent`'s item (of the root when
    // `parent` is null or not in the tree) with `image` as its normal and
    // selected image. False when the page is null, already in the tree, or
    // the tree refuses the item.
    bool AddPage(const wchar_t* text, FormBase* page, FormBase* parent, int image);
    // Removes the page's item and those of its children; nothing when absent.
    void RemovePage(FormBase* page);
    bool ContainsPage(FormBase* page) const { return m_items.count(page) != 0; }
    size_t PageCount() const { return m_items.size(); }
    // The selected item's page, null when nothing is selected.
    FormBase* GetSelectedPage() const;
    // Selects the root's first item and gives the tree the keyboard focus.
    void SelectFirst();
    // Selects the page's item; false when the page is not in the tree.
    bool SelectPage(FormBase* page);
    // Called before the pane is created; attached as the tree's normal image list.
    // Given to the tree now when it exists, else when it is made.
    void SetImageList(HIMAGELIST images);
    HWND GetTree() const { return GetDlgItem(IDC_PAGE_TREE); }

    LRESULT OnInitForm() override;
    void RefreshForm() override {}

    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

private:
    void ForgetSubtree(HTREEITEM item);
    void RedrawTree();

    HIMAGELIST m_images = nullptr;
    std::map<FormBase*, HTREEITEM> m_items;
};
