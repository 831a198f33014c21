// The about box run modally as the frame runs it, driven from timers of its
// own message loop: the initial focus, Enter, and the link's painted text.
#include "CAboutDlg.h"
#include "WtlGdiOwners.h"
#include "WtlTestHost.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

using cpl_test::TestInstance;

namespace {

constexpr UINT kProbeMs = 50;
constexpr UINT kGiveUpMs = 5000; // ends a box that the probe did not close

// The about box with its link opener recorded instead of a browser.
class RecordingAboutDlg : public CAboutDlg
{
public:
    std::wstring opened;

protected:
    void OpenAddress(const wchar_t* address) override { opened = address; }
};

std::function<void(HWND)> g_probe;
HWND g_box = nullptr;

BOOL CALLBACK MatchAboutBox(HWND window, LPARAM)
{
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    if (std::wstring(text) == L"About Quillo Control Panel") {
        g_box = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK GiveUp(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    if (g_box != nullptr && IsWindow(g_box)) {
        PostMessageW(g_box, WM_COMMAND, IDCANCEL, 0);
    }
}

// Timer procedures are stdcall on i686: plain functions, not lambdas.
void CALLBACK Probe(HWND, UINT, UINT_PTR id, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), MatchAboutBox, 0);
    if (g_box == nullptr) {
        return;
    }
    KillTimer(nullptr, id);
    SetTimer(nullptr, 0, kGiveUpMs, GiveUp);
    g_probe(g_box);
}

// Runs the box over a host window; `probe` runs once inside its modal loop.
INT_PTR RunAboutBox(RecordingAboutDlg& about, std::function<void(HWND)> probe)
{
    cpl_test::WtlTestHost host;
    EXPECT_TRUE(host.CreateHost());
    g_box = nullptr;
    g_probe = std::move(probe);
    SetTimer(nullptr, 0, kProbeMs, Probe);
    return about.DoModal(TestInstance(), host);
}

// The rightmost column with a dark pixel on white, -1 for none.
int InkedRight(HDC dc, const SIZE& size)
{
    for (int x = size.cx - 1; x >= 0; --x) {
        for (int y = 0; y < size.cy; ++y) {
            const COLORREF c = GetPixel(dc, x, y);
            if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 600) {
                return x;
            }
        }
    }
    return -1;
}

// Where the link's own painting ends, and where its text drawn unclipped
// in the control's font ends, on a white bitmap of twice the link's width.
std::pair<int, int> LinkAndTextInk(HWND link, const std::wstring& text)
{
    RECT client{};
    GetClientRect(link, &client);
    const SIZE size{client.right * 2, client.bottom};
    WtlClientDC screen(link);
    WtlMemoryDC dc(CreateCompatibleDC(screen.Get()));
    WtlBitmap bitmap(CreateCompatibleBitmap(screen.Get(), size.cx, size.cy));
    WtlSelectObject selected(dc.get(), bitmap.get());
    const RECT all{0, 0, size.cx, size.cy};

    FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SendMessageW(link, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    const int linkInk = InkedRight(dc.get(), size);

    FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    WtlSelectObject font(dc.get(), reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0)));
    SetBkMode(dc.get(), TRANSPARENT);
    SetTextColor(dc.get(), RGB(0, 0, 0));
    TextOutW(dc.get(), 0, 0, text.c_str(), static_cast<int>(text.size()));
    return {linkInk, InkedRight(dc.get(), size)};
}

} // namespace

TEST(CAboutDlgTest, OkHasTheFocusAndEnterClosesTheBoxWithoutOpeningTheLink)
{
    RecordingAboutDlg about;
    int focused = 0;
    int defaultId = 0;
    const INT_PTR result = RunAboutBox(about, [&](HWND box) {
        focused = GetDlgCtrlID(GetFocus());
        const LRESULT answer = SendMessageW(box, DM_GETDEFID, 0, 0);
        defaultId = HIWORD(answer) == DC_HASDEFID ? LOWORD(answer) : 0;
        // The dialog's loop hands the key to IsDialogMessage.
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 1);
    });
    EXPECT_EQ(focused, IDOK);
    EXPECT_EQ(defaultId, IDOK);
    EXPECT_EQ(result, IDOK) << "Enter did not close the box";
    EXPECT_EQ(about.opened, L"") << "Enter opened the link";
}

TEST(CAboutDlgTest, LinkIsWideEnoughAndPaintsItsWholeText)
{
    RecordingAboutDlg about;
    std::wstring text;
    LONG width = 0;
    SIZE extent{};
    std::pair<int, int> ink{};
    RunAboutBox(about, [&](HWND box) {
        HWND link = GetDlgItem(box, IDC_ABOUT_LINK);
        wchar_t markup[128] = {};
        GetWindowTextW(link, markup, 128);
        text = L"www.vantrel.example";
        EXPECT_NE(std::wstring(markup).find(L">" + text + L"<"), std::wstring::npos) << "the link's text";
        RECT client{};
        GetClientRect(link, &client);
        width = client.right;
        WtlClientDC dc(link);
        WtlSelectObject font(dc.Get(), reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0)));
        GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent);
        ink = LinkAndTextInk(link, text);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    EXPECT_GE(width, extent.cx);
    ASSERT_GT(ink.second, 0) << "the text left no ink";
    // A link that clips its last glyph ends left of the text's own ink.
    EXPECT_GE(ink.first, ink.second) << "the link's painting is cut off";
}
