// quillosvc.exe under Wine's service control manager, driven through its
// command line as a person would: install, start, serve a request through
// the simulator, stop, uninstall. The service process does not inherit this
// process's environment: it finds the simulator through the registry value.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "KorvelClient.h"
#include "KorvelIoctl.h"
#include "KorvelLinkFrame.h"
#include "KorvelProductKey.h"
#include "QuillosvcTestSupport.h"
#include "WnRegistryKey.h"

using quillosvc_test::Child;
using quillosvc_test::RunProgram;
using quillosvc_test::RunResult;
using quillosvc_test::SimFixture;
using quillosvc_test::WaitFor;

namespace {

const wchar_t* const SERVICE_NAME = L"quillosvc";
const wchar_t* const SOURCE_KEY =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\quillosvc";

class QuillosvcManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(scm, nullptr);
        RemoveService(); // left over from an aborted run
        ASSERT_EQ(sim.Start(), 0u);
        WnRegistryKey product;
        ASSERT_EQ(KorvelProductKey::Create(product, KEY_READ | KEY_WRITE), 0u);
        ASSERT_EQ(product.WriteString(KORVEL_LINK_REG_VALUE, sim.Namespace().c_str()), 0u);
    }

    // Whatever happened: stopped, deleted, source and simulator value gone.
    void TearDown() override
    {
        RemoveService();
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, SOURCE_KEY);
        WnRegistryKey product;
        if (KorvelProductKey::Open(product, KEY_SET_VALUE) == ERROR_SUCCESS) {
            RegDeleteValueW(product.GetKey(), KORVEL_LINK_REG_VALUE);
        }
        if (scm != nullptr) {
            CloseServiceHandle(scm);
        }
    }

    void RemoveService()
    {
        SC_HANDLE service =
            OpenServiceW(scm, SERVICE_NAME, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
        if (service == nullptr) {
            return;
        }
        SERVICE_STATUS status = {};
        if (ControlService(service, SERVICE_CONTROL_STOP, &status)) {
            for (int poll = 0; poll < 100 && QueryServiceStatus(service, &status) &&
                               status.dwCurrentState != SERVICE_STOPPED;
                 ++poll) {
                Sleep(100);
            }
        }
        DeleteService(service);
        CloseServiceHandle(service);
    }

    // Current state (0 when it cannot be queried), with the whole status.
    DWORD State(SERVICE_STATUS* full = nullptr)
    {
        SC_HANDLE service = OpenServiceW(scm, SERVICE_NAME, SERVICE_QUERY_STATUS);
        if (service == nullptr) {
            return 0;
        }
        SERVICE_STATUS status = {};
        BOOL ok = QueryServiceStatus(service, &status);
        CloseServiceHandle(service);
        if (full != nullptr) {
            *full = status;
        }
        return ok ? status.dwCurrentState : 0;
    }

    bool WaitForState(DWORD state, DWORD timeoutMs)
    {
        return WaitFor([&] { return State() == state; }, timeoutMs);
    }

    SC_HANDLE scm = nullptr;
    SimFixture sim;
};

struct InstalledConfig
{
    QUERY_SERVICE_CONFIGW* config = nullptr;
    std::vector<BYTE> buffer = std::vector<BYTE>(8192);
    std::wstring description;
};

bool QueryConfig(SC_HANDLE scm, InstalledConfig& installed)
{
    SC_HANDLE service = OpenServiceW(scm, SERVICE_NAME, SERVICE_QUERY_CONFIG);
    if (service == nullptr) {
        return false;
    }
    DWORD needed = 0;
    installed.config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(installed.buffer.data());
    bool ok = QueryServiceConfigW(service, installed.config,
                                  static_cast<DWORD>(installed.buffer.size()), &needed) != FALSE;
    std::vector<BYTE> described(2048);
    if (ok && QueryServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, described.data(),
                                   static_cast<DWORD>(described.size()), &needed)) {
        auto* description = reinterpret_cast<SERVICE_DESCRIPTIONW*>(described.data());
        installed.description = description->lpDescription ? description->lpDescription : L"";
    }
    CloseServiceHandle(service);
    return ok;
}

