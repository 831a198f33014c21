#pragma once
// asiohost's commands: each prints what it found to standard output, every
// failure as one "asiohost: …" line to standard error, and returns the exit code.
#include "HostCommandLine.h"

class HostCommands
{
public:
    static int Run(const HostCommandLine& line);

private:
    static int List();
    static int Probe(const HostCommandLine& line);
    static int Stream(const HostCommandLine& line);
    static int Rate(const HostCommandLine& line);
    static int Latency(const HostCommandLine& line);
    static int Failure(int exitCode, const std::string& error);
};
