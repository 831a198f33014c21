#pragma once
// The host's ASIOCallbacks table. ASIO's callbacks are plain __cdecl
// functions without a user pointer, so the session they serve must be found
// through something they can reach without an argument: one pointer, kept
// here and nowhere else. A process streams through one driver at a time (as
// hosts do), so one pointer is enough; it is set before createBuffers (the
// driver asks its questions from there) and cleared after disposeBuffers,
// once the driver's stop has joined its streaming thread.
#include "AsioTypes.h"

class HostSession;

class HostCallbacks
{
public:
    // The session the callbacks forward to; null to detach.
    static void Bind(HostSession* session);
    // The table to hand to createBuffers; it lives as long as the program.
    static ASIOCallbacks* Table();

private:
    static void __cdecl BufferSwitch(long index, ASIOBool directProcess);
    static void __cdecl SampleRateDidChange(ASIOSampleRate rate);
    static long __cdecl AsioMessage(long selector, long value, void* message, double* opt);
    static ASIOTime* __cdecl BufferSwitchTimeInfo(ASIOTime* params, long index,
                                                  ASIOBool directProcess);
};
