#include "SimAsioPacer.h"

#include <mmsystem.h>

SimAsioPacer::SimAsioPacer()
{
    m_forwarder.Bind(this, &SimAsioPacer::Run);
    m_stop.Attach(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    m_frequency = frequency.QuadPart > 0 ? frequency.QuadPart : 1;
}

SimAsioPacer::~SimAsioPacer()
{
    Stop();
}

DWORD SimAsioPacer::Start(Client& client)
{
    if ((m_thread.GetHandle() != nullptr)) {
        return ERROR_ALREADY_EXISTS;
    }
    if (!m_stop.IsValid()) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    ResetEvent(m_stop.GetHandle());
    m_client = &client;
    m_pacing = true;
    DWORD status = m_thread.Start(&m_forwarder);
    if (status != 0) {
        m_pacing = false;
    }
    return status;
}

void SimAsioPacer::Stop()
{
    if (!(m_thread.GetHandle() != nullptr)) {
        return;
    }
    SetEvent(m_stop.GetHandle());
    (void)m_thread.Wait();
    m_pacing = false;
}

int64_t SimAsioPacer::Now()
{
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// base + period × samples / rate seconds, in counter ticks, without overflow
// for any stream length that matters (whole seconds and the rest apart).
int64_t SimAsioPacer::Deadline(int64_t base, uint64_t period, uint64_t samples,
                               uint32_t rate) const
{
    const uint64_t total = period * samples;
    const uint64_t seconds = total / rate;
    const uint64_t rest = total % rate;
    const uint64_t frequency = static_cast<uint64_t>(m_frequency);
    return base + static_cast<int64_t>(seconds * frequency + rest * frequency / rate);
}

bool SimAsioPacer::WaitUntil(int64_t deadline) const
{
    const int64_t spinTicks = m_frequency * SPIN_US / 1000000;
    int64_t remaining = deadline - Now();
    if (remaining > spinTicks) {
        DWORD ms = static_cast<DWORD>((remaining - spinTicks) * 1000 / m_frequency);
        if (ms != 0 && WaitForSingleObject(m_stop.GetHandle(), ms) != WAIT_TIMEOUT) {
            return false;
        }
    }
    const int64_t yieldTicks = m_frequency / 5000; // 0.2 ms
    while ((remaining = deadline - Now()) > 0) {
        // Yield while there is time: other threads of the core may run.
        if (remaining > yieldTicks) {
            SwitchToThread();
        }
    }
    return WaitForSingleObject(m_stop.GetHandle(), 0) == WAIT_TIMEOUT;
}

DWORD SimAsioPacer::Run()
{
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    const bool timer = timeBeginPeriod(1) == TIMERR_NOERROR;
    const int64_t resyncTicks = m_frequency * RESYNC_MS / 1000;
    bool paused = true; // the first period starts the count like a resume
    bool resumed = false;
    int64_t base = 0;
    uint64_t period = 0;
    uint64_t samples = 0;
    uint32_t rate = 0;
    for (;;) {
        uint64_t nowSamples = 0;
        uint32_t nowRate = 0;
        if (!m_client->Timing(nowSamples, nowRate) || nowRate == 0 || nowSamples == 0) {
            paused = true;
            if (WaitForSingleObject(m_stop.GetHandle(), PAUSE_POLL_MS) != WAIT_TIMEOUT) {
                break;
            }
            continue;
        }
        if (paused || nowSamples != samples || nowRate != rate) {
            resumed = resumed || (paused && period != 0);
            base = Now();
            period = 0;
            samples = nowSamples;
            rate = nowRate;
            paused = false;
        }
        int64_t deadline = Deadline(base, period + 1, samples, rate);
        if (Now() - deadline > resyncTicks) {
            paused = true; // held up far too long: count anew from now
            continue;
        }
        if (!WaitUntil(deadline)) {
            break;
        }
        if (!m_client->Period(resumed)) {
            break;
        }
        resumed = false;
        ++period;
    }
    if (timer) {
        timeEndPeriod(1);
    }
    m_pacing = false;
    return 0;
}
