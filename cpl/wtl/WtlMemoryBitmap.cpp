#include "WtlMemoryBitmap.h"

HDC WtlMemoryBitmap::Prepare(HWND window, int cx, int cy)
{
    if (m_bitmap != nullptr && m_size.cx == cx && m_size.cy == cy)
        return m_dc.get();
    WtlClientDC reference(window);
    if (reference.Get() == nullptr)
        return nullptr;
    if (m_dc == nullptr)
        m_dc.reset(::CreateCompatibleDC(reference.Get()));
    WtlBitmap bitmap(::CreateCompatibleBitmap(reference.Get(), cx, cy));
    if (m_dc == nullptr || bitmap == nullptr)
        return nullptr;
    // Selecting the new bitmap takes the old one out of the DC, so the old
    // one may then be deleted.
    ::SelectObject(m_dc.get(), bitmap.get());
    m_bitmap = std::move(bitmap);
    m_size = SIZE{cx, cy};
    return m_dc.get();
}

void WtlMemoryBitmap::Free()
{
    m_dc.reset();
    m_bitmap.reset();
    m_size = SIZE{};
}
