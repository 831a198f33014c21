#include "KorvelLog.h"

#include "KorvelLogFile.h"
#include "KorvelProductKey.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <deque>
#include <vector>

std::atomic<uint32_t> KorvelLog::s_level{KORVEL_LOG_OFF};

namespace {

constexpr const char* kLevelNames[] = {"off", "error", "info", "debug"};

// Everything the log shares between the threads that write lines and the
// writer thread. `lock` guards the queue and the list of rings and is held
// only to add or take lines, never across a write to the file, which
// `fileLock` guards; the buffer-switch path takes neither.
struct LogState
{
    CRITICAL_SECTION lock;
    CRITICAL_SECTION fileLock;
    // One drain at a time, whole: a Flush returns only once what the
    // writer thread had taken is in the file too.
    CRITICAL_SECTION drainLock;
    int sessions = 0;
    KorvelLogOptions options;
    std::deque<std::string> queue;
    std::vector<KorvelSwitchRing*> rings;
    uint64_t droppedLines = 0;
    uint64_t reportedDrops = 0;
    KorvelLogFile file;
    HANDLE thread = nullptr;
    HANDLE wake = nullptr;
    HANDLE stop = nullptr;
    // The clock of the time stamps: the system time at the start, advanced
    // by the performance counter in microseconds.
    LARGE_INTEGER frequency{};
    LARGE_INTEGER startCounter{};
    uint64_t startTicks = 0; // KorvelSwitchRing::Ticks() beside startCounter
    uint64_t startFileTime = 0;

    LogState()
    {
        InitializeCriticalSection(&lock);
        InitializeCriticalSection(&fileLock);
        InitializeCriticalSection(&drainLock);
    }
};

LogState& State()
{
    // Never destroyed: a DLL's writer may still be stopping at process exit.
    static LogState* state = new LogState();
    return *state;
}

class StateLock
{
public:
    explicit StateLock(CRITICAL_SECTION& lock = State().lock) : m_lock(lock)
    {
        EnterCriticalSection(&m_lock);
    }
    ~StateLock() { LeaveCriticalSection(&m_lock); }

private:
    CRITICAL_SECTION& m_lock;
};

int64_t Now()
{
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

std::string TimeStamp(int64_t counter)
{
    LogState& s = State();
    const int64_t elapsedUs =
        s.frequency.QuadPart > 0
            ? (counter - s.startCounter.QuadPart) * 1000000 / s.frequency.QuadPart
            : 0;
    const uint64_t fileTime = s.startFileTime + static_cast<uint64_t>(elapsedUs) * 10;
    FILETIME ft{static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
    SYSTEMTIME st{};
    FileTimeToSystemTime(&ft, &st);
    char text[40];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%06u", st.wYear, st.wMonth,
                  st.wDay, st.wHour, st.wMinute, st.wSecond,
                  static_cast<unsigned>((fileTime / 10) % 1000000));
    return text;
}

std::wstring ProgramName()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name = path;
    const size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos) {
        name = name.substr(slash + 1);
    }
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

void PollRegistry()
{
    KorvelLogLevel level = KORVEL_LOG_OFF;
    if (KorvelLog::ReadRegistryLevel(level) != ERROR_SUCCESS) {
        level = KORVEL_LOG_OFF; // no value (or no key): off
    }
    KorvelLog::SetLevel(level);
}

// Time-stamp-counter ticks a second, measured against the performance
// counter since the session started (waiting out the first millisecond).
double TicksPerSecond()
{
    const LogState& s = State();
    int64_t now = Now();
    while (s.frequency.QuadPart > 0 && now - s.startCounter.QuadPart < s.frequency.QuadPart / 1000) {
        now = Now();
    }
    const uint64_t ticks = KorvelSwitchRing::Ticks() - s.startTicks;
    const double seconds =
        static_cast<double>(now - s.startCounter.QuadPart) / static_cast<double>(s.frequency.QuadPart);
    return seconds > 0 ? static_cast<double>(ticks) / seconds : 1.0;
}

std::string SwitchLine(const KorvelSwitchEntry& entry, double ticksPerSecond)
{
    const LogState& s = State();
    const double sinceStart =
        static_cast<double>(static_cast<int64_t>(entry.time - s.startTicks)) / ticksPerSecond;
    const int64_t counter =
        s.startCounter.QuadPart + static_cast<int64_t>(sinceStart * s.frequency.QuadPart);
    char line[160];
    std::snprintf(line, sizeof line, "%s switch index=%llu callback_us=%.1f\n",
                  TimeStamp(counter).c_str(), static_cast<unsigned long long>(entry.index),
                  entry.callbackTicks * 1e6 / ticksPerSecond);
    return line;
}

// Takes the queued lines and the rings' entries under the lock, then formats
// and writes them under the file's lock only: a thread that logs meanwhile
// never waits for the disk.
void Drain()
{
    LogState& s = State();
    StateLock draining(s.drainLock);
    std::deque<std::string> lines;
    std::vector<KorvelSwitchEntry> switches;
    uint64_t droppedSwitches = 0;
    uint64_t droppedLines = 0;
    {
        StateLock hold;
        lines.swap(s.queue);
        for (KorvelSwitchRing* ring : s.rings) {
            KorvelSwitchEntry entry{};
            while (ring->Pop(entry)) {
                switches.push_back(entry);
            }
            droppedSwitches += ring->TakeDropped();
        }
        droppedLines = s.droppedLines - s.reportedDrops;
        s.reportedDrops = s.droppedLines;
    }
    std::string text;
    for (const std::string& line : lines) {
        text += line;
    }
    const double ticksPerSecond = switches.empty() ? 1.0 : TicksPerSecond();
    for (const KorvelSwitchEntry& entry : switches) {
        text += SwitchLine(entry, ticksPerSecond);
    }
    if (droppedSwitches > 0) {
        text += TimeStamp(Now()) + " switch ring full: " + std::to_string(droppedSwitches) +
                " entries dropped\n";
    }
    if (droppedLines > 0) {
        text += TimeStamp(Now()) + " log queue full: " + std::to_string(droppedLines) +
                " lines dropped\n";
    }
    StateLock hold(s.fileLock);
    if (!text.empty()) {
        (void)s.file.Append(text);
    }
    if (KorvelLog::Level() == KORVEL_LOG_OFF) {
        s.file.Close(); // off: nothing of this process holds the folder
    }
}

DWORD WINAPI WriterThread(void*)
{
    LogState& s = State();
    const HANDLE waits[] = {s.stop, s.wake};
    ULONGLONG lastPoll = 0;
    for (;;) {
        const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, KorvelLog::POLL_MS);
        if (s.options.followRegistry && GetTickCount64() - lastPoll >= KorvelLog::POLL_MS) {
            PollRegistry();
            lastPoll = GetTickCount64();
        }
        Drain();
        if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) {
            return 0;
        }
    }
}

} // namespace

