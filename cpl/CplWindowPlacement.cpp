#include "CplWindowPlacement.h"

#include <algorithm>
#include <cstdint>

#include "WtlRegistrySetting.h"

namespace {

constexpr const wchar_t* VALUE_POS_X = L"PosX";
constexpr const wchar_t* VALUE_POS_Y = L"PosY";
constexpr const wchar_t* VALUE_WIDTH = L"Width";
constexpr const wchar_t* VALUE_HEIGHT = L"Height";

// Stored words are signed pixel values; a hostile width must not overflow
// the right edge, so the sum is formed wide and brought back into range.
LONG EdgeFrom(DWORD origin, DWORD extent)
{
    int64_t edge = static_cast<int64_t>(static_cast<int32_t>(origin)) +
                   static_cast<int64_t>(static_cast<int32_t>(extent));
    return static_cast<LONG>(std::clamp<int64_t>(edge, INT32_MIN, INT32_MAX));
}

} // namespace

void CplWindowPlacement::ClampToScreen(RECT& rect, int cx, int cy)
{
    rect.left = std::min<LONG>(std::max<LONG>(rect.left, 0), cx - MIN_VISIBLE);
    rect.top = std::min<LONG>(std::max<LONG>(rect.top, 0), cy - MIN_VISIBLE);
    rect.right = std::min<LONG>(std::max<LONG>(rect.right, MIN_VISIBLE), cx);
    rect.bottom = std::min<LONG>(std::max<LONG>(rect.bottom, MIN_VISIBLE), cy);
    if (rect.right - rect.left < MIN_VISIBLE || rect.bottom - rect.top < MIN_VISIBLE) {
        const int half = MIN_VISIBLE / 2;
        rect = {cx / 2 - half, cy / 2 - half, cx / 2 + half, cy / 2 + half};
    }
}

void CplWindowPlacement::ClampToPrimaryScreen(RECT& rect)
{
    ClampToScreen(rect, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

bool CplWindowPlacement::Read(WtlRegistrySetting& setting, RECT& rect)
{
    DWORD x = 0, y = 0, width = 0, height = 0;
    if (!setting.ReadDword(VALUE_POS_X, x) || !setting.ReadDword(VALUE_POS_Y, y) ||
        !setting.ReadDword(VALUE_WIDTH, width) || !setting.ReadDword(VALUE_HEIGHT, height)) {
        return false;
    }
    rect = {static_cast<LONG>(x), static_cast<LONG>(y), EdgeFrom(x, width), EdgeFrom(y, height)};
    ClampToPrimaryScreen(rect);
    return true;
}

bool CplWindowPlacement::Restore(WtlRegistrySetting& setting, HWND window)
{
    RECT rect{};
    if (!Read(setting, rect)) {
        return false;
    }
    SetWindowPos(window, HWND_TOP, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_HIDEWINDOW);
    return true;
}

void CplWindowPlacement::Save(WtlRegistrySetting& setting, HWND window)
{
    RECT rect{};
    if (IsIconic(window) || !GetWindowRect(window, &rect)) {
        return;
    }
    ClampToPrimaryScreen(rect);
    (void)(setting.WriteDword(VALUE_POS_X, static_cast<DWORD>(rect.left)) == ERROR_SUCCESS &&
           setting.WriteDword(VALUE_POS_Y, static_cast<DWORD>(rect.top)) == ERROR_SUCCESS &&
           setting.WriteDword(VALUE_WIDTH, static_cast<DWORD>(rect.right - rect.left)) ==
               ERROR_SUCCESS &&
           setting.WriteDword(VALUE_HEIGHT, static_cast<DWORD>(rect.bottom - rect.top)) ==
               ERROR_SUCCESS);
}
