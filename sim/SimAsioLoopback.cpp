#include "SimAsioLoopback.h"

void SimAsioLoopback::Reset(uint32_t delay, uint32_t frames)
{
    // Room for the delay and the block being recorded, and the block played
    // meanwhile.
    size_t size = 1;
    while (size < uint64_t{delay} + 2ull * frames) {
        size <<= 1;
    }
    m_ring.assign(size, 0);
    m_played = 0;
    m_delay = delay;
}

void SimAsioLoopback::Play(const int32_t* samples, uint32_t frames, int64_t time)
{
    const size_t mask = m_ring.size() - 1;
    for (uint32_t f = 0; f < frames; ++f) {
        m_ring[static_cast<size_t>(time + f) & mask] = samples[f];
    }
    m_played = time + frames;
}

void SimAsioLoopback::Record(int32_t* samples, uint32_t frames, int64_t time) const
{
    const size_t mask = m_ring.size() - 1;
    const int64_t oldest = m_played - static_cast<int64_t>(m_ring.size());
    for (uint32_t f = 0; f < frames; ++f) {
        const int64_t played = time + f - m_delay;
        const bool held = played >= 0 && played >= oldest && played < m_played;
        samples[f] = held ? m_ring[static_cast<size_t>(played) & mask] : 0;
    }
}
