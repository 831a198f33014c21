#include "AsioText.h"

namespace {

// Unit by unit, each reduced to what the target type holds (its low byte for
// char), up to the first zero, the source's capacity or the target's room.
template <class Unit>
void CopyUnits(Unit* target, size_t targetSize, const wchar_t* source, size_t sourceCapacity)
{
    if (target == nullptr || targetSize == 0) {
        return;
    }
    size_t i = 0;
    for (; source != nullptr && i + 1 < targetSize && i < sourceCapacity && source[i] != L'\0';
         ++i) {
        target[i] = static_cast<Unit>(source[i] & (sizeof(Unit) == 1 ? 0xFF : 0xFFFF));
    }
    target[i] = Unit(0);
}

} // namespace

void AsioText::Narrow(char* target, size_t targetSize, const wchar_t* source,
                      size_t sourceCapacity)
{
    CopyUnits(target, targetSize, source, sourceCapacity);
}

void AsioText::Copy(wchar_t* target, size_t targetSize, const wchar_t* source,
                    size_t sourceCapacity)
{
    CopyUnits(target, targetSize, source, sourceCapacity);
}
