#pragma once
// What the device model uses to raise the kernel driver's own notifications:
// the connection layer queues a copy for every connection that registered a
// notification event and signals that event.
#include <cstdint>

class SimNotifier
{
public:
    virtual ~SimNotifier() = default;
    virtual void Broadcast(uint32_t code, const void* payload, uint32_t length) = 0;
    // A device was plugged: the system would now announce a device-interface
    // arrival to every process that registered for one.
    virtual void AnnounceArrival() {}
    // A device was unplugged: the system's device-interface removal.
    virtual void AnnounceRemoval() {}
};
