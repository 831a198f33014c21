#pragma once
// The one word syntax of the simulator's command lines, shared by the
// control pipe and the configuration file: words are separated by blanks,
// double quotes group a word that holds blanks; numbers are decimal, or
// hexadecimal with 0x.
#include <cstdint>
#include <string>
#include <vector>

class SimWords
{
public:
    // Splits `line` into words; false with a reason for an unterminated quote.
    static bool Split(const std::string& line, std::vector<std::string>& words,
                      std::string& error);

    // Decimal, or hexadecimal with a 0x prefix; no sign, nothing after the digits.
    static bool ParseU32(const std::string& text, uint32_t& value);
    // Hexadecimal with or without the 0x prefix (codes and statuses).
    static bool ParseHex32(const std::string& text, uint32_t& value);
    // Decimal with an optional minus sign.
    static bool ParseS32(const std::string& text, int32_t& value);

private:
    static bool ParseDigits(const std::string& digits, int base, uint64_t limit, uint64_t& value);
};
