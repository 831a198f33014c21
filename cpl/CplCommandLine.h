#pragma once

#include <string>
#include <vector>

// The panel's command line, split once at white space. An option matches a
// token only as a whole word, in any letter case: "-HIDE" is "-hide", while
// "-hidex" is no option at all. Unknown tokens (the program name, the "-asio"
// with which the ASIO driver starts the panel) are kept but mean nothing.
class CplCommandLine
{
public:
    static constexpr const wchar_t* OPTION_EXIT = L"-exit";
    static constexpr const wchar_t* OPTION_HIDE = L"-hide";
    static constexpr const wchar_t* OPTION_NOTRAY = L"-notray";

    explicit CplCommandLine(const wchar_t* commandLine);

    bool HasOption(const wchar_t* option) const;
    bool IsExit() const { return HasOption(OPTION_EXIT); }
    bool IsHide() const { return HasOption(OPTION_HIDE); }
    bool IsNoTray() const { return HasOption(OPTION_NOTRAY); }

private:
    std::vector<std::wstring> m_tokens;
};
