// quilloctl.exe: the panel's settings from the command line. The commands
// live in quilloctllib; this entry turns the UTF-16 arguments into UTF-8 and
// routes Ctrl+C to the commands that run until stopped.
#include "CtlApp.h"
#include "CtlText.h"
#include "KorvelLog.h"

#include <windows.h>

#include <iostream>

int wmain(int argc, wchar_t** argv)
{
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(CtlText::Utf8(argv[i]));
    }
    KorvelLogSession log; // quilloctl's own requests, when the log is on
    CtlStopSignal stop;
    stop.CatchConsoleBreak();
    return CtlApp::Run(arguments, std::cout, std::cerr, stop);
}
