#include "CtlCommandLine.h"

namespace {
const std::string kNoWord;
}

bool CtlCommandLine::Parse(const std::vector<std::string>& arguments, std::string& error)
{
    for (const std::string& argument : arguments) {
        if (argument == "--json") {
            m_json = true;
        } else if (argument == "--dry-run") {
            m_dryRun = true;
        } else if (argument == "--watch") {
            m_watch = true;
        } else if (argument == "--help" || argument == "-h" || argument == "-?" ||
                   argument == "/?") {
            m_help = true;
        } else if (argument.size() > 2 && argument.compare(0, 2, "--") == 0) {
            error = "unknown option " + argument;
            return false;
        } else if (m_command.empty()) {
            m_command = argument;
        } else {
            m_words.push_back(argument);
        }
    }
    if (m_command.empty() && !m_help) {
        error = "no command given";
        return false;
    }
    return true;
}

const std::string& CtlCommandLine::Word(size_t index) const
{
    return index < m_words.size() ? m_words[index] : kNoWord;
}

const char* CtlCommandLine::UsageText()
{
    return "usage: quilloctl COMMAND [ARGUMENTS] [--json]\n"
           "  status                              driver, devices, streaming, counters\n"
           "  rate [HZ]                           the sample rate\n"
           "  buffers [STREAMING ASIO]            the buffer size classes\n"
           "  select SERIAL|all                   the streaming device\n"
           "  policy forbid-rate-change [on|off]  the policy\n"
           "  spdif SERIAL passthrough [on|off]   S/PDIF pass-through\n"
           "  bypass SERIAL [on|off]              volume bypass\n"
           "  mixer SERIAL inputs|outputs         gains and crosspoints\n"
           "  gain SERIAL PIN DB|mute|unmute      an output gain\n"
           "  route SERIAL IN OUT DB|off          a crosspoint\n"
           "  levels SERIAL [--watch]             the meters (Ctrl+C ends --watch)\n"
           "  watch                               every notification (Ctrl+C ends)\n"
           "  save SERIAL FILE.json               a device's whole setup\n"
           "  load SERIAL FILE.json [--dry-run]   restore it, checked first\n"
           "  log on [error|info|debug] | off     the diagnostic log of every program\n"
           "  log collect FOLDER                  logs, status and events for support\n"
           "exit codes: 0 done, 1 refused, 2 usage error, 3 no driver or service\n";
}
