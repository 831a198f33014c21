#include "TestWatchdog.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <map>
#include <mutex>

namespace quillo_test {

namespace {

// The notes of all threads, by the order they were made in.
std::mutex g_notesLock;
std::map<unsigned, std::string>& Notes()
{
    static std::map<unsigned, std::string> notes;
    return notes;
}
unsigned g_nextNote = 1;

class Watchdog : public testing::EmptyTestEventListener
{
public:
    explicit Watchdog(unsigned limitSeconds) : m_limitMs(limitSeconds * 1000u)
    {
        m_armed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        m_thread = CreateThread(nullptr, 0, &Watchdog::ThreadProc, this, 0, nullptr);
    }

    void OnTestStart(const testing::TestInfo& test) override
    {
        {
            std::lock_guard guard(m_lock);
            m_test = std::string(test.test_suite_name()) + "." + test.name();
            m_running = true;
        }
        SetEvent(m_armed);
    }

    // Stays armed: a program that hangs on its way out (a destructor, a
    // thread that does not end) is caught as well.
    void OnTestEnd(const testing::TestInfo& test) override
    {
        {
            std::lock_guard guard(m_lock);
            m_test = std::string("the end of ") + test.test_suite_name() + "." + test.name();
        }
        SetEvent(m_armed);
    }

private:
    static DWORD WINAPI ThreadProc(void* self)
    {
        static_cast<Watchdog*>(self)->Watch();
        return 0;
    }

    // Each start or end of a test wakes the thread; a test that does not end,
    // or a program that does not exit, within the limit ends the process.
    void Watch()
    {
        for (;;) {
            bool running = false;
            {
                std::lock_guard guard(m_lock);
                running = m_running;
            }
            DWORD limit = running ? m_limitMs : INFINITE;
            if (WaitForSingleObject(m_armed, limit) == WAIT_TIMEOUT) {
                Bark();
            }
        }
    }

    [[noreturn]] void Bark()
    {
        std::string test;
        {
            std::lock_guard guard(m_lock);
            test = m_test;
        }
        std::fprintf(stderr, "\nwatchdog: waited %u s for %s; ending the test program.\n",
                     static_cast<unsigned>(m_limitMs / 1000u), test.c_str());
        {
            std::lock_guard guard(g_notesLock);
            if (Notes().empty()) {
                std::fprintf(stderr, "watchdog: no wait was noted by the test.\n");
            }
            for (const auto& [id, what] : Notes()) {
                std::fprintf(stderr, "watchdog: it was waiting for %s\n", what.c_str());
            }
        }
        std::fflush(stderr);
        std::fflush(stdout);
        TerminateProcess(GetCurrentProcess(), 3);
        for (;;) {
            Sleep(INFINITE);
        }
    }

    const DWORD m_limitMs;
    HANDLE m_armed = nullptr;
    HANDLE m_thread = nullptr;
    std::mutex m_lock;
    std::string m_test;
    bool m_running = false;
};

} // namespace

WaitNote::WaitNote(std::string what)
{
    std::lock_guard guard(g_notesLock);
    m_id = g_nextNote++;
    Notes()[m_id] = std::move(what);
}

WaitNote::~WaitNote()
{
    std::lock_guard guard(g_notesLock);
    Notes().erase(m_id);
}

void InstallTestWatchdog(unsigned limitSeconds)
{
    // gtest owns the listener from here on; it lives as long as the program.
    testing::UnitTest::GetInstance()->listeners().Append(new Watchdog(limitSeconds));
}

} // namespace quillo_test
