#include "HostCommands.h"

#include "HostAsioText.h"
#include "HostDriverList.h"
#include "HostLatencyMeter.h"
#include "HostLatencyReport.h"
#include "HostProbe.h"
#include "HostReport.h"
#include "HostSession.h"

#include <objbase.h>

#include <cstdio>

namespace {

// The longest a latency measurement may stream (it ends as soon as it is complete).
constexpr double LATENCY_MOST_SECONDS = 120;

// COM for the commands that load a driver: a single-threaded apartment, as hosts use.
class ComApartment
{
public:
    ComApartment() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(m_result)) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT m_result;
};

} // namespace

int HostCommands::Run(const HostCommandLine& line)
{
    if (line.command == L"help") {
        std::fputs(HostCommandLine::Usage(), stdout);
        return HOST_EXIT_OK;
    }
    if (line.command == L"list") {
        return List();
    }
    ComApartment com;
    if (line.command == L"probe") {
        return Probe(line);
    }
    if (line.command == L"rate") {
        return Rate(line);
    }
    if (line.command == L"latency") {
        return Latency(line);
    }
    return Stream(line);
}

int HostCommands::Failure(int exitCode, const std::string& error)
{
    std::fflush(stdout);
    std::fprintf(stderr, "asiohost: %s\n", error.c_str());
    return exitCode;
}

int HostCommands::List()
{
    HostDriverList list;
    DWORD status = list.Read();
    if (status == ERROR_FILE_NOT_FOUND || (status == ERROR_SUCCESS && list.Entries().empty())) {
        return Failure(HOST_EXIT_NO_DRIVER, "no ASIO driver is installed");
    }
    if (status != ERROR_SUCCESS) {
        return Failure(HOST_EXIT_NO_DRIVER,
                       "cannot read HKLM\\SOFTWARE\\ASIO (error " + std::to_string(status) + ")");
    }
    std::printf("asiohost: %zu ASIO driver(s)\n", list.Entries().size());
    for (const HostDriverEntry& entry : list.Entries()) {
        std::printf("  %-24s %s  %s%s\n", HostAsioText::Narrow(entry.name).c_str(),
                    HostAsioText::Narrow(entry.clsidText).c_str(),
                    HostAsioText::Narrow(entry.description).c_str(),
                    entry.registered ? "" : "  (class not registered)");
    }
    return HOST_EXIT_OK;
}

int HostCommands::Probe(const HostCommandLine& line)
{
    std::string report, error;
    int exitCode = HOST_EXIT_OK;
    if (!HostProbe::Run(line.stream.source, report, error, exitCode)) {
        return Failure(exitCode, error);
    }
    std::fputs(report.c_str(), stdout);
    return HOST_EXIT_OK;
}

int HostCommands::Stream(const HostCommandLine& line)
{
    HostSession session(line.stream);
    HostStreamResult result = session.Run();
    const std::string summary = line.json ? HostReport::Json(result) : HostReport::Text(result);
    std::fputs(summary.c_str(), stdout);
    if (result.exitCode != HOST_EXIT_OK) {
        return Failure(result.exitCode, result.error);
    }
    std::fflush(stdout);
    return HOST_EXIT_OK;
}

int HostCommands::Rate(const HostCommandLine& line)
{
    HostDriver driver;
    std::string error;
    if (!driver.Load(line.stream.source, error)) {
        return Failure(HOST_EXIT_NO_DRIVER, error);
    }
    if (!driver.Init(error)) {
        return Failure(HOST_EXIT_INIT_FAILED, error);
    }
    ASIOSampleRate before = 0;
    driver.Asio()->getSampleRate(&before);
    ASIOError status = driver.Asio()->setSampleRate(line.rateHz);
    ASIOSampleRate after = 0;
    driver.Asio()->getSampleRate(&after);
    std::printf("asiohost: setSampleRate(%u) = %s (rate %.0f Hz before, %.0f Hz after)\n",
                line.rateHz, HostAsioText::ErrorName(status), before, after);
    if (status != ASE_OK) {
        return Failure(HOST_EXIT_RATE_REFUSED, "the driver refused the rate " +
                                                   std::to_string(line.rateHz) +
                                                   " Hz: " + HostAsioText::ErrorName(status));
    }
    std::fflush(stdout);
    return HOST_EXIT_OK;
}

int HostCommands::Latency(const HostCommandLine& line)
{
    HostLatencyMeter meter(line.repeats);
    HostStreamOptions options = line.stream;
    options.channels = {{true, line.loopInput}, {false, line.loopOutput}};
    options.toneHz = 0;
    options.recordPath.clear();
    options.seconds = LATENCY_MOST_SECONDS;
    options.probe = &meter;
    HostSession session(options);
    HostStreamResult stream = session.Run();
    if (stream.exitCode != HOST_EXIT_OK) {
        return Failure(stream.exitCode, stream.error);
    }
    const std::string channels =
        "input " + std::to_string(line.loopInput) + " and output " + std::to_string(line.loopOutput);
    if (!meter.Prepared()) {
        return Failure(HOST_EXIT_USAGE, channels + " are not both 32-bit PCM channels");
    }
    if (!meter.Done()) {
        return Failure(HOST_EXIT_STREAM_FAILED, "the stream ended before the measurement did");
    }
    HostLatencyResult result;
    result.segment = stream.segments.back();
    result.input = line.loopInput;
    result.output = line.loopOutput;
    result.findings = meter.Analyse();
    result.missedSwitches = stream.missedSwitches;
    const std::string text =
        line.json ? HostLatencyReport::Json(result) : HostLatencyReport::Text(result);
    std::fputs(text.c_str(), stdout);
    if (result.Found() == 0) {
        return Failure(HOST_EXIT_NOT_FOUND,
                       "no impulse found on input " + std::to_string(line.loopInput) +
                           ": is output " + std::to_string(line.loopOutput) +
                           " joined to it by a loopback cable?");
    }
    std::fflush(stdout);
    return HOST_EXIT_OK;
}
