#include "KorvelDeviceLink.h"

#include "KorvelLinkFrame.h"
#include "KorvelProductKey.h"

#include <cstring>
#include <new>

namespace {

constexpr wchar_t CONTROL_PREFIX[] = L"\\\\.\\";
constexpr size_t CONTROL_PREFIX_CHARS = 4;
constexpr wchar_t PIPE_PREFIX[] = L"\\\\.\\pipe\\";
constexpr size_t PIPE_PREFIX_CHARS = 9;

// Appends `text` at `at` without passing `capacity` (terminator included);
// returns the new end, or capacity when it did not fit.
size_t Append(wchar_t* buffer, size_t capacity, size_t at, const wchar_t* text)
{
    while (*text != L'\0') {
        if (at + 1 >= capacity) {
            return capacity;
        }
        buffer[at++] = *text++;
    }
    buffer[at] = L'\0';
    return at;
}

void StoreU32(uint8_t* at, uint32_t value)
{
    std::memcpy(at, &value, sizeof(value));
}

} // namespace

KorvelDeviceLink::~KorvelDeviceLink()
{
    Reset();
}

void KorvelDeviceLink::FormatControlPath(const wchar_t* name, wchar_t (&path)[PATH_CHARS])
{
    // Same result as formatting "\\\\.\\%s" into the buffer with truncation.
    size_t at = 0;
    for (; at < CONTROL_PREFIX_CHARS; ++at) {
        path[at] = CONTROL_PREFIX[at];
    }
    if (name != nullptr) {
        while (at + 1 < PATH_CHARS && *name != L'\0') {
            path[at++] = *name++;
        }
    }
    path[at] = L'\0';
}

bool KorvelDeviceLink::FormatPipePath(const wchar_t* nameSpace, const wchar_t* controlPath,
                                      wchar_t (&pipePath)[PIPE_PATH_CHARS])
{
    size_t at = Append(pipePath, PIPE_PATH_CHARS, 0, PIPE_PREFIX);
    at = Append(pipePath, PIPE_PATH_CHARS, at, nameSpace);
    if (at < PIPE_PATH_CHARS) {
        at = Append(pipePath, PIPE_PATH_CHARS, at, L"\\");
    }
    if (at < PIPE_PATH_CHARS) {
        at = Append(pipePath, PIPE_PATH_CHARS, at, controlPath + CONTROL_PREFIX_CHARS);
    }
    if (at >= PIPE_PATH_CHARS) {
        pipePath[0] = L'\0';
        return false;
    }
    return true;
}

DWORD KorvelDeviceLink::ReadNamespace(wchar_t (&nameSpace)[MAX_NAMESPACE_CHARS + 1])
{
    nameSpace[0] = L'\0';
    DWORD length = GetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, nameSpace,
                                           static_cast<DWORD>(MAX_NAMESPACE_CHARS + 1));
    if (length > MAX_NAMESPACE_CHARS) {
        nameSpace[0] = L'\0';
        return ERROR_FILENAME_EXCED_RANGE;
    }
    if (length > 0) {
        return ERROR_SUCCESS;
    }
    nameSpace[0] = L'\0';

    // A service does not inherit the caller's environment: the product's
    // registry root may name the namespace instead. Anything unreadable there
    // means "not configured", which selects the real device.
    WnRegistryKey key;
    if (KorvelProductKey::Open(key, KEY_QUERY_VALUE) != ERROR_SUCCESS) {
        return ERROR_SUCCESS;
    }
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>(sizeof(nameSpace) - sizeof(wchar_t));
    DWORD status = key.ReadValue(KORVEL_LINK_REG_VALUE, nameSpace, &size, &type);
    if (status == ERROR_MORE_DATA && type == REG_SZ) {
        nameSpace[0] = L'\0';
        return ERROR_FILENAME_EXCED_RANGE;
    }
    if (status != ERROR_SUCCESS || type != REG_SZ) {
        nameSpace[0] = L'\0';
        return ERROR_SUCCESS;
    }
    // The stored value need not carry its terminator.
    nameSpace[size / sizeof(wchar_t)] = L'\0';
    return ERROR_SUCCESS;
}

