#include "SimTimerQueue.h"

#include <system_error>

bool SimTimerQueue::Start()
{
    std::lock_guard guard(m_mutex);
    if (m_running) {
        return false;
    }
    try {
        m_thread = std::thread(&SimTimerQueue::Run, this);
    } catch (const std::system_error&) {
        return false;
    }
    m_running = true;
    return true;
}

void SimTimerQueue::Stop()
{
    {
        std::lock_guard guard(m_mutex);
        m_running = false;
        m_tasks.clear();
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void SimTimerQueue::Schedule(uint32_t delayMs, std::function<void()> task)
{
    {
        std::lock_guard guard(m_mutex);
        if (!m_running) {
            return;
        }
        m_tasks.emplace(Clock::now() + std::chrono::milliseconds(delayMs), std::move(task));
    }
    m_wake.notify_all();
}

void SimTimerQueue::Run()
{
    std::unique_lock guard(m_mutex);
    while (m_running) {
        if (m_tasks.empty()) {
            m_wake.wait(guard);
            continue;
        }
        auto due = m_tasks.begin()->first;
        if (Clock::now() < due) {
            m_wake.wait_until(guard, due);
            continue;
        }
        std::function<void()> task = std::move(m_tasks.begin()->second);
        m_tasks.erase(m_tasks.begin());
        guard.unlock();
        task();
        guard.lock();
    }
}
