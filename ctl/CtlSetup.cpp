#include "CtlSetup.h"

#include "CtlDriverState.h"
#include "KorvelRecords.h"

#include <cmath>

using nlohmann::json;

namespace {

// Reads the fields of one JSON object, naming the field of the first problem.
class FieldReader
{
public:
    FieldReader(const json& object, std::string where, std::string& error)
        : m_object(object), m_where(std::move(where)), m_error(error)
    {
    }

    const json* Find(const char* key, bool required = true)
    {
        if (!m_object.is_object()) {
            Fail("", "is not an object");
            return nullptr;
        }
        const auto it = m_object.find(key);
        if (it == m_object.end()) {
            if (required) {
                Fail(key, "is missing");
            }
            return nullptr;
        }
        return &*it;
    }

    bool String(const char* key, std::string& value)
    {
        const json* field = Find(key);
        if (field == nullptr || !field->is_string()) {
            return field != nullptr && Fail(key, "must be a string");
        }
        value = field->get<std::string>();
        return true;
    }

    bool Bool(const char* key, bool& value)
    {
        const json* field = Find(key);
        if (field == nullptr || !field->is_boolean()) {
            return field != nullptr && Fail(key, "must be true or false");
        }
        value = field->get<bool>();
        return true;
    }

    // true, false or null (not saved).
    bool OptionalBool(const char* key, std::optional<bool>& value)
    {
        const json* field = Find(key, false);
        if (field == nullptr || field->is_null()) {
            value.reset();
            return m_error.empty();
        }
        if (!field->is_boolean()) {
            return Fail(key, "must be true, false or null");
        }
        value = field->get<bool>();
        return true;
    }

    bool U32(const char* key, uint32_t& value)
    {
        const json* field = Find(key);
        if (field == nullptr) {
            return false;
        }
        if (!field->is_number_unsigned() || field->get<uint64_t>() > UINT32_MAX) {
            return Fail(key, "must be a whole number from 0 to 4294967295");
        }
        value = static_cast<uint32_t>(field->get<uint64_t>());
        return true;
    }

    // A dB number within what the kernel driver accepts, in hundredths.
    bool Db(const char* key, int16_t& value)
    {
        const json* field = Find(key);
        if (field == nullptr) {
            return false;
        }
        const double db = field->is_number() ? field->get<double>() : NAN;
        const double min = KORVEL_MIXER_SERVICE_GAIN_MIN / 100.0;
        const double max = KORVEL_MIXER_SERVICE_GAIN_MAX / 100.0;
        if (!std::isfinite(db) || db < min || db > max) {
            return Fail(key, "must be a number of dB from " + std::to_string(static_cast<int>(min)) +
                                 " to " + std::to_string(static_cast<int>(max)));
        }
        value = static_cast<int16_t>(std::lround(db * 100.0));
        return true;
    }

    const json* Array(const char* key)
    {
        const json* field = Find(key);
        if (field != nullptr && !field->is_array()) {
            Fail(key, "must be a list");
            return nullptr;
        }
        return field;
    }

    std::string Where(const char* key) const
    {
        return m_where.empty() ? key : m_where + "." + key;
    }

    bool Fail(const char* key, const std::string& problem)
    {
        if (m_error.empty()) {
            const std::string where = *key != '\0' ? Where(key) : m_where;
            m_error = (where.empty() ? "the document" : where) + " " + problem;
        }
        return false;
    }

private:
    const json& m_object;
    const std::string m_where;
    std::string& m_error;
};

json MixerJson(const CtlSetupMixer& mixer)
{
    json routes = json::array();
    for (const CtlSetupRoute& route : mixer.routes) {
        routes.push_back({{"input", route.input},
                          {"output", route.output},
                          {"weightDb", route.weight / 100.0},
                          {"connected", route.connected}});
    }
    return {{"inputs", mixer.inputs}, {"routes", routes}};
}

bool ReadMixer(FieldReader& parent, const char* key, CtlSetupMixer& mixer, std::string& error)
{
    const json* object = parent.Find(key);
    if (object == nullptr) {
        return false;
    }
    FieldReader reader(*object, parent.Where(key), error);
    const json* inputs = reader.Array("inputs");
    const json* routes = reader.Array("routes");
    if (inputs == nullptr || routes == nullptr) {
        return false;
    }
    for (size_t i = 0; i < inputs->size(); ++i) {
        if (!(*inputs)[i].is_string()) {
            return reader.Fail("inputs", "must hold pin names");
        }
        mixer.inputs.push_back((*inputs)[i].get<std::string>());
    }
    for (size_t i = 0; i < routes->size(); ++i) {
        FieldReader entry((*routes)[i], reader.Where("routes") + "[" + std::to_string(i) + "]",
                          error);
        CtlSetupRoute route;
        if (!entry.String("input", route.input) || !entry.String("output", route.output) ||
            !entry.Db("weightDb", route.weight) || !entry.Bool("connected", route.connected)) {
            return false;
        }
        mixer.routes.push_back(route);
    }
    return true;
}

bool ReadClass(FieldReader& reader, const char* key, bool (*find)(const std::string&, uint32_t&),
               uint32_t& sizeClass)
{
    std::string name;
    if (!reader.String(key, name)) {
        return false;
    }
    return find(name, sizeClass) || reader.Fail(key, "names no buffer size class: " + name);
}

} // namespace