DWORD KorvelDeviceLink::Open(const wchar_t* name, HANDLE& handle)
{
    Reset();
    wchar_t path[PATH_CHARS];
    FormatControlPath(name, path);

    wchar_t nameSpace[MAX_NAMESPACE_CHARS + 1];
    DWORD status = ReadNamespace(nameSpace);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (nameSpace[0] == L'\0') {
        HANDLE opened =
            CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (opened == INVALID_HANDLE_VALUE) {
            return GetLastError();
        }
        handle = opened;
        return ERROR_SUCCESS;
    }

    wchar_t pipePath[PIPE_PATH_CHARS];
    if (!FormatPipePath(nameSpace, path, pipePath)) {
        return ERROR_FILENAME_EXCED_RANGE;
    }
    return OpenPipe(pipePath, handle);
}

DWORD KorvelDeviceLink::OpenPipe(const wchar_t* pipePath, HANDLE& handle)
{
    m_frames = new (std::nothrow) uint8_t[2 * size_t{KORVEL_LINK_MAX_FRAME}];
    if (m_frames == nullptr) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    // Identification level only: whoever serves the pipe learns who we are
    // but cannot act as us.
    const DWORD flags = FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;
    const ULONGLONG deadline = GetTickCount64() + PIPE_BUSY_WAIT_MS;
    HANDLE opened = INVALID_HANDLE_VALUE;
    for (;;) {
        opened = CreateFileW(pipePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             flags, nullptr);
        if (opened != INVALID_HANDLE_VALUE) {
            break;
        }
        DWORD error = GetLastError();
        ULONGLONG now = GetTickCount64();
        if (error != ERROR_PIPE_BUSY || now >= deadline) {
            Reset();
            return error;
        }
        // Every instance is taken: wait for one to be offered, then retry.
        if (!WaitNamedPipeW(pipePath, static_cast<DWORD>(deadline - now))) {
            DWORD waitError = GetLastError();
            Reset();
            return waitError == ERROR_SEM_TIMEOUT ? ERROR_PIPE_BUSY : waitError;
        }
    }
    DWORD mode = PIPE_READMODE_MESSAGE;
    if (!SetNamedPipeHandleState(opened, &mode, nullptr, nullptr)) {
        DWORD error = GetLastError();
        CloseHandle(opened);
        Reset();
        return error;
    }
    handle = opened;
    return ERROR_SUCCESS;
}

void KorvelDeviceLink::Reset()
{
    delete[] m_frames;
    m_frames = nullptr;
    m_lost = false;
}

bool KorvelDeviceLink::IsDeadDeviceStatus(DWORD status)
{
    return status == ERROR_DEVICE_REMOVED || status == ERROR_DEVICE_NOT_CONNECTED ||
           status == ERROR_DEV_NOT_EXIST || status == ERROR_INVALID_HANDLE;
}

bool KorvelDeviceLink::IsDeadPipeStatus(DWORD status)
{
    return status == ERROR_BROKEN_PIPE || status == ERROR_NO_DATA ||
           status == ERROR_PIPE_NOT_CONNECTED || status == ERROR_INVALID_HANDLE;
}

uint8_t* KorvelDeviceLink::AnswerFrame() const
{
    return m_frames + KORVEL_LINK_MAX_FRAME;
}

DWORD KorvelDeviceLink::Transact(HANDLE handle, HANDLE event, DWORD code, const void* in,
                                 DWORD inLength, void* out, DWORD outLength, DWORD& bytesReturned)
{
    bytesReturned = 0;
    if (IsSimulated()) {
        return PipeTransact(handle, event, code, in, inLength, out, outLength, bytesReturned);
    }
    DWORD status = DeviceTransact(handle, event, code, in, inLength, out, outLength, bytesReturned);
    if (IsDeadDeviceStatus(status)) {
        m_lost = true;
    }
    return status;
}

DWORD KorvelDeviceLink::DeviceTransact(HANDLE handle, HANDLE event, DWORD code, const void* in,
                                       DWORD inLength, void* out, DWORD outLength,
                                       DWORD& bytesReturned)
{
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    DWORD bytes = 0;
    DWORD status = ERROR_SUCCESS;
    if (!DeviceIoControl(handle, code, const_cast<void*>(in), inLength, out, outLength, &bytes,
                         &overlapped)) {
        status = GetLastError();
        if (status == ERROR_IO_PENDING) {
            status = GetOverlappedResult(handle, &overlapped, &bytes, TRUE) ? ERROR_SUCCESS
                                                                            : GetLastError();
        }
    }
    bytesReturned = bytes;
    return status;
}

