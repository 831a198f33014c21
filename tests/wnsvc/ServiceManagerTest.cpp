// The service framework driven end to end through Wine's service control
// manager: a copy of the test service program, installed from a directory
// whose path has spaces, is installed, started, stopped and uninstalled
// through its command line, and the SCM's view of it is checked.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "WnRegistryKey.h"
#include "WnsvcTestSupport.h"

namespace {

using wnsvc_test::RunProgram;

std::wstring TempDir()
{
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    return temp;
}

class ServiceManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        name = wnsvc_test::UniqueName(NamePrefix());
        parent = TempDir() + L"quillo test dir";
        dir = parent + L"\\" + name;
        exe = dir + L"\\" + name + L".exe";
        CreateDirectoryW(parent.c_str(), nullptr);
        ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
        ASSERT_TRUE(CopyFileW((wnsvc_test::ProgramDir() + L"wnsvc_test_service.exe").c_str(),
                              exe.c_str(), FALSE));
        scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(scm, nullptr);
    }

    // Stops and deletes whatever the test left, straight through the SCM.
    void TearDown() override
    {
        SC_HANDLE service =
            scm != nullptr
                ? OpenServiceW(scm, name.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE)
                : nullptr;
        if (service != nullptr) {
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
        if (scm != nullptr) {
            CloseServiceHandle(scm);
        }
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, SourceKey().c_str());
        for (int attempt = 0;
             attempt < 50 && !DeleteFileW(exe.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND;
             ++attempt) {
            Sleep(100); // the service process may still be ending
        }
        RemoveDirectoryW(dir.c_str());
        RemoveDirectoryW(parent.c_str()); // only when no other run uses it
    }

    virtual const wchar_t* NamePrefix() const { return L"quillotestsvc"; }

    DWORD Run(const wchar_t* argument) { return RunProgram(exe, argument); }

    std::wstring SourceKey() const
    {
        return L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + name;
    }

    // The service's DependOnService list in the SCM's registry database.
    std::vector<std::wstring> StoredDependencies() const
    {
        std::vector<std::wstring> list;
        WnRegistryKey key;
        std::wstring path = L"SYSTEM\\CurrentControlSet\\Services\\" + name;
        wchar_t value[256] = {};
        DWORD size = sizeof(value) - 2 * sizeof(wchar_t); // keeps a double zero at the end
        if (key.Open(HKEY_LOCAL_MACHINE, path.c_str(), KEY_READ) != 0 ||
            key.ReadValue(L"DependOnService", value, &size) != 0) {
            return list;
        }
        for (const wchar_t* entry = value; *entry != L'\0'; entry += wcslen(entry) + 1) {
            list.push_back(entry);
        }
        return list;
    }

    // Current state of the service, 0 when it cannot be queried.
    DWORD State(SERVICE_STATUS* full = nullptr)
    {
        SC_HANDLE service = OpenServiceW(scm, name.c_str(), SERVICE_QUERY_STATUS);
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

    // Waits up to `timeoutMs` for the service to reach `state`.
    bool WaitForState(DWORD state, DWORD timeoutMs)
    {
        for (DWORD waited = 0; State() != state; waited += 50) {
            if (waited >= timeoutMs) {
                return false;
            }
            Sleep(50);
        }
        return true;
    }

    std::wstring name;
    std::wstring parent;
    std::wstring dir;
    std::wstring exe;
    SC_HANDLE scm = nullptr;
};

// The test service copy that takes 7 s to stop.
class SlowStopServiceTest : public ServiceManagerTest
{
protected:
    const wchar_t* NamePrefix() const override { return L"quillotestsvc_slowstop"; }
};

// The service's configuration as the SCM holds it.
struct InstalledConfig
{
    std::wstring binaryPath;
    std::wstring loadOrderGroup;
    std::wstring displayName;
    std::vector<std::wstring> dependencies;
    DWORD serviceType = 0;
    DWORD startType = 0;
    DWORD errorControl = 0;
    std::wstring description;
};

bool QueryConfig(SC_HANDLE scm, const std::wstring& name, InstalledConfig& config)
{
    SC_HANDLE service = OpenServiceW(scm, name.c_str(), SERVICE_QUERY_CONFIG);
    if (service == nullptr) {
        return false;
    }
    std::vector<BYTE> buffer(8192);
    DWORD needed = 0;
    bool ok = QueryServiceConfigW(service, reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data()),
                                  static_cast<DWORD>(buffer.size()), &needed) != FALSE;
    if (ok) {
        auto* raw = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
        config.binaryPath = raw->lpBinaryPathName ? raw->lpBinaryPathName : L"";
        config.loadOrderGroup = raw->lpLoadOrderGroup ? raw->lpLoadOrderGroup : L"";
        config.displayName = raw->lpDisplayName ? raw->lpDisplayName : L"";
        config.serviceType = raw->dwServiceType;
        config.startType = raw->dwStartType;
        config.errorControl = raw->dwErrorControl;
        for (const wchar_t* dependency = raw->lpDependencies;
             dependency != nullptr && *dependency != L'\0'; dependency += wcslen(dependency) + 1) {
            config.dependencies.push_back(dependency);
        }
    }
    std::vector<BYTE> described(2048);
    if (ok && QueryServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, described.data(),
                                   static_cast<DWORD>(described.size()), &needed)) {
        auto* description = reinterpret_cast<SERVICE_DESCRIPTIONW*>(described.data());
        config.description = description->lpDescription ? description->lpDescription : L"";
    }
    CloseServiceHandle(service);
    return ok;
}

} // namespace

