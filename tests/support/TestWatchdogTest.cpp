// The watchdog of the test programs' main ends a hanging test well before
// ctest's limit and says which test hung and what it waited for.
#include <gtest/gtest.h>

#include <windows.h>

#include "ChildPipe.h"
#include "ProgramDirectory.h"

TEST(TestWatchdog, EndsAHangingTestAndSaysWhatItWaitedFor)
{
    std::wstring line = L"\"" + quillo_test::ProgramDirectory() + L"watchdog_probe.exe\"";

    quillo_test::ChildPipe pipe;
    ASSERT_TRUE(pipe.Create());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = pipe.WriteEnd();
    startup.hStdError = pipe.WriteEnd();
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                               &startup, &process));
    pipe.CloseWriteEnd();
    DWORD waited = WaitForSingleObject(process.hProcess, 20000);
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 9);
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    std::string output;
    pipe.ReadAvailable(output);

    ASSERT_EQ(waited, WAIT_OBJECT_0) << "the watchdog did not end the hanging probe";
    EXPECT_EQ(code, 3u);
    EXPECT_NE(output.find("watchdog: waited 2 s for WatchdogProbe.Hangs"), std::string::npos)
        << output;
    EXPECT_NE(output.find("it was waiting for a wake-up that never comes"), std::string::npos)
        << output;
}