void KorvelLog::Write(KorvelLogLevel level, const char* format, ...)
{
    if (!IsOn(level)) {
        return;
    }
    char message[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    char prefix[80];
    std::snprintf(prefix, sizeof prefix, "%s [%lu] %s ", TimeStamp(Now()).c_str(),
                  GetCurrentThreadId(), kLevelNames[std::min<uint32_t>(level, 3)]);
    LogState& s = State();
    StateLock hold;
    if (s.sessions == 0) {
        return;
    }
    if (s.queue.size() >= MAX_QUEUED_LINES) {
        ++s.droppedLines;
        return;
    }
    const bool wasEmpty = s.queue.empty();
    s.queue.push_back(std::string(prefix) + message + "\n");
    if (wasEmpty) {
        SetEvent(s.wake);
    }
}

void KorvelLog::AddRing(KorvelSwitchRing& ring)
{
    StateLock hold;
    State().rings.push_back(&ring);
}

void KorvelLog::RemoveRing(KorvelSwitchRing& ring)
{
    LogState& s = State();
    StateLock hold;
    s.rings.erase(std::remove(s.rings.begin(), s.rings.end(), &ring), s.rings.end());
}

void KorvelLog::Flush()
{
    Drain();
}

uint64_t KorvelLog::DroppedLines()
{
    StateLock hold;
    return State().droppedLines;
}

std::wstring KorvelLog::FilePath()
{
    StateLock hold(State().fileLock);
    return State().sessions > 0 ? State().file.PathOf(0) : std::wstring();
}

std::wstring KorvelLog::DefaultDirectory()
{
    wchar_t data[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"ProgramData", data, MAX_PATH);
    const std::wstring root = length > 0 && length < MAX_PATH ? data : L"C:\\ProgramData";
    return root + L"\\quillo\\logs";
}

DWORD KorvelLog::ReadRegistryLevel(KorvelLogLevel& level)
{
    level = KORVEL_LOG_OFF;
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, KORVEL_PRODUCT_KEY, 0,
                                   KorvelProductKey::Access(KEY_QUERY_VALUE), &key);
    if (status == ERROR_FILE_NOT_FOUND) {
        return ERROR_SUCCESS; // no product key: off
    }
    if (status != ERROR_SUCCESS) {
        return static_cast<DWORD>(status);
    }
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    status = RegQueryValueExW(key, LEVEL_VALUE, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                              &size);
    RegCloseKey(key);
    if (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && (type != REG_DWORD || size != 4))) {
        return ERROR_SUCCESS; // not ours to trust: off
    }
    if (status == ERROR_FILE_NOT_FOUND) {
        return ERROR_SUCCESS; // no value (what off leaves): off
    }
    if (status != ERROR_SUCCESS) {
        return static_cast<DWORD>(status);
    }
    level = static_cast<KorvelLogLevel>(std::min<DWORD>(value, KORVEL_LOG_DEBUG));
    return ERROR_SUCCESS;
}

