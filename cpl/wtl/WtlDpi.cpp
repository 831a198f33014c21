#include "WtlDpi.h"

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

// Looked up once: the program must start on systems whose user32 lacks it.
GetDpiForWindowFn ResolveGetDpiForWindow()
{
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr)
        return nullptr;
    return reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(::GetProcAddress(user32, "GetDpiForWindow")));
}

} // namespace

UINT WtlDpi::ForWindow(HWND hwnd)
{
    static const GetDpiForWindowFn getDpiForWindow = ResolveGetDpiForWindow();
    if (hwnd != nullptr && getDpiForWindow != nullptr) {
        const UINT dpi = getDpiForWindow(hwnd);
        if (dpi != 0)
            return dpi;
    }
    return ScreenDpi();
}

int WtlDpi::Scale(int px, UINT dpi)
{
    if (dpi == 0)
        return px;
    return ::MulDiv(px, static_cast<int>(dpi), static_cast<int>(BASE));
}

UINT WtlDpi::ScreenDpi()
{
    HDC screen = ::GetDC(nullptr);
    if (screen == nullptr)
        return BASE;
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : BASE;
}
