// The switch loop of a build without the log.
#define KORVEL_LOG_COMPILED 0
#define SWITCH_LOOP SwitchLoopWithoutLog
#include "BenchSwitchLoop.inc"
