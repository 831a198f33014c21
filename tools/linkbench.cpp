// linkbench: what the device link costs on top of the mechanism it rests on.
//
//  (a) KorvelApiContext::GetStreamingState through the simulator link beside
//      a bare TransactNamedPipe round trip of the same frame sizes on the same
//      kind of handle (overlapped, message mode, event wait);
//  (b) KorvelClient::Exchange (send, wait for the reply, receive) beside two
//      bare round trips of the same sizes plus two event wake-ups.
//
// Both sides of each pair run against the same in-program frame server, in
// interleaved rounds, so that the ratio and not a noisy absolute time is what
// is compared. Usage: linkbench [-n iterations-per-round] [-r rounds]
#include <windows.h>

#include "BenchFrameServer.h"
#include "BenchClock.h"
#include "KorvelApiContext.h"
#include "KorvelClient.h"
#include "KorvelIoctl.h"
#include "KorvelLinkFrame.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A raw client of the frame server: the mechanism the link rests on, with
// nothing of the link around it.
class BareClient
{
public:
    bool Open(const std::wstring& path)
    {
        m_pipe = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED, nullptr);
        if (m_pipe == INVALID_HANDLE_VALUE) {
            return false;
        }
        DWORD mode = PIPE_READMODE_MESSAGE;
        m_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_answer.resize(KORVEL_LINK_MAX_FRAME);
        return SetNamedPipeHandleState(m_pipe, &mode, nullptr, nullptr) && m_event != nullptr;
    }
    ~BareClient() { Close(); }
    void Close()
    {
        if (m_pipe != INVALID_HANDLE_VALUE) {
            CloseHandle(m_pipe);
            m_pipe = INVALID_HANDLE_VALUE;
        }
        if (m_event != nullptr) {
            CloseHandle(m_event);
            m_event = nullptr;
        }
    }
    // One round trip; returns the number of answer bytes (0 on failure).
    DWORD Transact(const std::vector<uint8_t>& request)
    {
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_event;
        DWORD bytes = 0;
        if (!TransactNamedPipe(m_pipe, const_cast<uint8_t*>(request.data()),
                               static_cast<DWORD>(request.size()), m_answer.data(),
                               static_cast<DWORD>(m_answer.size()), nullptr, &overlapped) &&
            GetLastError() != ERROR_IO_PENDING) {
            return 0;
        }
        WaitForSingleObject(m_event, INFINITE);
        return GetOverlappedResult(m_pipe, &overlapped, &bytes, FALSE) ? bytes : 0;
    }

private:
    HANDLE m_pipe = INVALID_HANDLE_VALUE;
    HANDLE m_event = nullptr;
    std::vector<uint8_t> m_answer;
};

std::vector<uint8_t> RequestFrame(uint32_t code, const void* in, uint32_t inLength,
                                  uint32_t outCapacity)
{
    KorvelLinkRequestHeader header{code, inLength, outCapacity};
    std::vector<uint8_t> frame(sizeof(header) + inLength);
    std::memcpy(frame.data(), &header, sizeof(header));
    if (inLength != 0) {
        std::memcpy(frame.data() + sizeof(header), in, inLength);
    }
    return frame;
}

// Two auto-reset events and a thread that answers one with the other: one
// ping-pong is two event wake-ups.
class WakeupPartner
{
public:
    bool Start()
    {
        m_ping = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        m_pong = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        m_thread = CreateThread(nullptr, 0, &WakeupPartner::Run, this, 0, nullptr);
        return m_ping && m_pong && m_thread;
    }
    void PingPong()
    {
        SetEvent(m_ping);
        WaitForSingleObject(m_pong, INFINITE);
    }
    ~WakeupPartner()
    {
        if (m_thread != nullptr) {
            m_stop = true;
            SetEvent(m_ping);
            WaitForSingleObject(m_thread, INFINITE);
            CloseHandle(m_thread);
        }
        CloseHandle(m_ping);
        CloseHandle(m_pong);
    }

private:
    static DWORD WINAPI Run(void* self)
    {
        auto* partner = static_cast<WakeupPartner*>(self);
        for (;;) {
            WaitForSingleObject(partner->m_ping, INFINITE);
            if (partner->m_stop) {
                return 0;
            }
            SetEvent(partner->m_pong);
        }
    }
    HANDLE m_ping = nullptr;
    HANDLE m_pong = nullptr;
    HANDLE m_thread = nullptr;
    volatile bool m_stop = false;
};

struct Row
{
    const char* name;
    std::vector<double> samples;
};

void PrintRow(const Row& row)
{
    std::printf("  %-48s %9.1f %9.1f %8zu\n", row.name, Percentile(row.samples, 0.50),
                Percentile(row.samples, 0.99), row.samples.size());
}

