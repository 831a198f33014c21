#include "SimFaults.h"

#include <cstdio>

void SimFaults::FailNext(uint32_t code, uint32_t status)
{
    m_failNext[code] = status;
}

bool SimFaults::TakeFailure(uint32_t code, uint32_t& status)
{
    auto it = m_failNext.find(code);
    if (it == m_failNext.end()) {
        return false;
    }
    status = it->second;
    m_failNext.erase(it);
    return true;
}

bool SimFaults::TakeReplyDrop()
{
    if (m_dropReplies == 0) {
        return false;
    }
    --m_dropReplies;
    return true;
}

void SimFaults::Clear()
{
    m_failNext.clear();
    m_replyDelayMs = 0;
    m_dropReplies = 0;
}

std::string SimFaults::Describe() const
{
    std::string text = "fail=";
    if (m_failNext.empty()) {
        text += "-";
    }
    bool first = true;
    for (const auto& [code, status] : m_failNext) {
        char item[32];
        std::snprintf(item, sizeof item, "%s0x%08X:0x%08X", first ? "" : ",",
                      static_cast<unsigned>(code), static_cast<unsigned>(status));
        text += item;
        first = false;
    }
    char rest[64];
    std::snprintf(rest, sizeof rest, " delayReplies=%u dropReplies=%u",
                  static_cast<unsigned>(m_replyDelayMs), static_cast<unsigned>(m_dropReplies));
    return text + rest;
}
