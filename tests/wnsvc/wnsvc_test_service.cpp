// Service program for the service-framework tests. Its service name is the
// base name of its own program file, so that each test run installs a copy
// under a name of its own. Command line: -install, -uninstall, -start,
// -stop (exit code = the operation's status), -service (run under the
// service control manager), -console (run until Ctrl+C / Ctrl+Break).
// A copy whose name contains "slowstop" takes 7 s to stop under the SCM.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "ServiceBase.h"

namespace {

// Interface class the service registers for; no such device ever arrives.
const GUID TEST_INTERFACE = {
    0x5f1d2c3b, 0x9a4e, 0x4c61, {0x8e, 0x2a, 0x13, 0x77, 0xb0, 0x4d, 0x6c, 0x95}};

class TestService : public ServiceBase
{
public:
    TestService()
    {
        wchar_t path[MAX_PATH] = L"";
        GetProgramPath(path);
        const wchar_t* base = wcsrchr(path, L'\\');
        base = base != nullptr ? base + 1 : path;
        wcsncpy(m_name, base, 127);
        m_name[127] = L'\0';
        wchar_t* dot = wcsrchr(m_name, L'.');
        if (dot != nullptr) {
            *dot = L'\0';
        }
        _snwprintf(m_displayName, 199, L"%s display", m_name);
        m_displayName[199] = L'\0';
        _snwprintf(m_description, 199, L"quillo test service %s", m_name);
        m_description[199] = L'\0';
    }

    const wchar_t* GetServiceName() override { return m_name; }
    const wchar_t* GetDisplayName() override { return m_displayName; }
    const wchar_t* GetDescription() override { return m_description; }
    LPSERVICE_MAIN_FUNCTIONW GetServiceMainFunction() override { return &ServiceMain; }

    DWORD RunConsole() override
    {
        DWORD status = GetPnPNotificator().Start(GetPnPCallback());
        if (status == 0) {
            status = GetPnPNotificator().RegisterInterface(TEST_INTERFACE);
        }
        if (status != 0) {
            std::printf("console failed %lu\n", status);
            std::fflush(stdout);
            return status;
        }
        std::printf("console running\n");
        std::fflush(stdout);
        WaitForSingleObject(GetStopEvent(), INFINITE);
        std::printf("console stopped, notificator %s\n",
                    GetPnPNotificator().IsStarted() ? "running" : "stopped");
        std::fflush(stdout);
        return 0;
    }

    static void WINAPI ServiceMain(DWORD, LPWSTR*);

private:
    void RunService()
    {
        if (!RegisterControlHandler()) {
            return;
        }
        ReportStatus(SERVICE_START_PENDING, 3000);
        DWORD status = RegisterInterfaceNotification(TEST_INTERFACE);
        if (status != 0) {
            ReportStatus(SERVICE_STOPPED, 0, 0, status, status);
            return;
        }
        ReportStatus(SERVICE_RUNNING);
        WaitForSingleObject(GetStopEvent(), INFINITE);
        if (wcsstr(m_name, L"slowstop") != nullptr) {
            Sleep(7000);
        }
        ReportStatus(SERVICE_STOPPED);
    }

    wchar_t m_name[128] = L"";
    wchar_t m_displayName[200] = L"";
    wchar_t m_description[200] = L"";
};

TestService g_service;

void WINAPI TestService::ServiceMain(DWORD, LPWSTR*)
{
    g_service.RunService();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        return 1;
    }
    const char* option = argv[1];
    if (std::strcmp(option, "-install") == 0) {
        return static_cast<int>(g_service.Install());
    }
    if (std::strcmp(option, "-uninstall") == 0) {
        return static_cast<int>(g_service.Uninstall());
    }
    if (std::strcmp(option, "-start") == 0) {
        return static_cast<int>(g_service.RequestStart());
    }
    if (std::strcmp(option, "-stop") == 0) {
        return static_cast<int>(g_service.RequestStop());
    }
    bool console = std::strcmp(option, "-console") == 0;
    if (!console && std::strcmp(option, "-service") != 0) {
        return 1;
    }
    if (ServiceBase::Register(&g_service) != 0) {
        return -1;
    }
    return ServiceBase::RunServices(console) ? 0 : -1;
}
