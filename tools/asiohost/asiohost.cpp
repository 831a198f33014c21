// asiohost.exe: exercises any installed ASIO driver as hosts do (list, probe,
// stream, rate). The work is done by the classes beside this file, which
// tests and the benchmark drive directly.
#include "HostCommandLine.h"
#include "HostCommands.h"
#include "HostStreamResult.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

int main()
{
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> args;
    for (int i = 0; argv != nullptr && i < count; ++i) {
        args.emplace_back(argv[i]);
    }
    LocalFree(argv);
    HostCommandLine line;
    std::string error;
    if (!line.Parse(args, error)) {
        std::fprintf(stderr, "asiohost: %s\n\n%s", error.c_str(), HostCommandLine::Usage());
        return HOST_EXIT_USAGE;
    }
    return HostCommands::Run(line);
}
