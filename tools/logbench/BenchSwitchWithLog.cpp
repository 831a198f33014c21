// The switch loop as the driver ships it: the log compiled in.
#define KORVEL_LOG_COMPILED 1
#define SWITCH_LOOP SwitchLoopWithLog
#include "BenchSwitchLoop.inc"
