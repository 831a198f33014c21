#pragma once
// The device simulator as one object: the simulated kernel driver's pipe
// server for both control device names, the control pipe, the device model,
// fault injection and the protocol trace. korvelsim.exe runs one; a test
// constructs one with a namespace of its own, starts it (it serves on its own
// threads), talks to it through the pipes or directly, and stops it.
//
//   SimServer sim;
//   SimServerOptions options;
//   options.nameSpace = L"test-1234";
//   options.devices = 1;
//   if (sim.Start(options) == 0) { ...; sim.Control("fault drop-replies 1"); ... }
//   sim.Stop(); // also done by the destructor
#include "SimArrivalAnnouncer.h"
#include "SimControl.h"
#include "SimDeviceModel.h"
#include "SimDispatcher.h"
#include "SimFaults.h"
#include "SimHandle.h"
#include "SimMessaging.h"
#include "SimPipeListener.h"
#include "SimPipeSession.h"
#include "SimTimerQueue.h"
#include "SimTrace.h"

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>

struct SimServerOptions
{
    std::wstring nameSpace;  // pipes are \\.\pipe\<nameSpace>\<name>; 1 to 128 characters
    unsigned devices = 0;    // default devices plugged at start
    std::wstring configPath; // device configuration file, empty for none
    std::wstring tracePath;  // protocol trace file, empty for none
};

class SimServer
{
public:
    static constexpr size_t MAX_NAMESPACE_CHARS = 128;
    // Largest control command line.
    static constexpr size_t MAX_CONTROL_LINE = 4096;

    SimServer();
    ~SimServer();

    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Plugs the configured devices, opens the trace and starts serving.
    // 0; KORVEL_STATUS_REJECTED while running; ERROR_INVALID_NAME for a bad
    // namespace; ERROR_ACCESS_DENIED when another simulator serves the
    // namespace; the model's status for devices or configuration; another
    // Win32 error. A failed start leaves nothing running.
    uint32_t Start(const SimServerOptions& options);

    // Stops serving: every connection is closed (and cleaned up as if its
    // client had gone away), the threads end. The model keeps its state.
    void Stop();

    bool IsRunning() const { return m_running; }
    const std::wstring& Namespace() const { return m_options.nameSpace; }

    // Runs one command of the control protocol, as if it came through the
    // control pipe.
    std::string Control(const std::string& line);

    // Runs `action` on the device model under the simulator lock.
    void WithModel(const std::function<void(SimDeviceModel&)>& action);

    // Processes listening for device arrivals on the announcement pipe.
    size_t ArrivalListenerCount() { return m_arrivals.ListenerCount(); }

    // Manual-reset event signalled when a "stop" control command arrived;
    // whoever owns the simulator waits on it and calls Stop.
    HANDLE StopRequestedEvent() const { return m_stopRequested.GetHandle(); }

    // The pipe path of a control device name (or "control") in a namespace.
    static std::wstring PipePath(const std::wstring& nameSpace, const std::wstring& name)
    {
        return SimPipeListener::PipePath(nameSpace, name);
    }

private:
    uint32_t ClaimNamespace(const std::wstring& nameSpace);
    uint32_t PrepareModel(const SimServerOptions& options);
    void OnConnected(size_t nameIndex, HANDLE pipe);
    void StartDriverSession(HANDLE pipe, const char* deviceName);
    void StartControlSession(HANDLE pipe);
    void AddSession(std::unique_ptr<SimPipeSession> session);
    void ReapSessions();
    void JoinSessions();

    std::recursive_mutex m_lock; // the simulator lock: every state and model access
    SimFaults m_faults;
    SimTimerQueue m_timers;
    SimMessaging m_messaging;
    SimArrivalAnnouncer m_arrivals; // the model's notifications go through it
    SimDeviceModel m_model;
    SimTrace m_trace;
    SimDispatcher m_dispatcher;
    SimControl m_control;
    SimPipeListener m_listener;
    SimHandle m_namespaceClaim; // named mutex held while serving a namespace
    SimHandle m_stopEvent;
    SimHandle m_stopRequested;
    std::mutex m_sessionsLock;
    std::list<std::unique_ptr<SimPipeSession>> m_sessions;
    SimServerOptions m_options;
    bool m_running = false;
};
