// The main of every test program: GoogleTest with the hang watchdog.
#include <gtest/gtest.h>


#include "TestWatchdog.h"

#ifndef QUILLO_TEST_WATCHDOG_SECONDS
#define QUILLO_TEST_WATCHDOG_SECONDS 40
#endif

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    quillo_test::InstallTestWatchdog(QUILLO_TEST_WATCHDOG_SECONDS);
    return RUN_ALL_TESTS();
}
