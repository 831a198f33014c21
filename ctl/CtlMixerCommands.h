#pragma once
// The mixer of one device: its gains and crosspoints as a table, one output
// gain or one crosspoint set, and the meters once or at 10 Hz until stopped.
#include "CtlContext.h"
#include "CtlMixerLayout.h"

class CtlMixerCommands
{
public:
    static constexpr DWORD WATCH_PERIOD_MS = 100;

    static int Mixer(CtlContext& context);
    static int Gain(CtlContext& context);
    static int Route(CtlContext& context);
    static int Levels(CtlContext& context);

private:
    // Connects, finds the device and reads its pins.
    static KorvelDevice* Prepare(CtlContext& context, CtlMixerLayout& layout, int& exitCode);
    static nlohmann::json ReadMeters(KorvelDevice& device, const CtlMixerLayout& layout,
                                     DWORD& status);
    static std::string MeterLine(const nlohmann::json& meters);
    static std::string Table(const nlohmann::json& mixer);
};
