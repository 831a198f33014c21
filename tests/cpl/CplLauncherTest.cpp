// korvelcpl.exe, the launcher hosts and the log-on entry start: which panel
// it finds, what it hands on, and a real start through the shell of a
// stand-in panel that records its command line.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <string>

#include "CplLauncher.h"
#include "KorvelProductKey.h"
#include "WnRegistryKey.h"

namespace {

std::wstring TestDirectory()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path, length);
    return directory.substr(0, directory.find_last_of(L'\\') + 1);
}

void Touch(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
}

// Sets or clears the installer's value; the key is left as it was found.
class CplLauncherTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root = TestDirectory() + L"launcher-test\\";
        CreateDirectoryW(root.c_str(), nullptr);
        CreateDirectoryW((root + L"installed").c_str(), nullptr);
        CreateDirectoryW((root + L"driver").c_str(), nullptr);
        ClearValue();
    }
    void TearDown() override { ClearValue(); }

    void SetValue(const std::wstring& path, DWORD type = REG_SZ)
    {
        WnRegistryKey product;
        ASSERT_EQ(product.Create(HKEY_LOCAL_MACHINE, KORVEL_PRODUCT_KEY,
                                 KEY_READ | KEY_WRITE | KEY_WOW64_64KEY),
                  0u);
        ASSERT_EQ(product.WriteString(CplLauncher::PANEL_PATH_VALUE, path.c_str(), type), 0u);
    }
    void ClearValue()
    {
        WnRegistryKey product;
        if (product.Open(HKEY_LOCAL_MACHINE, KORVEL_PRODUCT_KEY, KEY_WRITE | KEY_WOW64_64KEY) == 0) {
            RegDeleteValueW(product.GetKey(), CplLauncher::PANEL_PATH_VALUE);
        }
    }

    std::wstring root;
};

} // namespace

TEST(CplLauncherArguments, EverythingAfterTheProgramTokenIsHandedOn)
{
    EXPECT_EQ(CplLauncher::ArgumentsOf(L"\"C:\\Program Files\\quillo\\korvelcpl.exe\" -asio"),
              L"-asio");
    EXPECT_EQ(CplLauncher::ArgumentsOf(L"C:\\quillo\\korvelcpl.exe  -hide -notray"),
              L"-hide -notray");
    EXPECT_EQ(CplLauncher::ArgumentsOf(L"  korvelcpl.exe\t-exit"), L"-exit");
    EXPECT_EQ(CplLauncher::ArgumentsOf(L"\"C:\\a b\\korvelcpl.exe\""), L"");
    EXPECT_EQ(CplLauncher::ArgumentsOf(L"\"unterminated -asio"), L"");
    EXPECT_EQ(CplLauncher::ArgumentsOf(L""), L"");
    EXPECT_EQ(CplLauncher::ArgumentsOf(nullptr), L"");
}

TEST_F(CplLauncherTest, TheInstalledPanelWinsOverTheOneBeside)
{
    const std::wstring installed = root + L"installed\\quillocpl.exe";
    const std::wstring beside = root + L"driver\\quillocpl.exe";
    Touch(installed);
    Touch(beside);
    SetValue(installed);
    EXPECT_EQ(CplLauncher::FindPanel(root + L"driver\\korvelcpl.exe"), installed);
    // REG_EXPAND_SZ is expanded.
    ASSERT_TRUE(SetEnvironmentVariableW(L"QUILLO_LAUNCHER_TEST_ROOT", root.c_str()));
    SetValue(L"%QUILLO_LAUNCHER_TEST_ROOT%installed\\quillocpl.exe", REG_EXPAND_SZ);
    EXPECT_EQ(CplLauncher::FindPanel(root + L"driver\\korvelcpl.exe"), installed);
}

TEST_F(CplLauncherTest, AStaleOrForeignValueFallsBackToThePanelBeside)
{
    const std::wstring beside = root + L"driver\\quillocpl.exe";
    Touch(beside);
    const std::wstring launcher = root + L"driver\\korvelcpl.exe";
    SetValue(root + L"gone\\quillocpl.exe"); // uninstalled by hand
    EXPECT_EQ(CplLauncher::FindPanel(launcher), beside);
    SetValue(root + L"installed"); // a directory is no program
    EXPECT_EQ(CplLauncher::FindPanel(launcher), beside);
    {
        WnRegistryKey product;
        ASSERT_EQ(product.Open(HKEY_LOCAL_MACHINE, KORVEL_PRODUCT_KEY, KEY_WRITE | KEY_WOW64_64KEY),
                  0u);
        ASSERT_EQ(product.WriteDword(CplLauncher::PANEL_PATH_VALUE, 1), 0u);
    }
    EXPECT_EQ(CplLauncher::FindPanel(launcher), beside);
    ClearValue();
    EXPECT_EQ(CplLauncher::FindPanel(launcher), beside);
    DeleteFileW(beside.c_str());
    EXPECT_EQ(CplLauncher::FindPanel(launcher), L"");
}

// The launcher itself, started as a host starts it: the stand-in panel
// beside it records the command line it was given.
TEST_F(CplLauncherTest, TheLauncherStartsThePanelWithItsOwnArguments)
{
    const std::wstring record = root + L"record.txt";
    DeleteFileW(record.c_str());
    ASSERT_TRUE(SetEnvironmentVariableW(L"KORVEL_TEST_CPL_RECORD", record.c_str()));
    SetValue(TestDirectory() + L"launcher-panel\\quillocpl.exe");

    std::wstring commandLine = L"\"" + TestDirectory() + L"launcher-bin\\korvelcpl.exe\" -asio";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
    DWORD exitCode = 99;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(exitCode, 0u);

    for (int poll = 0; poll < 300 && GetFileAttributesW(record.c_str()) == INVALID_FILE_ATTRIBUTES;
         ++poll) {
        Sleep(100);
    }
    std::wifstream file(record.c_str());
    std::wstring line;
    ASSERT_TRUE(std::getline(file, line)) << "the stand-in panel never ran";
    EXPECT_NE(line.find(L"launcher-panel\\quillocpl.exe"), std::wstring::npos) << line;
    EXPECT_EQ(line.substr(line.size() - 6), L" -asio") << line;
}
