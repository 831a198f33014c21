#pragma once
// The clock of one ASIO stream: a time-critical thread that calls its
// client once per buffer half. Deadlines are absolute, counted from the
// QueryPerformanceCounter value at which pacing (re)started, so lateness of
// one period does not move the next and the mean period has no drift. Each
// wait is a timed wait on the stop event, in whole milliseconds, until at
// least SPIN_US before the deadline, and a spin for the rest, with the
// system timer at 1 ms while pacing. A timed wait under Wine returns about
// 0.1 ms late (0.3 ms for 99 in 100 on a loaded machine), which SPIN_US
// covers; a longer spin would take the core that the system needs for the
// stream's own accesses to the client's memory (on a 2-core machine a 2 ms
// spin made them several times slower).
//
// The client is asked before every period whether to pace and at what
// period; while it says no (streaming paused), the thread polls every
// PAUSE_POLL_MS, and the first period after a pause starts a new count of
// deadlines (and tells the client it resumed).
#include "SimHandle.h"
#include "WnThread.h"

#include <atomic>
#include <cstdint>

class SimAsioPacer
{
public:
    static constexpr uint32_t SPIN_US = 300;
    static constexpr DWORD PAUSE_POLL_MS = 2;
    // A deadline missed by more than this (the thread was held up) starts a
    // new count instead of a burst of catch-up periods.
    static constexpr uint32_t RESYNC_MS = 200;

    class Client
    {
    public:
        virtual ~Client() = default;
        // False: paused. Else the period is `samples` samples at `rate` Hz.
        virtual bool Timing(uint64_t& samples, uint32_t& rate) = 0;
        // One period is due. False ends pacing (the client went away).
        virtual bool Period(bool resumed) = 0;
    };

    SimAsioPacer();
    ~SimAsioPacer();

    SimAsioPacer(const SimAsioPacer&) = delete;
    SimAsioPacer& operator=(const SimAsioPacer&) = delete;

    // 0 or the error of creating the thread. ERROR_ALREADY_EXISTS while pacing.
    DWORD Start(Client& client);
    // Stops and joins the thread; returns at once when none runs.
    void Stop();
    // True while the thread paces (false once the client ended it).
    bool Pacing() const { return m_pacing.load(std::memory_order_acquire); }

private:
    DWORD Run();
    // Waits until `deadline`; false when the stop event came first.
    bool WaitUntil(int64_t deadline) const;
    int64_t Deadline(int64_t base, uint64_t period, uint64_t samples, uint32_t rate) const;
    static int64_t Now();

    WnThreadCallbackForwarderT<SimAsioPacer> m_forwarder;
    WnThread m_thread;
    SimHandle m_stop;
    Client* m_client = nullptr;
    int64_t m_frequency = 1;
    std::atomic<bool> m_pacing{false};
};
