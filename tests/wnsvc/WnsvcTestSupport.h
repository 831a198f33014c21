#pragma once

// Helpers shared by the service-framework tests: unique names, the test
// program's directory and running a child program with its output captured.
#include <windows.h>

#include <string>

#include "ChildPipe.h"
#include "ProgramDirectory.h"
#include "TestWatchdog.h"

namespace wnsvc_test {

// A name no other test run uses: prefix, process id and tick count.
inline std::wstring UniqueName(const wchar_t* prefix)
{
    return std::wstring(prefix) + L"_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
           std::to_wstring(GetTickCount());
}

// Directory of the running test program, with a trailing backslash.
inline std::wstring ProgramDir()
{
    return quillo_test::ProgramDirectory();
}

// A started child program whose standard output goes to a pipe.
struct Child
{
    PROCESS_INFORMATION process = {};
    quillo_test::ChildPipe output;

    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child()
    {
        if (process.hProcess != nullptr) {
            if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(process.hProcess, 99);
                WaitForSingleObject(process.hProcess, 5000);
            }
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
    }

    // Starts `commandLine`; false when it cannot be started.
    bool Start(const std::wstring& commandLine, DWORD flags = 0)
    {
        if (!output.Create()) {
            return false;
        }
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output.WriteEnd();
        startup.hStdError = output.WriteEnd();
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        std::wstring line = commandLine;
        BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr,
                                      nullptr, &startup, &process);
        output.CloseWriteEnd();
        return started != FALSE;
    }

    // Reads output until `text` has appeared (true), or the pipe ends or
    // `timeoutMs` passes (false).
    bool ReadUntil(const std::string& text, std::string& seen, DWORD timeoutMs = 15000)
    {
        return output.ReadUntil(text, seen, timeoutMs);
    }

    // Waits for the end and returns the exit code (0xFFFFFFFF on time-out);
    // once the child has ended, the rest of its output is appended to `rest`.
    DWORD Finish(DWORD timeoutMs, std::string* rest = nullptr)
    {
        quillo_test::WaitNote note("a child program to end");
        if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
            return 0xFFFFFFFF;
        }
        if (rest != nullptr) {
            output.ReadAvailable(*rest); // all the ended child wrote is in the pipe
        }
        DWORD code = 0xFFFFFFFF;
        GetExitCodeProcess(process.hProcess, &code);
        return code;
    }
};

// Runs `program` with `arguments` to its end; its exit code, or 0xFFFFFFFF
// when it cannot be started or does not end within `timeoutMs`.
inline DWORD RunProgram(const std::wstring& program, const std::wstring& arguments,
                        DWORD timeoutMs = 30000)
{
    Child child;
    if (!child.Start(L"\"" + program + L"\" " + arguments)) {
        return 0xFFFFFFFF;
    }
    return child.Finish(timeoutMs);
}

} // namespace wnsvc_test
