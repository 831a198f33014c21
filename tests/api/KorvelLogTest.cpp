// The diagnostic log: its files and their rotation, the lines it writes and
// the ones it does not, the buffer-switch ring under a flood, the level
// followed from the registry, and a request's line.
#include "InProcessSimTest.h"
#include "KorvelApiContext.h"
#include "KorvelIoctl.h"
#include "KorvelLog.h"
#include "KorvelLogFile.h"
#include "KorvelProductKey.h"
#include "KorvelSwitchRing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

namespace {

std::wstring TestFolder(const wchar_t* name)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"logtest-" + std::to_wstring(GetCurrentProcessId()) +
                          L"-" + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::string ReadAll(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "";
    }
    std::string text(4 * 1024 * 1024, '\0');
    DWORD read = 0;
    ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
    CloseHandle(file);
    text.resize(read);
    return text;
}

// A session of the test's own: its folder, the level only what the test sets.
KorvelLogOptions Options(const wchar_t* name)
{
    KorvelLogOptions options;
    options.directory = TestFolder(name);
    options.program = std::wstring(L"logtest-") + name;
    options.followRegistry = false;
    // A file of an earlier run of the same test in this process starts it anew.
    DeleteFileW((options.directory + L"\\" + options.program + L"-" +
                 std::to_wstring(GetCurrentProcessId()) + L".log")
                    .c_str());
    return options;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST(KorvelLogTest, FilesTurnOverAtTheirLimitKeepingThree)
{
    const std::wstring folder = TestFolder(L"rotate");
    KorvelLogFile file;
    file.Configure(folder, L"prog-1", 1000);
    const std::string line = std::string(99, 'x') + "\n";
    for (int i = 0; i < 50; ++i) {
        std::string numbered = std::to_string(i) + " " + line;
        ASSERT_EQ(file.Append(numbered), 0u);
    }
    file.Close();
    const std::string current = ReadAll(file.PathOf(0));
    const std::string previous = ReadAll(file.PathOf(1));
    const std::string oldest = ReadAll(file.PathOf(2));
    EXPECT_FALSE(Exists(file.PathOf(3)));
    for (const std::string* text : {&current, &previous, &oldest}) {
        EXPECT_GT(text->size(), 0u);
        EXPECT_LE(text->size(), 1000u);
    }
    // The newest lines are in the current file, the ones before in order behind it.
    EXPECT_NE(current.find("49 x"), std::string::npos);
    EXPECT_EQ(previous.substr(previous.rfind('\n', previous.size() - 2) + 1, 3),
              std::to_string(std::stoi(current.substr(0, current.find(' '))) - 1) + " ");
    // A file reopened later appends instead of starting again.
    KorvelLogFile again;
    again.Configure(folder, L"prog-1", 1000);
    ASSERT_EQ(again.Append("more\n"), 0u);
    again.Close();
    EXPECT_EQ(ReadAll(again.PathOf(0)), current + "more\n");
}

TEST(KorvelLogTest, LinesAreWrittenOnlyWhileOn)
{
    KorvelLogSession session(Options(L"lines"));
    KorvelLog::Write(KORVEL_LOG_ERROR, "while off %d", 1);
    KorvelLog::Flush();
    const std::wstring path = KorvelLog::FilePath();
    EXPECT_FALSE(Exists(path)) << "the log made a file while off";

    KorvelLog::SetLevel(KORVEL_LOG_INFO);
    KorvelLog::Write(KORVEL_LOG_INFO, "state %s", "ready");
    KorvelLog::Write(KORVEL_LOG_DEBUG, "too detailed");
    std::thread([] { KorvelLog::Write(KORVEL_LOG_ERROR, "from another thread"); }).join();
    KorvelLog::Flush();
    const std::string text = ReadAll(path);
    const std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{6} \[(\d+)\] info state ready\n)");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(text, match, line)) << text;
    EXPECT_EQ(std::stoul(match[1].str()), GetCurrentThreadId());
    EXPECT_EQ(text.find("too detailed"), std::string::npos);
    EXPECT_EQ(text.find("while off"), std::string::npos);
    EXPECT_NE(text.find("error from another thread"), std::string::npos);
    KorvelLog::SetLevel(KORVEL_LOG_OFF);
}

TEST(KorvelLogTest, RingCountsWhatAFloodDrops)
{
    KorvelSwitchRing ring;
    constexpr uint64_t pushed = KorvelSwitchRing::CAPACITY + 1000;
    for (uint64_t i = 0; i < pushed; ++i) {
        ring.Push({i, 0, 0, 0});
    }
    EXPECT_EQ(ring.TakeDropped(), 1000u);
    EXPECT_EQ(ring.TakeDropped(), 0u);
    KorvelSwitchEntry entry{};
    uint64_t expected = 0;
    while (ring.Pop(entry)) {
        ASSERT_EQ(entry.index, expected++);
    }
    EXPECT_EQ(expected, KorvelSwitchRing::CAPACITY);

    // One producer and one consumer at full speed: every entry arrives
    // once, in order, or is counted as dropped.
    constexpr uint64_t flood = 2000000;
    std::atomic<bool> done{false};
    std::thread producer([&] {
        for (uint64_t i = 0; i < flood; ++i) {
            ring.Push({i, 0, 0, 0});
        }
        done.store(true, std::memory_order_release);
    });
    uint64_t received = 0;
    uint64_t last = 0;
    bool ordered = true;
    for (;;) {
        // Seen done before the pop: an empty ring then means the end.
        const bool finished = done.load(std::memory_order_acquire);
        if (ring.Pop(entry)) {
            ordered &= received == 0 || entry.index > last;
            last = entry.index;
            ++received;
        } else if (finished) {
            break;
        } else {
            std::this_thread::yield();
        }
    }
    producer.join();
    EXPECT_TRUE(ordered);
    EXPECT_EQ(received + ring.TakeDropped(), flood);
}

