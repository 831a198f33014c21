// serverbench: what the device server adds to the device link, measured
// against the in-process simulator with a running CustomServer.
//
//  (a) Request turnaround: a client's Exchange of SetPolicy with the current
//      policy word (the server reads the word, finds it equal and sends
//      nothing to the device) beside the bare link round trips it is made
//      of (a GetPolicy request on the client's own connection), in
//      interleaved rounds; p50/p99 of each and the ratio of the medians. The
//      simulator's trace says how many link round trips one turnaround takes.
//  (b) A full sample-rate change on a running device (bring-down, set,
//      bring-up, notifications): median time and the requests it issues,
//      counted from the simulator's trace per kind of connection.
//
// Usage: serverbench [-n iterations-per-round] [-r rounds] [-c rate-changes]
#include <windows.h>

#include "BenchClock.h"
#include "CustomServer.h"
#include "KorvelClient.h"
#include "KorvelIoctl.h"
#include "KorvelLinkFrame.h"
#include "KorvelStatus.h"
#include "SimServer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

// The lines of the simulator's trace, read incrementally (it is flushed per line).
class TraceReader
{
public:
    explicit TraceReader(const std::wstring& path) : m_path(path) {}

    // The lines written since the last call.
    std::vector<std::string> NewLines()
    {
        std::vector<std::string> lines;
        std::ifstream file(m_path.c_str(), std::ios::binary);
        file.seekg(static_cast<std::streamoff>(m_offset));
        std::string line;
        while (std::getline(file, line)) {
            if (file.eof()) {
                break; // a line still being written
            }
            m_offset += line.size() + 1;
            lines.push_back(line);
        }
        return lines;
    }

    // "type=<t>" with "+dev" for a device-bound connection.
    static std::string Kind(const std::string& line)
    {
        std::string kind = Field(line, "type=");
        if (Field(line, "dev=") != "-") {
            kind += "+dev";
        }
        return kind;
    }

private:
    static std::string Field(const std::string& line, const std::string& name)
    {
        size_t at = line.find(" " + name);
        if (at == std::string::npos) {
            return "";
        }
        at += name.size() + 1;
        return line.substr(at, line.find(' ', at) - at);
    }

    std::wstring m_path;
    size_t m_offset = 0;
};

std::string Describe(const std::map<std::string, size_t>& counts, double per)
{
    std::string text;
    for (const auto& [kind, count] : counts) {
        const char* who = kind == "0"       ? "server"
                          : kind == "-+dev" ? "device handles"
                          : kind == "2"     ? "client"
                                            : kind.c_str();
        char part[96];
        std::snprintf(part, sizeof part, "%s%s %.1f", text.empty() ? "" : ", ", who,
                      static_cast<double>(count) / per);
        text += part;
    }
    return text;
}

std::map<std::string, size_t> CountByKind(const std::vector<std::string>& lines)
{
    std::map<std::string, size_t> counts;
    for (const std::string& line : lines) {
        ++counts[TraceReader::Kind(line)];
    }
    return counts;
}

bool WaitForNotification(KorvelClient& client, uint32_t code, DWORD timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        KorvelMessage message;
        while (client.ReceiveNextNotification(message) == ERROR_SUCCESS) {
            if (message.code == code) {
                return true;
            }
        }
        ULONGLONG now = GetTickCount64();
        if (now >= end) {
            return false;
        }
        WaitForSingleObject(client.NotificationEvent(), static_cast<DWORD>(end - now));
    }
}

