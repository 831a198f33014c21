#pragma once
// The bare mechanism beneath a buffer switch: one process sets an event and
// a time-critical thread of another process returns from its wait on it.
// The waker notes the counter before SetEvent, the woken process the
// counter when its wait returns, into memory both share.
#include <string>
#include <vector>

class BenchWakeup
{
public:
    // Wake-ups from this process to a child (this program run with
    // --wake-child NAME COUNT), each after about `spacingMs`; microseconds each.
    static bool Measure(size_t count, unsigned spacingMs, std::vector<double>& latenciesUs,
                        std::string& error);
    // The child's side, when the program's arguments are "--wake-child NAME
    // COUNT": true with the program's exit code; false for other arguments.
    static bool RunChildIfAsked(const std::vector<std::wstring>& args, int& exitCode);

private:
    static int RunChild(const std::wstring& name, size_t count);
};
