#include "QuillosvcTestSupport.h"

#include <algorithm>
#include <cstddef>

#include <sstream>

#include "KorvelLinkFrame.h"
#include "TestWatchdog.h"
#include "WordValue.h"

namespace quillosvc_test {

std::wstring ProgramPath()
{
    std::wstring path = L"Z:" QUILLOSVC_EXE_PATH;
    for (wchar_t& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return path;
}

std::string Normalize(const std::string& text)
{
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        result += text[i];
    }
    return result;
}

Child::~Child()
{
    if (m_process.hProcess != nullptr) {
        if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_process.hProcess, 99);
            WaitForSingleObject(m_process.hProcess, 5000);
        }
        CloseHandle(m_process.hProcess);
        CloseHandle(m_process.hThread);
    }
}

bool Child::Start(const std::wstring& arguments)
{
    if (!m_pipe.Create()) {
        return false;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = m_pipe.WriteEnd();
    startup.hStdError = m_pipe.WriteEnd();
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::wstring line = L"\"" + ProgramPath() + L"\" " + arguments;
    BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                  &startup, &m_process);
    m_pipe.CloseWriteEnd();
    return started != FALSE;
}

bool Child::Running() const
{
    return m_process.hProcess != nullptr &&
           WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD Child::Finish(DWORD timeoutMs)
{
    quillo_test::WaitNote note("quillosvc.exe to end");
    if (m_process.hProcess == nullptr ||
        WaitForSingleObject(m_process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        return 0xFFFFFFFF;
    }
    m_pipe.ReadAvailable(m_output); // all the ended child wrote is in the pipe
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(m_process.hProcess, &code);
    return code;
}

RunResult RunProgram(const std::wstring& arguments, DWORD timeoutMs)
{
    RunResult result;
    Child child;
    if (child.Start(arguments)) {
        result.exitCode = child.Finish(timeoutMs);
    }
    result.output = child.Output();
    return result;
}

namespace {

// The system's handle table (extended form), as ntdll returns it.
struct HandleEntry
{
    void* object;
    ULONG_PTR processId;
    ULONG_PTR handleValue;
    ULONG grantedAccess;
    USHORT backTraceIndex;
    USHORT typeIndex;
    ULONG attributes;
    ULONG reserved;
};
struct HandleTable
{
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};
constexpr ULONG SYSTEM_EXTENDED_HANDLE_INFORMATION = 64;
constexpr LONG STATUS_INFO_LENGTH_MISMATCH = static_cast<LONG>(0xC0000004);
using QuerySystemInformation = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);

bool CountFromHandleTable(DWORD processId, DWORD& count)
{
    auto query = reinterpret_cast<QuerySystemInformation>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) {
        return false;
    }
    std::string buffer(1 << 20, '\0');
    for (int attempt = 0; attempt < 6; ++attempt) {
        ULONG needed = 0;
        LONG status = query(SYSTEM_EXTENDED_HANDLE_INFORMATION, buffer.data(),
                            static_cast<ULONG>(buffer.size()), &needed);
        if (status == STATUS_INFO_LENGTH_MISMATCH) {
            buffer.assign(std::max<size_t>(2 * buffer.size(), needed + 65536), '\0');
            continue;
        }
        if (status < 0) {
            return false;
        }
        const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
        const size_t room = (buffer.size() - offsetof(HandleTable, entries)) / sizeof(HandleEntry);
        const size_t entries = std::min<size_t>(table->count, room);
        count = 0;
        for (size_t i = 0; i < entries; ++i) {
            if (table->entries[i].processId == processId) {
                ++count;
            }
        }
        return count != 0;
    }
    return false;
}

} // namespace

bool CountProcessHandles(HANDLE process, DWORD& count)
{
    if (GetProcessHandleCount(process, &count) && count != 0) {
        return true;
    }
    return CountFromHandleTable(GetProcessId(process), count);
}

SimFixture::~SimFixture()
{
    quillo_test::WaitNote note("the in-process simulator to stop");
    m_sim.Stop();
    SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, nullptr);
}

uint32_t SimFixture::Start(unsigned devices)
{
    m_namespace = L"quillosvc-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                  std::to_wstring(GetTickCount64());
    SimServerOptions options;
    options.nameSpace = m_namespace;
    options.devices = devices;
    uint32_t status = m_sim.Start(options);
    if (status == 0) {
        // Children started from now on inherit it; the service manager's
        // processes were started before this test and never see it.
        SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, m_namespace.c_str());
    }
    return status;
}

std::string SimFixture::Stat(const std::string& name)
{
    return quillo_test::WordValue(m_sim.Control("stats"), name);
}

std::string SimFixture::ModelValue(const std::string& key)
{
    std::istringstream lines(m_sim.Control("dump-model"));
    std::string line;
    const std::string prefix = key + "=";
    while (std::getline(lines, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return line.substr(prefix.size());
        }
    }
    return {};
}

} // namespace quillosvc_test
