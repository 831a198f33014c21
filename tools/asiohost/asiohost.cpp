// asiohost.exe: exercises any installed ASIO driver as hosts do (list, probe,
// stream, rate). The work is done by the classes beside this file, which
// tests and the benchmark drive directly.
#include "HostAsioText.h"
#include "HostCommandLine.h"
#include "HostCommands.h"
#include "HostStreamResult.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

int main()
{
    const std::vector<std::wstring> args = HostAsioText::CommandLineArgs();
    HostCommandLine line;
    std::string error;
    if (!line.Parse(args, error)) {
        std::fprintf(stderr, "asiohost: %s\n\n%s", error.c_str(), HostCommandLine::Usage());
        return HOST_EXIT_USAGE;
    }
    return HostCommands::Run(line);
}
