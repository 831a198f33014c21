#include "WdmTableBuilder.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace {

// Items in use of one function entry: both arrays.
bool HasKind2Item(const KorvelAudioFunction& function)
{
    for (uint32_t i = 0; i < KORVEL_AUDIO_FUNCTION_ITEMS; ++i) {
        if (function.items1[i].kind == KORVEL_AUDIO_FUNCTION_KIND_2 ||
            function.items2[i].kind == KORVEL_AUDIO_FUNCTION_KIND_2) {
            return true;
        }
    }
    return false;
}

// Names are bounded by the field (terminator included); all names made here
// are far shorter.
template <class... Args>
void FormatName(wchar_t (&name)[KORVEL_WDM_NAME_CHARS], const wchar_t* format, Args... args)
{
    std::swprintf(name, KORVEL_WDM_NAME_CHARS, format, args...);
}

} // namespace

bool WdmTableBuilder::HasKind2Function(const KorvelAudioFunctions& functions)
{
    const uint32_t count = std::min(functions.count, KORVEL_MAX_AUDIO_FUNCTIONS);
    for (uint32_t i = 0; i < count; ++i) {
        if (HasKind2Item(functions.entries[i])) {
            return true;
        }
    }
    return false;
}

void WdmTableBuilder::AddChannel(uint32_t& count,
                                 KorvelWdmChannelEntry (&list)[KORVEL_WDM_MAX_ENTRIES],
                                 uint32_t type, uint32_t channel, const wchar_t* format)
{
    if (count >= KORVEL_WDM_MAX_ENTRIES) {
        return;
    }
    KorvelWdmChannelEntry& entry = list[count++];
    entry.type = type;
    entry.pair = channel / 2;
    entry.side = channel % 2 == 0 ? KORVEL_WDM_SIDE_LEFT : KORVEL_WDM_SIDE_RIGHT;
    FormatName(entry.name, format, channel + 1);
}

void WdmTableBuilder::AddChannels(uint32_t& count,
                                  KorvelWdmChannelEntry (&list)[KORVEL_WDM_MAX_ENTRIES],
                                  uint32_t type, uint32_t channels, const wchar_t* format)
{
    for (uint32_t i = 0; i < channels; ++i) {
        AddChannel(count, list, type, i, format);
    }
}

void WdmTableBuilder::BuildChannelTable(KorvelWdmChannelTable& table, bool renderKind2,
                                        bool captureKind2)
{
    std::memset(&table, 0, sizeof(table));
    if (!renderKind2) {
        AddChannels(table.renderCount, table.render, KORVEL_WDM_TYPE_ANALOG, 16, L"quillo Out %u");
    }
    AddChannels(table.renderCount, table.render, KORVEL_WDM_TYPE_SPDIF, 2, L"quillo SPDIF %u");
    if (!captureKind2) {
        AddChannels(table.captureCount, table.capture, KORVEL_WDM_TYPE_ANALOG, 16,
                    L"quillo Analog In %u");
    }
    AddChannels(table.captureCount, table.capture, KORVEL_WDM_TYPE_SPDIF, 2, L"quillo SPDIF In %u");
    AddChannels(table.captureCount, table.capture, KORVEL_WDM_TYPE_VIRTUAL, 4,
                L"quillo Virtual In %u");
}

KorvelWdmPairEntry* WdmTableBuilder::AddPair(uint32_t& count,
                                             KorvelWdmPairEntry (&list)[KORVEL_WDM_MAX_ENTRIES],
                                             uint32_t type, uint32_t pair, uint32_t connection)
{
    if (count >= KORVEL_WDM_MAX_ENTRIES) {
        return nullptr;
    }
    KorvelWdmPairEntry& entry = list[count];
    entry.type = type;
    entry.pairCount = 1;
    entry.pairNumbers[0] = pair;
    entry.connection = connection;
    entry.entryIndex = count;
    if (type == KORVEL_WDM_TYPE_ANALOG) {
        entry.analogWord44 = KORVEL_WDM_ANALOG_WORD44;
        entry.analogWord140 = KORVEL_WDM_ANALOG_WORD140;
    }
    ++count;
    return &entry;
}

void WdmTableBuilder::AddStereoPairs(uint32_t& count,
                                     KorvelWdmPairEntry (&list)[KORVEL_WDM_MAX_ENTRIES],
                                     uint32_t type, uint32_t pairs, uint32_t connection,
                                     const wchar_t* format)
{
    for (uint32_t j = 0; j < pairs; ++j) {
        if (KorvelWdmPairEntry* entry = AddPair(count, list, type, j, connection)) {
            FormatName(entry->name, format, 2 * j + 1, 2 * j + 2);
        }
    }
}

void WdmTableBuilder::AddMidiPort(uint32_t& count,
                                  KorvelWdmPairEntry (&list)[KORVEL_WDM_MAX_ENTRIES],
                                  int32_t direction, const wchar_t* name)
{
    if (KorvelWdmPairEntry* entry =
            AddPair(count, list, KORVEL_WDM_TYPE_MIDI, 0, KORVEL_WDM_CONNECTION_MIDI)) {
        entry->midiDirection = direction;
        FormatName(entry->name, L"%ls", name);
    }
}

void WdmTableBuilder::BuildPairTable(KorvelWdmPairTable& table, uint32_t renderConfiguration,
                                     uint32_t captureConfiguration)
{
    std::memset(&table, 0, sizeof(table));
    if (renderConfiguration == 0) {
        AddStereoPairs(table.renderCount, table.render, KORVEL_WDM_TYPE_ANALOG, 8,
                       KORVEL_WDM_CONNECTION_DEFAULT, L"quillo Out %u/%u");
    }
    AddStereoPairs(table.renderCount, table.render, KORVEL_WDM_TYPE_SPDIF, 1,
                   KORVEL_WDM_CONNECTION_SPDIF_OUT, L"quillo SPDIF %u/%u");
    if (captureConfiguration == 0) {
        AddStereoPairs(table.captureCount, table.capture, KORVEL_WDM_TYPE_ANALOG, 8,
                       KORVEL_WDM_CONNECTION_DEFAULT, L"quillo Analog In %u/%u");
    }
    AddStereoPairs(table.captureCount, table.capture, KORVEL_WDM_TYPE_SPDIF, 1,
                   KORVEL_WDM_CONNECTION_DEFAULT, L"quillo SPDIF In %u/%u");
    AddStereoPairs(table.captureCount, table.capture, KORVEL_WDM_TYPE_VIRTUAL, 2,
                   KORVEL_WDM_CONNECTION_DEFAULT, L"quillo Virtual In %u/%u");
    AddMidiPort(table.renderCount, table.render, KORVEL_WDM_MIDI_OUT, L"quillo Midi Out");
    AddMidiPort(table.captureCount, table.capture, KORVEL_WDM_MIDI_IN, L"quillo Midi In");
}
