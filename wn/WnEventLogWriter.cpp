#include "WnEventLogWriter.h"

#include "WnLastError.h"

#include <cwchar>

WnEventLogWriter::~WnEventLogWriter()
{
    Close();
}

DWORD WnEventLogWriter::Open(const wchar_t* source)
{
    Close();
    m_handle = RegisterEventSourceW(nullptr, source);
    if (m_handle == nullptr) {
        return LastErrorOr(ERROR_INVALID_HANDLE);
    }
    return 0;
}

DWORD WnEventLogWriter::Close()
{
    if (m_handle == nullptr) {
        return 0;
    }
    DWORD result = 0;
    if (!DeregisterEventSource(m_handle)) {
        result = GetLastError();
    }
    m_handle = nullptr;
    return result;
}

DWORD WnEventLogWriter::WriteInfo(const wchar_t* format, ...)
{
    wchar_t text[TEXT_CHARS];
    va_list args;
    va_start(args, format);
    FormatText(text, TEXT_CHARS, format, args);
    va_end(args);
    return Report(EVENTLOG_INFORMATION_TYPE, MSG_INFO, text);
}

DWORD WnEventLogWriter::WriteError(const wchar_t* text)
{
    return Report(EVENTLOG_ERROR_TYPE, MSG_ERROR, text != nullptr ? text : L"");
}

size_t WnEventLogWriter::FormatText(wchar_t* buffer, size_t count, const wchar_t* format,
                                    va_list args)
{
    if (buffer == nullptr || count == 0) {
        return 0;
    }
    buffer[0] = L'\0';
    if (format == nullptr) {
        return 0;
    }
    // The runtime's _vsnwprintf follows the Windows conventions for %s and
    // leaves a cut text unterminated, so the last character is reserved.
    _vsnwprintf(buffer, count - 1, format, args);
    buffer[count - 1] = L'\0';
    return wcslen(buffer);
}

DWORD WnEventLogWriter::Report(WORD type, DWORD eventId, const wchar_t* text)
{
    if (m_handle == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    const wchar_t* strings[1] = {text};
    if (!ReportEventW(m_handle, type, 0, eventId, nullptr, 1, 0, strings, nullptr)) {
        return LastErrorOr(ERROR_INVALID_HANDLE);
    }
    return 0;
}
