#include "SimControl.h"

#include "SimDeviceModel.h"
#include "SimDispatcher.h"
#include "SimFaults.h"
#include "SimMessaging.h"
#include "SimWords.h"


SimControl::SimControl(std::recursive_mutex& lock, SimDispatcher& dispatcher, SimFaults& faults,
                       SimMessaging& messaging, SimDeviceModel& model,
                       std::function<void()> requestStop)
    : m_lock(lock), m_dispatcher(dispatcher), m_faults(faults), m_messaging(messaging),
      m_model(model), m_requestStop(std::move(requestStop))
{
}

const char* SimControl::Help()
{
    return "Control protocol (one command line in, one answer out; answers start with OK or "
           "ERR):\n"
           "  help                                this list\n"
           "  ping                                OK\n"
           "  stop                                stop the simulator\n"
           "  version <major> <minor>             interface version reported by GET_VERSION\n"
           "                                      (major 3 makes every open fail)\n"
           "  debug 0|1                           debug build flag of the version record\n"
           "  fault fail <code hex> <status hex>  fail the next request of code with status\n"
           "  fault delay-replies <ms>            deliver server replies after ms\n"
           "  fault drop-replies <n>              discard the next n server replies\n"
           "  fault clear                         remove every injected fault\n"
           "  fault                               show the injected faults\n"
           "  stats                               connection and routing counters\n"
           "  dump                                connections, queues, then the device model\n"
           "  other commands                      device model (plug, unplug, set ..., "
           "dump-model)\n";
}

std::string SimControl::Execute(const std::string& line)
{
    std::vector<std::string> words;
    std::string error;
    if (!SimWords::Split(line, words, error)) {
        return "ERR " + error;
    }
    if (words.empty()) {
        return "ERR empty command";
    }
    if (words[0] == "stop") {
        m_requestStop();
        return "OK stopping";
    }
    std::lock_guard guard(m_lock);
    return Run(words);
}

std::string SimControl::Run(const std::vector<std::string>& words)
{
    const std::string& command = words[0];
    if (command == "help") {
        return std::string("OK\n") + Help();
    }
    if (command == "ping" && words.size() == 1) {
        return "OK";
    }
    if (command == "version") {
        return Version(words);
    }
    if (command == "debug") {
        return Debug(words);
    }
    if (command == "fault") {
        return Fault(words);
    }
    if (command == "stats" && words.size() == 1) {
        return "OK " + m_messaging.Stats();
    }
    if (command == "dump" && words.size() == 1) {
        return Dump();
    }
    bool handled = false;
    std::string answer = m_model.Control(words, handled);
    if (!handled) {
        return "ERR unknown command '" + command + "' (try help)";
    }
    return answer;
}

std::string SimControl::Version(const std::vector<std::string>& words)
{
    uint32_t major = 0;
    uint32_t minor = 0;
    if (words.size() != 3 || !SimWords::ParseU32(words[1], major) ||
        !SimWords::ParseU32(words[2], minor)) {
        return "ERR usage: version <major> <minor>";
    }
    m_dispatcher.SetInterfaceVersion(major, minor);
    return "OK " + m_dispatcher.DescribeVersion();
}

std::string SimControl::Debug(const std::vector<std::string>& words)
{
    if (words.size() != 2 || (words[1] != "0" && words[1] != "1")) {
        return "ERR usage: debug 0|1";
    }
    m_dispatcher.SetDebug(words[1] == "1");
    return "OK " + m_dispatcher.DescribeVersion();
}

std::string SimControl::Fault(const std::vector<std::string>& words)
{
    const std::string kind = words.size() > 1 ? words[1] : "";
    uint32_t a = 0;
    uint32_t b = 0;
    if (words.size() == 1) {
        // Only shows the faults.
    } else if (kind == "fail" && words.size() == 4 && SimWords::ParseHex32(words[2], a) &&
               SimWords::ParseHex32(words[3], b)) {
        m_faults.FailNext(a, b);
    } else if (kind == "delay-replies" && words.size() == 3 && SimWords::ParseU32(words[2], a)) {
        m_faults.SetReplyDelay(a);
    } else if (kind == "drop-replies" && words.size() == 3 && SimWords::ParseU32(words[2], a)) {
        m_faults.DropReplies(a);
    } else if (kind == "clear" && words.size() == 2) {
        m_faults.Clear();
    } else {
        return "ERR usage: fault fail <code hex> <status hex> | fault delay-replies <ms> | "
               "fault drop-replies <n> | fault clear";
    }
    return "OK " + m_faults.Describe();
}

std::string SimControl::Dump()
{
    std::string text = "OK dump\n";
    text += "version " + m_dispatcher.DescribeVersion() + "\n";
    text += "faults " + m_faults.Describe() + "\n";
    text += m_messaging.Dump() + "\n";
    bool handled = false;
    std::string model = m_model.Control({"dump-model"}, handled);
    if (handled) {
        text += model;
    }
    return text;
}
