#pragma once
// Polling wait of the tests that watch other processes (the simulator's
// dump, a child's output): every wait has a limit, so no test hangs on it.
#include <windows.h>

#include <functional>

namespace quillo_test {

// Polls `condition` every `pollMs` until it holds or `timeoutMs` has passed.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 50);

} // namespace quillo_test