int Fail(const char* what, DWORD status)
{
    std::fprintf(stderr, "serverbench: %s failed (0x%08lX)\n", what,
                 static_cast<unsigned long>(status));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    int perRound = 500;
    int rounds = 4;
    int rateChanges = 100;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "-n") == 0) {
            perRound = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "-r") == 0) {
            rounds = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "-c") == 0) {
            rateChanges = std::max(2, std::atoi(argv[i + 1]));
        }
    }

    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring nameSpace = L"serverbench-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring tracePath = std::wstring(temp) + nameSpace + L".trace";
    SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, nameSpace.c_str());

    SimServer sim;
    SimServerOptions options;
    options.nameSpace = nameSpace;
    options.devices = 1;
    options.tracePath = tracePath;
    DWORD status = sim.Start(options);
    if (status != ERROR_SUCCESS) {
        return Fail("simulator start", status);
    }
    TraceReader trace(tracePath);

    KorvelClient client;
    status = client.OpenPanel(KORVEL_CONTROL_DEVICE_NAME);
    if (status != ERROR_SUCCESS) {
        return Fail("client open", status);
    }
    CustomServer server;
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE arrival = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    DWORD served = 0;
    std::thread serveThread([&] { served = server.Serve(stop, arrival); });
    if (!WaitForNotification(client, KORVEL_NOTIFY_DEVICES_CHANGED, 10000)) {
        return Fail("server start", KORVEL_STATUS_TIMEOUT);
    }

    // (a) Turnaround beside the bare link round trip, interleaved rounds.
    uint32_t policy = 0;
    status = client.GetPolicy(policy);
    if (status != ERROR_SUCCESS) {
        return Fail("GetPolicy", status);
    }
    std::vector<double> turnaround, link;
    size_t turnaroundRequests = 0;
    for (int round = 0; round < rounds; ++round) {
        trace.NewLines();
        for (int i = 0; i < perRound; ++i) {
            double start = NowUs();
            status = client.SetPolicy(policy);
            turnaround.push_back(NowUs() - start);
            if (status != ERROR_SUCCESS) {
                return Fail("SetPolicy", status);
            }
        }
        turnaroundRequests += trace.NewLines().size();
        for (int i = 0; i < perRound; ++i) {
            uint32_t word = 0;
            double start = NowUs();
            status = client.GetPolicy(word);
            link.push_back(NowUs() - start);
            if (status != ERROR_SUCCESS) {
                return Fail("GetPolicy", status);
            }
        }
    }
    const double total = static_cast<double>(perRound) * rounds;
    const double perTurnaround = static_cast<double>(turnaroundRequests) / total;
    const double linkP50 = Percentile(link, 0.5);
    std::printf("request turnaround (SetPolicy, same word) through the server, %d x %d:\n", rounds,
                perRound);
    std::printf("  turnaround           p50 %8.1f us  p99 %8.1f us\n", Percentile(turnaround, 0.5),
                Percentile(turnaround, 0.99));
    std::printf("  bare link round trip p50 %8.1f us  p99 %8.1f us\n", linkP50,
                Percentile(link, 0.99));
    std::printf(
        "  ratio of medians %.2f; link requests per turnaround %.2f (%.2f x link p50 = %.1f us)\n",
        Percentile(turnaround, 0.5) / linkP50, perTurnaround, perTurnaround,
        perTurnaround * linkP50);

    // (b) Full sample-rate changes on a running device.
    sim.Control("activity 1 1");
    for (int i = 0; i < 200; ++i) {
        if (sim.Control("dump-model").find("stream.state=4") != std::string::npos) {
            break;
        }
        Sleep(5);
    }
    std::vector<double> changes;
    trace.NewLines();
    const uint32_t rates[2] = {44100, 48000};
    for (int i = 0; i < rateChanges; ++i) {
        double start = NowUs();
        status = client.SetSampleRate(rates[i % 2]);
        changes.push_back(NowUs() - start);
        if (status != ERROR_SUCCESS) {
            return Fail("SetSampleRate", status);
        }
    }
    std::vector<std::string> changeLines = trace.NewLines();
    const bool running = sim.Control("dump-model").find("stream.state=4") != std::string::npos;
    std::printf("sample-rate change on a running device (down, set, up, 3010/3011), %d changes:\n",
                rateChanges);
    std::printf("  p50 %8.1f us  p99 %8.1f us; running afterwards: %s\n", Percentile(changes, 0.5),
                Percentile(changes, 0.99), running ? "yes" : "no");
    std::printf("  link requests per change %.1f (%s)\n",
                static_cast<double>(changeLines.size()) / rateChanges,
                Describe(CountByKind(changeLines), rateChanges).c_str());
    std::printf("  = %.1f x the turnaround p50, %.1f x the link p50\n",
                Percentile(changes, 0.5) / Percentile(turnaround, 0.5),
                Percentile(changes, 0.5) / linkP50);

    SetEvent(stop);
    serveThread.join();
    client.CloseAll();
    sim.Stop();
    CloseHandle(stop);
    CloseHandle(arrival);
    DeleteFileW(tracePath.c_str());
    return served == ERROR_SUCCESS ? 0 : Fail("Serve", served);
}
