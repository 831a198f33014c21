#include "SimAsioCapture.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace {

std::wstring Widen(const std::string& text)
{
    int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0) {
        return std::wstring();
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

} // namespace

SimAsioCapture::SimAsioCapture()
{
    m_forwarder.Bind(this, &SimAsioCapture::WriterLoop);
    m_stopWriter.Attach(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

SimAsioCapture::~SimAsioCapture()
{
    (void)End();
}

std::string SimAsioCapture::Begin(const std::string& path, uint32_t currentRate)
{
    (void)End();
    if (!m_stopWriter.IsValid()) {
        return "no event for the writer";
    }
    // The file is written once the layout is known; creating it here tells
    // the caller at once whether the path can be written.
    WavWriter probe;
    DWORD status = probe.Create(Widen(path), currentRate != 0 ? currentRate : 48000, 1);
    if (status == 0) {
        status = probe.Finish();
    }
    if (status != 0) {
        return "cannot create " + path + " (error " + std::to_string(status) + ")";
    }
    if (m_ring.empty()) {
        m_ring.resize(RING_SAMPLES); // kept until destruction: pacing threads may hold on
    }
    m_path = path;
    m_fallbackRate = currentRate;
    m_head = 0;
    m_tail = 0;
    m_owner = 0;
    m_rate = 0;
    m_channels = 0;
    m_dropped = 0;
    m_skipped = 0;
    m_frames = 0;
    m_error = 0;
    ResetEvent(m_stopWriter.GetHandle());
    status = m_writer.Start(&m_forwarder);
    if (status != 0) {
        return "cannot start the writer (error " + std::to_string(status) + ")";
    }
    m_active.store(true, std::memory_order_release);
    return std::string();
}

std::string SimAsioCapture::End()
{
    if (!m_active.exchange(false)) {
        return std::string();
    }
    // No offer may still be copying into the ring once the writer drains it
    // for the last time.
    while (m_offering.load(std::memory_order_acquire) != 0) {
        SwitchToThread();
    }
    StopWriter();
    Drain();
    if (!m_file.IsOpen() && m_error == 0) {
        // Nothing was captured: an empty file of one channel.
        uint32_t rate = m_fallbackRate != 0 ? m_fallbackRate : 48000;
        m_error = m_file.Create(Widen(m_path), rate, 1);
    }
    DWORD status = m_file.Finish();
    if (m_error == 0) {
        m_error = status;
    }
    m_owner = 0;
    return m_error == 0 ? std::string()
                        : "writing " + m_path + " failed (error " + std::to_string(m_error) + ")";
}

void SimAsioCapture::StopWriter()
{
    SetEvent(m_stopWriter.GetHandle());
    (void)m_writer.Wait();
}

DWORD SimAsioCapture::WriterLoop()
{
    while (WaitForSingleObject(m_stopWriter.GetHandle(), DRAIN_INTERVAL_MS) == WAIT_TIMEOUT) {
        Drain();
    }
    return 0;
}

void SimAsioCapture::Drain()
{
    const uint64_t head = m_head.load(std::memory_order_acquire);
    const uint64_t tail = m_tail.load(std::memory_order_relaxed);
    const uint32_t channels = m_channels.load(std::memory_order_acquire);
    if (head == tail || channels == 0) {
        return;
    }
    if (!m_file.IsOpen() && m_error == 0) {
        m_error = m_file.Create(Widen(m_path), m_rate.load(), static_cast<uint16_t>(channels));
    }
    m_scratch.resize(static_cast<size_t>(head - tail));
    for (uint64_t i = tail; i < head; ++i) {
        m_scratch[static_cast<size_t>(i - tail)] = m_ring[static_cast<size_t>(i % RING_SAMPLES)];
    }
    m_tail.store(head, std::memory_order_release);
    if (m_error == 0) {
        m_error = m_file.Append(m_scratch.data(), m_scratch.size() / channels);
    }
}

bool SimAsioCapture::Claim(uint32_t owner, uint32_t rate, uint32_t channels)
{
    uint32_t current = m_owner.load(std::memory_order_acquire);
    if (current == owner) {
        return true;
    }
    if (current != 0 || !m_owner.compare_exchange_strong(current, owner)) {
        return false; // another stream is being captured
    }
    if (m_channels.load() == 0) {
        m_rate.store(rate);
        m_channels.store(channels, std::memory_order_release);
        return true;
    }
    if (m_rate.load() == rate && m_channels.load() == channels) {
        return true;
    }
    ++m_skipped;
    m_owner.store(0, std::memory_order_release);
    return false;
}

void SimAsioCapture::Offer(uint32_t owner, uint32_t rate, uint32_t channels,
                           const int32_t* samples, uint32_t frames)
{
    ++m_offering;
    if (m_active.load(std::memory_order_acquire) && channels != 0 &&
        Claim(owner, rate, channels)) {
        const uint64_t count = uint64_t{frames} * channels;
        const uint64_t head = m_head.load(std::memory_order_relaxed);
        if (head + count - m_tail.load(std::memory_order_acquire) > RING_SAMPLES) {
            m_dropped += frames;
        } else {
            for (uint64_t i = 0; i < count; ++i) {
                m_ring[static_cast<size_t>((head + i) % RING_SAMPLES)] =
                    samples[static_cast<size_t>(i)];
            }
            m_head.store(head + count, std::memory_order_release);
            m_frames += frames;
        }
    }
    --m_offering;
}

void SimAsioCapture::Release(uint32_t owner)
{
    uint32_t expected = owner;
    m_owner.compare_exchange_strong(expected, 0);
}

std::string SimAsioCapture::DumpLine() const
{
    char line[128];
    std::snprintf(line, sizeof line, " frames=%llu dropped=%llu skipped=%llu error=%u",
                  static_cast<unsigned long long>(m_frames.load()),
                  static_cast<unsigned long long>(m_dropped.load()),
                  static_cast<unsigned long long>(m_skipped.load()),
                  static_cast<unsigned>(m_error.load()));
    return "asio.capture=" + (Active() ? m_path : std::string("-")) + line;
}
