// quillosvc.exe: the device control service program. Its first argument
// (compared exactly, case-sensitively) selects what it does: install,
// uninstall, start or stop the service through the service control manager,
// print the usage, run in a console window, or run as the service itself
// ("-service", what the manager passes). The exit code is the operation's
// status.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "KorvelLog.h"
#include "KorvelService.h"

namespace {

// The program's one service object, constructed before the command line is
// looked at.
KorvelService g_service;

// Usage format; mingw's wide printf follows the C standard, so wide texts
// are passed with %ls.
constexpr const wchar_t* USAGE_FORMAT =
    L"\n%ls V%d.%02d\n%ls Service\n\nSupported command line options:\n"
    L" -install    Install the service.\n"
    L" -uninstall  Uninstall the service.\n"
    L" -start      Start the service.\n"
    L" -stop       Stop the service.\n"
    L" -console    Start service in console mode.\n"
    L" -h, -?      Print this help message.\n\n";

int Print(const wchar_t* text)
{
    std::fputws(text, stdout);
    std::fflush(stdout);
    return 0;
}

// Prints the success or failure text of an operation; its status is the
// exit code.
int Report(DWORD status, const wchar_t* success, const wchar_t* failure)
{
    Print(status == 0 ? success : failure);
    return static_cast<int>(status);
}

int InstallCommand()
{
    // An installed service is replaced; not being installed yet is normal.
    g_service.RequestStop();
    g_service.Uninstall();
    return Report(g_service.Install(), L"Service installed successfully.\n",
                  L"Error installing service.\n");
}

int UninstallCommand()
{
    g_service.RequestStop(); // a service that does not run is normal here
    return Report(g_service.Uninstall(), L"Service uninstalled successfully.\n",
                  L"Error uninstalling service.\n");
}

int StartCommand()
{
    return Report(g_service.RequestStart(), L"Service started successfully.\n",
                  L"Error starting service.\n");
}

int StopCommand()
{
    return Report(g_service.RequestStop(), L"Service stopped successfully.\n",
                  L"Error stopping service.\n");
}

int UsageCommand()
{
    std::wprintf(USAGE_FORMAT, g_service.GetServiceName(),
                 static_cast<int>(KorvelService::VERSION_MAJOR),
                 static_cast<int>(KorvelService::VERSION_MINOR), g_service.GetDisplayName());
    std::fflush(stdout);
    return 0;
}

// Registers the service object and runs it; -1 when the run cannot start.
int RunRegistered(bool console)
{
    if (ServiceBase::Register(&g_service) != 0) {
        return -1;
    }
    return ServiceBase::RunServices(console) ? 0 : -1;
}

int ConsoleCommand()
{
    return RunRegistered(true);
}

int ServiceCommand()
{
    return RunRegistered(false);
}

struct CommandLineOption
{
    const wchar_t* argument;
    int (*action)();
};

constexpr CommandLineOption OPTIONS[] = {
    {L"-install", InstallCommand}, {L"-uninstall", UninstallCommand},
    {L"-start", StartCommand},     {L"-stop", StopCommand},
    {L"-h", UsageCommand},         {L"-?", UsageCommand},
    {L"-console", ConsoleCommand}, {L"-service", ServiceCommand},
};

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2 || argv[1] == nullptr) {
        Print(L"No arguments given, use -h.\n");
        return 1;
    }
    // The diagnostic log, when turned on, for as long as the program runs.
    KorvelLogSession log;
    for (const CommandLineOption& option : OPTIONS) {
        if (std::wcscmp(argv[1], option.argument) == 0) {
            return option.action();
        }
    }
    std::wprintf(L"Unknown argument %ls, use -h.\n", argv[1]);
    std::fflush(stdout);
    return 1;
}
