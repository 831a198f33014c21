#include "CplWindowPlacement.h"

#include <gtest/gtest.h>

#include <string>

#include "WnRegistryKey.h"
#include "WtlRegistrySetting.h"

namespace {

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// A placement key of its own under HKEY_CURRENT_USER, removed afterwards.
class CplWindowPlacementTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_path = L"Software\\QuilloCplTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(GetTickCount());
        ASSERT_EQ(m_raw.Create(HKEY_CURRENT_USER, m_path.c_str(), KEY_READ | KEY_WRITE), 0u);
    }

    void TearDown() override
    {
        m_raw.Close();
        RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
    }

    void Store(DWORD x, DWORD y, DWORD width, DWORD height)
    {
        ASSERT_EQ(m_raw.WriteDword(L"PosX", x), 0u);
        ASSERT_EQ(m_raw.WriteDword(L"PosY", y), 0u);
        ASSERT_EQ(m_raw.WriteDword(L"Width", width), 0u);
        ASSERT_EQ(m_raw.WriteDword(L"Height", height), 0u);
    }

    std::wstring m_path;
    WnRegistryKey m_raw;
};

} // namespace

TEST(CplClampToScreenTest, EdgesStayOnScreenAndTinyRectanglesAreCentred)
{
    RECT tiny = {100, 100, 120, 120};
    CplWindowPlacement::ClampToScreen(tiny, 1280, 1024);
    EXPECT_TRUE(SameRect(tiny, RECT{615, 487, 665, 537}));

    RECT offScreen = {-500, -500, -490, -490};
    CplWindowPlacement::ClampToScreen(offScreen, 1280, 1024);
    EXPECT_TRUE(SameRect(offScreen, RECT{0, 0, 50, 50}));

    RECT wide = {100, 100, 2100, 500};
    CplWindowPlacement::ClampToScreen(wide, 1280, 1024);
    EXPECT_TRUE(SameRect(wide, RECT{100, 100, 1280, 500}));

    RECT beyondRight = {1270, 10, 1900, 300};
    CplWindowPlacement::ClampToScreen(beyondRight, 1280, 1024);
    EXPECT_TRUE(SameRect(beyondRight, RECT{1230, 10, 1280, 300}));
}

TEST_F(CplWindowPlacementTest, FourStoredDwordsGiveTheClampedRectangle)
{
    Store(100, 120, 600, 450);
    WtlRegistrySetting setting(m_path.c_str());
    RECT rect{};
    ASSERT_TRUE(CplWindowPlacement::Read(setting, rect));
    RECT expected = {100, 120, 700, 570};
    CplWindowPlacement::ClampToPrimaryScreen(expected);
    EXPECT_TRUE(SameRect(rect, expected));
}

TEST_F(CplWindowPlacementTest, MissingOrWrongTypedValuesLeaveTheDefault)
{
    WtlRegistrySetting setting(m_path.c_str());
    RECT rect = {1, 2, 3, 4};
    EXPECT_FALSE(CplWindowPlacement::Read(setting, rect)); // nothing stored

    Store(100, 100, 600, 400);
    ASSERT_EQ(m_raw.WriteString(L"Width", L"600"), 0u);
    EXPECT_FALSE(CplWindowPlacement::Read(setting, rect));

    Store(100, 100, 600, 400);
    const unsigned char eightBytes[8] = {1};
    ASSERT_EQ(m_raw.WriteBinary(L"Height", eightBytes, sizeof(eightBytes)), 0u);
    EXPECT_FALSE(CplWindowPlacement::Read(setting, rect));
    EXPECT_TRUE(SameRect(rect, RECT{1, 2, 3, 4}));
}

TEST_F(CplWindowPlacementTest, HostileSizesDoNotOverflowTheEdges)
{
    Store(0x7FFFFFF0, 0x7FFFFFF0, 0x7FFFFFFF, 0x7FFFFFFF);
    WtlRegistrySetting setting(m_path.c_str());
    RECT rect{};
    ASSERT_TRUE(CplWindowPlacement::Read(setting, rect));
    const int cx = GetSystemMetrics(SM_CXSCREEN);
    const int cy = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_TRUE(SameRect(rect, RECT{cx - 50, cy - 50, cx, cy}));
}

TEST_F(CplWindowPlacementTest, SaveStoresTheNormalRectangleButNothingWhenMinimised)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"placement", WS_OVERLAPPEDWINDOW, 40, 60, 500,
                                  400, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    WtlRegistrySetting setting(m_path.c_str());

    ShowWindow(window, SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(IsIconic(window));
    CplWindowPlacement::Save(setting, window);
    DWORD value = 0;
    EXPECT_NE(m_raw.ReadDword(L"PosX", value), 0u) << "a minimised window stored a placement";

    ShowWindow(window, SW_RESTORE);
    ASSERT_FALSE(IsIconic(window));
    RECT normal{};
    GetWindowRect(window, &normal);
    CplWindowPlacement::Save(setting, window);
    RECT stored{};
    ASSERT_TRUE(CplWindowPlacement::Read(setting, stored));
    CplWindowPlacement::ClampToPrimaryScreen(normal);
    EXPECT_TRUE(SameRect(stored, normal));

    // Restore puts it back, hidden, at the stored place.
    SetWindowPos(window, nullptr, 0, 0, 300, 300, SWP_NOZORDER);
    ASSERT_TRUE(CplWindowPlacement::Restore(setting, window));
    RECT restored{};
    GetWindowRect(window, &restored);
    EXPECT_TRUE(SameRect(restored, normal));
    EXPECT_FALSE(IsWindowVisible(window));
    DestroyWindow(window);
}
