// The WDM tables as the kernel driver receives them: checked at the byte
// offsets of the record, not through the builder's own structure names.
#include "WdmTableBuilder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr size_t CHANNEL_CAPTURE = 4;
constexpr size_t CHANNEL_RENDER_COUNT = 3076;
constexpr size_t CHANNEL_RENDER = 3080;
constexpr size_t CHANNEL_ENTRY = 96;
constexpr size_t PAIR_CAPTURE = 4;
constexpr size_t PAIR_RENDER_COUNT = 4740;
constexpr size_t PAIR_RENDER = 4744;
constexpr size_t PAIR_ENTRY = 148;

uint32_t U32(const void* base, size_t offset)
{
    uint32_t value = 0;
    std::memcpy(&value, static_cast<const uint8_t*>(base) + offset, 4);
    return value;
}

// The name field as text; also checks that it is terminated and zero after.
std::wstring Name(const void* base, size_t offset)
{
    const uint8_t* field = static_cast<const uint8_t*>(base) + offset;
    std::wstring text;
    size_t i = 0;
    for (; i < 41; ++i) {
        wchar_t c = static_cast<wchar_t>(field[2 * i] | (field[2 * i + 1] << 8));
        if (c == 0) {
            break;
        }
        text += c;
    }
    EXPECT_LT(i, 41u) << "name not terminated";
    for (size_t b = 2 * i; b < 84; ++b) {
        EXPECT_EQ(field[b], 0) << "byte " << b << " after the name of "
                               << std::string(text.begin(), text.end());
    }
    return text;
}

struct Channel
{
    uint32_t type, pair, side;
    std::wstring name;
};

Channel ChannelAt(const KorvelWdmChannelTable& table, size_t list, size_t index)
{
    size_t at = list + index * CHANNEL_ENTRY;
    return {U32(&table, at), U32(&table, at + 4), U32(&table, at + 8), Name(&table, at + 12)};
}

void ExpectChannel(const KorvelWdmChannelTable& t, size_t list, size_t index, uint32_t type,
                   uint32_t pair, uint32_t side, const wchar_t* name)
{
    Channel c = ChannelAt(t, list, index);
    EXPECT_EQ(c.type, type) << index;
    EXPECT_EQ(c.pair, pair) << index;
    EXPECT_EQ(c.side, side) << index;
    EXPECT_EQ(c.name, name) << index;
}

// Everything from `from` to `to` is zero (unused entries).
void ExpectZero(const void* base, size_t from, size_t to)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(base);
    for (size_t i = from; i < to; ++i) {
        ASSERT_EQ(bytes[i], 0) << "offset " << i;
    }
}

struct Pair
{
    uint32_t type, pairCount, pair, connection, word44;
    std::wstring name;
    uint32_t midi, index, word140, tail;
};

Pair PairAt(const KorvelWdmPairTable& table, size_t list, size_t index)
{
    size_t at = list + index * PAIR_ENTRY;
    for (size_t slot = 1; slot < 8; ++slot) {
        EXPECT_EQ(U32(&table, at + 8 + 4 * slot), 0u) << "pair slot " << slot;
    }
    return {U32(&table, at),       U32(&table, at + 4),   U32(&table, at + 8),
            U32(&table, at + 40),  U32(&table, at + 44),  Name(&table, at + 48),
            U32(&table, at + 132), U32(&table, at + 136), U32(&table, at + 140),
            U32(&table, at + 144)};
}

void ExpectPair(const KorvelWdmPairTable& t, size_t list, size_t index, uint32_t type,
                uint32_t pair, uint32_t connection, const wchar_t* name, uint32_t midi = 0)
{
    Pair p = PairAt(t, list, index);
    const bool analog = type == 1;
    EXPECT_EQ(p.type, type) << index;
    EXPECT_EQ(p.pairCount, 1u) << index;
    EXPECT_EQ(p.pair, pair) << index;
    EXPECT_EQ(p.connection, connection) << index;
    EXPECT_EQ(p.word44, analog ? 3u : 0u) << index;
    EXPECT_EQ(p.name, name) << index;
    EXPECT_EQ(p.midi, midi) << index;
    EXPECT_EQ(p.index, index) << index;
    EXPECT_EQ(p.word140, analog ? 0xFF800000u : 0u) << index;
    EXPECT_EQ(p.tail, 0u) << index;
}

