#pragma once
// The opt-in diagnostic log of every program of the package. Off, a log
// point costs one relaxed atomic load (IsOn). On, a line is formatted on the
// caller's thread and queued; one writer thread per process writes the queue
// and the buffer-switch rings to %ProgramData%\quillo\logs\<program>-<pid>.log
// (KorvelLogFile), and reads the level from the product key's LogLevel value
// (64-bit view) every POLL_MS, so that running programs follow `quilloctl log
// on|off` within a second. Programs hold a KorvelLogSession while they run;
// without one the level stays off.
//
// Built with KORVEL_LOG_COMPILED=0, the log points of the hot paths (the
// buffer switch, the requests) compile to nothing: the benchmark's build
// without the log.
#include "KorvelSwitchRing.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#ifndef KORVEL_LOG_COMPILED
#define KORVEL_LOG_COMPILED 1
#endif
#if KORVEL_LOG_COMPILED
#define KORVEL_LOG_ON(level) KorvelLog::IsOn(level)
#else
#define KORVEL_LOG_ON(level) false
#endif

enum KorvelLogLevel : uint32_t
{
    KORVEL_LOG_OFF = 0,
    KORVEL_LOG_ERROR = 1, // failures with their status names
    KORVEL_LOG_INFO = 2,  // state changes, notifications, ASIO calls, buffer switches
    KORVEL_LOG_DEBUG = 3, // every request to the kernel driver
};

struct KorvelLogOptions
{
    std::wstring directory;     // empty: %ProgramData%\quillo\logs
    std::wstring program;       // empty: the program file's name without .exe
    uint64_t fileLimit = 0;     // 0: KorvelLogFile::DEFAULT_LIMIT
    bool followRegistry = true; // false: the level is only what SetLevel says (tests)
};

class KorvelLog
{
public:
    static constexpr const wchar_t* LEVEL_VALUE = L"LogLevel";
    static constexpr DWORD POLL_MS = 250;
    static constexpr size_t MAX_QUEUED_LINES = 20000;

    // The one relaxed load of a log point. The hot paths ask through
    // KORVEL_LOG_ON, which a build without the log turns into false.
    static bool IsOn(KorvelLogLevel level)
    {
        return s_level.load(std::memory_order_relaxed) >= level;
    }

    // One line, printf style; nothing when `level` is not on.
    static void Write(KorvelLogLevel level, const char* format, ...)
        __attribute__((format(printf, 2, 3)));

    // The level now, as the writer thread last read it.
    static KorvelLogLevel Level() { return static_cast<KorvelLogLevel>(s_level.load()); }
    static void SetLevel(KorvelLogLevel level) { s_level.store(level); }

    // The buffer-switch rings the writer drains: added on the host's thread
    // before a stream starts, removed after it has ended.
    static void AddRing(KorvelSwitchRing& ring);
    static void RemoveRing(KorvelSwitchRing& ring);

    // Writes what is queued and in the rings now (tests, and before a stop).
    static void Flush();
    // Lines dropped because the queue was full, since the session started.
    static uint64_t DroppedLines();
    // The current file of this process (empty before a session).
    static std::wstring FilePath();
    static std::wstring DefaultDirectory();

    // The level in the product key: 0 or a Windows error. No key or value
    // is off, and so is a value of the wrong type or size; one above the
    // highest counts as the highest.
    static DWORD ReadRegistryLevel(KorvelLogLevel& level);
    // Off deletes the value.
    static DWORD WriteRegistryLevel(KorvelLogLevel level);

    static const char* LevelName(KorvelLogLevel level);
    static bool ParseLevel(const std::string& text, KorvelLogLevel& level);

private:
    friend class KorvelLogSession;
    static void Start(const KorvelLogOptions& options);
    static void Stop();

    static std::atomic<uint32_t> s_level;
};

// Holds the process's log open: the first session starts the writer thread,
// the last one ends it after writing everything queued.
class KorvelLogSession
{
public:
    explicit KorvelLogSession(const KorvelLogOptions& options = {}) { KorvelLog::Start(options); }
    ~KorvelLogSession() { KorvelLog::Stop(); }
    KorvelLogSession(const KorvelLogSession&) = delete;
    KorvelLogSession& operator=(const KorvelLogSession&) = delete;
};
