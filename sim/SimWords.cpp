#include "SimWords.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool HasHexPrefix(const std::string& text)
{
    return text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

int DigitValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return 99;
}

} // namespace

bool SimWords::Split(const std::string& line, std::vector<std::string>& words, std::string& error)
{
    words.clear();
    size_t i = 0;
    while (i < line.size()) {
        if (IsBlank(line[i])) {
            ++i;
            continue;
        }
        std::string word;
        bool quoted = false;
        for (; i < line.size() && (quoted || !IsBlank(line[i])); ++i) {
            if (line[i] == '"') {
                quoted = !quoted;
            } else {
                word += line[i];
            }
        }
        if (quoted) {
            error = "unterminated quote";
            return false;
        }
        words.push_back(std::move(word));
    }
    return true;
}

bool SimWords::ParseDigits(const std::string& digits, int base, uint64_t limit, uint64_t& value)
{
    if (digits.empty()) {
        return false;
    }
    uint64_t parsed = 0;
    for (char c : digits) {
        int digit = DigitValue(c);
        if (digit >= base) {
            return false;
        }
        parsed = parsed * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (parsed > limit) {
            return false;
        }
    }
    value = parsed;
    return true;
}

bool SimWords::ParseU32(const std::string& text, uint32_t& value)
{
    bool hex = HasHexPrefix(text);
    uint64_t parsed = 0;
    if (!ParseDigits(hex ? text.substr(2) : text, hex ? 16 : 10, 0xFFFFFFFFull, parsed)) {
        return false;
    }
    value = static_cast<uint32_t>(parsed);
    return true;
}

bool SimWords::ParseHex32(const std::string& text, uint32_t& value)
{
    uint64_t parsed = 0;
    if (!ParseDigits(HasHexPrefix(text) ? text.substr(2) : text, 16, 0xFFFFFFFFull, parsed)) {
        return false;
    }
    value = static_cast<uint32_t>(parsed);
    return true;
}

bool SimWords::ParseS32(const std::string& text, int32_t& value)
{
    bool negative = !text.empty() && text[0] == '-';
    uint64_t parsed = 0;
    if (!ParseDigits(negative ? text.substr(1) : text, 10, negative ? 0x80000000ull : 0x7FFFFFFFull,
                     parsed)) {
        return false;
    }
    value = negative ? static_cast<int32_t>(-static_cast<int64_t>(parsed))
                     : static_cast<int32_t>(parsed);
    return true;
}
