#include "KorvelDeadline.h"

KorvelDeadline::KorvelDeadline(DWORD timeoutMs)
    : m_infinite(timeoutMs == INFINITE), m_end(GetTickCount64() + timeoutMs)
{
}

bool KorvelDeadline::Expired() const
{
    return !m_infinite && GetTickCount64() >= m_end;
}

DWORD KorvelDeadline::RemainingMs() const
{
    if (m_infinite) {
        return INFINITE;
    }
    uint64_t now = GetTickCount64();
    return now >= m_end ? 0 : static_cast<DWORD>(m_end - now);
}
