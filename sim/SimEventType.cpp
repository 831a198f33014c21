#include "SimEventType.h"

#include <winternl.h>

#include <cwchar>

namespace {

// The native queries behind the check, looked up once in ntdll.
using QueryObjectFn = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
using QueryEventFn = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

constexpr ULONG OBJECT_TYPE_INFORMATION_CLASS = 2;
constexpr ULONG EVENT_BASIC_INFORMATION_CLASS = 0;
constexpr LONG SYNCHRONIZATION_EVENT = 1; // auto-reset; 0 is a manual-reset event

struct EventBasicInformation
{
    LONG eventType;
    LONG eventState;
};

template <class Fn> Fn NtFunction(const char* name)
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    FARPROC proc = ntdll != nullptr ? GetProcAddress(ntdll, name) : nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
}

bool IsEventObject(HANDLE handle)
{
    static const auto query = NtFunction<QueryObjectFn>("NtQueryObject");
    if (query == nullptr) {
        return false;
    }
    // The type information: a UNICODE_STRING with the type name, then
    // counters; the name follows in the same buffer.
    alignas(8) unsigned char buffer[1024] = {};
    ULONG length = 0;
    if (query(handle, OBJECT_TYPE_INFORMATION_CLASS, buffer, sizeof buffer, &length) < 0) {
        return false;
    }
    const auto* name = reinterpret_cast<const UNICODE_STRING*>(buffer);
    return name->Buffer != nullptr && name->Length == 5 * sizeof(wchar_t) &&
           std::wcsncmp(name->Buffer, L"Event", 5) == 0;
}

} // namespace

bool SimEventType::IsEvent(HANDLE handle, bool autoReset)
{
    if (handle == nullptr || !IsEventObject(handle)) {
        return false;
    }
    if (!autoReset) {
        return true;
    }
    static const auto query = NtFunction<QueryEventFn>("NtQueryEvent");
    EventBasicInformation info{};
    return query != nullptr &&
           query(handle, EVENT_BASIC_INFORMATION_CLASS, &info, sizeof info, nullptr) >= 0 &&
           info.eventType == SYNCHRONIZATION_EVENT;
}
