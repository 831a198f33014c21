#pragma once
// The driver-wide settings as quilloctl shows them: each read with one
// request into a JSON object (the --json form, and the source of the text
// form), so that status and the setting commands show them alike.
#include "KorvelDriver.h"

#include <nlohmann/json.hpp>

#include <string>

class CtlDriverState
{
public:
    static DWORD ReadVersion(KorvelDriver& driver, nlohmann::json& out);
    static DWORD ReadStreaming(KorvelDriver& driver, nlohmann::json& out);
    static DWORD ReadRates(KorvelDriver& driver, nlohmann::json& out);
    static DWORD ReadBuffers(KorvelDriver& driver, nlohmann::json& out);
    static DWORD ReadCounters(KorvelDriver& driver, nlohmann::json& out);
    static DWORD ReadPolicy(KorvelDriver& driver, nlohmann::json& out);
    // A device's entry, S/PDIF input and switches; a device request that
    // fails leaves its field null (the device may be leaving).
    static nlohmann::json Device(KorvelDevice& device);

    static std::string RatesText(const nlohmann::json& rates);
    static std::string BuffersText(const nlohmann::json& buffers);
    static std::string PolicyText(const nlohmann::json& policy);
    static std::string StreamingText(const nlohmann::json& streaming);
    static std::string DeviceText(const nlohmann::json& device);

    // Buffer size classes by index; null past the end.
    static const char* StreamingClassName(uint32_t sizeClass);
    static const char* AsioClassName(uint32_t sizeClass);
    // A class typed as its name (any case) or its index.
    static bool FindStreamingClass(const std::string& text, uint32_t& sizeClass);
    static bool FindAsioClass(const std::string& text, uint32_t& sizeClass);

    static const char* SpdifLockName(uint32_t lockState);
};
