#pragma once
// What a host learns from a driver before it streams: name, version,
// channels with names and types, the rates of a standard list the driver
// accepts (canSampleRate), buffer sizes, latencies and clock sources.
#include "HostDriver.h"

#include <string>

class HostProbe
{
public:
    // Loads, inits, asks and releases the driver; the report, or false with
    // `error` and `exitCode` set.
    static bool Run(const HostDriverSource& source, std::string& report, std::string& error,
                    int& exitCode);

private:
    static std::string Describe(HostDriver& driver);
    static std::string Channels(IASIO* asio, long inputs, long outputs);
    static std::string Rates(IASIO* asio);
    static std::string Clocks(IASIO* asio);
};
