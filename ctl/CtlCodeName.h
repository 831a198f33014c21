#pragma once
// A table from codes to texts (statuses to reasons, notifications to event
// names), looked up in one way for all of them.
#include <cstddef>
#include <cstdint>

struct CtlCodeName
{
    uint32_t code;
    const char* name;
};

// The text of `code`, or `missing`.
template <size_t N>
const char* CtlFindName(const CtlCodeName (&table)[N], uint32_t code, const char* missing)
{
    for (const CtlCodeName& entry : table) {
        if (entry.code == code) {
            return entry.name;
        }
    }
    return missing;
}
