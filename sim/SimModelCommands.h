#pragma once
// The device model's commands of the control protocol (listed in
// SimDeviceModel.h): parses the words, changes the model, raises the
// notifications a driver would raise, and answers "OK …" or "ERR …".
#include <cstdint>
#include <string>
#include <vector>

class SimDevice;
class SimDeviceModel;

class SimModelCommands
{
public:
    explicit SimModelCommands(SimDeviceModel& model) : m_model(model) {}

    // handled = false (and an empty answer) for a word that is not a model command.
    std::string Execute(const std::vector<std::string>& words, bool& handled);

private:
    using Words = std::vector<std::string>;

    std::string Plug(const Words& words);
    std::string Unplug(const Words& words);
    std::string Set(const Words& words);
    std::string SetFlag(SimDevice& device, const std::string& field, bool value);
    std::string SetMixer(SimDevice& device, const Words& words);
    std::string State(const Words& words);
    std::string Activity(const Words& words);
    std::string Counters(const Words& words);
    std::string Counter(const Words& words);
    std::string Rate(const Words& words);
    std::string Buffers(const Words& words);
    std::string Policy(const Words& words);
    std::string Select(const Words& words);
    std::string EndpointEvent(const Words& words);
    std::string Notify(const Words& words);
    std::string DumpModel(const Words& words);
    std::string DumpRecord(const Words& words);

    SimDevice* ResolveDevice(const std::string& word, std::string& error) const;
    void NotifyDevice(uint32_t code, const SimDevice& device);

    SimDeviceModel& m_model;
};
