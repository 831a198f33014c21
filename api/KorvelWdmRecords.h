#pragma once
// The two WDM endpoint tables that the device control service sends to each
// device: a channel table naming every mono channel
// (IOCTL_KORVEL_SET_WDM_CHANNEL_NAMES) and a pair table naming the stereo
// endpoints and MIDI ports (IOCTL_KORVEL_SET_WDM_PAIR_NAMES). Both are zero
// filled before they are built.
#include <cstddef>
#include <cstdint>

constexpr uint32_t KORVEL_WDM_MAX_ENTRIES = 32; // per list
constexpr uint32_t KORVEL_WDM_NAME_CHARS = 41;  // the name field, terminator included

// Endpoint types.
constexpr uint32_t KORVEL_WDM_TYPE_ANALOG = 1;
constexpr uint32_t KORVEL_WDM_TYPE_SPDIF = 10;
constexpr uint32_t KORVEL_WDM_TYPE_MIDI = 20; // pair table only
constexpr uint32_t KORVEL_WDM_TYPE_VIRTUAL = 40;

// Sides of a channel entry.
constexpr uint32_t KORVEL_WDM_SIDE_LEFT = 0;
constexpr uint32_t KORVEL_WDM_SIDE_RIGHT = 1;

// Connection kinds of a pair entry.
constexpr uint32_t KORVEL_WDM_CONNECTION_DEFAULT = 0; // analog, S/PDIF input, virtual inputs
constexpr uint32_t KORVEL_WDM_CONNECTION_SPDIF_OUT = 1;
constexpr uint32_t KORVEL_WDM_CONNECTION_MIDI = 2;

// MIDI directions of a pair entry.
constexpr int32_t KORVEL_WDM_MIDI_OUT = 1;
constexpr int32_t KORVEL_WDM_MIDI_IN = -1;
constexpr int32_t KORVEL_WDM_MIDI_NONE = 0;

// Values of the two words that only analog pairs carry (0 for all others).
constexpr uint32_t KORVEL_WDM_ANALOG_WORD44 = 3;
constexpr uint32_t KORVEL_WDM_ANALOG_WORD140 = 0xFF800000;

struct KorvelWdmChannelEntry
{
    uint32_t type; // KORVEL_WDM_TYPE_*
    uint32_t pair; // channel number / 2, counted from 0 within the type
    uint32_t side; // KORVEL_WDM_SIDE_*
    wchar_t name[KORVEL_WDM_NAME_CHARS];
    uint16_t reserved;
};
static_assert(sizeof(KorvelWdmChannelEntry) == 96);
static_assert(offsetof(KorvelWdmChannelEntry, type) == 0);
static_assert(offsetof(KorvelWdmChannelEntry, pair) == 4);
static_assert(offsetof(KorvelWdmChannelEntry, side) == 8);
static_assert(offsetof(KorvelWdmChannelEntry, name) == 12);
static_assert(sizeof(KorvelWdmChannelEntry::name) == 82);
static_assert(offsetof(KorvelWdmChannelEntry, reserved) == 94);

struct KorvelWdmChannelTable
{
    uint32_t captureCount; // 0 to KORVEL_WDM_MAX_ENTRIES
    KorvelWdmChannelEntry capture[KORVEL_WDM_MAX_ENTRIES];
    uint32_t renderCount; // 0 to KORVEL_WDM_MAX_ENTRIES
    KorvelWdmChannelEntry render[KORVEL_WDM_MAX_ENTRIES];
};
static_assert(sizeof(KorvelWdmChannelTable) == 6152);
static_assert(offsetof(KorvelWdmChannelTable, captureCount) == 0);
static_assert(offsetof(KorvelWdmChannelTable, capture) == 4);
static_assert(offsetof(KorvelWdmChannelTable, renderCount) == 3076);
static_assert(offsetof(KorvelWdmChannelTable, render) == 3080);

constexpr uint32_t KORVEL_WDM_PAIR_NUMBERS = 8;

struct KorvelWdmPairEntry
{
    uint32_t type;                                 // KORVEL_WDM_TYPE_*
    uint32_t pairCount;                            // always 1
    uint32_t pairNumbers[KORVEL_WDM_PAIR_NUMBERS]; // only the first is used
    uint32_t connection;                           // KORVEL_WDM_CONNECTION_*
    uint32_t analogWord44; // KORVEL_WDM_ANALOG_WORD44 for analog pairs, else 0
    wchar_t name[KORVEL_WDM_NAME_CHARS];
    uint16_t reserved0;
    int32_t midiDirection;  // KORVEL_WDM_MIDI_*
    uint32_t entryIndex;    // position in its list
    uint32_t analogWord140; // KORVEL_WDM_ANALOG_WORD140 for analog pairs, else 0
    uint32_t reserved1;
};
static_assert(sizeof(KorvelWdmPairEntry) == 148);
static_assert(offsetof(KorvelWdmPairEntry, type) == 0);
static_assert(offsetof(KorvelWdmPairEntry, pairCount) == 4);
static_assert(offsetof(KorvelWdmPairEntry, pairNumbers) == 8);
static_assert(offsetof(KorvelWdmPairEntry, connection) == 40);
static_assert(offsetof(KorvelWdmPairEntry, analogWord44) == 44);
static_assert(offsetof(KorvelWdmPairEntry, name) == 48);
static_assert(sizeof(KorvelWdmPairEntry::name) == 82);
static_assert(offsetof(KorvelWdmPairEntry, reserved0) == 130);
static_assert(offsetof(KorvelWdmPairEntry, midiDirection) == 132);
static_assert(offsetof(KorvelWdmPairEntry, entryIndex) == 136);
static_assert(offsetof(KorvelWdmPairEntry, analogWord140) == 140);
static_assert(offsetof(KorvelWdmPairEntry, reserved1) == 144);

struct KorvelWdmPairTable
{
    uint32_t captureCount; // 0 to KORVEL_WDM_MAX_ENTRIES
    KorvelWdmPairEntry capture[KORVEL_WDM_MAX_ENTRIES];
    uint32_t renderCount; // 0 to KORVEL_WDM_MAX_ENTRIES
    KorvelWdmPairEntry render[KORVEL_WDM_MAX_ENTRIES];
};
static_assert(sizeof(KorvelWdmPairTable) == 9480);
static_assert(offsetof(KorvelWdmPairTable, captureCount) == 0);
static_assert(offsetof(KorvelWdmPairTable, capture) == 4);
static_assert(offsetof(KorvelWdmPairTable, renderCount) == 4740);
static_assert(offsetof(KorvelWdmPairTable, render) == 4744);
