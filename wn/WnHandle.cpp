#include "WnHandle.h"

WnHandle::~WnHandle()
{
    Close();
}

void WnHandle::Close()
{
    if (m_handle == nullptr) {
        return;
    }
    if (!CloseHandle(m_handle)) {
        // Read and dropped: the handle is gone from this owner either way.
        (void)GetLastError();
    }
    m_handle = nullptr;
}
