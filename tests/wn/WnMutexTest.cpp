#include "WnMutex.h"

#include "ProgramDirectory.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring UniqueName(const wchar_t* what)
{
    return L"QuilloWnTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount()) + L"-" + what;
}

// wn_test_helper.exe beside this test program.
std::wstring HelperPath()
{
    return quillo_test::ProgramDirectory() + L"wn_test_helper.exe";
}

} // namespace

TEST(WnMutex, NewNameGivesOwnershipAndSecondCreateSeesItExists)
{
    std::wstring name = UniqueName(L"mutex");
    WnMutex first;
    ASSERT_EQ(first.Create(TRUE, name.c_str()), 0u);
    ASSERT_NE(first.GetHandle(), nullptr);

    WnMutex second;
    EXPECT_EQ(second.Create(FALSE, name.c_str()), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_NE(second.GetHandle(), nullptr);
    // Re-creating an unnamed mutex replaces the held handle and clears a stale 183.
    EXPECT_EQ(second.Create(FALSE), 0u);
    EXPECT_NE(second.GetHandle(), nullptr);
    ReleaseMutex(first.GetHandle());
}

TEST(WnMutex, NameHeldByAnotherProcessGives183AndAHandle)
{
    std::wstring mutexName = UniqueName(L"held");
    std::wstring readyName = UniqueName(L"ready");
    std::wstring quitName = UniqueName(L"quit");
    // Named events (WnEvent creates unnamed ones) so that the helper can open them.
    HANDLE readyNamed = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
    HANDLE quitNamed = CreateEventW(nullptr, TRUE, FALSE, quitName.c_str());
    ASSERT_NE(readyNamed, nullptr);
    ASSERT_NE(quitNamed, nullptr);

    std::wstring commandLine =
        L"\"" + HelperPath() + L"\" " + mutexName + L" " + readyName + L" " + quitName;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
        << GetLastError();
    ASSERT_EQ(WaitForSingleObject(readyNamed, 10000), WAIT_OBJECT_0);

    {
        WnMutex mutex;
        EXPECT_EQ(mutex.Create(TRUE, mutexName.c_str()), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
        ASSERT_NE(mutex.GetHandle(), nullptr);
        // The handle names the other process's mutex: it is not ours until released.
        EXPECT_EQ(WaitForSingleObject(mutex.GetHandle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
        SetEvent(quitNamed);
        EXPECT_EQ(WaitForSingleObject(mutex.GetHandle(), 10000), WAIT_OBJECT_0);
        ReleaseMutex(mutex.GetHandle());
    }

    EXPECT_EQ(WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(readyNamed);
    CloseHandle(quitNamed);
}
