#include "FormBaseImpl.h"
#include "WtlDataExchange.h"
#include "WtlTestHost.h"
#include "WtlTestResource.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>

using cpl_test::TestInstance;
using cpl_test::WtlTestHost;

namespace {

// A page on the test template with the resize rules a real page uses:
// list grows both ways, button moves with both edges, group box grows in
// width and moves down, the static stays.
class TestPage : public FormBaseImpl<TestPage>
{
public:
    static constexpr int IDD = IDD_WTL_TEST_RESIZE;

    static std::span<const WtlDialogResize::Rule> ResizeRules()
    {
        static constexpr WtlDialogResize::Rule rules[] = {
            {IDC_WTL_TEST_LIST, WtlDialogResize::SizeX | WtlDialogResize::SizeY},
            {IDC_WTL_TEST_BUTTON, WtlDialogResize::MoveX | WtlDialogResize::MoveY},
            {IDC_WTL_TEST_GRIP_BOX, WtlDialogResize::SizeX | WtlDialogResize::MoveY}};
        return rules;
    }

    LRESULT OnInitForm() override
    {
        ++inits;
        return 0;
    }
    void RefreshForm() override { visibleAtRefresh.push_back(IsWindowVisible() != FALSE); }
    void OnFormLayout() override { ++layouts; }
    void OnFormTimer(UINT_PTR id) override { timers.push_back(id); }

    bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override
    {
        // The page's own map first: a notification answered with a value.
        if (message == WM_NOTIFY) {
            result = 77;
            return true;
        }
        if (message == WM_CTLCOLORSTATIC) {
            result = reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
            return true;
        }
        return FormBaseImpl<TestPage>::ProcessWindowMessage(hwnd, message, wParam, lParam, result);
    }

    RECT ControlRect(int id) const
    {
        RECT rect{};
        ::GetWindowRect(GetDlgItem(id), &rect);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    int inits = 0;
    int layouts = 0;
    std::vector<bool> visibleAtRefresh;
    std::vector<UINT_PTR> timers;
};

class PageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.CreateHost());
        ASSERT_NE(page.CreateForm(TestInstance(), host), nullptr);
    }

    void ResizeClientBy(int dx, int dy)
    {
        RECT window{};
        page.GetWindowRect(&window);
        page.SetWindowPos(nullptr, 0, 0, window.right - window.left + dx,
                          window.bottom - window.top + dy, SWP_NOZORDER | SWP_NOMOVE);
    }

    WtlTestHost host;
    TestPage page;
};

} // namespace

TEST_F(PageTest, CreationInitialisesHiddenPageWithClientEdge)
{
    EXPECT_EQ(page.inits, 1);
    EXPECT_EQ(page.GetFormWindow(), page.m_hWnd);
    EXPECT_FALSE(page.IsWindowVisible());
    EXPECT_TRUE(page.GetExStyle() & WS_EX_CLIENTEDGE);
    EXPECT_EQ(::GetParent(page), host.m_hWnd);
}

TEST_F(PageTest, ShowRefreshesBeforeShowingAndHideHides)
{
    host.ShowWindow(SW_SHOW);
    page.ShowForm();
    ASSERT_EQ(page.visibleAtRefresh.size(), 1u);
    EXPECT_FALSE(page.visibleAtRefresh[0]);
    EXPECT_TRUE(page.IsWindowVisible());
    page.HideForm();
    EXPECT_FALSE(page.IsWindowVisible());
}

TEST_F(PageTest, ResultsLeaveTheDialogProcedureTheRightWay)
{
    // WM_NOTIFY answers travel through DWLP_MSGRESULT, colour brushes directly.
    NMHDR header{page.GetDlgItem(IDC_WTL_TEST_LIST), IDC_WTL_TEST_LIST, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(page.SendMessage(WM_NOTIFY, IDC_WTL_TEST_LIST, reinterpret_cast<LPARAM>(&header)), 77);
    HDC dc = ::GetDC(page);
    EXPECT_EQ(page.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                               reinterpret_cast<LPARAM>(page.GetDlgItem(IDC_WTL_TEST_FIXED))),
              reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH)));
    ::ReleaseDC(page, dc);
}

TEST_F(PageTest, TimerReachesOnFormTimer)
{
    page.SendMessage(WM_TIMER, 5);
    ASSERT_EQ(page.timers.size(), 1u);
    EXPECT_EQ(page.timers[0], 5u);
}

