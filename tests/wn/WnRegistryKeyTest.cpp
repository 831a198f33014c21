#include "WnRegistryKey.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A key of its own under HKEY_CURRENT_USER\Software, removed again afterwards.
class WnRegistryKeyTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_path = L"Software\\QuilloWnTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(GetTickCount());
        ASSERT_EQ(m_key.Create(HKEY_CURRENT_USER, m_path.c_str(), KEY_READ | KEY_WRITE), 0u);
    }

    void TearDown() override
    {
        m_key.Close();
        RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
        HKEY gone = nullptr;
        EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, KEY_READ, &gone),
                  ERROR_FILE_NOT_FOUND);
    }

    std::wstring m_path;
    WnRegistryKey m_key;
};

} // namespace

TEST_F(WnRegistryKeyTest, ReadDwordAcceptsOnlyFourByteDwords)
{
    DWORD value = 0;
    ASSERT_EQ(m_key.WriteDword(L"Number", 0x12345678), 0u);
    EXPECT_EQ(m_key.ReadDword(L"Number", value), 0u);
    EXPECT_EQ(value, 0x12345678u);

    const BYTE two[2] = {1, 2};
    const DWORD four = 7;
    ASSERT_EQ(m_key.WriteString(L"Short", L"1"), 0u); // 4 bytes, like a DWORD
    ASSERT_EQ(m_key.WriteString(L"Long", L"not a number"), 0u);
    ASSERT_EQ(m_key.WriteBinary(L"Two", two, sizeof(two)), 0u);
    ASSERT_EQ(m_key.WriteBinary(L"Four", &four, sizeof(four)), 0u);
    for (const wchar_t* name : {L"Short", L"Long", L"Two", L"Four"}) {
        EXPECT_EQ(m_key.ReadDword(name, value), static_cast<DWORD>(ERROR_BAD_FORMAT)) << name;
    }
    EXPECT_EQ(m_key.ReadDword(L"Missing", value), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(value, 0x12345678u); // untouched by the failures
}

TEST_F(WnRegistryKeyTest, WriteStringTypesAndSize)
{
    ASSERT_EQ(m_key.WriteString(L"Path", L"%SystemRoot%\\x.dll", REG_EXPAND_SZ), 0u);
    wchar_t text[64] = {};
    DWORD size = sizeof(text);
    DWORD type = 0;
    ASSERT_EQ(m_key.ReadValue(L"Path", text, &size, &type), 0u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(size, (wcslen(L"%SystemRoot%\\x.dll") + 1) * 2);
    EXPECT_STREQ(text, L"%SystemRoot%\\x.dll");

    for (DWORD bad : {DWORD(REG_MULTI_SZ), DWORD(REG_BINARY), DWORD(REG_DWORD)}) {
        EXPECT_EQ(m_key.WriteString(L"Bad", L"x", bad), static_cast<DWORD>(ERROR_BAD_FORMAT));
    }
    size = sizeof(text);
    EXPECT_EQ(m_key.ReadValue(L"Bad", text, &size), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(m_key.WriteString(L"Null", nullptr), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(WnRegistryKeyTest, BinaryRoundTripAndShortBuffer)
{
    const BYTE data[6] = {9, 8, 7, 6, 5, 4};
    ASSERT_EQ(m_key.WriteBinary(L"Blob", data, sizeof(data)), 0u);
    BYTE back[6] = {};
    DWORD size = 3;
    EXPECT_EQ(m_key.ReadValue(L"Blob", back, &size), static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(size, sizeof(data));
    ASSERT_EQ(m_key.ReadValue(L"Blob", back, &size), 0u);
    EXPECT_EQ(memcmp(back, data, sizeof(data)), 0);
}

TEST_F(WnRegistryKeyTest, OpenCloseAndDeleteSubkey)
{
    WnRegistryKey child;
    EXPECT_EQ(child.Open(m_key.GetKey(), L"Child", KEY_READ),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(child.GetKey(), nullptr);
    ASSERT_EQ(child.Create(m_key.GetKey(), L"Child", KEY_READ | KEY_WRITE), 0u);
    ASSERT_EQ(child.Open(m_key.GetKey(), L"Child", KEY_READ), 0u); // replaces the held key
    child.Close();
    DWORD value = 0;
    EXPECT_EQ(child.ReadDword(L"x", value), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(child.WriteDword(L"x", 1), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    EXPECT_EQ(m_key.DeleteSubkey(L""), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(m_key.DeleteSubkey(L"Child"), 0u);
    EXPECT_EQ(child.Open(m_key.GetKey(), L"Child", KEY_READ),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(m_key.DeleteSubkey(L"Child"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}
