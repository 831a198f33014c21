#include "CtlMixerLayout.h"

#include "KorvelStatus.h"

#include <cctype>

namespace {

struct PinNames
{
    uint8_t type;
    const char* output;   // in the output set
    const char* hardware; // in the hardware input set
    const char* software; // in the host's playback set
};

constexpr PinNames kPinNames[] = {
    {KORVEL_MIXER_PIN_ANALOG, "Analog Out", "Analog In", "Analog"},
    {KORVEL_MIXER_PIN_SPDIF, "SPDIF Out", "SPDIF In", "SPDIF In"},
    {KORVEL_MIXER_PIN_OUT, "Out", "Out", "Out"},
    {KORVEL_MIXER_PIN_SPDIF_OUT, "SPDIF", "SPDIF", "SPDIF"},
    {KORVEL_MIXER_PIN_VIRTUAL, "Virtual In", "Virtual In", "Virtual In"},
};

constexpr uint32_t kPinCapacity[] = {KORVEL_MIXER_MAX_OUTPUT_PINS, KORVEL_MIXER_MAX_INPUT_PINS,
                                     KORVEL_MIXER_MAX_INPUT_PINS};

// Requests `request` on a copy of `entries` and takes back only the values.
template <class Entry, class Request, class Take>
DWORD ReadValues(KorvelDevice& device, Request request, std::vector<Entry>& entries, Take take)
{
    if (entries.empty()) {
        return KORVEL_STATUS_SUCCESS;
    }
    std::vector<Entry> answer = entries;
    const DWORD status =
        (device.*request)(answer.data(), static_cast<uint32_t>(answer.size()));
    if (status == KORVEL_STATUS_SUCCESS) {
        for (size_t i = 0; i < entries.size(); ++i) {
            take(entries[i], answer[i]);
        }
    }
    return status;
}

DWORD RequestGains(KorvelDevice& device, std::vector<KorvelMixerGain>& gains)
{
    return ReadValues(device, &KorvelDevice::GetMixerOutputGains, gains,
                      [](KorvelMixerGain& entry, const KorvelMixerGain& answer) {
                          entry.flags = answer.flags;
                          entry.gain = answer.gain;
                      });
}

DWORD RequestWeights(KorvelDevice& device, std::vector<KorvelMixerWeight>& weights)
{
    return ReadValues(device, &KorvelDevice::GetMixerWeights, weights,
                      [](KorvelMixerWeight& entry, const KorvelMixerWeight& answer) {
                          entry.weight = answer.weight;
                          entry.flags = answer.flags;
                      });
}

} // namespace

DWORD CtlMixerLayout::Read(KorvelDevice& device)
{
    for (uint32_t set = 0; set < 3; ++set) {
        Pins pins(kPinCapacity[set]);
        uint32_t count = 0;
        const DWORD status =
            device.GetMixerPins(set, pins.data(), static_cast<uint32_t>(pins.size()), count);
        if (status != KORVEL_STATUS_SUCCESS) {
            return status;
        }
        pins.resize(count);
        m_pins[set] = pins;
    }
    return KORVEL_STATUS_SUCCESS;
}

std::string CtlMixerLayout::PinName(uint32_t pinSet, const KorvelMixerPin& pin)
{
    for (const PinNames& names : kPinNames) {
        if (names.type == pin.type) {
            const char* base = pinSet == KORVEL_MIXER_PINSET_OUTPUT           ? names.output
                               : pinSet == KORVEL_MIXER_PINSET_HARDWARE_INPUT ? names.hardware
                                                                              : names.software;
            return std::string(base) + " " + std::to_string(pin.channel + 1u);
        }
    }
    return "Pin " + std::to_string(pin.type) + "." + std::to_string(pin.channel + 1u);
}

bool CtlMixerLayout::FindPin(uint32_t pinSet, const std::string& name, KorvelMixerPin& pin) const
{
    const std::string wanted = Folded(name);
    for (const KorvelMixerPin& candidate : m_pins[pinSet]) {
        if (Folded(PinName(pinSet, candidate)) == wanted) {
            pin = candidate;
            return true;
        }
    }
    return false;
}

bool CtlMixerLayout::FindInput(const std::string& name, KorvelMixerPin& pin,
                               uint32_t& pinSet) const
{
    for (uint32_t set : {KORVEL_MIXER_PINSET_HARDWARE_INPUT, KORVEL_MIXER_PINSET_SOFTWARE_OUTPUT}) {
        if (FindPin(set, name, pin)) {
            pinSet = set;
            return true;
        }
    }
    return false;
}

DWORD CtlMixerLayout::ReadGains(KorvelDevice& device, std::vector<KorvelMixerGain>& gains) const
{
    gains.clear();
    for (const KorvelMixerPin& pin : Outputs()) {
        gains.push_back(KorvelMixerGain{pin, 0, 0, 0});
    }
    return RequestGains(device, gains);
}

DWORD CtlMixerLayout::ReadWeights(KorvelDevice& device, uint32_t inputSet,
                                  std::vector<KorvelMixerWeight>& weights) const
{
    weights.clear();
    for (const KorvelMixerPin& output : Outputs()) {
        for (const KorvelMixerPin& input : m_pins[inputSet]) {
            weights.push_back(KorvelMixerWeight{output, input, 0, 0, 0});
        }
    }
    return RequestWeights(device, weights);
}

DWORD CtlMixerLayout::ReadLevels(KorvelDevice& device, uint32_t pinSet,
                                 std::vector<KorvelMixerLevel>& levels) const
{
    levels.clear();
    for (const KorvelMixerPin& pin : m_pins[pinSet]) {
        levels.push_back(KorvelMixerLevel{pin, INT16_MIN, 0});
    }
    const auto request = pinSet == KORVEL_MIXER_PINSET_OUTPUT ? &KorvelDevice::GetMixerOutputLevels
                                                              : &KorvelDevice::GetMixerInputLevels;
    return ReadValues(device, request, levels,
                      [](KorvelMixerLevel& entry, const KorvelMixerLevel& answer) {
                          entry.level = answer.level;
                      });
}

DWORD CtlMixerLayout::ReadGain(KorvelDevice& device, const KorvelMixerPin& pin,
                               KorvelMixerGain& gain)
{
    std::vector<KorvelMixerGain> one{KorvelMixerGain{pin, 0, 0, 0}};
    const DWORD status = RequestGains(device, one);
    gain = one[0];
    return status;
}

DWORD CtlMixerLayout::ReadWeight(KorvelDevice& device, const KorvelMixerPin& output,
                                 const KorvelMixerPin& input, KorvelMixerWeight& weight)
{
    std::vector<KorvelMixerWeight> one{KorvelMixerWeight{output, input, 0, 0, 0}};
    const DWORD status = RequestWeights(device, one);
    weight = one[0];
    return status;
}

std::string CtlMixerLayout::Folded(const std::string& name)
{
    std::string folded;
    for (char c : name) {
        if (c != ' ' && c != '-' && c != '_') {
            folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return folded;
}
