#include "SimEcho.h"

#include "KorvelStatus.h"
#include "SimRequestIo.h"

#include <algorithm>

SimEcho::SimEcho(uint32_t outputChannels)
    : m_channels(outputChannels), m_delay(std::min(outputChannels, MAX_STORED_CHANNELS), 0),
      m_amplification(m_delay.size(), 0)
{
}

// Selector 2/3 records must name existing channels, and no more pairs than fit.
uint32_t SimEcho::CheckPairs(const KorvelEchoRecord& record) const
{
    if (record.value > KORVEL_ECHO_MAX_PAIRS) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    for (uint32_t k = 0; k < record.value; ++k) {
        if (record.pairs[k].channel >= m_delay.size()) {
            return KORVEL_STATUS_INVALID_PARAMETER;
        }
    }
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimEcho::Get(SimRequest& r) const
{
    uint32_t status =
        SimRequestIo::CheckFixed(r, sizeof(KorvelEchoRecord), sizeof(KorvelEchoRecord));
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    auto record = SimRequestIo::ReadIn<KorvelEchoRecord>(r);
    switch (record.selector) {
    case KORVEL_ECHO_OUTPUT_CHANNELS:
        record.value = m_channels;
        break;
    case KORVEL_ECHO_MAX_DELAY:
        record.value = MAX_DELAY_MS;
        break;
    case KORVEL_ECHO_DELAY:
    case KORVEL_ECHO_AMPLIFICATION:
        status = CheckPairs(record);
        if (status != KORVEL_STATUS_SUCCESS) {
            return status;
        }
        for (uint32_t k = 0; k < record.value; ++k) {
            uint32_t channel = record.pairs[k].channel;
            record.pairs[k].value =
                record.selector == KORVEL_ECHO_DELAY ? m_delay[channel] : m_amplification[channel];
        }
        break;
    default:
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    SimRequestIo::WriteOut(r, record);
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimEcho::Set(SimRequest& r)
{
    uint32_t status = SimRequestIo::CheckFixed(r, sizeof(KorvelEchoRecord), 0);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    auto record = SimRequestIo::ReadIn<KorvelEchoRecord>(r);
    if (record.selector != KORVEL_ECHO_DELAY && record.selector != KORVEL_ECHO_AMPLIFICATION) {
        return KORVEL_STATUS_INVALID_PARAMETER; // counts and limits are read-only
    }
    status = CheckPairs(record);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    uint32_t limit = record.selector == KORVEL_ECHO_DELAY ? MAX_DELAY_MS : MAX_AMPLIFICATION;
    for (uint32_t k = 0; k < record.value; ++k) {
        if (record.pairs[k].value > limit) {
            return KORVEL_STATUS_INVALID_PARAMETER;
        }
    }
    auto& target = record.selector == KORVEL_ECHO_DELAY ? m_delay : m_amplification;
    for (uint32_t k = 0; k < record.value; ++k) {
        target[record.pairs[k].channel] = record.pairs[k].value;
    }
    m_lastSet = record;
    ++m_setCount;
    return KORVEL_STATUS_SUCCESS;
}

void SimEcho::Dump(const std::string& prefix, std::vector<std::string>& lines) const
{
    std::string delays;
    std::string amplifications;
    for (size_t c = 0; c < m_delay.size(); ++c) {
        delays += (c == 0 ? "" : ",") + std::to_string(m_delay[c]);
        amplifications += (c == 0 ? "" : ",") + std::to_string(m_amplification[c]);
    }
    lines.push_back(prefix + "echo.channels=" + std::to_string(m_channels));
    lines.push_back(prefix + "echo.maxDelay=" + std::to_string(MAX_DELAY_MS));
    lines.push_back(prefix + "echo.delay=" + delays);
    lines.push_back(prefix + "echo.amplification=" + amplifications);
    lines.push_back(prefix + "echo.sets=" + std::to_string(m_setCount));
}
