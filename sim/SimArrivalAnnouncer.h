#pragma once
// The simulator's stand-in for the system's device-interface arrival and
// removal. Every client end connected to the announcement pipe (the device
// link's arrival waiter, in each process configured for this simulator)
// receives one small message per device plugged ("arrival") or unplugged
// ("removal"). The driver notifications pass through to the connection layer
// unchanged.
#include "SimHandle.h"
#include "SimNotifier.h"

#include <list>
#include <mutex>

class SimArrivalAnnouncer : public SimNotifier
{
public:
    // Longest wait for one announcement to be taken by a pipe; a listener
    // whose pipe stays full is dropped rather than holding up the simulator.
    static constexpr DWORD WRITE_WAIT_MS = 200;

    explicit SimArrivalAnnouncer(SimNotifier& driverNotifications);
    ~SimArrivalAnnouncer() override = default;

    SimArrivalAnnouncer(const SimArrivalAnnouncer&) = delete;
    SimArrivalAnnouncer& operator=(const SimArrivalAnnouncer&) = delete;

    void Broadcast(uint32_t code, const void* payload, uint32_t length) override;
    // Write the announcement to every listener; drop the ones that are gone.
    void AnnounceArrival() override;
    void AnnounceRemoval() override;

    // A connected instance of the announcement pipe (ownership passes).
    void AddListener(HANDLE pipe);
    // Disconnects every listener (the simulator stops).
    void CloseAll();
    size_t ListenerCount();

private:
    void Announce(const char* text, DWORD length);
    static bool Write(HANDLE pipe, HANDLE event, const char* text, DWORD length);

    SimNotifier& m_driverNotifications;
    std::mutex m_lock;
    std::list<SimHandle> m_listeners;
    SimHandle m_writeEvent;
};