TEST_F(PageTest, ResizeRulesGrowAndMoveWithTheEdges)
{
    const RECT list = page.ControlRect(IDC_WTL_TEST_LIST);
    const RECT button = page.ControlRect(IDC_WTL_TEST_BUTTON);
    const RECT box = page.ControlRect(IDC_WTL_TEST_GRIP_BOX);
    const RECT fixed = page.ControlRect(IDC_WTL_TEST_FIXED);
    const int layoutsBefore = page.layouts;

    ResizeClientBy(60, 40);
    EXPECT_GT(page.layouts, layoutsBefore);
    const RECT list2 = page.ControlRect(IDC_WTL_TEST_LIST);
    EXPECT_EQ(list2.left, list.left);
    EXPECT_EQ(list2.right - list2.left, list.right - list.left + 60);
    EXPECT_EQ(list2.bottom - list2.top, list.bottom - list.top + 40);
    const RECT button2 = page.ControlRect(IDC_WTL_TEST_BUTTON);
    EXPECT_EQ(button2.left, button.left + 60);
    EXPECT_EQ(button2.top, button.top + 40);
    EXPECT_EQ(button2.right - button2.left, button.right - button.left);
    const RECT box2 = page.ControlRect(IDC_WTL_TEST_GRIP_BOX);
    EXPECT_EQ(box2.left, box.left);
    EXPECT_EQ(box2.top, box.top + 40);
    EXPECT_EQ(box2.right - box2.left, box.right - box.left + 60);
    const RECT fixed2 = page.ControlRect(IDC_WTL_TEST_FIXED);
    EXPECT_TRUE(::EqualRect(&fixed, &fixed2));

    // Far smaller than the template: sizes stop at zero, nothing is inverted.
    ResizeClientBy(-1000, -1000);
    const RECT list3 = page.ControlRect(IDC_WTL_TEST_LIST);
    EXPECT_GE(list3.right, list3.left);
    EXPECT_GE(list3.bottom, list3.top);
}

TEST_F(PageTest, DataExchangeOfChecksRadiosAndTexts)
{
    bool checked = true;
    EXPECT_TRUE(WtlDataExchange::Check(page, IDC_WTL_TEST_CHECK, checked, false));
    checked = false;
    EXPECT_TRUE(WtlDataExchange::Check(page, IDC_WTL_TEST_CHECK, checked, true));
    EXPECT_TRUE(checked);

    int radio = -2;
    EXPECT_TRUE(WtlDataExchange::Radio(page, IDC_WTL_TEST_RADIO1, radio, true));
    EXPECT_EQ(radio, -1); // none checked yet
    radio = 2;
    EXPECT_TRUE(WtlDataExchange::Radio(page, IDC_WTL_TEST_RADIO1, radio, false));
    EXPECT_EQ(::IsDlgButtonChecked(page, IDC_WTL_TEST_RADIO3), BST_CHECKED);
    EXPECT_EQ(::IsDlgButtonChecked(page, IDC_WTL_TEST_RADIO1), BST_UNCHECKED);
    radio = 1;
    EXPECT_TRUE(WtlDataExchange::Radio(page, IDC_WTL_TEST_RADIO1, radio, false));
    radio = -1;
    EXPECT_TRUE(WtlDataExchange::Radio(page, IDC_WTL_TEST_RADIO1, radio, true));
    EXPECT_EQ(radio, 1);
    EXPECT_EQ(::IsDlgButtonChecked(page, IDC_WTL_TEST_RADIO3), BST_UNCHECKED);

    std::wstring text = L"typed";
    EXPECT_TRUE(WtlDataExchange::Text(page, IDC_WTL_TEST_EDIT, text, false));
    text.clear();
    EXPECT_TRUE(WtlDataExchange::Text(page, IDC_WTL_TEST_EDIT, text, true));
    EXPECT_EQ(text, L"typed");

    // A missing control leaves the value alone.
    EXPECT_FALSE(WtlDataExchange::Check(page, 12345, checked, true));
    EXPECT_FALSE(WtlDataExchange::Radio(page, 12345, radio, true));
    EXPECT_FALSE(WtlDataExchange::Text(page, 12345, text, true));
    EXPECT_TRUE(checked);
    EXPECT_EQ(radio, 1);
    EXPECT_EQ(text, L"typed");
}

TEST(WtlDialogImpl, DestroyedPageFinishesAndOwnerDestructionIsSafe)
{
    WtlTestHost host;
    ASSERT_TRUE(host.CreateHost());
    auto page = std::make_unique<TestPage>();
    HWND hwnd = page->CreateForm(TestInstance(), host);
    ASSERT_NE(hwnd, nullptr);
    page.reset(); // a live dialog is destroyed by its object without dispatching to it
    EXPECT_FALSE(::IsWindow(hwnd));

    TestPage second;
    ASSERT_NE(second.CreateForm(TestInstance(), host), nullptr);
    host.DestroyWindow(); // the child goes with its parent
    EXPECT_EQ(second.m_hWnd, nullptr);
}

namespace {

// A modal dialog that ends itself with a code once it runs.
class EndingDialog : public WtlDialogImpl
{
public:
    bool ProcessWindowMessage(HWND, UINT message, WPARAM, LPARAM, LRESULT& result) override
    {
        if (message == WM_INITDIALOG) {
            PostMessage(WM_APP);
            result = TRUE;
            return true;
        }
        if (message == WM_APP) {
            EndDialog(7);
            return true;
        }
        return false;
    }
};

} // namespace

TEST(WtlDialogImpl, ModalDialogReturnsEndDialogCode)
{
    EndingDialog dialog;
    EXPECT_EQ(dialog.DoModal(TestInstance(), IDD_WTL_TEST_MODAL, nullptr), 7);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_EQ(dialog.DoModal(TestInstance(), 4242, nullptr), -1); // no such template
}
