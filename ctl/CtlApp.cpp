#include "CtlApp.h"

#include "CtlContext.h"
#include "CtlDeviceCommands.h"
#include "CtlLogCommand.h"
#include "CtlMixerCommands.h"
#include "CtlSettingCommands.h"
#include "CtlSetupCommands.h"
#include "CtlStatusCommand.h"
#include "CtlWatchCommand.h"

namespace {

struct CommandEntry
{
    const char* name;
    int (*run)(CtlContext&);
};

constexpr CommandEntry kCommands[] = {
    {"status", CtlStatusCommand::Run},     {"rate", CtlSettingCommands::Rate},
    {"buffers", CtlSettingCommands::Buffers}, {"select", CtlSettingCommands::Select},
    {"policy", CtlSettingCommands::Policy}, {"spdif", CtlDeviceCommands::Spdif},
    {"bypass", CtlDeviceCommands::Bypass}, {"mixer", CtlMixerCommands::Mixer},
    {"gain", CtlMixerCommands::Gain},      {"route", CtlMixerCommands::Route},
    {"levels", CtlMixerCommands::Levels},  {"watch", CtlWatchCommand::Run},
    {"save", CtlSetupCommands::Save},      {"load", CtlSetupCommands::Load},
    {"log", CtlLogCommand::Run},
};

} // namespace

int CtlApp::Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                CtlStopSignal& stop)
{
    CtlCommandLine line;
    std::string error;
    const bool parsed = line.Parse(arguments, error);
    CtlReport report(out, err, line.Json());
    if (!parsed) {
        err << CtlCommandLine::UsageText();
        return report.Usage(error);
    }
    if (line.Help()) {
        out << CtlCommandLine::UsageText();
        return CTL_EXIT_OK;
    }
    for (const CommandEntry& command : kCommands) {
        if (line.Command() == command.name) {
            CtlContext context(line, report, stop);
            return command.run(context);
        }
    }
    return report.Usage("unknown command " + line.Command() + " (quilloctl --help lists them)");
}
