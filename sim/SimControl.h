#pragma once
// The simulator's control protocol: one command line in, one text answer out
// ("OK ..." or "ERR ...", possibly several lines). The connection-layer
// commands are handled here; every other command goes to the device model.
//
//   help                              the command list
//   ping                              OK
//   stop                              asks the simulator to stop
//   version <major> <minor>           interface version that GET_VERSION reports
//   debug 0|1                         build flag "debug" of the version record
//   fault fail <code hex> <status hex>  the next request of code fails with status
//   fault delay-replies <ms>          replies reach their sender after ms
//   fault drop-replies <n>            the next n replies are discarded
//   fault clear                       removes every injected fault
//   fault                             shows the injected faults
//   stats                             one line of connection and routing counters
//   dump                              version, faults, counters, connections and
//                                     queues, then the device model's dump
//   anything else                     the device model's commands (plug, unplug,
//                                     set ..., dump-model)
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class SimDeviceModel;
class SimDispatcher;
class SimFaults;
class SimMessaging;

class SimControl
{
public:
    SimControl(std::recursive_mutex& lock, SimDispatcher& dispatcher, SimFaults& faults,
               SimMessaging& messaging, SimDeviceModel& model, std::function<void()> requestStop);

    // Runs one command line; takes the simulator lock itself.
    std::string Execute(const std::string& line);

    // The protocol description (for help and --help).
    static const char* Help();

private:
    std::string Run(const std::vector<std::string>& words);
    std::string Version(const std::vector<std::string>& words);
    std::string Debug(const std::vector<std::string>& words);
    std::string Fault(const std::vector<std::string>& words);
    std::string Dump();

    std::recursive_mutex& m_lock;
    SimDispatcher& m_dispatcher;
    SimFaults& m_faults;
    SimMessaging& m_messaging;
    SimDeviceModel& m_model;
    std::function<void()> m_requestStop;
};
