#include "SimConfigFile.h"

#include "KorvelStatus.h"
#include "SimWords.h"

#include <windows.h>

uint32_t SimConfigFile::Read(const std::wstring& path, std::vector<SimDeviceConfig>& devices,
                             std::string& error)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        uint32_t status = GetLastError();
        error = "cannot open the config file (error " + std::to_string(status) + ")";
        return status;
    }
    std::string text(MAX_FILE_BYTES + 1, '\0');
    DWORD read = 0;
    BOOL ok = ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
    uint32_t status = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    if (!ok) {
        error = "cannot read the config file (error " + std::to_string(status) + ")";
        return status;
    }
    if (read > MAX_FILE_BYTES) {
        error = "config file larger than 64 KiB";
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    text.resize(read);
    return Parse(text, devices, error);
}

uint32_t SimConfigFile::Parse(const std::string& text, std::vector<SimDeviceConfig>& devices,
                              std::string& error)
{
    std::vector<SimDeviceConfig> parsed;
    size_t start = 0;
    for (unsigned lineNumber = 1; start < text.size(); ++lineNumber) {
        size_t end = text.find('\n', start);
        std::string line =
            text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        std::vector<std::string> words;
        std::string reason;
        if (!SimWords::Split(line, words, reason)) {
            error = "line " + std::to_string(lineNumber) + ": " + reason;
            return KORVEL_STATUS_INVALID_PARAMETER;
        }
        if (words.empty() || words[0][0] == '#') {
            continue;
        }
        SimDeviceConfig config;
        if (!config.Parse(words, 0, reason)) {
            error = "line " + std::to_string(lineNumber) + ": " + reason;
            return KORVEL_STATUS_INVALID_PARAMETER;
        }
        parsed.push_back(std::move(config));
    }
    devices = std::move(parsed);
    return KORVEL_STATUS_SUCCESS;
}
