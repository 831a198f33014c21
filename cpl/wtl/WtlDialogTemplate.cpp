#include "WtlDialogTemplate.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// The fixed part of an extended template (DLGTEMPLATEEX) up to its size.
#pragma pack(push, 1)
struct ExtendedHeader
{
    uint16_t version;
    uint16_t signature; // 0xFFFF for the extended form
    uint32_t helpId;
    uint32_t exStyle;
    uint32_t style;
    uint16_t items;
    int16_t x;
    int16_t y;
    int16_t cx;
    int16_t cy;
};
#pragma pack(pop)
static_assert(sizeof(ExtendedHeader) == 26);
static_assert(offsetof(ExtendedHeader, cx) == 22);

} // namespace

bool WtlDialogTemplate::SizeInUnits(HINSTANCE instance, int id, SIZE& size)
{
    HRSRC info = ::FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5)); // RT_DIALOG
    HGLOBAL resource = info != nullptr ? ::LoadResource(instance, info) : nullptr;
    const void* data = resource != nullptr ? ::LockResource(resource) : nullptr;
    const DWORD length = info != nullptr ? ::SizeofResource(instance, info) : 0;
    if (data == nullptr) {
        return false;
    }
    if (length >= sizeof(ExtendedHeader)) {
        ExtendedHeader header{};
        std::memcpy(&header, data, sizeof header);
        if (header.version == 1 && header.signature == 0xFFFF) {
            size = SIZE{header.cx, header.cy};
            return true;
        }
    }
    if (length < sizeof(DLGTEMPLATE)) {
        return false;
    }
    DLGTEMPLATE plain{};
    std::memcpy(&plain, data, sizeof plain);
    size = SIZE{plain.cx, plain.cy};
    return true;
}

bool WtlDialogTemplate::SizeInPixels(HINSTANCE instance, int id, HWND dialog, SIZE& size)
{
    SIZE units{};
    if (!SizeInUnits(instance, id, units)) {
        return false;
    }
    RECT rect{0, 0, units.cx, units.cy};
    if (!::MapDialogRect(dialog, &rect)) {
        return false;
    }
    size = SIZE{rect.right, rect.bottom};
    return true;
}
