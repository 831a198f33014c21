#include "WnMutex.h"

DWORD WnMutex::Create(BOOL initialOwner, const wchar_t* name)
{
    Close();
    // Cleared first so that a stale error from earlier calls cannot be taken
    // for the result of this creation.
    SetLastError(ERROR_SUCCESS);
    m_handle = CreateMutexW(nullptr, initialOwner, name);
    DWORD error = GetLastError();
    if (m_handle == nullptr && error == ERROR_SUCCESS) {
        return ERROR_INVALID_HANDLE;
    }
    // Also ERROR_ALREADY_EXISTS with a valid handle: the caller decides.
    return error;
}
