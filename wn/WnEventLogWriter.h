#pragma once

#include <cstdarg>
#include <cstddef>

#include "WnEventLogHandle.h"

// Writes the service's messages to the Windows event log. The program that
// registers the source carries a message table whose three messages are
// "%1\r\n": the one insertion string is the whole text.
class WnEventLogWriter : public WnEventLogHandle
{
public:
    // Message identifiers of the message table.
    static constexpr DWORD MSG_INFO = 0x60070001;
    static constexpr DWORD MSG_WARNING = 0xA0070002;
    static constexpr DWORD MSG_ERROR = 0xE0070003;
    // Size of the buffer WriteInfo formats into, terminator included.
    static constexpr size_t TEXT_CHARS = 4096;

    WnEventLogWriter() = default;
    ~WnEventLogWriter() override;

    // Deregisters a held source (failure dropped), then registers `source`
    // on the local machine. 0 or the last error.
    DWORD Open(const wchar_t* source);

    // Deregisters the source: 0 or the last error; the handle is cleared.
    DWORD Close() override;

    // Formats the text (printf style, Windows wide conventions: %s takes a
    // wide text, %hs a narrow one) into TEXT_CHARS characters, cutting a
    // longer text, and writes it as an information event. 0 or the last
    // error; 6 (ERROR_INVALID_HANDLE) when no source is open.
    DWORD WriteInfo(const wchar_t* format, ...);

    // Writes `text` unchanged as an error event; results as WriteInfo.
    DWORD WriteError(const wchar_t* text);

    // The bounded formatting of WriteInfo: writes at most count - 1
    // characters and always terminates; a longer text is cut. Returns the
    // length of the text in the buffer.
    static size_t FormatText(wchar_t* buffer, size_t count, const wchar_t* format, va_list args);

private:
    DWORD Report(WORD type, DWORD eventId, const wchar_t* text);
};
