#include "BenchRig.h"

#include "HostAsioText.h"
#include "KorvelLinkFrame.h"
#include "SimControlClient.h"

namespace {

constexpr DWORD READY_MS = 20000;

} // namespace

BenchRig::~BenchRig()
{
    m_service.Terminate();
    if (m_simulator.Running()) {
        Control("stop");
        if (m_simulator.Wait(10000) == 0xFFFFFFFF) {
            m_simulator.Terminate();
        }
    }
}

std::wstring BenchRig::DllPath()
{
    return HostAsioText::WindowsPath(BRINDLEASIO_DLL_PATH);
}

bool BenchRig::Start(std::string& error)
{
    const std::wstring unique =
        std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64());
    m_namespace = L"quillo-bench-" + unique;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    m_directory = std::wstring(temp) + L"quillo-bench-" + unique + L"\\";
    CreateDirectoryW(m_directory.c_str(), nullptr);

    const std::wstring serve = L"\"" + HostAsioText::WindowsPath(KORVELSIM_EXE_PATH) +
                               L"\" serve --namespace " + m_namespace + L" --devices 2";
    if (m_simulator.Start(serve, File(L"korvelsim.log")) != 0 ||
        !m_simulator.WaitForOutput("korvelsim: ready", READY_MS)) {
        error = "the simulator did not start: " + m_simulator.Output();
        return false;
    }
    SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, m_namespace.c_str());
    if (m_service.Start(L"\"" + HostAsioText::WindowsPath(QUILLOSVC_EXE_PATH) + L"\" -console",
                        File(L"quillosvc.log")) != 0) {
        error = "the service did not start";
        return false;
    }
    return WaitUntilReady(error);
}

bool BenchRig::WaitUntilReady(std::string& error) const
{
    const ULONGLONG end = GetTickCount64() + READY_MS;
    while (GetTickCount64() < end) {
        const std::string stats = Control("stats");
        const std::string model = Control("dump-model");
        if (stats.find("server=") != std::string::npos &&
            stats.find("server=-") == std::string::npos &&
            model.find("dev.0.setup.count=1") != std::string::npos) {
            return true;
        }
        Sleep(50);
    }
    error = "the service did not set the devices up in time: " + m_service.Output();
    return false;
}

std::string BenchRig::Control(const std::string& line) const
{
    std::string answer;
    return SimControlClient::Send(m_namespace, line, answer) == 0 ? answer : std::string();
}
