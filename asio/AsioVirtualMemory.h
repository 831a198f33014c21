#pragma once
// Owner of one block of committed, zero-filled read/write memory obtained
// directly from the system (VirtualAlloc): channel buffers and the block
// shared with the kernel driver.
#include <windows.h>

#include <cstddef>

class AsioVirtualMemory
{
public:
    AsioVirtualMemory() = default;
    ~AsioVirtualMemory();

    AsioVirtualMemory(const AsioVirtualMemory&) = delete;
    AsioVirtualMemory& operator=(const AsioVirtualMemory&) = delete;

    // Releases any held block, then allocates `bytes` (more than 0).
    // False when the system has no memory for it (nothing is held then).
    bool Allocate(size_t bytes);
    void Release();

    void* Address() const { return m_address; }
    size_t Length() const { return m_length; }

private:
    void* m_address = nullptr;
    size_t m_length = 0;
};
