// The control panel's resources as the pages and the frame find them: every
// template creates, and its controls have the ids, window classes, styles and
// texts that the code behind them relies on.
#include "resource.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

std::wstring ClassOf(HWND hwnd)
{
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

std::wstring TextOf(HWND hwnd)
{
    std::wstring text(GetWindowTextLengthW(hwnd) + 1, L'\0');
    text.resize(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size())));
    return text;
}

DWORD StyleOf(HWND hwnd)
{
    return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
}

// What a control must be: class, a style field (mask and value) and, unless
// null, its exact text.
struct ControlSpec
{
    int id;
    const wchar_t* className;
    DWORD styleMask;
    DWORD style;
    const wchar_t* text;
};

// Controls without an id of their own (group boxes, labels), found by text.
struct LabelSpec
{
    const wchar_t* className;
    DWORD styleMask;
    DWORD style;
    const wchar_t* text;
};

constexpr DWORD kButtonType = BS_TYPEMASK;
constexpr DWORD kComboType = 0x3;
constexpr DWORD kListType = LVS_TYPEMASK | LVS_SINGLESEL;
constexpr DWORD kListReport = LVS_REPORT | LVS_SINGLESEL;
constexpr DWORD kStaticType = SS_TYPEMASK;

class CplResourceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX init{sizeof(init), ICC_WIN95_CLASSES | ICC_LINK_CLASS};
        InitCommonControlsEx(&init);
        m_instance = GetModuleHandleW(nullptr);
        m_parent = CreateWindowExW(0, L"STATIC", L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 600, 500,
                                   nullptr, nullptr, m_instance, nullptr);
        ASSERT_NE(m_parent, nullptr);
    }

    void TearDown() override
    {
        for (HWND dialog : m_dialogs)
            DestroyWindow(dialog);
        DestroyWindow(m_parent);
    }

    // Child templates need a parent; pop-up templates get it as owner.
    HWND Create(int templateId)
    {
        HWND dialog = CreateDialogParamW(m_instance, MAKEINTRESOURCEW(templateId), m_parent,
                                         QuietDialogProc, 0);
        if (dialog)
            m_dialogs.push_back(dialog);
        return dialog;
    }

    void ExpectControls(int templateId, const std::vector<ControlSpec>& controls,
                        const std::vector<LabelSpec>& labels = {})
    {
        HWND dialog = Create(templateId);
        ASSERT_NE(dialog, nullptr) << "template " << templateId << ": " << GetLastError();
        for (const ControlSpec& c : controls) {
            SCOPED_TRACE(testing::Message() << "template " << templateId << ", control " << c.id);
            HWND control = GetDlgItem(dialog, c.id);
            ASSERT_NE(control, nullptr);
            EXPECT_EQ(_wcsicmp(ClassOf(control).c_str(), c.className), 0) << ClassOf(control);
            EXPECT_EQ(StyleOf(control) & c.styleMask, c.style);
            if (c.text) {
                EXPECT_EQ(TextOf(control), c.text);
            }
        }
        for (const LabelSpec& l : labels) {
            SCOPED_TRACE(testing::Message() << "template " << templateId);
            HWND control = FindByText(dialog, l.text);
            ASSERT_NE(control, nullptr) << "no control with the text of this label";
            EXPECT_EQ(_wcsicmp(ClassOf(control).c_str(), l.className), 0) << ClassOf(control);
            EXPECT_EQ(StyleOf(control) & l.styleMask, l.style);
        }
    }

    static HWND FindByText(HWND dialog, const wchar_t* text)
    {
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (TextOf(child) == text)
                return child;
        return nullptr;
    }

    HINSTANCE m_instance = nullptr;
    HWND m_parent = nullptr;
    std::vector<HWND> m_dialogs;
};

const LabelSpec Group(const wchar_t* text)
{
    return {L"Button", kButtonType, BS_GROUPBOX, text};
}

