#include "ChildPipe.h"

namespace quillo_test {

namespace {
// Large enough that no child of the tests ever blocks writing to it.
constexpr DWORD PIPE_SIZE = 64 * 1024;
constexpr DWORD POLL_MS = 20;
} // namespace

ChildPipe::~ChildPipe()
{
    CloseWriteEnd();
    if (m_read != nullptr) {
        CloseHandle(m_read);
    }
}

bool ChildPipe::Create()
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    if (!CreatePipe(&m_read, &m_write, &inherit, PIPE_SIZE)) {
        m_read = m_write = nullptr;
        return false;
    }
    SetHandleInformation(m_read, HANDLE_FLAG_INHERIT, 0);
    return true;
}

void ChildPipe::CloseWriteEnd()
{
    if (m_write != nullptr) {
        CloseHandle(m_write);
        m_write = nullptr;
    }
}

bool ChildPipe::ReadAvailable(std::string& out)
{
    if (m_read == nullptr) {
        return false;
    }
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(m_read, nullptr, 0, nullptr, &available, nullptr)) {
            return false; // every write end is closed and all was read
        }
        if (available == 0) {
            return true;
        }
        char buffer[512];
        DWORD got = 0;
        DWORD want = available < sizeof(buffer) ? available : sizeof(buffer);
        if (!ReadFile(m_read, buffer, want, &got, nullptr)) {
            return false;
        }
        out.append(buffer, got);
    }
}

bool ChildPipe::ReadUntil(const std::string& text, std::string& seen, DWORD timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        bool open = ReadAvailable(seen);
        if (seen.find(text) != std::string::npos) {
            return true;
        }
        if (!open || GetTickCount64() >= end) {
            return false;
        }
        Sleep(POLL_MS);
    }
}

} // namespace quillo_test
