#include "SimDeviceConfig.h"

#include "SimWords.h"

#include <windows.h>

#include <algorithm>
#include <cctype>

namespace {

bool ParseEvenCount(const std::string& text, uint32_t maximum, uint32_t& value)
{
    uint32_t parsed = 0;
    if (!SimWords::ParseU32(text, parsed) || parsed > maximum || parsed % 2 != 0) {
        return false;
    }
    value = parsed;
    return true;
}

} // namespace

std::vector<uint32_t> SimDeviceConfig::DefaultRates()
{
    return {44100, 48000, 88200, 96000, 176400, 192000, 352800, 384000, 2822400, 5644800, 11289600};
}

bool SimDeviceConfig::IsKnownRate(uint32_t rate)
{
    for (uint32_t multiple : {1u, 2u, 4u, 8u}) {
        if (rate == 44100 * multiple || rate == 48000 * multiple) {
            return true;
        }
    }
    return rate == 2822400 || rate == 5644800 || rate == 11289600;
}

bool SimDeviceConfig::ParseHex16(const std::string& text, uint16_t& value)
{
    // At most four digits: "10000" is no 16-bit id, not 0x0000 cut to fit.
    size_t digits = text.size() - (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0 ? 2 : 0);
    uint32_t parsed = 0;
    if (digits > 4 || !SimWords::ParseHex32(text, parsed)) {
        return false;
    }
    value = static_cast<uint16_t>(parsed);
    return true;
}

bool SimDeviceConfig::ParseBool(const std::string& text, bool& value)
{
    if (text == "1" || text == "on" || text == "yes" || text == "true") {
        value = true;
        return true;
    }
    if (text == "0" || text == "off" || text == "no" || text == "false") {
        value = false;
        return true;
    }
    return false;
}

std::wstring SimDeviceConfig::Widen(const std::string& text)
{
    if (text.empty()) {
        return {};
    }
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                     static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                        wide.data(), length);
    return wide;
}

std::string SimDeviceConfig::Narrow(const std::wstring& text)
{
    if (text.empty()) {
        return {};
    }
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return {};
    }
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                        length, nullptr, nullptr);
    return narrow;
}

bool SimDeviceConfig::Parse(const std::vector<std::string>& words, size_t first, std::string& error)
{
    SimDeviceConfig parsed = *this;
    size_t positional = 0;
    for (size_t i = first; i < words.size(); ++i) {
        const std::string& word = words[i];
        size_t equals = word.find('=');
        bool ok = equals == std::string::npos
                      ? parsed.ApplyPositional(positional++, word, error)
                      : parsed.ApplyOption(word.substr(0, equals), word.substr(equals + 1), error);
        if (!ok) {
            return false;
        }
    }
    if (positional != 0 && positional != 4) {
        error = "give all four of vid pid serial name, or none";
        return false;
    }
    if (!parsed.Validate(error)) {
        return false;
    }
    *this = std::move(parsed);
    return true;
}

bool SimDeviceConfig::ApplyPositional(size_t position, const std::string& word, std::string& error)
{
    switch (position) {
    case 0:
        return ApplyOption("vid", word, error);
    case 1:
        return ApplyOption("pid", word, error);
    case 2:
        return ApplyOption("serial", word, error);
    case 3:
        return ApplyOption("name", word, error);
    default:
        error = "unexpected word '" + word + "' (options are key=value)";
        return false;
    }
}

bool SimDeviceConfig::ApplyOption(const std::string& key, const std::string& value,
                                  std::string& error)
{
    bool ok = false;
    if (key == "vid") {
        ok = ParseHex16(value, vendorId);
    } else if (key == "pid") {
        ok = ParseHex16(value, productId);
    } else if (key == "serial") {
        serial = value;
        ok = true;
    } else if (key == "name") {
        name = value;
        ok = true;
    } else if (key == "flags") {
        // Device-list flag bits: 0 high-speed port, 8 echo (bit 16 is the driver's own).
        uint32_t flags = 0;
        ok = SimWords::ParseU32(value, flags);
        if (ok) {
            highSpeed = (flags & 0x1) != 0;
            echo = (flags & 0x100) != 0;
        }
    } else if (key == "highspeed") {
        ok = ParseBool(value, highSpeed);
    } else if (key == "echo") {
        ok = ParseBool(value, echo);
    } else if (key == "spdif") {
        ok = ParseBool(value, spdifPresent);
    } else if (key == "lock") {
        ok = SimWords::ParseU32(value, spdifLock) && spdifLock <= 3;
    } else if (key == "format") {
        ok = SimWords::ParseU32(value, spdifFormat);
    } else if (key == "spdifrate") {
        ok = SimWords::ParseU32(value, spdifRate);
    } else if (key == "kind2") {
        ok = ParseBool(value, kind2Function);
    } else if (key == "analog-in") {
        ok = ParseEvenCount(value, MAX_ANALOG, analogIn);
    } else if (key == "analog-out") {
        ok = ParseEvenCount(value, MAX_ANALOG, analogOut);
    } else if (key == "virtual") {
        ok = ParseEvenCount(value, MAX_VIRTUAL, virtualIn);
    } else if (key == "mixer") {
        ok = ParseBool(value, mixer);
    } else if (key == "pcm-out") {
        ok = ParseBool(value, pcmOutputs);
    } else if (key == "echo-channels") {
        uint32_t count = 0;
        ok = SimWords::ParseU32(value, count);
        if (ok) {
            echoChannels = count;
        }
    } else if (key == "rates") {
        return ParseRates(value, error);
    } else {
        error = "unknown option '" + key + "'";
        return false;
    }
    if (!ok) {
        error = "bad value '" + value + "' for " + key;
    }
    return ok;
}

bool SimDeviceConfig::ParseRates(const std::string& value, std::string& error)
{
    std::vector<uint32_t> parsed;
    size_t start = 0;
    while (start <= value.size()) {
        size_t comma = value.find(',', start);
        std::string item =
            value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        uint32_t rate = 0;
        if (!SimWords::ParseU32(item, rate) || !IsKnownRate(rate)) {
            error = "bad sample rate '" + item + "'";
            return false;
        }
        if (std::find(parsed.begin(), parsed.end(), rate) != parsed.end()) {
            error = "sample rate " + item + " listed twice";
            return false;
        }
        parsed.push_back(rate);
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    if (parsed.size() > 12) {
        error = "more than 12 sample rates";
        return false;
    }
    rates = std::move(parsed);
    return true;
}

bool SimDeviceConfig::Validate(std::string& error) const
{
    std::wstring wideSerial = Widen(serial);
    std::wstring wideName = Widen(name);
    if (!serial.empty() && wideSerial.empty()) {
        error = "serial is not valid UTF-8";
    } else if (std::any_of(serial.begin(), serial.end(),
                           [](char c) { return static_cast<unsigned char>(c) <= ' '; })) {
        error = "serial holds a space or control character";
    } else if (wideSerial.size() > MAX_SERIAL_CHARS) {
        error = "serial longer than 19 characters";
    } else if (name.empty() || wideName.empty()) {
        error = "name is empty or not valid UTF-8";
    } else if (wideName.size() > MAX_NAME_CHARS) {
        error = "name longer than 41 characters";
    } else if (rates.empty()) {
        error = "no sample rates";
    } else {
        return true;
    }
    return false;
}