// The DependOnService list as the manager's registry database holds it
// (Wine's QueryServiceConfigW leaves the list empty).
std::vector<std::wstring> StoredDependencies()
{
    std::vector<std::wstring> list;
    WnRegistryKey key;
    wchar_t value[256] = {};
    DWORD size = sizeof(value) - 2 * sizeof(wchar_t); // keeps a double zero at the end
    if (key.Open(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\quillosvc", KEY_READ) !=
            0 ||
        key.ReadValue(L"DependOnService", value, &size) != 0) {
        return list;
    }
    for (const wchar_t* entry = value; *entry != L'\0'; entry += wcslen(entry) + 1) {
        list.push_back(entry);
    }
    return list;
}

void ExpectInstalledAsAutoStartService(SC_HANDLE scm)
{
    InstalledConfig installed;
    ASSERT_TRUE(QueryConfig(scm, installed));
    const QUERY_SERVICE_CONFIGW& config = *installed.config;
    EXPECT_EQ(std::wstring(config.lpBinaryPathName),
              L"\"" + quillosvc_test::ProgramPath() + L"\" -service");
    EXPECT_EQ(config.dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_EQ(config.dwStartType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(config.dwErrorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_EQ(std::wstring(config.lpLoadOrderGroup), L"PlugPlay");
    EXPECT_EQ(std::wstring(config.lpDisplayName), L"quillo control");
    EXPECT_EQ(installed.description, L"quillo control service");
    EXPECT_EQ(StoredDependencies(), (std::vector<std::wstring>{L"eventlog", L"PlugPlay"}));

    WnRegistryKey source;
    ASSERT_EQ(source.Open(HKEY_LOCAL_MACHINE, SOURCE_KEY, KEY_READ), 0u);
    wchar_t messageFile[MAX_PATH] = L"";
    DWORD size = sizeof(messageFile);
    DWORD type = 0;
    EXPECT_EQ(source.ReadValue(L"EventMessageFile", messageFile, &size, &type), 0u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(std::wstring(messageFile), quillosvc_test::ProgramPath());
    DWORD types = 0;
    EXPECT_EQ(source.ReadDword(L"TypesSupported", types), 0u);
    EXPECT_EQ(types, 7u);
}

} // namespace

TEST_F(QuillosvcManagerTest, InstallStartServeStopUninstall)
{
    RunResult install = RunProgram(L"-install");
    ASSERT_EQ(install.exitCode, 0u) << install.output;
    EXPECT_EQ(install.output, "Service installed successfully.\n");
    ExpectInstalledAsAutoStartService(scm);

    RunResult start = RunProgram(L"-start");
    ASSERT_EQ(start.exitCode, 0u) << start.output;
    EXPECT_EQ(start.output, "Service started successfully.\n");
    ASSERT_TRUE(WaitForState(SERVICE_RUNNING, 20000)) << "state " << State();
    ASSERT_TRUE(WaitFor([&] { return sim.ServerRegistered(); }, 15000)) << sim.Control("stats");
    EXPECT_TRUE(WaitFor([&] { return sim.ModelValue("dev.0.setup.count") == "1"; }, 10000))
        << "the service set the device up";

    {
        KorvelClient client;
        ASSERT_EQ(client.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
        uint32_t policy = 0;
        ASSERT_EQ(client.GetPolicy(policy), 0u);
        EXPECT_EQ(client.SetPolicy(policy ^ 1u, 10000), 0u) << "the service answered";
        uint32_t changed = 0;
        ASSERT_EQ(client.GetPolicy(changed), 0u);
        EXPECT_EQ(changed, policy ^ 1u);
    }

    RunResult console = RunProgram(L"-console", 15000);
    EXPECT_EQ(console.output, "Cannot start, another instance is already running.\n");
    EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_RUNNING));

    RunResult stop = RunProgram(L"-stop");
    EXPECT_EQ(stop.exitCode, 0u);
    EXPECT_EQ(stop.output, "Service stopped successfully.\n");
    SERVICE_STATUS status = {};
    EXPECT_EQ(State(&status), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(status.dwWin32ExitCode, 0u);
    EXPECT_EQ(status.dwServiceSpecificExitCode, 0u);
    EXPECT_TRUE(WaitFor([&] { return sim.Stat("connections") == "0"; }, 5000))
        << sim.Control("stats");
    EXPECT_EQ(sim.Stat("server"), "-");

    RunResult again = RunProgram(L"-stop");
    EXPECT_EQ(again.exitCode, static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
    EXPECT_EQ(again.output, "Error stopping service.\n");

    RunResult uninstall = RunProgram(L"-uninstall");
    EXPECT_EQ(uninstall.exitCode, 0u);
    EXPECT_EQ(uninstall.output, "Service uninstalled successfully.\n");
    EXPECT_EQ(OpenServiceW(scm, SERVICE_NAME, SERVICE_QUERY_STATUS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    HKEY source = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, SOURCE_KEY, 0, KEY_READ, &source),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(QuillosvcManagerTest, InstallReplacesAnInstalledService)
{
    ASSERT_EQ(RunProgram(L"-install").exitCode, 0u);
    ASSERT_EQ(RunProgram(L"-start").exitCode, 0u);
    ASSERT_TRUE(WaitForState(SERVICE_RUNNING, 20000)) << "state " << State();

    // Stops the running service, deletes it and installs it again.
    RunResult again = RunProgram(L"-install");
    EXPECT_EQ(again.exitCode, 0u) << again.output;
    EXPECT_EQ(again.output, "Service installed successfully.\n");
    EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_STOPPED));
    ExpectInstalledAsAutoStartService(scm);
}

TEST_F(QuillosvcManagerTest, StartWhileAConsoleInstanceRunsStopsWith183)
{
    Child console;
    ASSERT_TRUE(console.Start(L"-console"));
    ASSERT_TRUE(WaitFor([&] { return sim.ServerRegistered(); }, 15000)) << sim.Control("stats");
    const std::string server = sim.Stat("server");

    ASSERT_EQ(RunProgram(L"-install").exitCode, 0u);
    // The service stops at once; the service manager may see that before the
    // start request has completed and then answers it with 1053.
    const DWORD started = RunProgram(L"-start").exitCode;
    EXPECT_TRUE(started == 0u || started == ERROR_SERVICE_REQUEST_TIMEOUT) << started;
    ASSERT_TRUE(WaitForState(SERVICE_STOPPED, 20000)) << "state " << State();
    SERVICE_STATUS status = {};
    State(&status);
    EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(status.dwServiceSpecificExitCode, static_cast<DWORD>(ERROR_ALREADY_EXISTS));

    EXPECT_TRUE(console.Running());
    EXPECT_EQ(sim.Stat("server"), server) << "the console instance still serves";
}
