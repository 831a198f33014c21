#pragma once
// Echo parameter block: input and output of IOCTL_KORVEL_GET_ECHO, input of
// IOCTL_KORVEL_SET_ECHO. Selectors 0 and 1 ask for a single answer; selectors
// 2 and 3 carry (channel, value) pairs. All fields u32; unused bytes zero.
#include <cstddef>
#include <cstdint>

constexpr uint32_t KORVEL_ECHO_OUTPUT_CHANNELS = 0; // answer: number of output channels
constexpr uint32_t KORVEL_ECHO_MAX_DELAY = 1;       // answer: maximum delay in ms
constexpr uint32_t KORVEL_ECHO_DELAY = 2;           // pairs: delay in milliseconds
constexpr uint32_t KORVEL_ECHO_AMPLIFICATION = 3;   // pairs: amplification in thousandths

constexpr uint32_t KORVEL_ECHO_MAX_PAIRS = 64; // pairs that fit the 520-byte block

struct KorvelEchoPair
{
    uint32_t channel; // 0-based
    uint32_t value;
};
static_assert(sizeof(KorvelEchoPair) == 8);
static_assert(offsetof(KorvelEchoPair, channel) == 0);
static_assert(offsetof(KorvelEchoPair, value) == 4);

struct KorvelEchoRecord
{
    uint32_t selector; // KORVEL_ECHO_*
    uint32_t value;    // selectors 0 and 1: the answer; 2 and 3: number of pairs that follow
    KorvelEchoPair pairs[KORVEL_ECHO_MAX_PAIRS];
};
static_assert(sizeof(KorvelEchoRecord) == 520);
static_assert(offsetof(KorvelEchoRecord, selector) == 0);
static_assert(offsetof(KorvelEchoRecord, value) == 4);
static_assert(offsetof(KorvelEchoRecord, pairs) == 8);
