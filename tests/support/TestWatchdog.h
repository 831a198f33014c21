#pragma once
// Ends a test program whose current test runs past its limit, with a message
// that names the test and what it was waiting for, instead of letting it hang
// until ctest's much longer time-out. Installed by the tests' own main.
#include <string>

namespace quillo_test {

// Says, for as long as it lives, what the current thread is waiting for; the
// watchdog prints the innermost notes of every thread when a test hangs.
class WaitNote
{
public:
    explicit WaitNote(std::string what);
    ~WaitNote();
    WaitNote(const WaitNote&) = delete;
    WaitNote& operator=(const WaitNote&) = delete;

private:
    unsigned m_id;
};

// Arms the watchdog for every test of the program: `limitSeconds` per test.
void InstallTestWatchdog(unsigned limitSeconds);

} // namespace quillo_test
