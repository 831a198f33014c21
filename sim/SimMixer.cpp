#include "SimMixer.h"

#include "KorvelStatus.h"
#include "SimRequestIo.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

std::string PinText(KorvelMixerPin pin)
{
    return std::to_string(pin.type) + "." + std::to_string(pin.channel);
}

bool Clean(KorvelMixerPin pin)
{
    return pin.reserved[0] == 0 && pin.reserved[1] == 0;
}

bool InRange(int16_t value)
{
    return value >= SimMixer::VALUE_MIN && value <= SimMixer::VALUE_MAX;
}

// Checks every entry of a request's array first, so that a partly bad array
// changes nothing, then answers each entry in place. `valid` gives an
// entry's status: reserved bytes that are not zero or a value out of range
// are KORVEL_STATUS_INVALID_PARAMETER, a pin the mixer does not have
// KORVEL_STATUS_OBJECT_NOT_FOUND.
template <class Entry, class Valid, class Answer>
uint32_t AnswerArray(SimRequest& r, uint32_t maxEntries, Valid valid, Answer answer)
{
    uint32_t count = 0;
    uint32_t status = SimRequestIo::CheckArray(r, sizeof(Entry), maxEntries, true, count);
    for (uint32_t i = 0; status == KORVEL_STATUS_SUCCESS && i < count; ++i) {
        status = valid(SimRequestIo::ReadIn<Entry>(r, i));
    }
    for (uint32_t i = 0; status == KORVEL_STATUS_SUCCESS && i < count; ++i) {
        auto entry = SimRequestIo::ReadIn<Entry>(r, i);
        answer(entry);
        SimRequestIo::WriteOut(r, entry, i);
    }
    return status;
}

} // namespace

SimMixer::SimMixer(const Layout& layout) : m_layout(layout)
{
    BuildPins();
    for (KorvelMixerPin pin : m_pins[KORVEL_MIXER_PINSET_OUTPUT]) {
        m_gains[PinId(pin)] = Gain{};
    }
    ConnectDefaultRoutes();
}

void SimMixer::SetLayout(const Layout& layout)
{
    m_layout = layout;
    BuildPins();
    for (KorvelMixerPin pin : m_pins[KORVEL_MIXER_PINSET_OUTPUT]) {
        m_gains.try_emplace(PinId(pin));
    }
}

void SimMixer::SetBypass(bool bypass, bool bypassMute)
{
    m_bypass = bypass;
    m_bypassMute = bypassMute;
}

void SimMixer::BuildPins()
{
    for (auto& set : m_pins) {
        set.clear();
    }
    auto add = [this](uint32_t set, uint8_t type, uint32_t count) {
        for (uint32_t c = 0; c < count; ++c) {
            m_pins[set].push_back(MakePin(type, static_cast<uint8_t>(c)));
        }
    };
    add(KORVEL_MIXER_PINSET_OUTPUT, KORVEL_MIXER_PIN_ANALOG, m_layout.analogOut);
    add(KORVEL_MIXER_PINSET_OUTPUT, KORVEL_MIXER_PIN_SPDIF, m_layout.spdif);
    add(KORVEL_MIXER_PINSET_OUTPUT, KORVEL_MIXER_PIN_VIRTUAL, m_layout.virtualIn);
    add(KORVEL_MIXER_PINSET_HARDWARE_INPUT, KORVEL_MIXER_PIN_ANALOG, m_layout.analogIn);
    if (m_layout.spdifInputPresent) {
        add(KORVEL_MIXER_PINSET_HARDWARE_INPUT, KORVEL_MIXER_PIN_SPDIF, m_layout.spdif);
    }
    add(KORVEL_MIXER_PINSET_SOFTWARE_OUTPUT, KORVEL_MIXER_PIN_OUT, m_layout.analogOut);
    add(KORVEL_MIXER_PINSET_SOFTWARE_OUTPUT, KORVEL_MIXER_PIN_SPDIF_OUT, m_layout.spdif);
}

// Out of the box every playback channel reaches the hardware output of the
// same number at 0 dB, as a freshly powered device routes them.
void SimMixer::ConnectDefaultRoutes()
{
    for (uint32_t c = 0; c < m_layout.analogOut; ++c) {
        auto ch = static_cast<uint8_t>(c);
        m_weights[WeightId(MakePin(KORVEL_MIXER_PIN_ANALOG, ch),
                           MakePin(KORVEL_MIXER_PIN_OUT, ch))] =
            Weight{0, KORVEL_MIXER_WEIGHT_FLAG_CONNECTED};
    }
    for (uint32_t c = 0; c < m_layout.spdif; ++c) {
        auto ch = static_cast<uint8_t>(c);
        m_weights[WeightId(MakePin(KORVEL_MIXER_PIN_SPDIF, ch),
                           MakePin(KORVEL_MIXER_PIN_SPDIF_OUT, ch))] =
            Weight{0, KORVEL_MIXER_WEIGHT_FLAG_CONNECTED};
    }
}

