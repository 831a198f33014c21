// A test program whose one test hangs: the watchdog test runs it and reads
// what its watchdog says.
#include <gtest/gtest.h>

#include <windows.h>

#include "TestWatchdog.h"

TEST(WatchdogProbe, Hangs)
{
    quillo_test::WaitNote note("a wake-up that never comes");
    Sleep(INFINITE);
}
