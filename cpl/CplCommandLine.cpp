#include "CplCommandLine.h"

#include <cwctype>

namespace {

bool EqualsIgnoringCase(const std::wstring& token, const wchar_t* option)
{
    size_t i = 0;
    for (; i < token.size() && option[i] != L'\0'; ++i) {
        if (std::towlower(token[i]) != std::towlower(option[i])) {
            return false;
        }
    }
    return i == token.size() && option[i] == L'\0';
}

} // namespace

CplCommandLine::CplCommandLine(const wchar_t* commandLine)
{
    std::wstring token;
    for (const wchar_t* p = commandLine; p != nullptr && *p != L'\0'; ++p) {
        if (std::iswspace(*p)) {
            if (!token.empty()) {
                m_tokens.push_back(token);
                token.clear();
            }
        } else {
            token.push_back(*p);
        }
    }
    if (!token.empty()) {
        m_tokens.push_back(token);
    }
}

bool CplCommandLine::HasOption(const wchar_t* option) const
{
    for (const std::wstring& token : m_tokens) {
        if (EqualsIgnoringCase(token, option)) {
            return true;
        }
    }
    return false;
}
