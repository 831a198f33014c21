#include "SavedGainCodec.h"

#include <gtest/gtest.h>

#include <climits>

TEST(SavedGainCodec, ConvertsBetweenHundredthsAndFixedPoint)
{
    EXPECT_EQ(SavedGainCodec::ToSaved(-600), -393216);
    EXPECT_EQ(SavedGainCodec::FromSaved(-393216), -600);
    EXPECT_EQ(SavedGainCodec::ToSaved(0), 0);
    // Both directions truncate toward zero.
    EXPECT_EQ(SavedGainCodec::ToSaved(1), 655);
    EXPECT_EQ(SavedGainCodec::ToSaved(-1), -655);
    EXPECT_EQ(SavedGainCodec::FromSaved(-655), 0);
    EXPECT_EQ(SavedGainCodec::FromSaved(656), 1);
    EXPECT_EQ(SavedGainCodec::ToSaved(INT16_MAX), 21474181);
    EXPECT_EQ(SavedGainCodec::ToSaved(INT16_MIN), -21474836);
}

TEST(SavedGainCodec, ClampsBeforeNarrowing)
{
    EXPECT_EQ(SavedGainCodec::FromSaved(6553600), 9000);   // +100 dB
    EXPECT_EQ(SavedGainCodec::FromSaved(-6553600), -9000); // -100 dB
    EXPECT_EQ(SavedGainCodec::FromSaved(589824), 900);
    // Values whose low 16 bits would wrap to 0 or a positive gain.
    EXPECT_EQ(SavedGainCodec::FromSaved(INT32_MIN), -9000);
    EXPECT_EQ(SavedGainCodec::FromSaved(INT32_MAX), 9000);
    EXPECT_EQ(SavedGainCodec::FromSaved(-2147418112), -9000); // low bits: +1 dB
}

TEST(SavedGainCodec, GainQueryNamesThePairsChannels)
{
    KorvelWdmPairEntry analog{};
    analog.type = KORVEL_WDM_TYPE_ANALOG;
    analog.pairCount = 1;
    analog.pairNumbers[0] = 3;
    KorvelMixerGain gains[SavedGainCodec::MAX_GAIN_ENTRIES];
    ASSERT_EQ(SavedGainCodec::BuildGainQuery(analog, gains), 2u);
    EXPECT_EQ(gains[0].pin.type, KORVEL_MIXER_PIN_ANALOG);
    EXPECT_EQ(gains[0].pin.channel, 6);
    EXPECT_EQ(gains[1].pin.channel, 7);

    KorvelWdmPairEntry spdif{};
    spdif.type = KORVEL_WDM_TYPE_SPDIF;
    spdif.pairCount = 1;
    ASSERT_EQ(SavedGainCodec::BuildGainQuery(spdif, gains), 2u);
    EXPECT_EQ(gains[0].pin.type, KORVEL_MIXER_PIN_SPDIF);
    EXPECT_EQ(gains[0].pin.channel, 0);
    EXPECT_EQ(gains[1].pin.channel, 1);

    // A pair count beyond the entry's slots is cut to them.
    spdif.pairCount = 1000;
    EXPECT_EQ(SavedGainCodec::BuildGainQuery(spdif, gains), SavedGainCodec::MAX_GAIN_ENTRIES);
}

TEST(SavedGainCodec, SavedRecordCarriesGainsAndMuteBits)
{
    KorvelMixerGain gains[2] = {};
    gains[0].gain = -600;
    gains[0].flags = 0x03; // only bit 0 is the mute flag
    gains[1].gain = 250;
    KorvelSavedVolume saved = SavedGainCodec::ToSavedVolume(4, gains, 2);
    EXPECT_EQ(saved.kind, 2u);
    EXPECT_EQ(saved.pairIndex, 4u);
    EXPECT_EQ(saved.gains[0], -393216);
    EXPECT_EQ(saved.mutes[0], 1u);
    EXPECT_EQ(saved.gains[1], 163840);
    EXPECT_EQ(saved.mutes[1], 0u);
    EXPECT_EQ(saved.gains[2], 0);

    KorvelMixerGain restored[2] = {};
    saved.mutes[1] = 0xFFFFFFFEu;
    SavedGainCodec::FromSavedVolume(saved, restored, 2);
    EXPECT_EQ(restored[0].gain, -600);
    EXPECT_EQ(restored[0].flags, 1);
    EXPECT_EQ(restored[1].gain, 250);
    EXPECT_EQ(restored[1].flags, 0);
}
