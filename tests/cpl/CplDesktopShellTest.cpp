// Which way CplDesktopShell opens an address, with the three ways recorded.
#include "CplDesktopShell.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class RecordingDesktopShell : public CplDesktopShell
{
public:
    bool elevated = false;
    HRESULT desktopResult = S_OK;
    HRESULT directResult = S_OK;
    std::vector<std::wstring> ways;

protected:
    bool IsElevated() override { return elevated; }
    HRESULT OpenThroughDesktop(const wchar_t* address) override
    {
        ways.push_back(std::wstring(L"desktop ") + address);
        return desktopResult;
    }
    HRESULT OpenDirectly(const wchar_t* address) override
    {
        ways.push_back(std::wstring(L"direct ") + address);
        return directResult;
    }
};

} // namespace

TEST(CplDesktopShellTest, ElevatedGoesThroughTheDesktopAndFallsBackOnlyWhenItFails)
{
    const wchar_t* address = L"https://www.vantrel.example/";
    RecordingDesktopShell shell;
    EXPECT_EQ(shell.Open(address), S_OK);
    EXPECT_EQ(shell.ways, (std::vector<std::wstring>{L"direct https://www.vantrel.example/"}))
        << "not elevated: no need for the desktop";

    shell.ways.clear();
    shell.elevated = true;
    EXPECT_EQ(shell.Open(address), S_OK);
    EXPECT_EQ(shell.ways, (std::vector<std::wstring>{L"desktop https://www.vantrel.example/"}))
        << "elevated: the browser must not inherit the rights";

    shell.directResult = HRESULT_FROM_WIN32(ERROR_NO_ASSOCIATION);
    for (HRESULT refused : {E_NOINTERFACE, S_FALSE}) { // no Explorer; nothing to open with
        shell.desktopResult = refused;
        shell.ways.clear();
        EXPECT_EQ(shell.Open(address), HRESULT_FROM_WIN32(ERROR_NO_ASSOCIATION));
        EXPECT_EQ(shell.ways, (std::vector<std::wstring>{L"desktop https://www.vantrel.example/",
                                                         L"direct https://www.vantrel.example/"}));
    }
}

TEST(CplDesktopShellTest, EmptyAddressIsRefusedWithoutAskingAnyShell)
{
    RecordingDesktopShell shell;
    shell.elevated = true;
    EXPECT_EQ(shell.Open(L""), E_INVALIDARG);
    EXPECT_EQ(shell.Open(nullptr), E_INVALIDARG);
    EXPECT_TRUE(shell.ways.empty());
}

// The real ways, with a file that does not exist. Wine runs the test
// elevated and its desktop answers S_FALSE (nothing opened): the direct
// way's error then comes back, not a success.
TEST(CplDesktopShellTest, MissingFileFailsThroughTheRealShells)
{
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    const std::wstring missing = std::wstring(folder) + L"quillo-no-such-file.qnone";
    DeleteFileW(missing.c_str());
    CplDesktopShell shell;
    EXPECT_EQ(shell.Open(missing.c_str()), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}