DWORD KorvelLog::WriteRegistryLevel(KorvelLogLevel level)
{
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, KORVEL_PRODUCT_KEY, 0, nullptr, 0,
                                     KorvelProductKey::Access(KEY_SET_VALUE), nullptr, &key,
                                     nullptr);
    if (status != ERROR_SUCCESS) {
        return static_cast<DWORD>(status);
    }
    // Off removes the value: the product key is as setup left it.
    const DWORD value = level;
    status = level == KORVEL_LOG_OFF
                 ? RegDeleteValueW(key, LEVEL_VALUE)
                 : RegSetValueExW(key, LEVEL_VALUE, 0, REG_DWORD,
                                  reinterpret_cast<const BYTE*>(&value), sizeof(value));
    if (status == ERROR_FILE_NOT_FOUND) {
        status = ERROR_SUCCESS; // off already
    }
    RegCloseKey(key);
    return static_cast<DWORD>(status);
}

const char* KorvelLog::LevelName(KorvelLogLevel level)
{
    return level <= KORVEL_LOG_DEBUG ? kLevelNames[level] : "?";
}

bool KorvelLog::ParseLevel(const std::string& text, KorvelLogLevel& level)
{
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (uint32_t i = 0; i <= KORVEL_LOG_DEBUG; ++i) {
        if (lower == kLevelNames[i]) {
            level = static_cast<KorvelLogLevel>(i);
            return true;
        }
    }
    return false;
}

void KorvelLog::Start(const KorvelLogOptions& options)
{
    LogState& s = State();
    StateLock hold;
    if (s.sessions++ > 0) {
        return;
    }
    s.options = options;
    QueryPerformanceFrequency(&s.frequency);
    QueryPerformanceCounter(&s.startCounter);
    s.startTicks = KorvelSwitchRing::Ticks();
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    s.startFileTime = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const std::wstring directory = options.directory.empty() ? DefaultDirectory() : options.directory;
    const std::wstring program = options.program.empty() ? ProgramName() : options.program;
    StateLock fileHold(s.fileLock);
    s.file.Configure(directory, program + L"-" + std::to_wstring(GetCurrentProcessId()),
                     options.fileLimit != 0 ? options.fileLimit : KorvelLogFile::DEFAULT_LIMIT);
    s.droppedLines = s.reportedDrops = 0;
    if (options.followRegistry) {
        PollRegistry(); // a program started with the log on logs from its first line
    }
    s.wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    s.stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    s.thread = CreateThread(nullptr, 0, WriterThread, nullptr, 0, nullptr);
}

void KorvelLog::Stop()
{
    LogState& s = State();
    HANDLE thread = nullptr;
    {
        StateLock hold;
        if (s.sessions == 0 || --s.sessions > 0) {
            return;
        }
        thread = s.thread;
        s.thread = nullptr;
        SetEvent(s.stop);
    }
    // Outside the lock: the writer's last drain takes it.
    if (thread != nullptr) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    Drain();
    StateLock hold;
    if (s.sessions == 0) {
        StateLock fileHold(s.fileLock);
        s.file.Close();
        CloseHandle(s.wake);
        CloseHandle(s.stop);
        s.wake = s.stop = nullptr;
        s.queue.clear();
        SetLevel(KORVEL_LOG_OFF);
    }
}
