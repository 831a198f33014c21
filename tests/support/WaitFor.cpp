#include "WaitFor.h"

namespace quillo_test {

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() >= end) {
            return false;
        }
        Sleep(pollMs);
    }
    return true;
}

} // namespace quillo_test
