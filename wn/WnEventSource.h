#pragma once

#include <windows.h>

// Registration of an event source under
// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\EventLog\<log>\<source>.

// Creates or opens the source's key and sets "EventMessageFile" (REG_EXPAND_SZ,
// the program holding the message table) and "TypesSupported" (REG_DWORD 7:
// error, warning, information). The first failure is returned; 87 when a
// name is missing or the key path would not fit in 260 characters.
DWORD InstallEventSource(const wchar_t* logName, const wchar_t* sourceName,
                         const wchar_t* messageFile);

// Deletes the source's key. 0 whenever the log's key can be opened (a
// missing source is not an error), else the error of opening the log's key.
DWORD RemoveEventSource(const wchar_t* logName, const wchar_t* sourceName);
