// The test service program in console mode: its console thread runs the body
// with the device-change notificator until Ctrl+C reaches the process.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "WnsvcTestSupport.h"

TEST(ServiceConsole, CtrlCStopsTheConsoleBodyAndItsNotificator)
{
    // A console of our own, shared with the child only, so that the Ctrl+C
    // sent to it reaches nobody else; this process ignores it. (Wine delivers
    // Ctrl+C to a whole console only: not Ctrl+Break, nor to one group.)
    FreeConsole();
    ASSERT_TRUE(AllocConsole()) << GetLastError();

    wnsvc_test::Child child;
    std::wstring program = wnsvc_test::ProgramDir() + L"wnsvc_test_service.exe";
    ASSERT_TRUE(child.Start(L"\"" + program + L"\" -console"));
    std::string output;
    ASSERT_TRUE(child.ReadUntil("console running", output)) << output;
    // Set only now: a child inherits the ignoring of Ctrl+C.
    ASSERT_TRUE(SetConsoleCtrlHandler(nullptr, TRUE));

    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << GetLastError();
    EXPECT_EQ(child.Finish(10000, &output), 0u) << "RunServices returned normally";
    EXPECT_NE(output.find("console stopped, notificator stopped"), std::string::npos) << output;
    SetConsoleCtrlHandler(nullptr, FALSE);
}
