#include "WnWaitableTimer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class TimerOwner
{
public:
    TimerOwner() { m_forwarder.Bind(this, &TimerOwner::OnTick); }

    void OnTick(DWORD, DWORD)
    {
        m_ticks++;
        m_threadId = GetCurrentThreadId();
    }

    WnWaitableTimerCallbackForwarderT<TimerOwner> m_forwarder;
    int m_ticks = 0;
    DWORD m_threadId = 0;
};

// Waits alertably for `ms` milliseconds in all, through every completion.
void AlertableFor(DWORD ms)
{
    DWORD start = GetTickCount();
    for (DWORD spent = 0; spent < ms; spent = GetTickCount() - start) {
        SleepEx(ms - spent, TRUE);
    }
}

} // namespace

TEST(WnWaitableTimer, NonPositivePeriodIsRefusedAndTimerUntouched)
{
    TimerOwner owner;
    WnWaitableTimer timer;
    EXPECT_EQ(timer.SetPeriodic(50, &owner.m_forwarder, FALSE),
              static_cast<DWORD>(ERROR_INVALID_HANDLE));
    ASSERT_EQ(timer.Create(FALSE), 0u);
    EXPECT_EQ(timer.SetPeriodic(0, &owner.m_forwarder, FALSE),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(timer.SetPeriodic(-5, &owner.m_forwarder, FALSE),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(WaitForSingleObjectEx(timer.GetHandle(), 100, TRUE),
              static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(owner.m_ticks, 0);
}

TEST(WnWaitableTimer, FirstCompletionAtOnceThenPeriodicOnlyWhileAlertable)
{
    const LONG period = 200;
    TimerOwner owner;
    WnWaitableTimer timer;
    ASSERT_EQ(timer.Create(FALSE), 0u);
    DWORD start = GetTickCount();
    ASSERT_EQ(timer.SetPeriodic(period, &owner.m_forwarder, FALSE), 0u);

    EXPECT_EQ(SleepEx(5000, TRUE), static_cast<DWORD>(WAIT_IO_COMPLETION));
    EXPECT_LT(GetTickCount() - start, static_cast<DWORD>(period / 2));
    ASSERT_EQ(owner.m_ticks, 1);
    EXPECT_EQ(owner.m_threadId, GetCurrentThreadId());

    Sleep(2 * period + period / 2); // not alertable: nothing is delivered
    EXPECT_EQ(owner.m_ticks, 1);
    SleepEx(0, TRUE); // the expiries meanwhile come due now
    EXPECT_GE(owner.m_ticks, 2);

    int before = owner.m_ticks;
    AlertableFor(3 * period);
    EXPECT_GE(owner.m_ticks - before, 2);
    EXPECT_LE(owner.m_ticks - before, 4);

    EXPECT_EQ(timer.Cancel(), 0u);
    before = owner.m_ticks;
    AlertableFor(period + period / 2);
    EXPECT_EQ(owner.m_ticks, before);
}

TEST(WnWaitableTimer, NullCallbackOnlySignalsTheTimer)
{
    WnWaitableTimer timer;
    ASSERT_EQ(timer.Create(TRUE), 0u);
    ASSERT_EQ(timer.SetPeriodic(50, nullptr, FALSE), 0u);
    EXPECT_EQ(WaitForSingleObjectEx(timer.GetHandle(), 1000, TRUE), WAIT_OBJECT_0);
}

// A second handle keeps the named timer object alive after the wrapper is
// gone, so that an armed timer left running would still be seen to expire.
static void ExpectCancelledThroughSecondHandle(HANDLE second, TimerOwner& owner, LONG period)
{
    WaitForSingleObject(second, 0); // drop the signal of the first expiry
    EXPECT_EQ(WaitForSingleObjectEx(second, 3 * period, TRUE), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(owner.m_ticks, 0);
}

TEST(WnWaitableTimer, DestroyingOrRecreatingAnArmedTimerCancelsIt)
{
    const LONG period = 100;
    std::wstring name = L"QuilloWnTestTimer-" + std::to_wstring(GetCurrentProcessId());
    TimerOwner owner;
    HANDLE second = nullptr;
    {
        WnWaitableTimer timer;
        ASSERT_EQ(timer.Create(FALSE, nullptr, name.c_str()), 0u);
        second = OpenWaitableTimerW(SYNCHRONIZE | TIMER_MODIFY_STATE, FALSE, name.c_str());
        ASSERT_NE(second, nullptr);
        ASSERT_EQ(timer.SetPeriodic(period, &owner.m_forwarder, FALSE), 0u);
    }
    ExpectCancelledThroughSecondHandle(second, owner, period);
    CloseHandle(second);

    WnWaitableTimer timer;
    ASSERT_EQ(timer.Create(FALSE, nullptr, name.c_str()), 0u);
    second = OpenWaitableTimerW(SYNCHRONIZE | TIMER_MODIFY_STATE, FALSE, name.c_str());
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(timer.SetPeriodic(period, &owner.m_forwarder, FALSE), 0u);
    ASSERT_EQ(timer.Create(FALSE), 0u); // replaces the armed named timer
    ExpectCancelledThroughSecondHandle(second, owner, period);
    CloseHandle(second);
}
