#pragma once
// Test bed of the device server: an in-process simulator under a namespace of
// its own, a server loop on a thread of the test with stop and arrival events
// the test owns, and a panel-type client that sends requests and collects the
// notifications it receives.
#include "KorvelClient.h"
#include "KorvelServer.h"
#include "SimServer.h"
#include "WnEvent.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <thread>

class ServerHarness
{
public:
    static constexpr DWORD WAIT_MS = 5000;

    ServerHarness();
    ~ServerHarness();

    // Starts the simulator with `devices` default devices and points this
    // process's connections at it. 0 or the simulator's status.
    uint32_t StartSim(unsigned devices = 0, const std::wstring& tracePath = L"");
    SimServer& Sim() { return m_sim; }
    // A control command; the answer.
    std::string Control(const std::string& line) { return m_sim.Control(line); }
    // A line of "dump-model" output "<key>=<value>"; empty when missing.
    std::string ModelValue(const std::string& key);
    void WithModel(const std::function<void(SimDeviceModel&)>& action) { m_sim.WithModel(action); }

    // Opens the client, then runs `server`.Serve on a thread (so the client
    // sees the server's first notifications); StopServe signals the stop event,
    // joins and returns Serve's result.
    void StartServe(KorvelServer& server);
    DWORD StopServe();
    // True once Serve has returned.
    bool ServeEnded(DWORD timeoutMs);
    DWORD ServeResult() const { return m_serveResult; }
    void SignalArrival() { m_arrival.Set(); }
    HANDLE StopEvent() const { return m_stop.GetHandle(); }
    HANDLE ArrivalEvent() const { return m_arrival.GetHandle(); }

    // The requesting client (opened on first use, client type 2).
    KorvelClient& Client();
    // A request with any code and payload; the reply lands in `reply`.
    DWORD Exchange(uint32_t code, const void* payload, uint32_t length, KorvelMessage& reply);

    // Waits until the client has received `code`; notifications before it
    // are consumed. False after the time limit.
    bool WaitNotification(uint32_t code, DWORD timeoutMs = WAIT_MS);
    // Every notification received so far (and queued now), oldest first; clears the list.
    std::deque<uint32_t> TakeNotifications();
    // Returns once the server has handled every notification raised before:
    // it answers 3020 with 3030, and the simulator queues in order. Drops
    // the notifications received so far.
    bool SyncWithServer();
    // Polls `condition` (under nothing) until true or the time limit.
    static bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = WAIT_MS);

private:
    void Collect();

    std::wstring m_namespace;
    SimServer m_sim;
    KorvelClient m_client;
    WnEvent m_stop;
    WnEvent m_arrival;
    std::thread m_serveThread;
    HANDLE m_serveDone = nullptr;
    DWORD m_serveResult = 0;
    std::deque<uint32_t> m_received;
};
