#include "AsioConfigStore.h"

#include "WnCriticalSectionLock.h"

AsioConfigStore::AsioConfigStore()
{
    InitializeCriticalSection(&m_lock);
}

AsioConfigStore::~AsioConfigStore()
{
    DeleteCriticalSection(&m_lock);
}

KorvelAsioStreamConfig AsioConfigStore::Get() const
{
    WnCriticalSectionLock guard(m_lock);
    return m_config;
}

DWORD AsioConfigStore::Refresh(KorvelAsioClient& client)
{
    KorvelAsioStreamConfig fresh = Get();
    DWORD status = client.RefreshStreamConfig(fresh);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    WnCriticalSectionLock guard(m_lock);
    m_config = fresh;
    m_rate.store(fresh.currentRate, std::memory_order_release);
    m_bufferSize.store(fresh.bufferSize, std::memory_order_release);
    return ERROR_SUCCESS;
}