// Every page template is a hidden child in the 8-point dialog font.
TEST_F(CplResourceTest, PageTemplatesAreHiddenChildrenInTheDialogFont)
{
    const int pages[] = {IDD_FORM_DRVINFO, IDD_FORM_SELECTION, IDD_FORM_SAMPLERATE,
                         IDD_FORM_DEVICES, IDD_FORM_STATICTEXT, IDD_FORM_BUFFERSETTINGS,
                         IDD_FORM_CHANNELS, IDD_FORM_DEVICE,
                         IDD_FORM_STEREOOUTPUTCTRL, IDD_FORM_STEREOINPUTCTRL,
                         IDD_FORM_STATUSINFO, IDD_FORM_PLUGIN};
    HDC screen = GetDC(nullptr);
    const int expectedHeight = MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    for (int id : pages) {
        SCOPED_TRACE(testing::Message() << "template " << id);
        HWND page = Create(id);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(StyleOf(page) & (WS_CHILD | WS_POPUP | WS_VISIBLE), DWORD(WS_CHILD));
        LOGFONTW font{};
        ASSERT_TRUE(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(page, WM_GETFONT, 0, 0)),
                               sizeof(font), &font));
        EXPECT_EQ(std::abs(font.lfHeight), expectedHeight);
    }
}

TEST_F(CplResourceTest, FrameSideTemplates)
{
    ExpectControls(IDD_FORM_SELECTION,
                   {{IDC_PAGE_TREE, WC_TREEVIEWW,
                     TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                     TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS, nullptr}});
    ExpectControls(IDD_FORM_STATICTEXT,
                   {{IDC_STATICTEXT_TEXT, L"Static", kStaticType | SS_CENTERIMAGE,
                     SS_CENTER | SS_CENTERIMAGE, L""}});
    ExpectControls(IDD_FORM_PLUGIN,
                   {{IDC_PLUGIN_CHANNELS, L"ComboBox", kComboType, CBS_DROPDOWNLIST, nullptr},
                    {IDC_PLUGIN_DELAY, TRACKBAR_CLASSW, TBS_VERT, TBS_VERT, nullptr},
                    {IDC_PLUGIN_AMPLIFICATION, TRACKBAR_CLASSW, TBS_VERT, TBS_VERT, nullptr},
                    {IDC_PLUGIN_DELAY_VALUE, L"Static", kStaticType, SS_LEFT, nullptr},
                    {IDC_PLUGIN_AMPLIFICATION_VALUE, L"Static", kStaticType, SS_LEFT, nullptr}},
                   {Group(L"Echo Effect for Mixer Output Channels"),
                    {L"Static", kStaticType, SS_LEFT, L"Delay"},
                    {L"Static", kStaticType, SS_LEFT, L"Amplification"}});
}

