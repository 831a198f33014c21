#pragma once
// Runs tasks after a delay on one thread of its own (used to deliver delayed
// replies). Tasks run without any lock of the queue held, so a task may take
// the simulator lock; Stop must therefore not be called with that lock held.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

class SimTimerQueue
{
public:
    SimTimerQueue() = default;
    ~SimTimerQueue() { Stop(); }

    SimTimerQueue(const SimTimerQueue&) = delete;
    SimTimerQueue& operator=(const SimTimerQueue&) = delete;

    // Starts the thread; false when it could not be started or already runs.
    bool Start();

    // Ends the thread; tasks that are not yet due are dropped.
    void Stop();

    // Runs `task` once `delayMs` have passed (in order of due time, tasks
    // with the same due time in order of scheduling). Ignored when stopped.
    void Schedule(uint32_t delayMs, std::function<void()> task);


private:
    using Clock = std::chrono::steady_clock;

    void Run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::multimap<Clock::time_point, std::function<void()>> m_tasks;
    bool m_running = false;
    std::thread m_thread;
};
