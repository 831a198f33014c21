#include "BenchWakeup.h"

#include "HostChildProcess.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>

namespace {

constexpr DWORD WAKE_WAIT_MS = 5000;

struct Shared
{
    HANDLE go = nullptr;
    HANDLE done = nullptr;
    HANDLE mapping = nullptr;
    int64_t* times = nullptr;

    ~Shared()
    {
        if (times != nullptr) {
            UnmapViewOfFile(times);
        }
        for (HANDLE h : {go, done, mapping}) {
            if (h != nullptr) {
                CloseHandle(h);
            }
        }
    }
    bool Make(const std::wstring& name, size_t count, bool create)
    {
        const std::wstring goName = name + L"-go", doneName = name + L"-done";
        const std::wstring mapName = name + L"-times";
        const DWORD bytes = static_cast<DWORD>(count * sizeof(int64_t));
        if (create) {
            go = CreateEventW(nullptr, FALSE, FALSE, goName.c_str());
            done = CreateEventW(nullptr, FALSE, FALSE, doneName.c_str());
            mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, bytes,
                                         mapName.c_str());
        } else {
            go = OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, goName.c_str());
            done = OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, doneName.c_str());
            mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, mapName.c_str());
        }
        if (go == nullptr || done == nullptr || mapping == nullptr) {
            return false;
        }
        times = static_cast<int64_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, bytes));
        return times != nullptr;
    }
};

int64_t Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

} // namespace

bool BenchWakeup::Measure(size_t count, unsigned spacingMs, std::vector<double>& latenciesUs,
                          std::string& error)
{
    const std::wstring name = L"quillo-wakeup-" + std::to_wstring(GetCurrentProcessId());
    Shared shared;
    if (!shared.Make(name, count, true)) {
        error = "cannot create the wake-up events";
        return false;
    }
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    HostChildProcess child;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    if (child.Start(L"\"" + std::wstring(self) + L"\" --wake-child " + name + L" " +
                        std::to_wstring(count),
                    std::wstring(temp) + name + L".log") != 0) {
        error = "cannot start the wake-up child";
        return false;
    }
    // The child says it waits by signalling once.
    if (WaitForSingleObject(shared.done, 20000) != WAIT_OBJECT_0) {
        error = "the wake-up child did not come up";
        return false;
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<int64_t> sent(count);
    for (size_t i = 0; i < count; ++i) {
        Sleep(spacingMs);
        sent[i] = Now();
        SetEvent(shared.go);
        if (WaitForSingleObject(shared.done, WAKE_WAIT_MS) != WAIT_OBJECT_0) {
            error = "the wake-up child stopped answering";
            return false;
        }
    }
    child.Wait(WAKE_WAIT_MS);
    latenciesUs.clear();
    for (size_t i = 0; i < count; ++i) {
        latenciesUs.push_back(static_cast<double>(shared.times[i] - sent[i]) * 1e6 /
                              static_cast<double>(frequency.QuadPart));
    }
    return true;
}

bool BenchWakeup::RunChildIfAsked(const std::vector<std::wstring>& args, int& exitCode)
{
    if (args.size() != 4 || args[1] != L"--wake-child") {
        return false;
    }
    exitCode = RunChild(args[2], static_cast<size_t>(_wtoi(args[3].c_str())));
    return true;
}

int BenchWakeup::RunChild(const std::wstring& name, size_t count)
{
    Shared shared;
    if (!shared.Make(name, count, false)) {
        return 1;
    }
    // As the driver's streaming thread runs.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    SetEvent(shared.done);
    for (size_t i = 0; i < count; ++i) {
        if (WaitForSingleObject(shared.go, WAKE_WAIT_MS) != WAIT_OBJECT_0) {
            return 2;
        }
        shared.times[i] = Now();
        SetEvent(shared.done);
    }
    return 0;
}
