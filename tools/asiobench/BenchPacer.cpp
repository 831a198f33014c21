#include "BenchPacer.h"

#include "HostChildProcess.h"
#include "SimAsioPacer.h"

#include <windows.h>

namespace {

constexpr DWORD CHILD_WAIT_MS = 20000;
// The child looks at the stop flag this often while no signal comes.
constexpr DWORD CHILD_POLL_MS = 200;

struct SharedCounts
{
    volatile LONG acks; // one per wake, by the child
    volatile LONG stop; // set by the pacer's side at the end
};

// The two events and the shared counts of one measurement, by name.
class PacerLink
{
public:
    ~PacerLink()
    {
        if (m_counts != nullptr) {
            UnmapViewOfFile(const_cast<SharedCounts*>(m_counts));
        }
        for (HANDLE h : {m_go, m_ready, m_mapping}) {
            if (h != nullptr) {
                CloseHandle(h);
            }
        }
    }

    bool Make(const std::wstring& name, bool create)
    {
        const std::wstring go = name + L"-go", ready = name + L"-ready", map = name + L"-counts";
        if (create) {
            m_go = CreateEventW(nullptr, FALSE, FALSE, go.c_str());
            m_ready = CreateEventW(nullptr, FALSE, FALSE, ready.c_str());
            m_mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                           sizeof(SharedCounts), map.c_str());
        } else {
            m_go = OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, go.c_str());
            m_ready = OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, ready.c_str());
            m_mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, map.c_str());
        }
        if (m_go == nullptr || m_ready == nullptr || m_mapping == nullptr) {
            return false;
        }
        m_counts = static_cast<SharedCounts*>(
            MapViewOfFile(m_mapping, FILE_MAP_WRITE, 0, 0, sizeof(SharedCounts)));
        return m_counts != nullptr;
    }

    HANDLE Go() const { return m_go; }
    HANDLE Ready() const { return m_ready; }
    volatile SharedCounts& Counts() const { return *m_counts; }

private:
    HANDLE m_go = nullptr;
    HANDLE m_ready = nullptr;
    HANDLE m_mapping = nullptr;
    volatile SharedCounts* m_counts = nullptr;
};

// The pacer's client: one signal a period, a miss when the child's count
// did not move since the previous one.
class BareStream : public SimAsioPacer::Client
{
public:
    BareStream(PacerLink& link, uint32_t rate, uint32_t frames)
        : m_link(link), m_rate(rate), m_frames(frames)
    {
    }

    bool Timing(uint64_t& samples, uint32_t& rate) override
    {
        samples = m_frames;
        rate = m_rate;
        return true;
    }

    bool Period(bool) override
    {
        const LONG acks = m_link.Counts().acks;
        if (m_result.signals != 0 && acks == m_lastAcks) {
            ++m_result.missed;
        }
        m_lastAcks = acks;
        SetEvent(m_link.Go());
        ++m_result.signals;
        return true;
    }

    BenchPacer::Result Result() const { return m_result; }

private:
    PacerLink& m_link;
    const uint32_t m_rate;
    const uint32_t m_frames;
    LONG m_lastAcks = 0;
    BenchPacer::Result m_result;
};

} // namespace

bool BenchPacer::Measure(uint32_t rate, uint32_t frames, double seconds, Result& result,
                         std::string& error)
{
    const std::wstring name = L"quillo-pacer-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(GetTickCount64());
    PacerLink link;
    if (!link.Make(name, true)) {
        error = "cannot create the pacer's events";
        return false;
    }
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    HostChildProcess child;
    if (child.Start(L"\"" + std::wstring(self) + L"\" --pace-child " + name,
                    std::wstring(temp) + name + L".log") != 0 ||
        WaitForSingleObject(link.Ready(), CHILD_WAIT_MS) != WAIT_OBJECT_0) {
        error = "the pacer's child did not come up";
        return false;
    }
    BareStream stream(link, rate, frames);
    SimAsioPacer pacer;
    if (pacer.Start(stream) != 0) {
        error = "cannot start the pacer";
        return false;
    }
    Sleep(static_cast<DWORD>(seconds * 1000));
    pacer.Stop();
    link.Counts().stop = 1;
    SetEvent(link.Go());
    if (child.Wait(CHILD_WAIT_MS) != 0) {
        child.Terminate();
    }
    result = stream.Result();
    return true;
}

bool BenchPacer::RunChildIfAsked(const std::vector<std::wstring>& args, int& exitCode)
{
    if (args.size() != 3 || args[1] != L"--pace-child") {
        return false;
    }
    exitCode = RunChild(args[2]);
    return true;
}

int BenchPacer::RunChild(const std::wstring& name)
{
    PacerLink link;
    if (!link.Make(name, false)) {
        return 1;
    }
    // As the driver's streaming thread runs.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    SetEvent(link.Ready());
    while (link.Counts().stop == 0) {
        if (WaitForSingleObject(link.Go(), CHILD_POLL_MS) == WAIT_OBJECT_0) {
            InterlockedIncrement(&link.Counts().acks);
        }
    }
    return 0;
}
