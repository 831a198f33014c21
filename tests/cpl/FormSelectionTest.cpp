#include "FormSelection.h"
#include "FormStaticText.h"
#include "WtlTestHost.h"

#include <gtest/gtest.h>

using cpl_test::TestInstance;
using cpl_test::TreeItemText;
using cpl_test::WtlTestHost;

namespace {

// The tree pane in a host window standing in for the splitter, with text
// pages as the pages it lists.
class FormSelectionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.CreateHost());
        images = ::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 8, 2);
        selection.SetImageList(images);
        ASSERT_NE(selection.CreateForm(TestInstance(), host), nullptr);
        tree = selection.GetTree();
        ASSERT_NE(tree, nullptr);
    }
    void TearDown() override
    {
        selection.DestroyWindow();
        ::ImageList_Destroy(images);
    }

    WtlTestHost host;
    FormSelection selection;
    HIMAGELIST images = nullptr;
    HWND tree = nullptr;
    FormStaticText rate{L"rate"};
    FormStaticText devices{L"devices"};
    FormStaticText device{L"device"};
    FormStaticText plugin{L"plugin"};
    FormStaticText stranger{L"not in the tree"};
};

} // namespace

TEST_F(FormSelectionTest, PagesFormTheTreeUnderTheirParents)
{
    EXPECT_EQ(TreeView_GetImageList(tree, TVSIL_NORMAL), images);
    ASSERT_TRUE(selection.AddPage(L"Sample Rate", &rate, nullptr, 0));
    ASSERT_TRUE(selection.AddPage(L"Devices", &devices, nullptr, 4));
    ASSERT_TRUE(selection.AddPage(L"quillo", &device, &devices, 4));
    // A parent that is not in the tree puts the page at the root.
    ASSERT_TRUE(selection.AddPage(L"Plugin0", &plugin, &stranger, 4));
    EXPECT_FALSE(selection.AddPage(L"again", &rate, nullptr, 0));
    EXPECT_FALSE(selection.AddPage(L"none", nullptr, nullptr, 0));

    HTREEITEM first = TreeView_GetRoot(tree);
    EXPECT_EQ(TreeItemText(tree, first), L"Sample Rate");
    HTREEITEM second = TreeView_GetNextSibling(tree, first);
    EXPECT_EQ(TreeItemText(tree, second), L"Devices");
    HTREEITEM child = TreeView_GetChild(tree, second);
    EXPECT_EQ(TreeItemText(tree, child), L"quillo");
    EXPECT_TRUE(TreeView_GetItemState(tree, second, TVIS_EXPANDED) & TVIS_EXPANDED);
    EXPECT_EQ(TreeItemText(tree, TreeView_GetNextSibling(tree, second)), L"Plugin0");

    TVITEMW data{};
    data.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_HANDLE;
    data.hItem = child;
    ASSERT_TRUE(TreeView_GetItem(tree, &data));
    EXPECT_EQ(data.iImage, 4);
    EXPECT_EQ(data.iSelectedImage, 4);
}

TEST_F(FormSelectionTest, SelectionIsReportedToTheParentAndReadBack)
{
    EXPECT_EQ(selection.GetSelectedPage(), nullptr);
    ASSERT_TRUE(selection.AddPage(L"Sample Rate", &rate, nullptr, 0));
    ASSERT_TRUE(selection.AddPage(L"Devices", &devices, nullptr, 4));
    host.notifications.clear();
    selection.SelectFirst();
    EXPECT_EQ(selection.GetSelectedPage(), &rate);
    bool changed = false;
    for (const auto& n : host.notifications)
        changed = changed || (n.idFrom == IDC_PAGE_TREE && n.code == TVN_SELCHANGEDW);
    EXPECT_TRUE(changed) << "TVN_SELCHANGEDW from the tree did not reach the pane's parent";

    TreeView_SelectItem(tree, TreeView_GetNextSibling(tree, TreeView_GetRoot(tree)));
    EXPECT_EQ(selection.GetSelectedPage(), &devices);

    // A command from the tree goes on as well.
    host.commands.clear();
    selection.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_PAGE_TREE, 1), reinterpret_cast<LPARAM>(tree));
    ASSERT_EQ(host.commands.size(), 1u);
}

TEST_F(FormSelectionTest, RemovingPagesForgetsThemAndTheirChildren)
{
    selection.RemovePage(&stranger); // not in the tree: nothing happens
    ASSERT_TRUE(selection.AddPage(L"Sample Rate", &rate, nullptr, 0));
    ASSERT_TRUE(selection.AddPage(L"Devices", &devices, nullptr, 4));
    ASSERT_TRUE(selection.AddPage(L"quillo", &device, &devices, 4));
    ASSERT_TRUE(selection.AddPage(L"Plugin0", &plugin, &devices, 4));
    EXPECT_EQ(selection.PageCount(), 4u);

    selection.RemovePage(&plugin);
    EXPECT_FALSE(selection.ContainsPage(&plugin));
    EXPECT_EQ(TreeView_GetCount(tree), 3u);

    // The parent goes with its remaining child; neither stays mapped, so
    // both can be added again.
    TreeView_SelectItem(tree, TreeView_GetChild(tree, TreeView_GetNextSibling(tree, TreeView_GetRoot(tree))));
    selection.RemovePage(&devices);
    EXPECT_FALSE(selection.ContainsPage(&devices));
    EXPECT_FALSE(selection.ContainsPage(&device));
    EXPECT_EQ(TreeView_GetCount(tree), 1u);
    EXPECT_NE(selection.GetSelectedPage(), &device);
    EXPECT_TRUE(selection.AddPage(L"Devices", &devices, nullptr, 4));
    EXPECT_TRUE(selection.AddPage(L"quillo", &device, &devices, 4));
    EXPECT_EQ(TreeView_GetCount(tree), 3u);
}

TEST(FormStaticText, ShowsItsTextCentredAndGrowsWithThePane)
{
    WtlTestHost host;
    ASSERT_TRUE(host.CreateHost());
    std::wstring text = L"There is no Vantrel device connected.";
    FormStaticText page(text.c_str());
    text.assign(L"changed"); // the page keeps its own copy
    ASSERT_NE(page.CreateForm(TestInstance(), host), nullptr);
    EXPECT_FALSE(page.IsWindowVisible());
    EXPECT_EQ(page.GetDlgItemText(IDC_STATICTEXT_TEXT), L"There is no Vantrel device connected.");
    const DWORD style = WtlWindow(page.GetDlgItem(IDC_STATICTEXT_TEXT)).GetStyle();
    EXPECT_EQ(style & SS_TYPEMASK, static_cast<DWORD>(SS_CENTER));
    EXPECT_TRUE(style & SS_CENTERIMAGE);

    RECT before{};
    ::GetWindowRect(page.GetDlgItem(IDC_STATICTEXT_TEXT), &before);
    RECT window{};
    page.GetWindowRect(&window);
    page.SetWindowPos(nullptr, 0, 0, window.right - window.left + 100, window.bottom - window.top + 50,
                      SWP_NOZORDER | SWP_NOMOVE);
    RECT after{};
    ::GetWindowRect(page.GetDlgItem(IDC_STATICTEXT_TEXT), &after);
    EXPECT_EQ(after.right - after.left, before.right - before.left + 100);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top + 50);
}
