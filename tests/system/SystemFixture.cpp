#include "SystemFixture.h"

#include "HostErrorCounter.h"
#include "HostAsioText.h"
#include "KorvelLinkFrame.h"
#include "SimControlClient.h"
#include "TestWatchdog.h"
#include "WaitFor.h"
#include "WordValue.h"

#include <cstdlib>
#include <sstream>

namespace {

std::wstring Quoted(const std::wstring& path)
{
    return L"\"" + path + L"\"";
}

constexpr DWORD READY_MS = 20000;

double NumberAt(const std::string& json, size_t at)
{
    return at == std::string::npos ? -1 : std::strtod(json.c_str() + at, nullptr);
}

} // namespace

double JsonNumber(const std::string& json, const std::string& key)
{
    const std::string tag = "\"" + key + "\":";
    size_t at = json.find(tag);
    return NumberAt(json, at == std::string::npos ? at : at + tag.size());
}

double LastJsonNumber(const std::string& json, const std::string& key)
{
    const std::string tag = "\"" + key + "\":";
    size_t at = json.rfind(tag);
    return NumberAt(json, at == std::string::npos ? at : at + tag.size());
}

void SystemFixture::SetUp()
{
    const std::wstring unique =
        std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64());
    nameSpace = L"quillo-system-" + unique;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    m_directory = std::wstring(temp) + L"quillo-system-" + unique + L"\\";
    ASSERT_TRUE(CreateDirectoryW(m_directory.c_str(), nullptr)) << GetLastError();
}

void SystemFixture::TearDown()
{
    quillo_test::WaitNote note("the simulator and the service to end");
    service.Terminate();
    if (simulator.Running()) {
        Control("stop");
        if (simulator.Wait(10000) == 0xFFFFFFFF) {
            simulator.Terminate();
        }
    }
    SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, nullptr);
}

std::wstring SystemFixture::TempFile(const std::wstring& name) const
{
    return m_directory + name;
}

void SystemFixture::StartSimulatorAndService(unsigned devices)
{
    const std::wstring serve = Quoted(HostAsioText::WindowsPath(KORVELSIM_EXE_PATH)) +
                               L" serve --namespace " + nameSpace + L" --devices " +
                               std::to_wstring(devices);
    ASSERT_EQ(simulator.Start(serve, TempFile(L"korvelsim.log")), 0u);
    {
        quillo_test::WaitNote note("korvelsim.exe to say it is ready");
        ASSERT_TRUE(simulator.WaitForOutput("korvelsim: ready", READY_MS)) << simulator.Output();
    }
    // The service and every host started from now on find the simulator.
    SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, nameSpace.c_str());
    ASSERT_EQ(service.Start(Quoted(HostAsioText::WindowsPath(QUILLOSVC_EXE_PATH)) + L" -console",
                            TempFile(L"quillosvc.log")),
              0u);
    quillo_test::WaitNote note("the service to register and set the device up");
    ASSERT_TRUE(
        quillo_test::WaitFor([&] { return Stat("server") != "-" && !Stat("server").empty(); }, READY_MS))
        << Control("stats") << "\nservice output: " << service.Output();
    ASSERT_TRUE(quillo_test::WaitFor([&] { return ModelValue("dev.0.setup.count") == "1"; }, READY_MS))
        << Control("dump");
}

std::string SystemFixture::Control(const std::string& line)
{
    std::string answer;
    return SimControlClient::Send(nameSpace, line, answer) == 0 ? answer : std::string();
}

std::string SystemFixture::Stat(const std::string& name)
{
    return quillo_test::WordValue(Control("stats"), name);
}

std::string SystemFixture::ModelValue(const std::string& key)
{
    std::istringstream lines(Control("dump-model"));
    std::string line;
    const std::string prefix = key + "=";
    while (std::getline(lines, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return line.substr(prefix.size());
        }
    }
    return {};
}

bool SystemFixture::AsioErrorCount(uint32_t& count)
{
    HostErrorCounter counter;
    return counter.Open() && counter.Read(count);
}

std::string SystemFixture::RunningStreamField(const std::string& field)
{
    std::istringstream lines(Control("dump"));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("asio.stream=", 0) == 0 && quillo_test::WordValue(line, "state") == "running") {
            return quillo_test::WordValue(line, field);
        }
    }
    return {};
}

bool SystemFixture::WaitForRunningStream(uint64_t signals, DWORD timeoutMs)
{
    quillo_test::WaitNote note("an ASIO stream to run in the simulator");
    return quillo_test::WaitFor(
        [&] {
            std::string value = RunningStreamField("signals");
            return !value.empty() && std::strtoull(value.c_str(), nullptr, 10) >= signals;
        },
        timeoutMs);
}

std::wstring SystemFixture::HostCommand(const std::wstring& command,
                                        const std::wstring& arguments) const
{
    return Quoted(HostAsioText::WindowsPath(ASIOHOST_EXE_PATH)) + L" " + command + L" --dll " +
           Quoted(HostAsioText::WindowsPath(BRINDLEASIO_DLL_PATH)) + L" " + arguments;
}

HostRun SystemFixture::RunHost(const std::wstring& command, const std::wstring& arguments,
                               DWORD timeoutMs)
{
    std::unique_ptr<HostChildProcess> host = StartHost(command, arguments);
    HostRun run;
    if (host) {
        quillo_test::WaitNote note("asiohost.exe " + std::string(command.begin(), command.end()) +
                                   " to end");
        run.exitCode = host->Wait(timeoutMs);
        run.output = host->Output();
    }
    return run;
}

std::unique_ptr<HostChildProcess> SystemFixture::StartHost(const std::wstring& command,
                                                           const std::wstring& arguments)
{
    auto host = std::make_unique<HostChildProcess>();
    const std::wstring log = TempFile(L"asiohost-" + std::to_wstring(++m_hosts) + L".log");
    if (host->Start(HostCommand(command, arguments), log) != 0) {
        ADD_FAILURE() << "asiohost.exe did not start";
        return nullptr;
    }
    return host;
}
