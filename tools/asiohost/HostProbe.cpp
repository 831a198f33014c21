#include "HostProbe.h"

#include "HostAsioText.h"
#include "HostStreamResult.h"

#include <cstdio>

namespace {

// The rates hosts offer: PCM from 44.1 kHz to 384 kHz, then DSD64 to DSD256.
constexpr double STANDARD_RATES[] = {44100,  48000,  88200,   96000,   176400,  192000,
                                     352800, 384000, 2822400, 5644800, 11289600};

std::string Line(const char* label, const std::string& value)
{
    char text[64];
    std::snprintf(text, sizeof(text), "  %-18s", label);
    return text + value + "\n";
}

} // namespace

bool HostProbe::Run(const HostDriverSource& source, std::string& report, std::string& error,
                    int& exitCode)
{
    HostDriver driver;
    if (!driver.Load(source, error)) {
        exitCode = HOST_EXIT_NO_DRIVER;
        return false;
    }
    if (!driver.Init(error)) {
        exitCode = HOST_EXIT_INIT_FAILED;
        return false;
    }
    report = Describe(driver);
    exitCode = HOST_EXIT_OK;
    return true;
}

std::string HostProbe::Describe(HostDriver& driver)
{
    IASIO* asio = driver.Asio();
    std::string text = "asiohost: probe\n";
    text += Line("name", driver.Name());
    text += Line("version", std::to_string(driver.Version()));
    long inputs = 0, outputs = 0;
    ASIOError status = asio->getChannels(&inputs, &outputs);
    text += Line(
        "channels",
        std::to_string(inputs) + " inputs, " + std::to_string(outputs) + " outputs" +
            (status == ASE_OK ? "" : std::string(" (") + HostAsioText::ErrorName(status) + ")"));
    text += Channels(asio, inputs, outputs);
    ASIOSampleRate rate = 0;
    status = asio->getSampleRate(&rate);
    char value[160];
    std::snprintf(value, sizeof(value), "%.0f Hz%s", rate,
                  status == ASE_OK ? "" : " (getSampleRate failed)");
    text += Line("current rate", value);
    text += Line("rates", Rates(asio));
    long minSize = 0, maxSize = 0, preferred = 0, granularity = 0;
    asio->getBufferSize(&minSize, &maxSize, &preferred, &granularity);
    std::snprintf(value, sizeof(value), "min %ld, max %ld, preferred %ld, granularity %ld", minSize,
                  maxSize, preferred, granularity);
    text += Line("buffer sizes", value);
    long in = 0, out = 0;
    asio->getLatencies(&in, &out);
    std::snprintf(value, sizeof(value), "input %ld, output %ld frames (before createBuffers)", in,
                  out);
    text += Line("latencies", value);
    text += Line("clock sources", Clocks(asio));
    return text;
}

std::string HostProbe::Channels(IASIO* asio, long inputs, long outputs)
{
    std::string text;
    for (int pass = 0; pass < 2; ++pass) {
        const bool input = pass == 0;
        for (long i = 0; i < (input ? inputs : outputs); ++i) {
            ASIOChannelInfo info{};
            info.channel = i;
            info.isInput = input ? ASIOTrue : ASIOFalse;
            char line[160];
            if (asio->getChannelInfo(&info) != ASE_OK) {
                std::snprintf(line, sizeof(line), "    %s %2ld  (getChannelInfo failed)\n",
                              input ? "in " : "out", i);
            } else {
                info.name[sizeof(info.name) - 1] = '\0';
                std::snprintf(line, sizeof(line), "    %s %2ld  %-32s %s\n", input ? "in " : "out",
                              i, info.name, HostAsioText::SampleTypeName(info.type));
            }
            text += line;
        }
    }
    return text;
}

std::string HostProbe::Rates(IASIO* asio)
{
    std::string text;
    for (double rate : STANDARD_RATES) {
        if (asio->canSampleRate(rate) == ASE_OK) {
            text += (text.empty() ? "" : " ") + std::to_string(static_cast<long>(rate));
        }
    }
    return text.empty() ? "none of the standard rates" : text;
}

std::string HostProbe::Clocks(IASIO* asio)
{
    ASIOClockSource clocks[8] = {};
    long count = 8;
    ASIOError status = asio->getClockSources(clocks, &count);
    if (status != ASE_OK) {
        return std::string("(") + HostAsioText::ErrorName(status) + ")";
    }
    std::string text;
    for (long i = 0; i < count && i < 8; ++i) {
        clocks[i].name[sizeof(clocks[i].name) - 1] = '\0';
        text += (i == 0 ? "" : ", ") + std::to_string(clocks[i].index) + " " + clocks[i].name +
                (clocks[i].isCurrentSource == ASIOTrue ? " (current)" : "");
    }
    return text;
}
