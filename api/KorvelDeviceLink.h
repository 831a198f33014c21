#pragma once
// The seam between a connection and whatever answers as the kernel driver.
// By default a connection opens the control device and issues device I/O
// control requests on it. When a simulator namespace is configured (the
// environment variable or the registry value named in KorvelLinkFrame.h), it
// opens the simulator's named pipe instead and runs each request as one
// TransactNamedPipe exchange of a request frame and an answer frame. Callers
// above the connection cannot tell the two apart: same statuses, same bytes.
//
// Used only by KorvelApiContext::Open and KorvelApiContext::Request, which
// hold the connection's lock around every call.
#include <windows.h>

#include <cstddef>
#include <cstdint>

class KorvelDeviceLink
{
public:
    // The control device path "\\.\<name>" lives in a buffer of this many
    // wide characters; longer names are cut to fit.
    static constexpr size_t PATH_CHARS = 300;
    // Longest simulator namespace accepted from the configuration.
    static constexpr size_t MAX_NAMESPACE_CHARS = 128;
    // Pipe path "\\.\pipe\<namespace>\<path without \\.\>" with its terminator.
    static constexpr size_t PIPE_PATH_CHARS = 9 + MAX_NAMESPACE_CHARS + 1 + PATH_CHARS;
    // How long an open waits for a free pipe instance while all are busy.
    static constexpr DWORD PIPE_BUSY_WAIT_MS = 5000;

    KorvelDeviceLink() = default;
    ~KorvelDeviceLink();

    KorvelDeviceLink(const KorvelDeviceLink&) = delete;
    KorvelDeviceLink& operator=(const KorvelDeviceLink&) = delete;

    // Formats "\\.\<name>" into `path`, cutting the name so that the result
    // with its terminator fits PATH_CHARS. A null name counts as empty.
    static void FormatControlPath(const wchar_t* name, wchar_t (&path)[PATH_CHARS]);

    // Builds the simulator pipe path for a control path made by
    // FormatControlPath. False when the result would not fit (cannot happen
    // for a namespace within MAX_NAMESPACE_CHARS).
    static bool FormatPipePath(const wchar_t* nameSpace, const wchar_t* controlPath,
                               wchar_t (&pipePath)[PIPE_PATH_CHARS]);

    // Reads the configured simulator namespace: the environment variable
    // first, then the registry value. An empty `nameSpace` means device I/O.
    // A configured namespace longer than MAX_NAMESPACE_CHARS is an error
    // (ERROR_FILENAME_EXCED_RANGE), never a reason to fall back.
    static DWORD ReadNamespace(wchar_t (&nameSpace)[MAX_NAMESPACE_CHARS + 1]);

    // Opens the control device `name` (or its simulator pipe). On success
    // `handle` receives the new overlapped handle and 0 is returned; on
    // failure `handle` is untouched and the operating system's error (or
    // ERROR_NOT_ENOUGH_MEMORY for the frame buffer) is returned.
    DWORD Open(const wchar_t* name, HANDLE& handle);

    // Runs one control request on `handle`, waiting for its completion on
    // `event` (a manual-reset event) without a time limit. `bytesReturned`
    // is set on success and on failure.
    DWORD Transact(HANDLE handle, HANDLE event, DWORD code, const void* in, DWORD inLength,
                   void* out, DWORD outLength, DWORD& bytesReturned);

    // Forgets the mode of the last open and frees the frame buffer. The
    // handle itself belongs to the connection.
    void Reset();

    // True while the last open went to the simulator.
    bool IsSimulated() const { return m_frames != nullptr; }

    // True once a request found the handle dead: the simulator's pipe broke
    // (it was stopped or restarted), or the device answered that it is gone
    // (the kernel driver was unloaded). Nothing more can be done on such a
    // handle; its owner closes it and opens the control device again. Open
    // and Reset clear it.
    bool IsLost() const { return m_lost; }
    // The statuses with which the device I/O manager completes requests on a
    // handle whose device no longer exists.
    static bool IsDeadDeviceStatus(DWORD status);
    // The statuses with which a pipe operation fails once the other end has
    // gone.
    static bool IsDeadPipeStatus(DWORD status);

private:
    DWORD OpenPipe(const wchar_t* pipePath, HANDLE& handle);
    static DWORD DeviceTransact(HANDLE handle, HANDLE event, DWORD code, const void* in,
                                DWORD inLength, void* out, DWORD outLength, DWORD& bytesReturned);
    DWORD PipeTransact(HANDLE handle, HANDLE event, DWORD code, const void* in, DWORD inLength,
                       void* out, DWORD outLength, DWORD& bytesReturned);
    DWORD DrainMessage(HANDLE handle, HANDLE event);
    static DWORD AwaitCompletion(HANDLE handle, OVERLAPPED& overlapped, DWORD& bytes);
    uint8_t* RequestFrame() const { return m_frames; }
    uint8_t* AnswerFrame() const;

    // Request frame and answer frame, one maximal frame each; allocated when
    // a pipe is opened, so that no request allocates.
    uint8_t* m_frames = nullptr;
    bool m_lost = false;
};
