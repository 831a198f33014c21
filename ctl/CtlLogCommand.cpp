#include "CtlLogCommand.h"

#include "CtlFile.h"
#include "CtlStatusCommand.h"
#include "CtlText.h"
#include "KorvelStatus.h"
#include "QuilloVersion.h"

#include <sstream>
#include <vector>

using nlohmann::json;

namespace {
constexpr const wchar_t* kServiceSource = L"quillosvc";
constexpr size_t kMaxEvents = 500;
} // namespace

int CtlLogCommand::Run(CtlContext& context)
{
    const CtlCommandLine& line = context.Line();
    const std::string& action = line.Word(0);
    KorvelLogLevel level = KORVEL_LOG_INFO;
    if (action == "on" && line.WordCount() <= 2 &&
        (line.WordCount() == 1 || (KorvelLog::ParseLevel(line.Word(1), level) && level != KORVEL_LOG_OFF))) {
        return SetLevel(context, level);
    }
    if (action == "off" && line.WordCount() == 1) {
        return SetLevel(context, KORVEL_LOG_OFF);
    }
    if (action == "collect" && line.WordCount() == 2) {
        return Collect(context, line.Word(1));
    }
    if (action.empty() && line.WordCount() == 0) {
        KorvelLogLevel now = KORVEL_LOG_OFF;
        (void)KorvelLog::ReadRegistryLevel(now);
        return context.Report().Done(
            {{"level", KorvelLog::LevelName(now)},
             {"folder", CtlText::Utf8(KorvelLog::DefaultDirectory())}},
            std::string("diagnostic log: ") + KorvelLog::LevelName(now) + " (" +
                CtlText::Utf8(KorvelLog::DefaultDirectory()) + ")");
    }
    return context.Report().Usage("log takes on [error|info|debug], off, or collect FOLDER");
}

int CtlLogCommand::SetLevel(CtlContext& context, KorvelLogLevel level)
{
    const DWORD status = KorvelLog::WriteRegistryLevel(level);
    if (status != ERROR_SUCCESS) {
        // Writing under HKEY_LOCAL_MACHINE takes an administrator.
        return context.Report().Refused("cannot set the log level (run as administrator)",
                                        status);
    }
    return context.Report().Done({{"level", KorvelLog::LevelName(level)}},
                                 std::string("diagnostic log: ") + KorvelLog::LevelName(level));
}

int CtlLogCommand::Collect(CtlContext& context, const std::string& folder)
{
    const std::wstring target = CtlText::Wide(folder);
    if (!CreateDirectoryW(target.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return context.Report().Refused("cannot make the folder " + folder, GetLastError());
    }
    KorvelLogLevel level = KORVEL_LOG_OFF;
    (void)KorvelLog::ReadRegistryLevel(level);
    const size_t logs = CopyLogs(target);
    const std::string status = StatusText(context);
    std::string versions = std::string("quilloctl ") + QUILLO_VERSION_TEXT + "\nlog level " +
                           KorvelLog::LevelName(level) + "\n";
    OSVERSIONINFOW os{};
    os.dwOSVersionInfoSize = sizeof(os);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (GetVersionExW(&os)) {
#pragma GCC diagnostic pop
        versions += "Windows " + std::to_string(os.dwMajorVersion) + "." +
                    std::to_string(os.dwMinorVersion) + "." + std::to_string(os.dwBuildNumber) +
                    "\n";
    }
    const std::pair<const wchar_t*, std::string> files[] = {
        {L"status.json", status}, {L"events.txt", EventLogText()}, {L"versions.txt", versions}};
    for (const auto& [name, text] : files) {
        const DWORD written = CtlFile::Write(target + L"\\" + name, text);
        if (written != ERROR_SUCCESS) {
            return context.Report().Refused("cannot write into " + folder, written);
        }
    }
    return context.Report().Done({{"folder", folder}, {"logFiles", logs}},
                                 "collected " + std::to_string(logs) + " log files, the status, " +
                                     "the service's events and the versions in " + folder);
}

size_t CtlLogCommand::CopyLogs(const std::wstring& target)
{
    const std::wstring source = KorvelLog::DefaultDirectory();
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((source + L"\\*.log").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return 0;
    }
    size_t copied = 0;
    do {
        const std::wstring name = found.cFileName;
        if (CopyFileW((source + L"\\" + name).c_str(), (target + L"\\" + name).c_str(), FALSE)) {
            ++copied;
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return copied;
}

std::string CtlLogCommand::EventLogText()
{
    HANDLE log = OpenEventLogW(nullptr, L"Application");
    if (log == nullptr) {
        return "the event log cannot be read (" + CtlText::StatusName(GetLastError()) + ")\n";
    }
    std::string text;
    size_t events = 0;
    std::vector<BYTE> buffer(64 * 1024);
    DWORD read = 0;
    DWORD needed = 0;
    while (events < kMaxEvents &&
           ReadEventLogW(log, EVENTLOG_SEQUENTIAL_READ | EVENTLOG_BACKWARDS_READ, 0, buffer.data(),
                         static_cast<DWORD>(buffer.size()), &read, &needed)) {
        for (DWORD offset = 0; offset + sizeof(EVENTLOGRECORD) <= read && events < kMaxEvents;) {
            const auto* record = reinterpret_cast<const EVENTLOGRECORD*>(buffer.data() + offset);
            if (record->Length < sizeof(EVENTLOGRECORD) || offset + record->Length > read) {
                break; // a record that does not fit: stop rather than read past it
            }
            const auto* source = reinterpret_cast<const wchar_t*>(record + 1);
            if (wcscmp(source, kServiceSource) == 0) {
                std::string strings;
                const wchar_t* string =
                    reinterpret_cast<const wchar_t*>(buffer.data() + offset + record->StringOffset);
                for (WORD i = 0; i < record->NumStrings && record->StringOffset < record->Length; ++i) {
                    strings += CtlText::Utf8(string) + " ";
                    string += wcslen(string) + 1;
                }
                text += "#" + std::to_string(record->RecordNumber) + " time=" +
                        std::to_string(record->TimeGenerated) + " type=" +
                        std::to_string(record->EventType) + " id=0x" +
                        [](DWORD id) {
                            char hex[16];
                            snprintf(hex, sizeof hex, "%08lX", id);
                            return std::string(hex);
                        }(record->EventID) +
                        " " + strings + "\n";
                ++events;
            }
            offset += record->Length;
        }
    }
    CloseEventLog(log);
    return text.empty() ? "no events of quillosvc\n" : text;
}

std::string CtlLogCommand::StatusText(CtlContext& context)
{
    // The status command's own --json output, or its error.
    CtlCommandLine line;
    std::string error;
    (void)line.Parse({"status", "--json"}, error);
    std::ostringstream out;
    std::ostringstream err;
    CtlReport report(out, err, true);
    CtlContext status(line, report, context.Stop());
    (void)CtlStatusCommand::Run(status);
    return out.str().empty() ? err.str() : out.str();
}
