#include "MixerPinLabels.h"

#include <cstdio>

namespace {

// A type's name in an input row and in an output column (null: "unknown");
// a pair's label adds "%u/%u", a single pin's "%u".
struct PinNames
{
    uint8_t type;
    const wchar_t* input;
    const wchar_t* output;
};

constexpr PinNames kPinNames[] = {
    {KORVEL_MIXER_PIN_ANALOG, L"Analog In", L"Analog Out"},
    {KORVEL_MIXER_PIN_SPDIF, L"SPDIF In", L"SPDIF Out"},
    {KORVEL_MIXER_PIN_OUT, L"Out", nullptr},
    {KORVEL_MIXER_PIN_SPDIF_OUT, L"SPDIF", nullptr},
    {KORVEL_MIXER_PIN_VIRTUAL, L"Virtual In", L"Virtual In"},
};

const wchar_t* NameOf(uint8_t type, bool input)
{
    for (const PinNames& names : kPinNames) {
        if (names.type == type) {
            return input ? names.input : names.output;
        }
    }
    return nullptr;
}

std::wstring Label(const wchar_t* name, const KorvelMixerPin& left, const KorvelMixerPin* right)
{
    if (name == nullptr) {
        return L"unknown";
    }
    wchar_t text[64];
    if (right != nullptr) {
        std::swprintf(text, 64, L"%ls %u/%u", name, left.channel + 1u, right->channel + 1u);
    } else {
        std::swprintf(text, 64, L"%ls %u", name, left.channel + 1u);
    }
    return text;
}

} // namespace

std::wstring MixerPinLabels::InputPair(const KorvelMixerPin& left, const KorvelMixerPin& right)
{
    return Label(NameOf(left.type, true), left, &right);
}

std::wstring MixerPinLabels::OutputPair(const KorvelMixerPin& left, const KorvelMixerPin& right)
{
    return Label(NameOf(left.type, false), left, &right);
}

std::wstring MixerPinLabels::Input(const KorvelMixerPin& pin)
{
    return Label(NameOf(pin.type, true), pin, nullptr);
}

std::wstring MixerPinLabels::Output(const KorvelMixerPin& pin)
{
    return Label(NameOf(pin.type, false), pin, nullptr);
}