json CtlSetup::ToJson() const
{
    json gains = json::array();
    for (const CtlSetupGain& gain : outputs) {
        gains.push_back({{"pin", gain.pin}, {"gainDb", gain.gain / 100.0}, {"muted", gain.muted}});
    }
    auto optional = [](const std::optional<bool>& value) {
        return value.has_value() ? json(*value) : json(nullptr);
    };
    return {{"format", FORMAT},
            {"version", VERSION},
            {"device", {{"serial", serial}, {"name", name}}},
            {"sampleRate", sampleRate},
            {"buffers",
             {{"streaming", CtlDriverState::StreamingClassName(streamingClass)},
              {"asio", CtlDriverState::AsioClassName(asioClass)}}},
            {"policy", {{"forbidRateChange", forbidRateChange}}},
            {"passThrough", optional(passThrough)},
            {"bypass", optional(bypass)},
            {"outputs", gains},
            {"hardwareInputs", MixerJson(hardwareInputs)},
            {"playback", MixerJson(playback)}};
}

bool CtlSetup::FromText(const std::string& text, std::string& error)
{
    json document;
    try {
        document = json::parse(text);
    } catch (const json::exception& e) {
        // The library's message names the place: "... at line 3, column 5: ...".
        error = std::string("not valid JSON: ") + e.what();
        return false;
    }
    return FromJson(document, error);
}

bool CtlSetup::FromJson(const json& document, std::string& error)
{
    error.clear();
    FieldReader reader(document, "", error);
    std::string format;
    uint32_t version = 0;
    if (!reader.String("format", format)) {
        return false;
    }
    if (format != FORMAT) {
        error = "not a quillo setup (format \"" + format + "\")";
        return false;
    }
    if (!reader.U32("version", version)) {
        return false;
    }
    if (version != VERSION) {
        error = "format version " + std::to_string(version) + " is not known (this quilloctl reads version " +
                std::to_string(VERSION) + ")";
        return false;
    }
    CtlSetup setup;
    const json* device = reader.Find("device");
    const json* buffers = reader.Find("buffers");
    const json* policy = reader.Find("policy");
    if (device == nullptr || buffers == nullptr || policy == nullptr) {
        return false;
    }
    FieldReader deviceReader(*device, "device", error);
    FieldReader bufferReader(*buffers, "buffers", error);
    FieldReader policyReader(*policy, "policy", error);
    const json* gains = nullptr;
    if (!deviceReader.String("serial", setup.serial) || !deviceReader.String("name", setup.name) ||
        !reader.U32("sampleRate", setup.sampleRate) ||
        !ReadClass(bufferReader, "streaming", CtlDriverState::FindStreamingClass,
                   setup.streamingClass) ||
        !ReadClass(bufferReader, "asio", CtlDriverState::FindAsioClass, setup.asioClass) ||
        !policyReader.Bool("forbidRateChange", setup.forbidRateChange) ||
        !reader.OptionalBool("passThrough", setup.passThrough) ||
        !reader.OptionalBool("bypass", setup.bypass) || (gains = reader.Array("outputs")) == nullptr) {
        return false;
    }
    for (size_t i = 0; i < gains->size(); ++i) {
        FieldReader entry((*gains)[i], "outputs[" + std::to_string(i) + "]", error);
        CtlSetupGain gain;
        if (!entry.String("pin", gain.pin) || !entry.Db("gainDb", gain.gain) ||
            !entry.Bool("muted", gain.muted)) {
            return false;
        }
        setup.outputs.push_back(gain);
    }
    if (!ReadMixer(reader, "hardwareInputs", setup.hardwareInputs, error) ||
        !ReadMixer(reader, "playback", setup.playback, error)) {
        return false;
    }
    *this = std::move(setup);
    return true;
}
