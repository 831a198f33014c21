#pragma once
// asiohost's command line: the command, the driver it names (a registered
// name or --dll PATH with an optional --clsid) and the stream options.
#include "HostStreamOptions.h"

#include <string>
#include <vector>

struct HostCommandLine
{
    std::wstring command; // list, probe, stream, latency, rate, help
    HostStreamOptions stream;
    uint32_t rateHz = 0; // of the rate command
    // Of the latency command: the output played and the input recorded, and
    // how many measurements.
    long loopInput = 0;
    long loopOutput = 0;
    uint32_t repeats = 5;
    bool json = false;

    // Reads args[1...]: true, or false with `error` for the usage message.
    bool Parse(const std::vector<std::wstring>& args, std::string& error);
    static const char* Usage();

private:
    bool ParseOption(const std::vector<std::wstring>& args, size_t& i, std::string& error);
    bool ParseChannels(const std::wstring& list, std::string& error);
    bool ParseLoopChannels(const std::wstring& list, std::string& error);
};
