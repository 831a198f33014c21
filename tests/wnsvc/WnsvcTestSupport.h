#pragma once

// Helpers shared by the service-framework tests: unique names, the test
// program's directory and running a child program with its output captured.
#include <windows.h>

#include <string>

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
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L'\\') + 1);
}

// A started child program whose standard output goes to a pipe.
struct Child
{
    PROCESS_INFORMATION process = {};
    HANDLE output = nullptr;

    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child()
    {
        if (process.hProcess != nullptr) {
            if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(process.hProcess, 99);
            }
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        if (output != nullptr) {
            CloseHandle(output);
        }
    }

    // Starts `commandLine`; false when it cannot be started.
    bool Start(const std::wstring& commandLine, DWORD flags = 0)
    {
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        HANDLE write = nullptr;
        if (!CreatePipe(&output, &write, &inherit, 0)) {
            return false;
        }
        SetHandleInformation(output, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = write;
        startup.hStdError = write;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        std::wstring line = commandLine;
        BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr,
                                      nullptr, &startup, &process);
        CloseHandle(write);
        return started != FALSE;
    }

    // Reads output until `text` has appeared or the pipe ends.
    bool ReadUntil(const std::string& text, std::string& seen)
    {
        char buffer[256];
        DWORD got = 0;
        while (seen.find(text) == std::string::npos) {
            if (!ReadFile(output, buffer, sizeof(buffer), &got, nullptr) || got == 0) {
                return false;
            }
            seen.append(buffer, got);
        }
        return true;
    }

    // Waits for the end and returns the exit code (0xFFFFFFFF on time-out);
    // once the child has ended, the rest of its output is appended to `rest`.
    DWORD Finish(DWORD timeoutMs, std::string* rest = nullptr)
    {
        if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
            return 0xFFFFFFFF;
        }
        if (rest != nullptr) {
            ReadUntil("\x01never", *rest); // reads until the ended child's pipe closes
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