void PrintRatio(const char* name, const Row& measured, const Row& base)
{
    std::printf("  %-48s %9.2f %9.2f\n", name,
                Percentile(measured.samples, 0.50) / Percentile(base.samples, 0.50),
                Percentile(measured.samples, 0.99) / Percentile(base.samples, 0.99));
}

} // namespace

int main(int argc, char** argv)
{
    int perRound = 1000;
    int rounds = 10;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "-n") == 0) {
            perRound = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "-r") == 0) {
            rounds = std::max(1, std::atoi(argv[i + 1]));
        }
    }

    const std::wstring nameSpace = L"linkbench-" + std::to_wstring(GetCurrentProcessId());
    SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, nameSpace.c_str());
    BenchFrameServer server(nameSpace, KORVEL_CONTROL_DEVICE_NAME);
    if (!server.Start()) {
        std::fprintf(stderr, "linkbench: cannot serve the pipe (%lu)\n", GetLastError());
        return 1;
    }

    KorvelApiContext link;
    KorvelClient client;
    BareClient bare;
    WakeupPartner partner;
    DWORD status = link.Open(KORVEL_CONTROL_DEVICE_NAME);
    if (status == 0) {
        status = client.OpenPanel(KORVEL_CONTROL_DEVICE_NAME);
    }
    if (status != 0 || !bare.Open(server.PipePath()) || !partner.Start()) {
        std::fprintf(stderr, "linkbench: cannot connect (0x%08lx)\n", status);
        return 1;
    }

    // The bare frames have the sizes of what the link sends.
    const auto stateFrame =
        RequestFrame(IOCTL_KORVEL_GET_STREAMING_STATE, nullptr, 0, sizeof(KorvelStreamingState));
    KorvelMessage notice;
    notice.Init(KORVEL_MSG_TYPE_NOTIFICATION, KORVEL_NOTIFY_SETTINGS_CHANGED);
    uint32_t payload = 48000;
    notice.SetPayload(&payload, sizeof(payload));
    const auto sendFrame = RequestFrame(IOCTL_KORVEL_SEND_MESSAGE, &notice, notice.WireLength(), 0);
    const auto receiveFrame =
        RequestFrame(IOCTL_KORVEL_RECEIVE_NOTIFICATION, nullptr, 0, sizeof(KorvelMessage));

    Row linkRow{"(a) link: GetStreamingState", {}};
    Row bareRow{"(a) bare TransactNamedPipe, same sizes", {}};
    Row exchangeRow{"(b) KorvelClient::Exchange (SetSampleRate)", {}};
    Row baseRow{"(b) 2 bare round trips + 2 event wake-ups", {}};
    Row wakeRow{"    2 event wake-ups alone", {}};

    KorvelStreamingState state{};
    for (int i = 0; i < 200; ++i) { // warm-up
        link.GetStreamingState(state);
        bare.Transact(stateFrame);
        client.SetSampleRate(48000, 5000);
        partner.PingPong();
    }
    // Each iteration takes one sample of every row, so that all rows see the
    // same load on a busy machine.
    for (int round = 0; round < rounds; ++round) {
        for (int i = 0; i < perRound; ++i) {
            double start = NowUs();
            status = link.GetStreamingState(state);
            linkRow.samples.push_back(NowUs() - start);
            if (status != 0) {
                std::fprintf(stderr, "linkbench: request failed (0x%08lx)\n", status);
                return 1;
            }

            start = NowUs();
            if (bare.Transact(stateFrame) != 8 + sizeof(KorvelStreamingState)) {
                std::fprintf(stderr, "linkbench: bare round trip failed\n");
                return 1;
            }
            bareRow.samples.push_back(NowUs() - start);

            start = NowUs();
            status = client.SetSampleRate(48000, 5000);
            exchangeRow.samples.push_back(NowUs() - start);
            if (status != 0) {
                std::fprintf(stderr, "linkbench: exchange failed (0x%08lx)\n", status);
                return 1;
            }

            start = NowUs();
            bare.Transact(sendFrame);
            partner.PingPong();
            bare.Transact(receiveFrame);
            baseRow.samples.push_back(NowUs() - start);

            start = NowUs();
            partner.PingPong();
            wakeRow.samples.push_back(NowUs() - start);
        }
    }

    std::printf("linkbench: %d rounds x %d iterations, times in microseconds\n", rounds, perRound);
    std::printf("  %-48s %9s %9s %8s\n", "", "p50", "p99", "samples");
    PrintRow(linkRow);
    PrintRow(bareRow);
    PrintRow(exchangeRow);
    PrintRow(baseRow);
    PrintRow(wakeRow);
    std::printf("  %-48s %9s %9s\n", "ratios", "p50", "p99");
    PrintRatio("(a) link / bare (target <= 1.30 at p50)", linkRow, bareRow);
    PrintRatio("(b) exchange / (2 round trips + 2 wake-ups)", exchangeRow, baseRow);

    link.Close();
    client.CloseAll();
    bare.Close();
    server.Stop(); // its sessions end as their clients close
    return 0;
}
