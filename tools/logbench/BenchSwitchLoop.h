#pragma once
// The buffer-switch path's log point, run `switches` times around the
// stand-in callback, in two builds of the same source: with the log compiled
// in (KORVEL_LOG_COMPILED=1, what the driver ships) and without it. Each
// returns the nanoseconds one switch took, on average.
#include "BenchHostCallback.h"
#include "KorvelSwitchRing.h"

#include <cstdint>

double SwitchLoopWithLog(BenchBuffers& buffers, KorvelSwitchRing& ring, uint64_t switches);
double SwitchLoopWithoutLog(BenchBuffers& buffers, KorvelSwitchRing& ring, uint64_t switches);
