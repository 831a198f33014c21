#pragma once
// Reads the simulator's device config file: one device per line, the words
// of the `plug` control command (format in SimDeviceModel.h).
#include "SimDeviceConfig.h"

#include <cstdint>
#include <string>
#include <vector>

class SimConfigFile
{
public:
    static constexpr size_t MAX_FILE_BYTES = 64 * 1024;

    // Reads and parses the whole file. Returns 0, a Windows error of opening
    // or reading it, or KORVEL_STATUS_INVALID_PARAMETER with "line N: …" in error.
    static uint32_t Read(const std::wstring& path, std::vector<SimDeviceConfig>& devices,
                         std::string& error);
    // Parses file contents (exposed for tests).
    static uint32_t Parse(const std::string& text, std::vector<SimDeviceConfig>& devices,
                          std::string& error);
};