bool SimMixer::IsOutputPin(KorvelMixerPin pin) const
{
    const auto& set = m_pins[KORVEL_MIXER_PINSET_OUTPUT];
    return std::any_of(set.begin(), set.end(),
                       [&](KorvelMixerPin p) { return PinId(p) == PinId(pin); });
}

bool SimMixer::IsInputPin(KorvelMixerPin pin) const
{
    for (uint32_t s : {KORVEL_MIXER_PINSET_HARDWARE_INPUT, KORVEL_MIXER_PINSET_SOFTWARE_OUTPUT}) {
        const auto& set = m_pins[s];
        if (std::any_of(set.begin(), set.end(),
                        [&](KorvelMixerPin p) { return PinId(p) == PinId(pin); })) {
            return true;
        }
    }
    return false;
}

uint32_t SimMixer::GetPins(SimRequest& r) const
{
    uint32_t status = SimRequestIo::CheckFixed(r, sizeof(uint32_t), 0);
    if (status != KORVEL_STATUS_SUCCESS) {
        return status;
    }
    auto selector = SimRequestIo::ReadIn<uint32_t>(r);
    if (selector > KORVEL_MIXER_PINSET_SOFTWARE_OUTPUT) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    const auto& pins = m_pins[selector];
    if (r.outCapacity < pins.size() * sizeof(KorvelMixerPin)) {
        return KORVEL_STATUS_INVALID_OUTBUFFER_SIZE;
    }
    for (size_t i = 0; i < pins.size(); ++i) {
        SimRequestIo::WriteOut(r, pins[i], static_cast<uint32_t>(i));
    }
    return KORVEL_STATUS_SUCCESS;
}

uint32_t SimMixer::CheckLevel(const KorvelMixerLevel& e, bool input) const
{
    if (!Clean(e.pin) || e.reserved != 0) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    return (input ? IsInputPin(e.pin) : IsOutputPin(e.pin)) ? KORVEL_STATUS_SUCCESS
                                                            : KORVEL_STATUS_OBJECT_NOT_FOUND;
}

uint32_t SimMixer::CheckGain(const KorvelMixerGain& e, bool set) const
{
    if (!Clean(e.pin) || e.reserved != 0 || (set && !InRange(e.gain))) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    return IsOutputPin(e.pin) ? KORVEL_STATUS_SUCCESS : KORVEL_STATUS_OBJECT_NOT_FOUND;
}

uint32_t SimMixer::CheckWeight(const KorvelMixerWeight& e, bool set) const
{
    if (!Clean(e.output) || !Clean(e.input) || e.reserved != 0 || (set && !InRange(e.weight))) {
        return KORVEL_STATUS_INVALID_PARAMETER;
    }
    return IsCrosspoint(e) ? KORVEL_STATUS_SUCCESS : KORVEL_STATUS_OBJECT_NOT_FOUND;
}

uint32_t SimMixer::GetInputLevels(SimRequest& r) const
{
    return AnswerArray<KorvelMixerLevel>(
        r, MAX_PIN_ENTRIES, [this](const KorvelMixerLevel& e) { return CheckLevel(e, true); },
        [this](KorvelMixerLevel& e) { e.level = InputLevel(e.pin); });
}

uint32_t SimMixer::GetOutputLevels(SimRequest& r) const
{
    return AnswerArray<KorvelMixerLevel>(
        r, MAX_PIN_ENTRIES, [this](const KorvelMixerLevel& e) { return CheckLevel(e, false); },
        [this](KorvelMixerLevel& e) { e.level = OutputLevel(e.pin); });
}

uint32_t SimMixer::GetGains(SimRequest& r) const
{
    return AnswerArray<KorvelMixerGain>(
        r, MAX_PIN_ENTRIES, [this](const KorvelMixerGain& e) { return CheckGain(e, false); },
        [this](KorvelMixerGain& e) {
            Gain gain = GainOf(e.pin);
            e.gain = gain.gain;
            e.flags = gain.flags;
        });
}

uint32_t SimMixer::SetGains(SimRequest& r)
{
    return AnswerArray<KorvelMixerGain>(
        r, MAX_PIN_ENTRIES, [this](const KorvelMixerGain& e) { return CheckGain(e, true); },
        [this](KorvelMixerGain& e) {
            // Only the mute bit means something; other bits are not kept.
            e.flags &= KORVEL_MIXER_GAIN_FLAG_MUTED;
            m_gains[PinId(e.pin)] = Gain{e.gain, e.flags};
        });
}

uint32_t SimMixer::GetWeights(SimRequest& r) const
{
    return AnswerArray<KorvelMixerWeight>(
        r, MAX_WEIGHT_ENTRIES, [this](const KorvelMixerWeight& e) { return CheckWeight(e, false); },
        [this](KorvelMixerWeight& e) {
            Weight weight = WeightOf(e.output, e.input);
            e.weight = weight.weight;
            e.flags = weight.flags;
        });
}

uint32_t SimMixer::SetWeights(SimRequest& r)
{
    return AnswerArray<KorvelMixerWeight>(
        r, MAX_WEIGHT_ENTRIES, [this](const KorvelMixerWeight& e) { return CheckWeight(e, true); },
        [this](KorvelMixerWeight& e) {
            e.flags &= KORVEL_MIXER_WEIGHT_FLAG_CONNECTED;
            m_weights[WeightId(e.output, e.input)] = Weight{e.weight, e.flags};
        });
}

