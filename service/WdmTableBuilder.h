#pragma once
// Builds the two WDM endpoint tables that name a device's sound endpoints and
// MIDI ports: the channel table (every mono channel) and the pair table
// (stereo endpoints and the MIDI ports). Both tables are zero-filled first;
// each list holds at most 32 entries and every further entry is skipped.
#include "KorvelServiceRecords.h"
#include "KorvelWdmRecords.h"

#include <cstdint>

class WdmTableBuilder
{
public:
    // True when any item of the reported functions (the first count entries,
    // count cut to the record's capacity) has kind 2.
    static bool HasKind2Function(const KorvelAudioFunctions& functions);

    // Analog render channels are listed unless `renderKind2`, analog capture
    // channels unless `captureKind2` (the answers of the two audio-function
    // checks made before each analog block).
    static void BuildChannelTable(KorvelWdmChannelTable& table, bool renderKind2,
                                  bool captureKind2);

    // Analog output pairs are listed only for a render configuration of 0,
    // analog input pairs only for a capture configuration of 0.
    static void BuildPairTable(KorvelWdmPairTable& table, uint32_t renderConfiguration,
                               uint32_t captureConfiguration);

private:
    static void AddChannel(uint32_t& count, KorvelWdmChannelEntry (&list)[KORVEL_WDM_MAX_ENTRIES],
                           uint32_t type, uint32_t channel, const wchar_t* format);
    static void AddChannels(uint32_t& count, KorvelWdmChannelEntry (&list)[KORVEL_WDM_MAX_ENTRIES],
                            uint32_t type, uint32_t channels, const wchar_t* format);
    // Appends a pair entry and returns it for the caller's further fields,
    // or null when the list is full.
    static KorvelWdmPairEntry* AddPair(uint32_t& count,
                                       KorvelWdmPairEntry (&list)[KORVEL_WDM_MAX_ENTRIES],
                                       uint32_t type, uint32_t pair, uint32_t connection);
    static void AddStereoPairs(uint32_t& count, KorvelWdmPairEntry (&list)[KORVEL_WDM_MAX_ENTRIES],
                               uint32_t type, uint32_t pairs, uint32_t connection,
                               const wchar_t* format);
    static void AddMidiPort(uint32_t& count, KorvelWdmPairEntry (&list)[KORVEL_WDM_MAX_ENTRIES],
                            int32_t direction, const wchar_t* name);
};
