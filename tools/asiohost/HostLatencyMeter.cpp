#include "HostLatencyMeter.h"

#include <algorithm>
#include <map>

HostLatencyMeter::HostLatencyMeter(uint32_t repeats) : m_repeats(std::max(1u, repeats))
{
    MakeSequence();
}

// A maximal-length sequence from a 10-bit linear feedback shift register
// (taps 10 and 7): its circular autocorrelation is L at lag 0 and -1
// elsewhere, so the recording's correlation with it peaks sharply at the
// round trip and hardly at all on other signals.
void HostLatencyMeter::MakeSequence()
{
    const uint32_t length = (1u << SEQUENCE_ORDER) - 1;
    uint32_t state = 1;
    m_sequence.resize(length);
    for (uint32_t i = 0; i < length; ++i) {
        m_sequence[i] = (state & 1) != 0 ? 1 : -1;
        const uint32_t bit = ((state >> 0) ^ (state >> 3)) & 1;
        state = (state >> 1) | (bit << (SEQUENCE_ORDER - 1));
    }
}

void HostLatencyMeter::Prepare(double rate, long frames, long roundTrip)
{
    const size_t length = m_sequence.size();
    m_settle = static_cast<size_t>(rate * SETTLE_SECONDS);
    const size_t reach = 4 * static_cast<size_t>(std::max(0L, roundTrip) + std::max(0L, frames));
    m_window = std::max(static_cast<size_t>(rate * WINDOW_SECONDS), reach) + length;
    m_recorded.assign(m_settle + m_window * m_repeats, 0);
    m_position = 0;
}

void HostLatencyMeter::Exchange(const int32_t* input, int32_t* output, long frames) noexcept
{
    size_t position = m_position.load(std::memory_order_relaxed);
    for (long f = 0; f < frames; ++f, ++position) {
        int32_t sample = 0;
        if (position >= m_settle && position < m_recorded.size()) {
            const size_t offset = (position - m_settle) % m_window;
            if (offset < m_sequence.size()) {
                sample = m_sequence[offset] * AMPLITUDE;
            }
        }
        output[f] = sample;
        if (position < m_recorded.size()) {
            m_recorded[position] = input[f];
        }
    }
    m_position.store(position, std::memory_order_release);
}

bool HostLatencyMeter::Done() const
{
    return Prepared() && m_position.load(std::memory_order_acquire) >= m_recorded.size();
}

HostLatencyMeter::Finding HostLatencyMeter::Find(size_t window) const
{
    const size_t length = m_sequence.size();
    const size_t start = m_settle + window * m_window;
    Finding best;
    // The sequence played at `start` is looked for at every lag that keeps
    // it inside its window.
    for (size_t lag = 0; lag + length <= m_window; ++lag) {
        double sum = 0;
        const int32_t* recorded = &m_recorded[start + lag];
        for (size_t i = 0; i < length; ++i) {
            sum += m_sequence[i] * static_cast<double>(recorded[i]);
        }
        const double score = sum / (static_cast<double>(length) * AMPLITUDE);
        if (score > best.score) {
            best.score = score;
            best.lag = static_cast<long>(lag);
        }
    }
    best.found = best.score >= FOUND_SCORE;
    return best;
}

std::vector<HostLatencyMeter::Finding> HostLatencyMeter::Analyse() const
{
    std::vector<Finding> findings;
    if (!Prepared()) {
        return findings;
    }
    const size_t exchanged = std::min(m_position.load(), m_recorded.size());
    const size_t windows =
        std::min<size_t>(m_repeats, exchanged <= m_settle ? 0 : (exchanged - m_settle) / m_window);
    for (size_t w = 0; w < windows; ++w) {
        findings.push_back(Find(w));
    }
    return findings;
}

bool HostLatencyMeter::MostCommonLag(const std::vector<Finding>& findings, long& lag)
{
    std::map<long, size_t> counts;
    for (const Finding& f : findings) {
        if (f.found) {
            ++counts[f.lag];
        }
    }
    if (counts.empty()) {
        return false;
    }
    lag = std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
              return a.second < b.second;
          })->first;
    return true;
}
