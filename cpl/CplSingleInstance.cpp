#include "CplSingleInstance.h"

int CplSingleInstance::CloseRunning(const wchar_t* className, DWORD budgetMs, DWORD pauseMs)
{
    LONG64 remaining = budgetMs;
    for (HWND frame = FindWindowW(className, nullptr); frame != nullptr;
         frame = FindWindowW(className, nullptr)) {
        DWORD_PTR ignored = 0;
        (void)SendMessageTimeoutW(frame, WM_CLOSE, 0, 0, SMTO_NORMAL,
                                  static_cast<UINT>(remaining), &ignored);
        Sleep(pauseMs);
        remaining -= pauseMs;
        if (remaining <= 0) {
            return 1;
        }
    }
    return 0;
}

bool CplSingleInstance::RaiseRunning(const wchar_t* className)
{
    HWND frame = FindWindowW(className, nullptr);
    if (frame == nullptr) {
        return false;
    }
    HWND popup = GetLastActivePopup(frame);
    if (IsIconic(frame)) {
        ShowWindow(frame, SW_RESTORE);
    }
    ShowWindow(popup, SW_SHOW);
    SetForegroundWindow(popup);
    return true;
}

bool CplSingleInstance::Claim(const wchar_t* name)
{
    DWORD status = m_mutex.Create(TRUE, name);
    return m_mutex.GetHandle() != nullptr && status != ERROR_ALREADY_EXISTS;
}