DWORD KorvelDeviceLink::PipeTransact(HANDLE handle, HANDLE event, DWORD code, const void* in,
                                     DWORD inLength, void* out, DWORD outLength,
                                     DWORD& bytesReturned)
{
    constexpr DWORD requestHeader = sizeof(KorvelLinkRequestHeader);
    constexpr DWORD answerHeader = sizeof(KorvelLinkAnswerHeader);
    // Refused before anything is sent: a frame above the limit either way,
    // or a length without a buffer behind it.
    if (inLength > KORVEL_LINK_MAX_FRAME - requestHeader ||
        outLength > KORVEL_LINK_MAX_FRAME - answerHeader || (in == nullptr && inLength != 0) ||
        (out == nullptr && outLength != 0)) {
        return ERROR_INVALID_PARAMETER;
    }
    uint8_t* request = RequestFrame();
    StoreU32(request + offsetof(KorvelLinkRequestHeader, code), code);
    StoreU32(request + offsetof(KorvelLinkRequestHeader, inLength), inLength);
    StoreU32(request + offsetof(KorvelLinkRequestHeader, outCapacity), outLength);
    if (inLength != 0) {
        std::memcpy(request + requestHeader, in, inLength);
    }

    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    DWORD received = 0;
    DWORD status = ERROR_SUCCESS;
    // The answer buffer is what this request can be answered with: its
    // header and the caller's output length. A buffer of the whole frame
    // limit for every request made Wine's server copy (and fail on) 64 KiB
    // per exchange; a longer answer is drained and refused below.
    if (!TransactNamedPipe(handle, request, requestHeader + inLength, AnswerFrame(),
                           answerHeader + outLength, nullptr, &overlapped)) {
        status = GetLastError();
    }
    if (status == ERROR_SUCCESS || status == ERROR_IO_PENDING) {
        status = AwaitCompletion(handle, overlapped, received);
    }
    if (IsDeadPipeStatus(status)) {
        // Only the transport can report this: a status in an answer frame
        // comes from a simulator that is still there.
        m_lost = true;
        return status;
    }
    if (status == ERROR_MORE_DATA) {
        // An answer above the frame limit: drop the rest of it so that the
        // next answer starts on a frame boundary, and refuse this one.
        status = DrainMessage(handle, event);
        return status == ERROR_SUCCESS ? ERROR_INVALID_DATA : status;
    }
    if (status != ERROR_SUCCESS) {
        return status;
    }

    KorvelLinkAnswerHeader answer{};
    if (received < answerHeader) {
        return ERROR_INVALID_DATA;
    }
    std::memcpy(&answer, AnswerFrame(), answerHeader);
    if (answer.bytesReturned > outLength || received - answerHeader != answer.bytesReturned) {
        return ERROR_INVALID_DATA;
    }
    if (answer.bytesReturned != 0) {
        std::memcpy(out, AnswerFrame() + answerHeader, answer.bytesReturned);
    }
    bytesReturned = answer.bytesReturned;
    return answer.status;
}

DWORD KorvelDeviceLink::AwaitCompletion(HANDLE handle, OVERLAPPED& overlapped, DWORD& bytes)
{
    // Waits on the event rather than through GetOverlappedResult: some pipe
    // implementations (Wine's TransactNamedPipe) leave the status word of a
    // pending transaction at success, which makes a waiting
    // GetOverlappedResult return before the answer is there. The event is
    // reset when the operation starts and signalled when it completes.
    if (WaitForSingleObject(overlapped.hEvent, INFINITE) != WAIT_OBJECT_0) {
        return GetLastError();
    }
    return GetOverlappedResult(handle, &overlapped, &bytes, FALSE) ? ERROR_SUCCESS : GetLastError();
}

DWORD KorvelDeviceLink::DrainMessage(HANDLE handle, HANDLE event)
{
    for (;;) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = event;
        DWORD received = 0;
        DWORD status = ERROR_SUCCESS;
        if (!ReadFile(handle, AnswerFrame(), KORVEL_LINK_MAX_FRAME, nullptr, &overlapped)) {
            status = GetLastError();
        }
        if (status == ERROR_SUCCESS || status == ERROR_IO_PENDING) {
            status = AwaitCompletion(handle, overlapped, received);
        }
        if (status != ERROR_MORE_DATA) {
            return status;
        }
    }
}
