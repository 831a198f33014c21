#pragma once
// The mixer of one simulated device: three pin sets, the output gains, the
// crosspoint weights between every output pin and every input pin, and the
// levels the panel's meters read.
//
// Pin sets: 0 the mixer outputs (analog outs type 0, SPDIF outs type 1,
// virtual inputs of the host type 5); 1 the hardware inputs (analog ins type
// 0, SPDIF ins type 1 while the SPDIF input is present); 2 the host's playback
// channels (type 2 for the analog outputs, type 3 for the SPDIF outputs).
// Input pins of sets 1 and 2 never share a type, so a (type, channel) pair
// names an input pin uniquely for weights and levels.
//
// Input levels are set from outside: through control, or measured by the
// ASIO streams (SimLevelMeter: the host's playback channels, the test signal
// on the hardware inputs); an output
// level is computed from what reaches it: the sum of the connected inputs'
// amplitudes, each attenuated by its crosspoint weight, then the output gain,
// limited to full scale. A muted output reads the floor.
#include "KorvelMixerRecords.h"
#include "SimRequest.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class SimMixer
{
public:
    static constexpr int16_t LEVEL_FLOOR = -14400;  // silence, hundredths of a dB
    static constexpr uint32_t MAX_PIN_ENTRIES = 64; // level and gain arrays
    static constexpr uint32_t MAX_WEIGHT_ENTRIES = 2048;
    // The gains and weights the mixer takes, hundredths of a dB: the range
    // the service clamps its gains to; anything beyond is refused.
    static constexpr int16_t VALUE_MIN = KORVEL_MIXER_SERVICE_GAIN_MIN;
    static constexpr int16_t VALUE_MAX = KORVEL_MIXER_SERVICE_GAIN_MAX;

    struct Layout
    {
        uint32_t analogIn = 16;
        uint32_t analogOut = 16;
        uint32_t spdif = 2;
        uint32_t virtualIn = 4;
        bool spdifInputPresent = true;
    };

    struct Gain
    {
        int16_t gain = 0;
        uint8_t flags = 0;
    };

    struct Weight
    {
        int16_t weight = 0;
        uint8_t flags = 0;
    };

    explicit SimMixer(const Layout& layout);

    // Rebuilds the pin sets for a new layout; values of pins that remain are kept.
    void SetLayout(const Layout& layout);
    const Layout& GetLayout() const { return m_layout; }
    const std::vector<KorvelMixerPin>& Pins(uint32_t set) const { return m_pins[set]; }

    void SetBypass(bool bypass, bool bypassMute);

    // Request handlers; each returns the request's status. The set handlers
    // validate the whole array before they change anything.
    uint32_t GetPins(SimRequest& r) const;
    uint32_t GetInputLevels(SimRequest& r) const;
    uint32_t GetOutputLevels(SimRequest& r) const;
    uint32_t GetGains(SimRequest& r) const;
    uint32_t SetGains(SimRequest& r);
    uint32_t GetWeights(SimRequest& r) const;
    uint32_t SetWeights(SimRequest& r);

    // Direct access for the control protocol; false for an unknown pin.
    bool SetInputLevel(KorvelMixerPin pin, int16_t level);
    bool SetGain(KorvelMixerPin pin, int16_t gain, bool muted);
    bool SetWeight(KorvelMixerPin output, KorvelMixerPin input, int16_t weight, bool connected);

    int16_t InputLevel(KorvelMixerPin pin) const;
    int16_t OutputLevel(KorvelMixerPin pin) const;
    Gain GainOf(KorvelMixerPin pin) const;
    Weight WeightOf(KorvelMixerPin output, KorvelMixerPin input) const;

    // "prefix.gain.<type>.<ch>=…" lines: every output gain, every weight that
    // is connected or not 0 dB, every input level above the floor.
    void Dump(const std::string& prefix, std::vector<std::string>& lines) const;

    static uint16_t PinId(KorvelMixerPin pin)
    {
        return static_cast<uint16_t>(pin.type << 8 | pin.channel);
    }
    static KorvelMixerPin MakePin(uint8_t type, uint8_t channel)
    {
        return KorvelMixerPin{type, channel, {0, 0}};
    }

private:
    bool IsOutputPin(KorvelMixerPin pin) const;
    bool IsInputPin(KorvelMixerPin pin) const;
    // An array entry's status (reserved bytes, range when set, pin).
    uint32_t CheckLevel(const KorvelMixerLevel& e, bool input) const;
    uint32_t CheckGain(const KorvelMixerGain& e, bool set) const;
    uint32_t CheckWeight(const KorvelMixerWeight& e, bool set) const;
    bool IsCrosspoint(const KorvelMixerWeight& entry) const;
    void BuildPins();
    void ConnectDefaultRoutes();
    static uint32_t WeightId(KorvelMixerPin output, KorvelMixerPin input)
    {
        return static_cast<uint32_t>(PinId(output)) << 16 | PinId(input);
    }

    Layout m_layout;
    std::vector<KorvelMixerPin> m_pins[3];
    std::map<uint16_t, Gain> m_gains;
    std::map<uint32_t, Weight> m_weights;
    std::map<uint16_t, int16_t> m_inputLevels;
    bool m_bypass = false;
    bool m_bypassMute = false;
};