TEST_F(ServiceManagerTest, InstallRegistersAQuotedCommandLineAndUninstallRemovesIt)
{
    ASSERT_EQ(Run(L"-install"), 0u);

    InstalledConfig config;
    ASSERT_TRUE(QueryConfig(scm, name, config));
    // Quoted: a path with spaces cannot be read as a shorter program path.
    EXPECT_EQ(config.binaryPath, L"\"" + exe + L"\" -service");
    EXPECT_EQ(config.serviceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_EQ(config.startType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(config.errorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_EQ(config.loadOrderGroup, L"PlugPlay");
    EXPECT_EQ(config.displayName, name + L" display");
    // The dependencies as the SCM's database holds them (Wine's
    // QueryServiceConfigW leaves the list empty).
    const std::vector<std::wstring> dependencies{L"eventlog", L"PlugPlay"};
    if (!config.dependencies.empty()) {
        EXPECT_EQ(config.dependencies, dependencies);
    }
    EXPECT_EQ(StoredDependencies(), dependencies);
    EXPECT_EQ(config.description, L"quillo test service " + name);

    WnRegistryKey source;
    ASSERT_EQ(source.Open(HKEY_LOCAL_MACHINE, SourceKey().c_str(), KEY_READ), 0u);
    wchar_t messageFile[MAX_PATH] = L"";
    DWORD size = sizeof(messageFile);
    EXPECT_EQ(source.ReadValue(L"EventMessageFile", messageFile, &size), 0u);
    EXPECT_EQ(std::wstring(messageFile), exe);
    source.Close();

    EXPECT_EQ(Run(L"-install"), static_cast<DWORD>(ERROR_SERVICE_EXISTS));

    EXPECT_EQ(Run(L"-uninstall"), 0u);
    SC_HANDLE gone = OpenServiceW(scm, name.c_str(), SERVICE_QUERY_STATUS);
    EXPECT_EQ(gone, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_EQ(source.Open(HKEY_LOCAL_MACHINE, SourceKey().c_str(), KEY_READ),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(ServiceManagerTest, OperationsOnAMissingServiceReportTheManagersError)
{
    const DWORD missing = ERROR_SERVICE_DOES_NOT_EXIST;
    EXPECT_EQ(Run(L"-start"), missing);
    EXPECT_EQ(Run(L"-stop"), missing);
    EXPECT_EQ(Run(L"-uninstall"), missing);
}

TEST_F(ServiceManagerTest, StartedServiceRunsUntilRequestStop)
{
    ASSERT_EQ(Run(L"-install"), 0u);
    ASSERT_EQ(Run(L"-start"), 0u);
    ASSERT_TRUE(WaitForState(SERVICE_RUNNING, 20000)) << "state " << State();

    SERVICE_STATUS status = {};
    State(&status);
    EXPECT_EQ(status.dwControlsAccepted,
              static_cast<DWORD>(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN));
    EXPECT_EQ(status.dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));

    // Interrogation is answered and changes nothing.
    SC_HANDLE service = OpenServiceW(scm, name.c_str(), SERVICE_INTERROGATE);
    ASSERT_NE(service, nullptr);
    EXPECT_TRUE(ControlService(service, SERVICE_CONTROL_INTERROGATE, &status));
    CloseServiceHandle(service);
    EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_RUNNING));

    EXPECT_EQ(Run(L"-start"), static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING));

    // The stop request waits until the service has stopped.
    EXPECT_EQ(Run(L"-stop"), 0u);
    EXPECT_EQ(State(&status), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(status.dwWin32ExitCode, 0u);
    EXPECT_EQ(status.dwServiceSpecificExitCode, 0u);
    EXPECT_EQ(Run(L"-stop"), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));

    EXPECT_EQ(Run(L"-uninstall"), 0u);
}

TEST_F(SlowStopServiceTest, RequestStopGivesUpAfterItsPollBudget)
{
    ASSERT_EQ(Run(L"-install"), 0u);
    ASSERT_EQ(Run(L"-start"), 0u);
    ASSERT_TRUE(WaitForState(SERVICE_RUNNING, 20000)) << "state " << State();

    DWORD started = GetTickCount();
    EXPECT_EQ(Run(L"-stop"), static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_GE(GetTickCount() - started, 5000u) << "50 polls 100 ms apart";
    EXPECT_TRUE(WaitForState(SERVICE_STOPPED, 10000)) << "it does stop in the end";
}