TEST(KorvelLogTest, WriterSaysHowManySwitchesTheRingDropped)
{
    KorvelLogSession session(Options(L"ring"));
    KorvelLog::SetLevel(KORVEL_LOG_INFO);
    KorvelSwitchRing ring;
    // Filled before the writer may look: registered only afterwards.
    for (uint64_t i = 0; i < KorvelSwitchRing::CAPACITY + 25; ++i) {
        ring.Push({i, 0, 100, 0});
    }
    KorvelLog::AddRing(ring);
    KorvelLog::Flush();
    KorvelLog::RemoveRing(ring);
    const std::string text = ReadAll(KorvelLog::FilePath());
    EXPECT_EQ(Count(text, " switch index="), KorvelSwitchRing::CAPACITY);
    EXPECT_NE(text.find("switch ring full: 25 entries dropped"), std::string::npos);
    KorvelLog::SetLevel(KORVEL_LOG_OFF);
}

class KorvelLogRegistryTest : public ::testing::Test
{
protected:
    void TearDown() override { (void)KorvelLog::WriteRegistryLevel(KORVEL_LOG_OFF); }

    void SetRaw(DWORD type, const void* data, DWORD size)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, KORVEL_PRODUCT_KEY, 0, nullptr, 0,
                                  KorvelProductKey::Access(KEY_SET_VALUE), nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key, KorvelLog::LEVEL_VALUE, 0, type,
                                 static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    // Waits for the running session to take `level` up (well past POLL_MS).
    static bool LevelBecomes(KorvelLogLevel level)
    {
        for (int i = 0; i < 100; ++i) {
            if (KorvelLog::Level() == level) {
                return true;
            }
            Sleep(50);
        }
        return false;
    }
};

TEST_F(KorvelLogRegistryTest, RunningSessionFollowsTheValueAndDistrustsHostileOnes)
{
    KorvelLogOptions options;
    options.directory = TestFolder(L"registry");
    KorvelLogSession session(options);
    ASSERT_EQ(KorvelLog::WriteRegistryLevel(KORVEL_LOG_DEBUG), 0u);
    EXPECT_TRUE(LevelBecomes(KORVEL_LOG_DEBUG));
    ASSERT_EQ(KorvelLog::WriteRegistryLevel(KORVEL_LOG_OFF), 0u);
    EXPECT_TRUE(LevelBecomes(KORVEL_LOG_OFF));

    const DWORD huge = 0xFFFFFFFF;
    SetRaw(REG_DWORD, &huge, sizeof(huge));
    EXPECT_TRUE(LevelBecomes(KORVEL_LOG_DEBUG)) << "a level above the highest is the highest";
    const wchar_t text[] = L"2";
    SetRaw(REG_SZ, text, sizeof(text));
    EXPECT_TRUE(LevelBecomes(KORVEL_LOG_OFF)) << "a string is not a level";
    const BYTE wide[8] = {2, 0, 0, 0, 0, 0, 0, 0};
    SetRaw(REG_BINARY, wide, sizeof(wide));
    KorvelLogLevel level = KORVEL_LOG_DEBUG;
    EXPECT_EQ(KorvelLog::ReadRegistryLevel(level), 0u);
    EXPECT_EQ(level, KORVEL_LOG_OFF);
}

class KorvelLogRequestTest : public InProcessSimTest
{
};

TEST_F(KorvelLogRequestTest, EveryRequestGetsALineWithItsCodeStatusAndDuration)
{
    KorvelLogSession session(Options(L"requests"));
    KorvelApiContext context;
    ASSERT_EQ(context.Open(KORVEL_CONTROL_DEVICE_NAME), 0u); // while off: no line
    KorvelLog::SetLevel(KORVEL_LOG_DEBUG);
    KorvelStreamingState state{};
    ASSERT_EQ(context.GetStreamingState(state), 0u);
    EXPECT_NE(context.OpenDevice(0xDEAD, 0xBEEF), 0u); // refused: its status is named
    KorvelLog::Flush();
    const std::string text = ReadAll(KorvelLog::FilePath());
    EXPECT_EQ(text.find("GET_VERSION"), std::string::npos);
    const std::regex ok(R"(request GET_STREAMING_STATE in=0 out=36 status=KORVEL_STATUS_SUCCESS ret=36 us=\d+\.\d)");
    EXPECT_TRUE(std::regex_search(text, ok)) << text;
    EXPECT_NE(text.find("request OPEN_DEVICE in=8 out=0 status=KORVEL_STATUS_"), std::string::npos)
        << text;
    KorvelLog::SetLevel(KORVEL_LOG_OFF);
}

} // namespace
