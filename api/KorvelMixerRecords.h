#pragma once
// Mixer level entries: the array element of IOCTL_KORVEL_GET_MIXER_INPUT_LEVELS
// and IOCTL_KORVEL_GET_MIXER_OUTPUT_LEVELS. The caller fills the pins; the
// kernel driver returns the list with the levels filled. The pin descriptor,
// gain and weight entries are in KorvelRecords.h.
#include "KorvelRecords.h"

#include <cstddef>
#include <cstdint>

struct KorvelMixerLevel
{
    KorvelMixerPin pin;
    int16_t level; // hundredths of a dB
    uint16_t reserved;
};
static_assert(sizeof(KorvelMixerLevel) == 8);
static_assert(offsetof(KorvelMixerLevel, pin) == 0);
static_assert(offsetof(KorvelMixerLevel, level) == 4);
static_assert(offsetof(KorvelMixerLevel, reserved) == 6);

// Most weight entries a mixer window holds: every output pin meets every input pin.
constexpr uint32_t KORVEL_MIXER_MAX_WEIGHTS =
    KORVEL_MIXER_MAX_OUTPUT_PINS * KORVEL_MIXER_MAX_INPUT_PINS;
static_assert(KORVEL_MIXER_MAX_WEIGHTS == 468);
