#pragma once
// Texts of the command line: UTF-16 records to UTF-8 output and back, and
// the numbers a user types (Hz, dB, on/off) read strictly, so that a typo is
// a usage error rather than a value nobody meant.
#include <windows.h>

#include <cstdint>
#include <string>

class CtlText
{
public:
    static std::string Utf8(const wchar_t* text);
    static std::string Utf8(const std::wstring& text) { return Utf8(text.c_str()); }
    static std::wstring Wide(const std::string& text);

    // "-3.50" for -350 hundredths of a dB.
    static std::string Db(int value);
    // A dB value with at most two decimals ("-3", "-3.5", "+6.25") within
    // [min, max] hundredths; false for anything else, huge numbers included.
    static bool ParseDb(const std::string& text, int min, int max, int16_t& value);
    // A whole decimal number that fits 32 bits.
    static bool ParseU32(const std::string& text, uint32_t& value);
    static bool ParseOnOff(const std::string& text, bool& value);
    // The status's name, or "WIN32_ERROR_<n>" for a Windows error code.
    static std::string StatusName(DWORD status);
    static bool SameText(const std::string& a, const std::string& b); // ASCII, any case
};
