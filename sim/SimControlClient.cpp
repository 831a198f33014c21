#include "SimControlClient.h"

#include "SimHandle.h"
#include "SimPipeListener.h"

#include <vector>

namespace {

DWORD Connect(const std::wstring& path, SimHandle& pipe)
{
    DWORD started = GetTickCount();
    for (;;) {
        pipe.Attach(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr));
        if (pipe.IsValid()) {
            break;
        }
        DWORD error = GetLastError();
        DWORD waited = GetTickCount() - started;
        if (error != ERROR_PIPE_BUSY || waited >= SimControlClient::BUSY_WAIT_MS) {
            return error;
        }
        WaitNamedPipeW(path.c_str(), SimControlClient::BUSY_WAIT_MS - waited);
    }
    DWORD mode = PIPE_READMODE_MESSAGE;
    if (!SetNamedPipeHandleState(pipe.GetHandle(), &mode, nullptr, nullptr)) {
        return GetLastError();
    }
    return 0;
}

} // namespace

uint32_t SimControlClient::Send(const std::wstring& nameSpace, const std::string& line,
                                std::string& answer)
{
    answer.clear();
    SimHandle pipe;
    DWORD status = Connect(SimPipeListener::PipePath(nameSpace, L"control"), pipe);
    if (status != 0) {
        return status;
    }
    DWORD written = 0;
    if (!WriteFile(pipe.GetHandle(), line.data(), static_cast<DWORD>(line.size()), &written,
                   nullptr)) {
        return GetLastError();
    }
    std::vector<char> chunk(64 * 1024);
    for (;;) {
        DWORD read = 0;
        BOOL ok = ReadFile(pipe.GetHandle(), chunk.data(), static_cast<DWORD>(chunk.size()), &read,
                           nullptr);
        DWORD error = ok ? 0 : GetLastError();
        if (!ok && error != ERROR_MORE_DATA) {
            return error;
        }
        answer.append(chunk.data(), read);
        if (ok) {
            return 0;
        }
        if (answer.size() > MAX_ANSWER) {
            return ERROR_INSUFFICIENT_BUFFER;
        }
    }
}
