// The service program's command line: exact texts and exit codes.
#include <gtest/gtest.h>

#include <windows.h>

#include "QuillosvcTestSupport.h"

using quillosvc_test::RunProgram;
using quillosvc_test::RunResult;

namespace {

const char* const USAGE = "\n"
                          "quillosvc V1.36\n"
                          "quillo control Service\n"
                          "\n"
                          "Supported command line options:\n"
                          " -install    Install the service.\n"
                          " -uninstall  Uninstall the service.\n"
                          " -start      Start the service.\n"
                          " -stop       Stop the service.\n"
                          " -console    Start service in console mode.\n"
                          " -h, -?      Print this help message.\n"
                          "\n";

bool ServiceInstalled()
{
    SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service =
        scm != nullptr ? OpenServiceW(scm, L"quillosvc", SERVICE_QUERY_STATUS) : nullptr;
    if (service != nullptr) {
        CloseServiceHandle(service);
    }
    if (scm != nullptr) {
        CloseServiceHandle(scm);
    }
    return service != nullptr;
}

} // namespace

TEST(QuillosvcCommandLine, WithoutAnArgumentItPointsToTheHelp)
{
    RunResult result = RunProgram(L"");
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_EQ(result.output, "No arguments given, use -h.\n");
}

TEST(QuillosvcCommandLine, OnlyTheExactFirstArgumentCounts)
{
    for (const wchar_t* argument : {L"-INSTALL", L"-Console", L"install", L"-install2", L"/?"}) {
        RunResult result = RunProgram(argument);
        EXPECT_EQ(result.exitCode, 1u) << argument;
        std::string expected = "Unknown argument ";
        for (const wchar_t* c = argument; *c != L'\0'; ++c) {
            expected += static_cast<char>(*c);
        }
        EXPECT_EQ(result.output, expected + ", use -h.\n");
    }
    EXPECT_FALSE(ServiceInstalled()) << "-INSTALL must not install";

    // Arguments after the first are not looked at.
    RunResult usage = RunProgram(L"-h -install");
    EXPECT_EQ(usage.exitCode, 0u);
    EXPECT_EQ(usage.output, USAGE);
    EXPECT_FALSE(ServiceInstalled());
}

TEST(QuillosvcCommandLine, HelpPrintsTheUsage)
{
    for (const wchar_t* argument : {L"-h", L"-?"}) {
        RunResult result = RunProgram(argument);
        EXPECT_EQ(result.exitCode, 0u) << argument;
        EXPECT_EQ(result.output, USAGE) << argument;
    }
}

TEST(QuillosvcCommandLine, ManagerOperationsOnAMissingServiceFailWithTheManagersError)
{
    ASSERT_FALSE(ServiceInstalled());
    const DWORD missing = ERROR_SERVICE_DOES_NOT_EXIST;

    RunResult stop = RunProgram(L"-stop");
    EXPECT_EQ(stop.exitCode, missing);
    EXPECT_EQ(stop.output, "Error stopping service.\n");
    RunResult start = RunProgram(L"-start");
    EXPECT_EQ(start.exitCode, missing);
    EXPECT_EQ(start.output, "Error starting service.\n");
    RunResult uninstall = RunProgram(L"-uninstall");
    EXPECT_EQ(uninstall.exitCode, missing);
    EXPECT_EQ(uninstall.output, "Error uninstalling service.\n");
}
