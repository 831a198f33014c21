#include <gtest/gtest.h>

#include <windows.h>

#include <cstdarg>
#include <string>

#include "WnEventLogWriter.h"
#include "WnEventSource.h"
#include "WnRegistryKey.h"
#include "WnsvcTestSupport.h"

namespace {

size_t Format(wchar_t* buffer, size_t count, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    size_t length = WnEventLogWriter::FormatText(buffer, count, format, args);
    va_end(args);
    return length;
}

std::wstring SourceKey(const std::wstring& source)
{
    return L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + source;
}

// Removes the test's event source key whatever the test left behind.
class EventSourceTest : public ::testing::Test
{
protected:
    void TearDown() override { RegDeleteKeyW(HKEY_LOCAL_MACHINE, SourceKey(source).c_str()); }

    std::wstring source = wnsvc_test::UniqueName(L"quillo_evtsrc");
};

} // namespace

TEST(WnEventLogWriter, FormatsWithWideTextsAndCutsLongTexts)
{
    wchar_t buffer[WnEventLogWriter::TEXT_CHARS];
    EXPECT_EQ(Format(buffer, WnEventLogWriter::TEXT_CHARS, L"%s started\r\nVersion %u.%u", L"svc",
                     1u, 36u),
              25u);
    EXPECT_STREQ(buffer, L"svc started\r\nVersion 1.36");

    std::wstring longText(5000, L'x');
    longText[4094] = L'y';
    longText[4095] = L'z';
    size_t length = Format(buffer, WnEventLogWriter::TEXT_CHARS, L"%s", longText.c_str());
    EXPECT_EQ(length, 4095u);
    EXPECT_EQ(buffer[4094], L'y') << "the last character that fits is kept";
    EXPECT_EQ(buffer[4095], L'\0') << "the cut text is terminated";

    // A text of exactly 4095 characters fits unchanged.
    EXPECT_EQ(Format(buffer, WnEventLogWriter::TEXT_CHARS, L"%s", longText.substr(0, 4095).c_str()),
              4095u);
}

TEST(WnEventLogWriter, WritesOnlyThroughAnOpenSource)
{
    WnEventLogWriter writer;
    EXPECT_EQ(writer.WriteInfo(L"%s", L"not open"), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(writer.WriteError(L"not open"), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(writer.Close(), 0u);

    ASSERT_EQ(writer.Open(L"quillo test source"), 0u);
    EXPECT_NE(writer.GetHandle(), nullptr);
    std::wstring longText(6000, L'a');
    EXPECT_EQ(writer.WriteInfo(L"%s", longText.c_str()), 0u);
    EXPECT_EQ(writer.WriteError(L"an error"), 0u);
    EXPECT_EQ(writer.Open(L"quillo test source"), 0u) << "re-opening replaces the source";
    EXPECT_EQ(writer.Close(), 0u);
    EXPECT_EQ(writer.GetHandle(), nullptr);
}

TEST_F(EventSourceTest, InstallTwiceOverwritesBothValues)
{
    ASSERT_EQ(InstallEventSource(L"Application", source.c_str(), L"C:\\first\\a.exe"), 0u);
    WnRegistryKey key;
    ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, SourceKey(source).c_str(), KEY_READ | KEY_WRITE), 0u);
    ASSERT_EQ(key.WriteDword(L"TypesSupported", 1), 0u);
    key.Close();

    ASSERT_EQ(InstallEventSource(L"Application", source.c_str(), L"C:\\second dir\\b.exe"), 0u);
    ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, SourceKey(source).c_str(), KEY_READ), 0u);
    wchar_t file[MAX_PATH] = L"";
    DWORD size = sizeof(file);
    DWORD type = 0;
    ASSERT_EQ(key.ReadValue(L"EventMessageFile", file, &size, &type), 0u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_STREQ(file, L"C:\\second dir\\b.exe");
    EXPECT_EQ(size, (wcslen(L"C:\\second dir\\b.exe") + 1) * sizeof(wchar_t));
    DWORD types = 0;
    ASSERT_EQ(key.ReadDword(L"TypesSupported", types), 0u);
    EXPECT_EQ(types, 7u);
}

TEST_F(EventSourceTest, RemoveDeletesTheSourceAndToleratesAMissingOne)
{
    ASSERT_EQ(InstallEventSource(L"Application", source.c_str(), L"C:\\a.exe"), 0u);
    EXPECT_EQ(RemoveEventSource(L"Application", source.c_str()), 0u);
    WnRegistryKey key;
    EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, SourceKey(source).c_str(), KEY_READ),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RemoveEventSource(L"Application", source.c_str()), 0u) << "already gone";

    std::wstring missingLog = wnsvc_test::UniqueName(L"quillo_nolog");
    EXPECT_EQ(RemoveEventSource(missingLog.c_str(), source.c_str()),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    // An empty source name would name the log's own key: refused.
    EXPECT_EQ(RemoveEventSource(L"Application", L""), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE,
                       L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application", KEY_READ),
              0u);
}

TEST_F(EventSourceTest, NameTooLongForTheKeyPathIsRefusedNotCut)
{
    std::wstring longName = source + std::wstring(260, L'n');
    EXPECT_EQ(InstallEventSource(L"Application", longName.c_str(), L"C:\\a.exe"),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // Nothing was created under a cut name either.
    WnRegistryKey log;
    ASSERT_EQ(log.Open(HKEY_LOCAL_MACHINE,
                       L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application", KEY_READ),
              0u);
    wchar_t name[300];
    for (DWORD index = 0;; ++index) {
        DWORD chars = 300;
        if (RegEnumKeyExW(log.GetKey(), index, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        EXPECT_NE(std::wstring(name).rfind(source, 0), 0u) << "found a key under a cut name";
    }
}
