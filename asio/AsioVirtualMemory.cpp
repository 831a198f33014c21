#include "AsioVirtualMemory.h"

AsioVirtualMemory::~AsioVirtualMemory()
{
    Release();
}

bool AsioVirtualMemory::Allocate(size_t bytes)
{
    Release();
    if (bytes == 0) {
        return false;
    }
    // Committed pages come zero-filled.
    m_address = VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (m_address == nullptr) {
        return false;
    }
    m_length = bytes;
    return true;
}

void AsioVirtualMemory::Release()
{
    if (m_address != nullptr) {
        (void)VirtualFree(m_address, 0, MEM_RELEASE);
        m_address = nullptr;
        m_length = 0;
    }
}