TEST_F(CplResourceTest, DeviceAndStatusTemplates)
{
    ExpectControls(
        IDD_FORM_DEVICES,
        {{IDC_DEVICES_LIST, WC_LISTVIEWW, kListType, kListReport, nullptr},
         {IDC_DEVICES_MODE_GROUP, L"Button", kButtonType, BS_GROUPBOX, L"Streaming Mode"},
         {IDC_DEVICES_MODE_SINGLE, L"Button", kButtonType | WS_GROUP, BS_AUTORADIOBUTTON | WS_GROUP,
          L"Activate streaming for one single device. To pick one, mark the device in the list "
          L"above and then click the button to the right."},
         {IDC_DEVICES_MODE_ALL, L"Button", kButtonType | WS_GROUP, BS_AUTORADIOBUTTON,
          L"Activate streaming for all devices.\rThis REQUIRES that the sample clock of all "
          L"devices is synchronized."},
         {IDC_DEVICES_SELECT, L"Button", kButtonType | BS_MULTILINE, BS_PUSHBUTTON | BS_MULTILINE,
          L"Select for Streaming"}});
    ExpectControls(
        IDD_FORM_DEVICE,
        {{IDC_DEVICE_INFO, L"Static", kStaticType, SS_LEFT, nullptr},
         {IDC_DEVICE_SPDIF_STATUS, L"Static", kStaticType, SS_LEFT, nullptr},
         {IDC_DEVICE_SPDIF_PASS_THROUGH, L"Button", kButtonType, BS_AUTOCHECKBOX, L"SPDIF pass through"},
         {IDC_DEVICE_VOLUME_BYPASS, L"Button", kButtonType, BS_AUTOCHECKBOX, L"Volume bypass"},
         {IDC_DEVICE_INPUT_MIXER, L"Button", kButtonType, BS_PUSHBUTTON, L"Hardware Inputs Mixer"},
         {IDC_DEVICE_OUTPUT_MIXER, L"Button", kButtonType, BS_PUSHBUTTON, L"Software Outputs Mixer"},
         {IDC_DEVICE_FORBID_RATE_CHANGE, L"Button", kButtonType, BS_AUTOCHECKBOX,
          L"Forbid sample rate change"}},
        {Group(L"Device Info"), Group(L"SPDIF IN Status"), Group(L"Driver-integrated Mixer"),
         Group(L"WDM Sound Device Configuration")});
    // "SPDIF pass through" names both a group and its check box.
    int groups = 0;
    HWND device = m_dialogs.back();
    for (HWND c = GetWindow(device, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        groups += TextOf(c) == L"SPDIF pass through" && (StyleOf(c) & kButtonType) == BS_GROUPBOX;
    EXPECT_EQ(groups, 1);
    ExpectControls(IDD_FORM_STATUSINFO,
                   {{IDC_STATUS_LIST, WC_LISTVIEWW, kListType, kListReport, nullptr},
                    {IDC_STATUS_GROUP, L"Button", kButtonType, BS_GROUPBOX, L"Description"},
                    {IDC_STATUS_DESCRIPTION, L"Static", kStaticType, SS_LEFT, nullptr}});
    ExpectControls(IDD_FORM_DRVINFO,
                   {{IDC_DRVINFO_GROUP, L"Button", kButtonType, BS_GROUPBOX, L"Driver Information"},
                    {IDC_DRVINFO_TEXT, L"Static", kStaticType, SS_LEFT, nullptr}});
}

TEST_F(CplResourceTest, AboutBoxIsAModalPopupWithIconTextAndLink)
{
    ExpectControls(IDD_ABOUTBOX,
                   {{IDOK, L"Button", kButtonType, BS_DEFPUSHBUTTON, L"OK"},
                    {IDC_ABOUT_TEXT, L"Static", kStaticType, SS_LEFT, nullptr},
                    {IDC_ABOUT_LINK, WC_LINK, 0, 0, nullptr}});
    HWND about = m_dialogs.back();
    EXPECT_EQ(TextOf(about), L"About Quillo Control Panel");
    EXPECT_EQ(StyleOf(about) & (WS_POPUP | WS_CAPTION), DWORD(WS_POPUP | WS_CAPTION));
    int icons = 0;
    for (HWND c = GetWindow(about, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        icons += (StyleOf(c) & kStaticType) == SS_ICON && SendMessageW(c, STM_GETICON, 0, 0) != 0;
    EXPECT_EQ(icons, 1);
}

TEST_F(CplResourceTest, StreamingSettingsTemplates)
{
    ExpectControls(IDD_FORM_SAMPLERATE,
                   {{IDC_SAMPLERATE_GROUP, L"Button", kButtonType, BS_GROUPBOX, L"Sample Rate"},
                    {IDC_SAMPLERATE_LIST, L"ComboBox", kComboType, CBS_DROPDOWNLIST, nullptr},
                    {IDC_SAMPLERATE_APPLY, L"Button", kButtonType, BS_PUSHBUTTON, L"Apply"},
                    {IDC_SAMPLERATE_DSD, L"Static", kStaticType, SS_LEFT, L"DSD mode is active."}});
    ExpectControls(
        IDD_FORM_BUFFERSETTINGS,
        {{IDC_BUFFER_STREAM_GROUP, L"Button", kButtonType, BS_GROUPBOX, L"Streaming Buffer Size"},
         {IDC_BUFFER_STREAM_LIST, L"ComboBox", kComboType, CBS_DROPDOWNLIST, nullptr},
         {IDC_BUFFER_STREAM_LATENCY, L"Static", kStaticType, SS_LEFT, nullptr},
         {IDC_BUFFER_ASIO_GROUP, L"Button", kButtonType, BS_GROUPBOX, L"ASIO Buffer Size"},
         {IDC_BUFFER_ASIO_LIST, L"ComboBox", kComboType, CBS_DROPDOWNLIST, nullptr},
         {IDC_BUFFER_ASIO_LATENCY, L"Static", kStaticType, SS_LEFT, nullptr},
         {IDC_BUFFER_APPLY, L"Button", kButtonType, BS_PUSHBUTTON, L"Apply"}});
    ExpectControls(IDD_FORM_CHANNELS,
                   {{IDC_CHANNELS_LIST, WC_LISTVIEWW, kListType | LVS_EDITLABELS, kListReport, nullptr}});
}

TEST_F(CplResourceTest, MixerTemplates)
{
    HWND mixer = Create(IDD_FORM_MIXER);
    ASSERT_NE(mixer, nullptr);
    EXPECT_EQ(TextOf(mixer), L"Mixer");
    EXPECT_EQ(StyleOf(mixer) & (WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE),
              DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU));
    EXPECT_TRUE(GetWindowLongPtrW(mixer, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_EQ(GetWindow(mixer, GW_CHILD), nullptr);

    ExpectControls(
        IDD_FORM_STEREOOUTPUTCTRL,
        {{IDC_STRIP_FADER_LEFT, TRACKBAR_CLASSW, TBS_VERT, TBS_VERT, nullptr},
         {IDC_STRIP_FADER_RIGHT, TRACKBAR_CLASSW, TBS_VERT, TBS_VERT, nullptr},
         {IDC_STRIP_METER_LEFT, PROGRESS_CLASSW, PBS_VERTICAL, PBS_VERTICAL, nullptr},
         {IDC_STRIP_METER_RIGHT, PROGRESS_CLASSW, PBS_VERTICAL, PBS_VERTICAL, nullptr},
         {IDC_STRIP_GAIN_LEFT, L"Static", kStaticType, SS_CENTER, nullptr},
         {IDC_STRIP_GAIN_RIGHT, L"Static", kStaticType, SS_CENTER, nullptr},
         {IDC_STRIP_LINK, L"Button", kButtonType, BS_AUTOCHECKBOX, L"Link"},
         {IDC_STRIP_MUTE, L"Button", kButtonType, BS_AUTOCHECKBOX, L"M"},
         {IDC_STRIP_ZERO_DB, L"Button", kButtonType, BS_PUSHBUTTON, L"0dB"},
         {IDC_STRIP_SCALE, L"Static", kStaticType, SS_LEFT, nullptr},
         {IDC_STRIP_LABEL, L"Static", kStaticType, SS_CENTER, nullptr}});
    ExpectControls(IDD_FORM_STEREOINPUTCTRL,
                   {{IDC_STRIP_LABEL, L"Static", kStaticType, SS_LEFT, nullptr},
                    {IDC_STRIP_METER_LEFT, PROGRESS_CLASSW, PBS_VERTICAL, 0, nullptr},
                    {IDC_STRIP_METER_RIGHT, PROGRESS_CLASSW, PBS_VERTICAL, 0, nullptr}});
    ExpectControls(IDD_FORM_WEIGHTCTRL,
                   {{IDC_WEIGHT_VALUE, L"Static", kStaticType, SS_CENTER, nullptr},
                    {IDC_WEIGHT_SLIDER, TRACKBAR_CLASSW, TBS_VERT, TBS_VERT, nullptr},
                    {IDC_WEIGHT_CONNECTED, L"Button", kButtonType, BS_AUTOCHECKBOX, L"connected"},
                    {IDOK, L"Button", kButtonType, BS_DEFPUSHBUTTON, L"Close"}});
    EXPECT_TRUE(StyleOf(m_dialogs.back()) & WS_POPUP);
}

std::wstring MenuText(HMENU menu, UINT position)
{
    wchar_t text[64] = {};
    GetMenuStringW(menu, position, text, 64, MF_BYPOSITION);
    return text;
}

TEST_F(CplResourceTest, MainAndTrayMenus)
{
    HMENU main = LoadMenuW(m_instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_NE(main, nullptr);
    ASSERT_EQ(GetMenuItemCount(main), 2);
    EXPECT_EQ(MenuText(main, 0), L"&File");
    EXPECT_EQ(MenuText(main, 1), L"&Help");
    HMENU file = GetSubMenu(main, 0), help = GetSubMenu(main, 1);
    ASSERT_EQ(GetMenuItemCount(file), 1);
    EXPECT_EQ(MenuText(file, 0), L"E&xit");
    EXPECT_EQ(GetMenuItemID(file, 0), UINT(ID_APP_EXIT));
    ASSERT_EQ(GetMenuItemCount(help), 1);
    EXPECT_EQ(MenuText(help, 0), L"&About");
    EXPECT_EQ(GetMenuItemID(help, 0), UINT(ID_APP_ABOUT));
    DestroyMenu(main);

    HMENU tray = LoadMenuW(m_instance, MAKEINTRESOURCEW(IDR_TRAYMENU));
    ASSERT_NE(tray, nullptr);
    ASSERT_EQ(GetMenuItemCount(tray), 1);
    HMENU popup = GetSubMenu(tray, 0);
    ASSERT_EQ(GetMenuItemCount(popup), 2);
    EXPECT_EQ(MenuText(popup, 0), L"&Restore");
    EXPECT_EQ(GetMenuItemID(popup, 0), UINT(ID_TRAY_RESTORE));
    EXPECT_EQ(MenuText(popup, 1), L"E&xit");
    EXPECT_EQ(GetMenuItemID(popup, 1), UINT(ID_APP_EXIT));
    DestroyMenu(tray);
}

TEST_F(CplResourceTest, StringsAcceleratorsIconsAndCommandImages)
{
    wchar_t text[64] = {};
    ASSERT_GT(LoadStringW(m_instance, IDR_MAINFRAME, text, 64), 0);
    EXPECT_STREQ(text, L"Quillo Control Panel");
    ASSERT_GT(LoadStringW(m_instance, IDS_READY, text, 64), 0);
    EXPECT_STREQ(text, L"Ready");

    HACCEL accelerators = LoadAcceleratorsW(m_instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_NE(accelerators, nullptr);
    ACCEL entries[8];
    const int count = CopyAcceleratorTableW(accelerators, entries, 8);
    EXPECT_GT(count, 0);
    for (int i = 0; i < count; ++i)
        EXPECT_TRUE(entries[i].cmd == ID_APP_EXIT || entries[i].cmd == ID_APP_ABOUT) << entries[i].cmd;
    DestroyAcceleratorTable(accelerators);

    for (int id : {IDR_MAINFRAME, IDI_TREE_DRIVER, IDI_TREE_CHANNELS, IDI_TREE_DEVICES,
                   IDI_TREE_SPARE1, IDI_TREE_SPARE2, IDI_TREE_SETTINGS}) {
        for (int size : {16, 32}) {
            HANDLE icon = LoadImageW(m_instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0);
            EXPECT_NE(icon, nullptr) << "icon " << id << " at " << size;
            if (icon) {
                DestroyIcon(static_cast<HICON>(icon));
            }
        }
    }

    // The toolbar resource lists one command per 16-pixel image of the bitmap.
    HRSRC found = FindResourceW(m_instance, MAKEINTRESOURCEW(IDR_MAINFRAME), MAKEINTRESOURCEW(241));
    ASSERT_NE(found, nullptr);
    ASSERT_EQ(SizeofResource(m_instance, found), 6 * sizeof(WORD));
    const WORD* toolbar = static_cast<const WORD*>(LockResource(LoadResource(m_instance, found)));
    EXPECT_EQ(toolbar[0], 1);
    EXPECT_EQ(toolbar[3], 2);
    EXPECT_EQ(toolbar[4], ID_APP_EXIT);
    EXPECT_EQ(toolbar[5], ID_APP_ABOUT);
    HBITMAP images = LoadBitmapW(m_instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_NE(images, nullptr);
    BITMAP bitmap{};
    GetObjectW(images, sizeof(bitmap), &bitmap);
    EXPECT_EQ(bitmap.bmWidth, toolbar[1] * toolbar[3]);
    EXPECT_EQ(bitmap.bmHeight, toolbar[2]);
    DeleteObject(images);
}

TEST_F(CplResourceTest, VersionAndManifest)
{
    wchar_t path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    DWORD ignored = 0;
    std::vector<BYTE> info(GetFileVersionInfoSizeW(path, &ignored));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, static_cast<DWORD>(info.size()), info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, DWORD{(QUILLO_VERSION_MAJOR << 16) | QUILLO_VERSION_MINOR});
    EXPECT_EQ(fixed->dwFileVersionLS, DWORD{QUILLO_VERSION_PATCH << 16});

    HRSRC found = FindResourceW(m_instance, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(found, nullptr);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(m_instance, found))),
                               SizeofResource(m_instance, found));
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
    EXPECT_NE(manifest.find("name=\"VANTREL.quillo.quillocpl\" version=\"" QUILLO_VERSION_TEXT "\""),
              std::string::npos);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos);
    // Per-monitor DPI aware, in the application settings where Windows reads it.
    const size_t settings = manifest.find("<asmv3:windowsSettings>");
    const size_t settingsEnd = manifest.find("</asmv3:windowsSettings>");
    ASSERT_NE(settings, std::string::npos);
    ASSERT_NE(settingsEnd, std::string::npos);
    const std::string block = manifest.substr(settings, settingsEnd - settings);
    EXPECT_NE(manifest.find("xmlns:asmv3=\"urn:schemas-microsoft-com:asm.v3\""), std::string::npos);
    EXPECT_NE(block.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">"
                         "true/pm</dpiAware>"),
              std::string::npos);
    EXPECT_NE(block.find("<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
                         "PerMonitorV2, PerMonitor</dpiAwareness>"),
              std::string::npos);
}

} // namespace
