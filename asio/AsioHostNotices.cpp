#include "AsioHostNotices.h"

DWORD AsioHostNotices::Create()
{
    return m_wake.Create(FALSE, FALSE);
}

void AsioHostNotices::Post(uint32_t bits)
{
    (void)m_bits.fetch_or(bits, std::memory_order_acq_rel);
    (void)m_wake.Set();
}

void AsioHostNotices::Clear()
{
    (void)m_bits.exchange(0, std::memory_order_acq_rel);
    (void)m_wake.Reset();
}
