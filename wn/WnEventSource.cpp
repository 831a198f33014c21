#include "WnEventSource.h"

#include <cwchar>

#include "WnRegistryKey.h"

namespace {

constexpr size_t KEY_CHARS = 260;
constexpr const wchar_t* EVENTLOG_ROOT = L"SYSTEM\\CurrentControlSet\\Services\\EventLog";
constexpr DWORD TYPES_SUPPORTED =
    EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

// Formats the key of a log, or of a source in it when `sourceName` is given;
// false when the path does not fit, so that a cut name never selects some
// other key.
bool FormatKeyPath(wchar_t (&path)[KEY_CHARS], const wchar_t* logName, const wchar_t* sourceName)
{
    int written =
        sourceName != nullptr
            ? _snwprintf(path, KEY_CHARS - 1, L"%s\\%s\\%s", EVENTLOG_ROOT, logName, sourceName)
            : _snwprintf(path, KEY_CHARS - 1, L"%s\\%s", EVENTLOG_ROOT, logName);
    path[KEY_CHARS - 1] = L'\0';
    return written >= 0 && static_cast<size_t>(written) < KEY_CHARS - 1;
}

} // namespace

DWORD InstallEventSource(const wchar_t* logName, const wchar_t* sourceName,
                         const wchar_t* messageFile)
{
    if (logName == nullptr || sourceName == nullptr || messageFile == nullptr ||
        sourceName[0] == L'\0') {
        return ERROR_INVALID_PARAMETER;
    }
    wchar_t path[KEY_CHARS];
    if (!FormatKeyPath(path, logName, sourceName)) {
        return ERROR_INVALID_PARAMETER;
    }

    WnRegistryKey key;
    DWORD status = key.Create(HKEY_LOCAL_MACHINE, path, KEY_READ | KEY_WRITE);
    if (status == 0) {
        status = key.WriteString(L"EventMessageFile", messageFile, REG_EXPAND_SZ);
    }
    if (status == 0) {
        status = key.WriteDword(L"TypesSupported", TYPES_SUPPORTED);
    }
    return status;
}

DWORD RemoveEventSource(const wchar_t* logName, const wchar_t* sourceName)
{
    if (logName == nullptr || sourceName == nullptr || sourceName[0] == L'\0') {
        return ERROR_INVALID_PARAMETER;
    }
    wchar_t path[KEY_CHARS];
    if (!FormatKeyPath(path, logName, nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }

    WnRegistryKey logKey;
    DWORD status = logKey.Open(HKEY_LOCAL_MACHINE, path, KEY_WRITE);
    if (status != 0) {
        return status;
    }
    logKey.DeleteSubkey(sourceName); // a source that is not there is no failure
    return 0;
}