bool SimMixer::IsCrosspoint(const KorvelMixerWeight& entry) const
{
    return IsOutputPin(entry.output) && IsInputPin(entry.input);
}

bool SimMixer::SetInputLevel(KorvelMixerPin pin, int16_t level)
{
    if (!IsInputPin(pin)) {
        return false;
    }
    m_inputLevels[PinId(pin)] = std::max(level, LEVEL_FLOOR);
    return true;
}

bool SimMixer::SetGain(KorvelMixerPin pin, int16_t gain, bool muted)
{
    if (!IsOutputPin(pin)) {
        return false;
    }
    m_gains[PinId(pin)] = Gain{gain, muted ? KORVEL_MIXER_GAIN_FLAG_MUTED : uint8_t{0}};
    return true;
}

bool SimMixer::SetWeight(KorvelMixerPin output, KorvelMixerPin input, int16_t weight,
                         bool connected)
{
    if (!IsOutputPin(output) || !IsInputPin(input)) {
        return false;
    }
    m_weights[WeightId(output, input)] =
        Weight{weight, connected ? KORVEL_MIXER_WEIGHT_FLAG_CONNECTED : uint8_t{0}};
    return true;
}

int16_t SimMixer::InputLevel(KorvelMixerPin pin) const
{
    auto found = m_inputLevels.find(PinId(pin));
    return found == m_inputLevels.end() ? LEVEL_FLOOR : found->second;
}

SimMixer::Gain SimMixer::GainOf(KorvelMixerPin pin) const
{
    auto found = m_gains.find(PinId(pin));
    return found == m_gains.end() ? Gain{} : found->second;
}

SimMixer::Weight SimMixer::WeightOf(KorvelMixerPin output, KorvelMixerPin input) const
{
    auto found = m_weights.find(WeightId(output, input));
    return found == m_weights.end() ? Weight{} : found->second;
}

int16_t SimMixer::OutputLevel(KorvelMixerPin pin) const
{
    Gain gain = GainOf(pin);
    bool muted = m_bypass ? m_bypassMute : (gain.flags & KORVEL_MIXER_GAIN_FLAG_MUTED) != 0;
    int gainCentiDb = m_bypass ? 0 : gain.gain;
    if (muted) {
        return LEVEL_FLOOR;
    }
    double amplitude = 0.0;
    for (uint32_t s : {KORVEL_MIXER_PINSET_HARDWARE_INPUT, KORVEL_MIXER_PINSET_SOFTWARE_OUTPUT}) {
        for (KorvelMixerPin input : m_pins[s]) {
            Weight weight = WeightOf(pin, input);
            int16_t level = InputLevel(input);
            if ((weight.flags & KORVEL_MIXER_WEIGHT_FLAG_CONNECTED) != 0 && level > LEVEL_FLOOR) {
                amplitude += std::pow(10.0, (level + weight.weight) / 2000.0);
            }
        }
    }
    if (amplitude <= 0.0) {
        return LEVEL_FLOOR;
    }
    double centiDb = 2000.0 * std::log10(amplitude) + gainCentiDb;
    centiDb = std::clamp(centiDb, static_cast<double>(LEVEL_FLOOR), 0.0);
    return static_cast<int16_t>(std::lround(centiDb));
}

void SimMixer::Dump(const std::string& prefix, std::vector<std::string>& lines) const
{
    for (uint32_t s = 0; s < 3; ++s) {
        std::string pins;
        for (KorvelMixerPin pin : m_pins[s]) {
            pins += (pins.empty() ? "" : ",") + PinText(pin);
        }
        lines.push_back(prefix + "pins." + std::to_string(s) + "=" + pins);
    }
    for (KorvelMixerPin pin : m_pins[KORVEL_MIXER_PINSET_OUTPUT]) {
        Gain gain = GainOf(pin);
        lines.push_back(prefix + "gain." + PinText(pin) + "=" + std::to_string(gain.gain) +
                        " muted=" + std::to_string(gain.flags & KORVEL_MIXER_GAIN_FLAG_MUTED));
    }
    for (const auto& [id, weight] : m_weights) {
        if (weight.flags == 0 && weight.weight == 0) {
            continue;
        }
        char line[96];
        std::snprintf(line, sizeof(line), "weight.%u.%u.%u.%u=%d connected=%u", id >> 24,
                      (id >> 16) & 0xFF, (id >> 8) & 0xFF, id & 0xFF, weight.weight,
                      weight.flags & KORVEL_MIXER_WEIGHT_FLAG_CONNECTED);
        lines.push_back(prefix + line);
    }
    for (const auto& [id, level] : m_inputLevels) {
        if (level > LEVEL_FLOOR) {
            lines.push_back(prefix + "inputLevel." + std::to_string(id >> 8) + "." +
                            std::to_string(id & 0xFF) + "=" + std::to_string(level));
        }
    }
}
