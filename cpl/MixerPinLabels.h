#pragma once
// The names of mixer pins and pairs as the mixer windows show them, by the
// left pin's type: a row's pair ("Analog In 1/2"), a column's pair
// ("Analog Out 1/2"), and single pins for the crosspoints' tool-tips
// ("Analog In 1"). Channels count from 1; a type without a name is "unknown".
#include "KorvelMixerRecords.h"

#include <string>

class MixerPinLabels
{
public:
    static std::wstring InputPair(const KorvelMixerPin& left, const KorvelMixerPin& right);
    static std::wstring OutputPair(const KorvelMixerPin& left, const KorvelMixerPin& right);
    static std::wstring Input(const KorvelMixerPin& pin);
    static std::wstring Output(const KorvelMixerPin& pin);
    // Virtual inputs of the host, as opposed to hardware outputs, among a mixer's outputs.
    static bool IsVirtual(const KorvelMixerPin& pin) { return pin.type == KORVEL_MIXER_PIN_VIRTUAL; }
};
