#include "HostCallbacks.h"

#include "HostSession.h"

#include <atomic>

namespace {
// The one session that the callbacks serve (see the header for why it is one).
std::atomic<HostSession*> g_session{nullptr};
ASIOCallbacks g_table;
} // namespace

void HostCallbacks::Bind(HostSession* session)
{
    g_session.store(session, std::memory_order_release);
}

ASIOCallbacks* HostCallbacks::Table()
{
    g_table.bufferSwitch = &HostCallbacks::BufferSwitch;
    g_table.sampleRateDidChange = &HostCallbacks::SampleRateDidChange;
    g_table.asioMessage = &HostCallbacks::AsioMessage;
    g_table.bufferSwitchTimeInfo = &HostCallbacks::BufferSwitchTimeInfo;
    return &g_table;
}

void __cdecl HostCallbacks::BufferSwitch(long index, ASIOBool)
{
    if (HostSession* session = g_session.load(std::memory_order_acquire)) {
        session->OnBufferSwitch(index, false);
    }
}

void __cdecl HostCallbacks::SampleRateDidChange(ASIOSampleRate rate)
{
    if (HostSession* session = g_session.load(std::memory_order_acquire)) {
        session->OnSampleRateDidChange(rate);
    }
}

long __cdecl HostCallbacks::AsioMessage(long selector, long value, void*, double*)
{
    HostSession* session = g_session.load(std::memory_order_acquire);
    return session != nullptr ? session->OnAsioMessage(selector, value) : 0;
}

ASIOTime* __cdecl HostCallbacks::BufferSwitchTimeInfo(ASIOTime* params, long index, ASIOBool)
{
    if (HostSession* session = g_session.load(std::memory_order_acquire)) {
        session->OnBufferSwitch(index, true);
    }
    return params;
}
