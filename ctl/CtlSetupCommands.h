#pragma once
// quilloctl save and load: a device's whole configuration and the global
// settings to a setup file and back. Load reads the target device first and
// checks the whole file against it (pin names and counts, offered rates)
// before it writes anything; --dry-run stops after listing the changes.
#include "CtlContext.h"
#include "CtlMixerLayout.h"
#include "CtlSetup.h"

class CtlSetupCommands
{
public:
    static int Save(CtlContext& context);
    static int Load(CtlContext& context);

private:
    // What load needs of the device as it is now.
    struct Current
    {
        CtlSetup setup;
        CtlMixerLayout layout;
        std::vector<KorvelMixerGain> gains;
        std::vector<KorvelMixerWeight> hardwareWeights;
        std::vector<KorvelMixerWeight> playbackWeights;
        KorvelBufferSizes buffers{};
        uint32_t policy = 0;
        std::vector<uint32_t> offeredRates;
    };

    // Connects, finds the device of the command's first word and captures
    // it; null with `exitCode` set (and reported) when any of it fails.
    static KorvelDevice* CaptureDevice(CtlContext& context, Current& current, int& exitCode);
    // Reads everything a setup holds; the first failing request's status
    // with `what` naming it.
    static DWORD Capture(KorvelCplClient& client, KorvelDevice& device, Current& current,
                         std::string& what);
    // The first way `file` does not fit the device; empty when it fits.
    static std::string Mismatch(const CtlSetup& file, const Current& current);
    static std::string MixerMismatch(const char* label, const CtlSetupMixer& file,
                                     const CtlSetupMixer& device);
    // Every setting the file changes, as {"setting", "from", "to"}.
    static nlohmann::json Changes(const CtlSetup& file, const Current& current);
    static int Apply(CtlContext& context, KorvelDevice& device, const CtlSetup& file,
                     const Current& current);
    // The weight entries to send for the routes that change.
    static std::vector<KorvelMixerWeight> ChangedWeights(const CtlSetupMixer& file,
                                                         const CtlSetupMixer& device,
                                                         const std::vector<KorvelMixerWeight>& entries);
    static std::string ChangesText(const nlohmann::json& changes, bool dryRun);
};
