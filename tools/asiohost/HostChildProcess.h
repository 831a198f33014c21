#pragma once
// A program that a test or the benchmark starts beside itself (the
// simulator, the service, asiohost), its standard output and error written
// to a log file. A file, not a pipe: Wine's system processes inherit a
// child's handles and would hold a pipe open long after the child ended, so
// reading a pipe to its end can wait for ever; a file is read at any time.
#include <windows.h>

#include <string>

class HostChildProcess
{
public:
    HostChildProcess() = default;
    ~HostChildProcess(); // ends a child that still runs
    HostChildProcess(const HostChildProcess&) = delete;
    HostChildProcess& operator=(const HostChildProcess&) = delete;

    // Starts `commandLine` (program path quoted as needed) with its output
    // going to `logPath`, made anew, and no standard input. 0 or the error.
    DWORD Start(const std::wstring& commandLine, const std::wstring& logPath);
    bool Running() const;
    // The exit code once ended within `timeoutMs`; 0xFFFFFFFF on time-out.
    DWORD Wait(DWORD timeoutMs);
    // Ends the child at once and waits (bounded) for it to go.
    void Terminate();
    DWORD ProcessId() const { return m_process.dwProcessId; }
    // Everything written so far, "\r\n" read as "\n".
    std::string Output() const;
    // Polls the output until `text` appears (true), the child ends without
    // it or `timeoutMs` passes (false).
    bool WaitForOutput(const std::string& text, DWORD timeoutMs) const;

private:
    PROCESS_INFORMATION m_process = {};
    std::wstring m_logPath;
};
