#pragma once
// A device's mixer as quilloctl addresses it: the three pin sets the kernel
// driver reports (the outputs, the hardware inputs, the host's playback
// channels), a name for every pin ("Analog In 1"), and the gain, weight and
// level entries built from them. Every output pin meets every input pin of a
// set in one weight entry, as in the panel's mixer windows.
#include "KorvelDevice.h"

#include <string>
#include <vector>

class CtlMixerLayout
{
public:
    using Pins = std::vector<KorvelMixerPin>;

    // Reads all three pin sets; the first failing status.
    DWORD Read(KorvelDevice& device);

    const Pins& PinSet(uint32_t pinSet) const { return m_pins[pinSet]; }
    const Pins& Outputs() const { return m_pins[KORVEL_MIXER_PINSET_OUTPUT]; }

    // "Analog Out 1", "SPDIF In 2", "Out 3": the pin's name in its set.
    static std::string PinName(uint32_t pinSet, const KorvelMixerPin& pin);
    // A name as typed: any case, spaces, dashes and underscores ignored.
    bool FindPin(uint32_t pinSet, const std::string& name, KorvelMixerPin& pin) const;
    // An input pin of either input set, the hardware inputs searched first.
    bool FindInput(const std::string& name, KorvelMixerPin& pin, uint32_t& pinSet) const;

    // The values of every output gain, of every crosspoint of one input set,
    // of the levels of one pin set: the entries are built from the pins and
    // the request is made on a copy, so that an answer can change only values.
    DWORD ReadGains(KorvelDevice& device, std::vector<KorvelMixerGain>& gains) const;
    DWORD ReadWeights(KorvelDevice& device, uint32_t inputSet,
                      std::vector<KorvelMixerWeight>& weights) const;
    DWORD ReadLevels(KorvelDevice& device, uint32_t pinSet,
                     std::vector<KorvelMixerLevel>& levels) const;

    // The gain entry of one output pin / the weight of one crosspoint.
    static DWORD ReadGain(KorvelDevice& device, const KorvelMixerPin& pin, KorvelMixerGain& gain);
    static DWORD ReadWeight(KorvelDevice& device, const KorvelMixerPin& output,
                            const KorvelMixerPin& input, KorvelMixerWeight& weight);

private:
    static std::string Folded(const std::string& name);

    Pins m_pins[3];
};
