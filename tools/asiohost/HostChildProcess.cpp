#include "HostChildProcess.h"

namespace {
constexpr DWORD POLL_MS = 20;
constexpr DWORD END_WAIT_MS = 5000;
} // namespace

HostChildProcess::~HostChildProcess()
{
    if (m_process.hProcess != nullptr) {
        Terminate();
        CloseHandle(m_process.hProcess);
        CloseHandle(m_process.hThread);
    }
}

DWORD HostChildProcess::Start(const std::wstring& commandLine, const std::wstring& logPath)
{
    if (m_process.hProcess != nullptr) {
        return ERROR_ALREADY_EXISTS;
    }
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE log = CreateFileW(logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    HANDLE none = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = log;
    startup.hStdError = log;
    startup.hStdInput = none != INVALID_HANDLE_VALUE ? none : nullptr;
    std::wstring line = commandLine;
    BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                  &startup, &m_process);
    DWORD error = started ? 0 : GetLastError();
    CloseHandle(log);
    if (none != INVALID_HANDLE_VALUE) {
        CloseHandle(none);
    }
    if (!started) {
        m_process = {};
        return error;
    }
    m_logPath = logPath;
    return 0;
}

bool HostChildProcess::Running() const
{
    return m_process.hProcess != nullptr &&
           WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD HostChildProcess::Wait(DWORD timeoutMs)
{
    if (m_process.hProcess == nullptr ||
        WaitForSingleObject(m_process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        return 0xFFFFFFFF;
    }
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(m_process.hProcess, &code);
    return code;
}

void HostChildProcess::Terminate()
{
    if (Running()) {
        TerminateProcess(m_process.hProcess, 99);
        WaitForSingleObject(m_process.hProcess, END_WAIT_MS);
    }
}

std::string HostChildProcess::Output() const
{
    std::string text;
    if (m_logPath.empty()) {
        return text;
    }
    HANDLE file = CreateFileW(m_logPath.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return text;
    }
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    CloseHandle(file);
    std::string normalized;
    normalized.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            normalized += text[i];
        }
    }
    return normalized;
}

bool HostChildProcess::WaitForOutput(const std::string& text, DWORD timeoutMs) const
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        const bool running = Running();
        if (Output().find(text) != std::string::npos) {
            return true;
        }
        if (!running || GetTickCount64() >= end) {
            return false;
        }
        Sleep(POLL_MS);
    }
}
