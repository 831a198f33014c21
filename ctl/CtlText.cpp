#include "CtlText.h"

#include "KorvelStatus.h"

#include <cctype>
#include <cstdio>
#include <cstring>

std::string CtlText::Utf8(const wchar_t* text)
{
    if (text == nullptr || *text == L'\0') {
        return {};
    }
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) {
        return {};
    }
    std::string result(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), bytes, nullptr, nullptr);
    result.resize(static_cast<size_t>(bytes - 1));
    return result;
}

std::wstring CtlText::Wide(const std::string& text)
{
    if (text.empty()) {
        return {};
    }
    const int chars = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                          nullptr, 0);
    if (chars <= 0) {
        return {};
    }
    std::wstring result(static_cast<size_t>(chars), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        chars);
    return result;
}

std::string CtlText::Db(int value)
{
    char text[32];
    const int whole = value / 100;
    const int hundredths = value % 100 < 0 ? -(value % 100) : value % 100;
    std::snprintf(text, sizeof text, "%s%d.%02d", value < 0 && whole == 0 ? "-" : "", whole,
                  hundredths);
    return text;
}

bool CtlText::ParseDb(const std::string& text, int min, int max, int16_t& value)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    long whole = 0;
    size_t digits = 0;
    // Five digits are already far beyond any gain: longer is refused before it can overflow.
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && digits < 6;
         ++i, ++digits) {
        whole = whole * 10 + (text[i] - '0');
    }
    if (digits == 0 || digits > 5) {
        return false;
    }
    long fraction = 0;
    if (i < text.size() && text[i] == '.') {
        ++i;
        size_t decimals = 0;
        for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
            if (++decimals > 2) {
                return false;
            }
            fraction = fraction * 10 + (text[i] - '0');
        }
        if (decimals == 0) {
            return false;
        }
        if (decimals == 1) {
            fraction *= 10;
        }
    }
    if (i != text.size()) {
        return false;
    }
    long hundredths = whole * 100 + fraction;
    if (negative) {
        hundredths = -hundredths;
    }
    if (hundredths < min || hundredths > max) {
        return false;
    }
    value = static_cast<int16_t>(hundredths);
    return true;
}

bool CtlText::ParseU32(const std::string& text, uint32_t& value)
{
    if (text.empty() || text.size() > 10) {
        return false;
    }
    uint64_t number = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return false;
        }
        number = number * 10 + static_cast<uint64_t>(c - '0');
    }
    if (number > UINT32_MAX) {
        return false;
    }
    value = static_cast<uint32_t>(number);
    return true;
}

bool CtlText::ParseOnOff(const std::string& text, bool& value)
{
    if (SameText(text, "on")) {
        value = true;
        return true;
    }
    if (SameText(text, "off")) {
        value = false;
        return true;
    }
    return false;
}

std::string CtlText::StatusName(DWORD status)
{
    const char* name = ::StatusName(status);
    if (std::strcmp(name, "???") != 0) {
        return name;
    }
    return "WIN32_ERROR_" + std::to_string(status);
}

bool CtlText::SameText(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}
