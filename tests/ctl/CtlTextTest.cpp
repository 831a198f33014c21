// The numbers a user types: dB values read strictly (a typo is a usage
// error, never a value nobody meant) and shown back in one form.
#include "CtlText.h"

#include <gtest/gtest.h>

namespace {

TEST(CtlTextTest, DbValuesAreReadStrictly)
{
    const struct
    {
        const char* text;
        bool valid;
        int16_t value;
    } cases[] = {
        {"0", true, 0},          {"-3", true, -300},      {"+6", true, 600},
        {"-3.5", true, -350},    {"-0.05", true, -5},     {"12.25", true, 1225},
        {"90", true, 9000},      {"-90.00", true, -9000}, {"90.01", false, 0},
        {"-1000", false, 0},     {"1.234", false, 0},     {"1.", false, 0},
        {".5", false, 0},        {"", false, 0},          {"-", false, 0},
        {"3dB", false, 0},       {" 3", false, 0},        {"99999999999999999999", false, 0},
    };
    for (const auto& entry : cases) {
        int16_t value = 0;
        EXPECT_EQ(CtlText::ParseDb(entry.text, -9000, 9000, value), entry.valid) << entry.text;
        if (entry.valid) {
            EXPECT_EQ(value, entry.value) << entry.text;
        }
    }
}

TEST(CtlTextTest, NumbersAndTextsRoundTrip)
{
    EXPECT_EQ(CtlText::Db(-350), "-3.50");
    EXPECT_EQ(CtlText::Db(-5), "-0.05");
    EXPECT_EQ(CtlText::Db(600), "6.00");
    uint32_t value = 0;
    EXPECT_TRUE(CtlText::ParseU32("4294967295", value));
    EXPECT_EQ(value, 4294967295u);
    EXPECT_FALSE(CtlText::ParseU32("4294967296", value));
    EXPECT_FALSE(CtlText::ParseU32("-1", value));
    EXPECT_EQ(CtlText::Utf8(CtlText::Wide("Grüße")), "Grüße");
    EXPECT_EQ(CtlText::StatusName(0xE0000090), "KORVEL_STATUS_SOUND_DEVICE_IN_USE");
    EXPECT_EQ(CtlText::StatusName(2), "WIN32_ERROR_2");
}

} // namespace