std::unique_ptr<KorvelWdmChannelTable> Channels(bool renderKind2, bool captureKind2)
{
    auto table = std::make_unique<KorvelWdmChannelTable>();
    std::memset(table.get(), 0xA5, sizeof(*table)); // the builder must clear it
    WdmTableBuilder::BuildChannelTable(*table, renderKind2, captureKind2);
    return table;
}

std::unique_ptr<KorvelWdmPairTable> Pairs(uint32_t render, uint32_t capture)
{
    auto table = std::make_unique<KorvelWdmPairTable>();
    std::memset(table.get(), 0xA5, sizeof(*table));
    WdmTableBuilder::BuildPairTable(*table, render, capture);
    return table;
}

} // namespace

TEST(WdmTableBuilder, ChannelTableWithAllAnalogChannels)
{
    auto t = Channels(false, false);
    ASSERT_EQ(U32(t.get(), CHANNEL_RENDER_COUNT), 18u);
    ASSERT_EQ(U32(t.get(), 0), 22u);
    for (uint32_t i = 0; i < 16; ++i) {
        std::wstring out = L"quillo Out " + std::to_wstring(i + 1);
        ExpectChannel(*t, CHANNEL_RENDER, i, 1, i / 2, i % 2, out.c_str());
        std::wstring in = L"quillo Analog In " + std::to_wstring(i + 1);
        ExpectChannel(*t, CHANNEL_CAPTURE, i, 1, i / 2, i % 2, in.c_str());
    }
    ExpectChannel(*t, CHANNEL_RENDER, 16, 10, 0, 0, L"quillo SPDIF 1");
    ExpectChannel(*t, CHANNEL_RENDER, 17, 10, 0, 1, L"quillo SPDIF 2");
    ExpectChannel(*t, CHANNEL_CAPTURE, 16, 10, 0, 0, L"quillo SPDIF In 1");
    ExpectChannel(*t, CHANNEL_CAPTURE, 17, 10, 0, 1, L"quillo SPDIF In 2");
    ExpectChannel(*t, CHANNEL_CAPTURE, 18, 40, 0, 0, L"quillo Virtual In 1");
    ExpectChannel(*t, CHANNEL_CAPTURE, 21, 40, 1, 1, L"quillo Virtual In 4");
    ExpectZero(t.get(), CHANNEL_CAPTURE + 22 * CHANNEL_ENTRY, CHANNEL_RENDER_COUNT);
    ExpectZero(t.get(), CHANNEL_RENDER + 18 * CHANNEL_ENTRY, sizeof(KorvelWdmChannelTable));
}

TEST(WdmTableBuilder, Kind2FunctionLeavesOutTheAnalogChannels)
{
    auto t = Channels(true, true);
    ASSERT_EQ(U32(t.get(), CHANNEL_RENDER_COUNT), 2u);
    ExpectChannel(*t, CHANNEL_RENDER, 0, 10, 0, 0, L"quillo SPDIF 1");
    ExpectChannel(*t, CHANNEL_RENDER, 1, 10, 0, 1, L"quillo SPDIF 2");
    ASSERT_EQ(U32(t.get(), 0), 6u);
    ExpectChannel(*t, CHANNEL_CAPTURE, 0, 10, 0, 0, L"quillo SPDIF In 1");
    ExpectChannel(*t, CHANNEL_CAPTURE, 2, 40, 0, 0, L"quillo Virtual In 1");
    ExpectChannel(*t, CHANNEL_CAPTURE, 5, 40, 1, 1, L"quillo Virtual In 4");

    // The two checks are independent.
    auto mixed = Channels(true, false);
    EXPECT_EQ(U32(mixed.get(), CHANNEL_RENDER_COUNT), 2u);
    EXPECT_EQ(U32(mixed.get(), 0), 22u);
}

