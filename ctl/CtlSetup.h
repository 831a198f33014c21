#pragma once
// A studio setup: one device's whole configuration (output gains, crosspoint
// weights of both mixers, pass-through, bypass) and the global settings
// (sample rate, buffer classes, policy), as saved to and loaded from a JSON
// file with a format name and version. Pins are named as quilloctl names
// them ("Analog In 1"), so a file fits any device of the same layout.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CtlSetupGain
{
    std::string pin;
    int16_t gain = 0; // hundredths of a dB
    bool muted = false;
};

struct CtlSetupRoute
{
    std::string input;
    std::string output;
    int16_t weight = 0; // hundredths of a dB
    bool connected = false;
};

struct CtlSetupMixer
{
    std::vector<std::string> inputs;
    std::vector<CtlSetupRoute> routes;
};

class CtlSetup
{
public:
    static constexpr const char* FORMAT = "quillo-setup";
    static constexpr int VERSION = 1;

    std::string serial;
    std::string name;
    uint32_t sampleRate = 0;
    uint32_t streamingClass = 0;
    uint32_t asioClass = 0;
    bool forbidRateChange = false;
    std::optional<bool> passThrough; // absent: the device did not report it
    std::optional<bool> bypass;
    std::vector<CtlSetupGain> outputs;
    CtlSetupMixer hardwareInputs;
    CtlSetupMixer playback;

    nlohmann::json ToJson() const;
    // Parses a file's text; false with the first problem in `error`, and
    // this object left as it was.
    bool FromText(const std::string& text, std::string& error);
    bool FromJson(const nlohmann::json& document, std::string& error);
};
