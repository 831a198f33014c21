#pragma once
// Keeps listening instances of a set of named pipes on one thread and hands
// each connected instance to its owner. Every name always has listening
// instances (a new one is created before a connected one is handed over), so
// a client only meets ERROR_PIPE_BUSY for the moment it takes to re-arm.
#include "SimHandle.h"

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

class SimPipeListener
{
public:
    // Listening instances kept per pipe name.
    static constexpr size_t INSTANCES_PER_NAME = 2;
    // In- and out-buffer size of every instance.
    static constexpr DWORD PIPE_BUFFER = 64 * 1024;

    // Receives a connected instance (ownership passes) and the index of its name.
    using ConnectHandler = std::function<void(size_t nameIndex, HANDLE pipe)>;

    SimPipeListener() = default;
    ~SimPipeListener();

    SimPipeListener(const SimPipeListener&) = delete;
    SimPipeListener& operator=(const SimPipeListener&) = delete;

    // Creates the first instances of every path (as the first instance of
    // its name: a path that another process already serves fails with
    // ERROR_ACCESS_DENIED) and starts listening. 0 or the Win32 error.
    uint32_t Start(const std::vector<std::wstring>& paths, HANDLE stopEvent,
                   ConnectHandler onConnect);

    // Waits for the thread, which ends once the stop event is signalled.
    void Join();

    // "\\.\pipe\<namespace>\<name>".
    static std::wstring PipePath(const std::wstring& nameSpace, const std::wstring& name);

private:
    struct Instance
    {
        size_t nameIndex = 0;
        SimHandle pipe;
        SimHandle event;
        OVERLAPPED overlapped{};
        bool connected = false; // the client connected before the wait began
    };

    uint32_t Arm(Instance& instance, bool first);
    void Run();
    void OnSignalled(Instance& instance);
    void CancelAll();

    std::vector<std::wstring> m_paths;
    std::vector<Instance> m_instances;
    HANDLE m_stopEvent = nullptr;
    ConnectHandler m_onConnect;
    std::thread m_thread;
};