TEST(WdmTableBuilder, PairTableWithBothConfigurationsZero)
{
    auto t = Pairs(0, 0);
    ASSERT_EQ(U32(t.get(), PAIR_RENDER_COUNT), 10u);
    ASSERT_EQ(U32(t.get(), 0), 12u);
    for (uint32_t j = 0; j < 8; ++j) {
        std::wstring out =
            L"quillo Out " + std::to_wstring(2 * j + 1) + L"/" + std::to_wstring(2 * j + 2);
        ExpectPair(*t, PAIR_RENDER, j, 1, j, 0, out.c_str());
        std::wstring in =
            L"quillo Analog In " + std::to_wstring(2 * j + 1) + L"/" + std::to_wstring(2 * j + 2);
        ExpectPair(*t, PAIR_CAPTURE, j, 1, j, 0, in.c_str());
    }
    ExpectPair(*t, PAIR_RENDER, 8, 10, 0, 1, L"quillo SPDIF 1/2");
    ExpectPair(*t, PAIR_RENDER, 9, 20, 0, 2, L"quillo Midi Out", 1);
    ExpectPair(*t, PAIR_CAPTURE, 8, 10, 0, 0, L"quillo SPDIF In 1/2");
    ExpectPair(*t, PAIR_CAPTURE, 9, 40, 0, 0, L"quillo Virtual In 1/2");
    ExpectPair(*t, PAIR_CAPTURE, 10, 40, 1, 0, L"quillo Virtual In 3/4");
    ExpectPair(*t, PAIR_CAPTURE, 11, 20, 0, 2, L"quillo Midi In", 0xFFFFFFFFu);
    ExpectZero(t.get(), PAIR_CAPTURE + 12 * PAIR_ENTRY, PAIR_RENDER_COUNT);
    ExpectZero(t.get(), PAIR_RENDER + 10 * PAIR_ENTRY, sizeof(KorvelWdmPairTable));
}

TEST(WdmTableBuilder, NonZeroConfigurationsLeaveOutTheAnalogPairs)
{
    auto render = Pairs(1, 0);
    ASSERT_EQ(U32(render.get(), PAIR_RENDER_COUNT), 2u);
    ExpectPair(*render, PAIR_RENDER, 0, 10, 0, 1, L"quillo SPDIF 1/2");
    ExpectPair(*render, PAIR_RENDER, 1, 20, 0, 2, L"quillo Midi Out", 1);
    EXPECT_EQ(U32(render.get(), 0), 12u);

    auto capture = Pairs(0, 1);
    EXPECT_EQ(U32(capture.get(), PAIR_RENDER_COUNT), 10u);
    ASSERT_EQ(U32(capture.get(), 0), 4u);
    ExpectPair(*capture, PAIR_CAPTURE, 0, 10, 0, 0, L"quillo SPDIF In 1/2");
    ExpectPair(*capture, PAIR_CAPTURE, 1, 40, 0, 0, L"quillo Virtual In 1/2");
    ExpectPair(*capture, PAIR_CAPTURE, 2, 40, 1, 0, L"quillo Virtual In 3/4");
    ExpectPair(*capture, PAIR_CAPTURE, 3, 20, 0, 2, L"quillo Midi In", 0xFFFFFFFFu);
}

TEST(WdmTableBuilder, Kind2CheckReadsOnlyTheReportedFunctions)
{
    auto functions = std::make_unique<KorvelAudioFunctions>();
    std::memset(functions.get(), 0, sizeof(*functions));
    EXPECT_FALSE(WdmTableBuilder::HasKind2Function(*functions));

    functions->entries[1].items2[15].kind = 2; // last item of the second array
    EXPECT_FALSE(WdmTableBuilder::HasKind2Function(*functions)) << "count 0 lists nothing";
    functions->count = 2;
    EXPECT_TRUE(WdmTableBuilder::HasKind2Function(*functions));

    functions->entries[1].items2[15].kind = 3;
    functions->entries[0].items1[0].kind = 2;
    functions->count = 1;
    EXPECT_TRUE(WdmTableBuilder::HasKind2Function(*functions));

    // A count beyond the record is cut to its 12 entries, not trusted.
    functions->entries[0].items1[0].kind = 1;
    functions->count = 0xFFFFFFFFu;
    std::memset(functions->reserved, 2, sizeof(functions->reserved));
    EXPECT_FALSE(WdmTableBuilder::HasKind2Function(*functions));
}
