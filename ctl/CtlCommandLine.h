#pragma once
// quilloctl's command line: the command, its words, and the options that any
// command takes anywhere on the line (--json, --dry-run, --watch, --help).
#include <string>
#include <vector>

class CtlCommandLine
{
public:
    // False with `error` set for an option nobody knows or no command at all.
    bool Parse(const std::vector<std::string>& arguments, std::string& error);

    const std::string& Command() const { return m_command; }
    // The words after the command.
    size_t WordCount() const { return m_words.size(); }
    // Word `index` after the command; empty past the end.
    const std::string& Word(size_t index) const;

    bool Json() const { return m_json; }
    bool DryRun() const { return m_dryRun; }
    bool Watch() const { return m_watch; }
    bool Help() const { return m_help; }

    static const char* UsageText();

private:
    std::string m_command;
    std::vector<std::string> m_words;
    bool m_json = false;
    bool m_dryRun = false;
    bool m_watch = false;
    bool m_help = false;
};
