#include "KorvelDevice.h"

#include "KorvelStatus.h"

KorvelDevice::KorvelDevice() = default;

KorvelDevice::~KorvelDevice() = default;

DWORD KorvelDevice::OnOpened()
{
    return ERROR_SUCCESS;
}

DWORD KorvelDevice::OpenFor(const wchar_t* name, const KorvelDeviceInfo& info)
{
    Lock();
    if (IsOpen()) {
        Unlock();
        return KORVEL_STATUS_REJECTED;
    }
    StoreName(m_name, name);
    m_info = info;
    DWORD status = Open(m_name);
    if (status == ERROR_SUCCESS) {
        status = OpenDevice(m_info.key.word0, m_info.key.word1);
        if (status == ERROR_SUCCESS) {
            status = OnOpened();
        }
        if (status != ERROR_SUCCESS) {
            Close();
        }
    }
    Unlock();
    return status;
}
