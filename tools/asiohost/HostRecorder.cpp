#include "HostRecorder.h"

#include <algorithm>

namespace {
constexpr DWORD DRAIN_INTERVAL_MS = 10;
} // namespace

HostRecorder::~HostRecorder()
{
    Close();
}

DWORD HostRecorder::Open(const std::wstring& path, uint32_t rate, uint32_t channels,
                         double ringSeconds)
{
    Close();
    if (channels == 0 || rate == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    DWORD status = m_wav.Create(path, rate, static_cast<uint16_t>(channels));
    if (status != 0) {
        return status;
    }
    m_rate = rate;
    m_channels = channels;
    m_ringFrames = std::max<size_t>(4096, static_cast<size_t>(rate * ringSeconds));
    m_ring.assign(m_ringFrames * channels, 0);
    m_head = 0;
    m_tail = 0;
    m_dropped = 0;
    m_written = 0;
    m_status = 0;
    m_stop = false;
    m_writer = std::thread([this] { WriterLoop(); });
    m_open = true;
    return 0;
}

void HostRecorder::Push(const int32_t* const* halves, uint32_t channels, uint32_t frames)
{
    if (!m_open || channels != m_channels) {
        return;
    }
    const uint64_t head = m_head.load(std::memory_order_relaxed);
    const uint64_t tail = m_tail.load(std::memory_order_acquire);
    if (head - tail + frames > m_ringFrames) {
        m_dropped.fetch_add(frames, std::memory_order_relaxed);
        return;
    }
    size_t slot = static_cast<size_t>(head % m_ringFrames);
    for (uint32_t f = 0; f < frames; ++f) {
        int32_t* frame = &m_ring[slot * m_channels];
        for (uint32_t c = 0; c < m_channels; ++c) {
            frame[c] = halves[c] != nullptr ? halves[c][f] : 0;
        }
        slot = slot + 1 == m_ringFrames ? 0 : slot + 1;
    }
    m_head.store(head + frames, std::memory_order_release);
}

bool HostRecorder::Drain()
{
    const uint64_t head = m_head.load(std::memory_order_acquire);
    uint64_t tail = m_tail.load(std::memory_order_relaxed);
    while (tail < head) {
        size_t slot = static_cast<size_t>(tail % m_ringFrames);
        size_t run = static_cast<size_t>(std::min<uint64_t>(head - tail, m_ringFrames - slot));
        DWORD status = m_wav.Append(&m_ring[slot * m_channels], run);
        if (status != 0) {
            m_status = status;
            return false;
        }
        tail += run;
        m_written += run;
        m_tail.store(tail, std::memory_order_release);
    }
    return true;
}

void HostRecorder::WriterLoop()
{
    while (!m_stop.load(std::memory_order_acquire)) {
        if (!Drain()) {
            return;
        }
        Sleep(DRAIN_INTERVAL_MS);
    }
}

DWORD HostRecorder::Close()
{
    if (!m_open) {
        return 0;
    }
    m_stop = true;
    m_writer.join();
    if (m_status == 0) {
        Drain();
    }
    DWORD finish = m_wav.Finish();
    m_open = false;
    return m_status != 0 ? m_status : finish;
}
