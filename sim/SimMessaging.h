#pragma once
// The connection table and the message relay of the simulated kernel driver:
// client types with the single-server rule, event registration, requests to
// the one server, replies back to the connection that sent the request,
// notifications to every connection with a notification event, and the
// notifications that the device model raises (SimNotifier).
//
// Every operation runs under the simulator lock; Broadcast takes it itself
// (the lock is recursive) so the model may call it from anywhere.
#include "SimConnection.h"
#include "SimNotifier.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

class SimFaults;
class SimTimerQueue;

class SimMessaging : public SimNotifier
{
public:
    // Requests in flight that the simulator remembers for routing replies;
    // beyond this the oldest are forgotten (a server that never answers).
    static constexpr size_t MAX_PENDING = 4096;

    SimMessaging(std::recursive_mutex& lock, SimFaults& faults, SimTimerQueue& timers);
    ~SimMessaging() override = default;

    SimMessaging(const SimMessaging&) = delete;
    SimMessaging& operator=(const SimMessaging&) = delete;

    // A new connection with a fresh id (ids are never reused).
    SimConnection& Add(uint32_t processId, const std::string& deviceName);

    // Forgets a connection: frees the server slot it held (dropping the
    // requests queued for it), lets replies to its requests fall away and
    // closes its duplicated events.
    void Remove(uint32_t id);

    SimConnection* Find(uint32_t id);
    size_t ConnectionCount() const { return m_connections.size(); }
    uint32_t ServerId() const { return m_serverId; }

    // IOCTL_KORVEL_SET_CLIENT_TYPE: once per connection; type 0 only while no
    // other connection is the server; type 1 on the ASIO control device and
    // only there (else INVALID_TYPE); a view (3, 4) without events (else
    // NOT_ALLOWED).
    uint32_t SetClientType(SimConnection& connection, uint32_t type);

    // IOCTL_KORVEL_SET_NOTIFICATION_EVENTS with the 16-byte record; all
    // zeros withdraw; a typed view may register nothing (NOT_ALLOWED).
    uint32_t SetEvents(SimConnection& connection, const uint8_t* record);

    // IOCTL_KORVEL_SEND_MESSAGE with its input bytes. A request needs a
    // sequence number (else INVALID_PARAMETER), a client type and a message
    // event (else INVALID_STATE); a reply must match its request's routing
    // words and sequence number (else INITIATOR_NOT_FOUND); only the server
    // sends notifications (else NOT_ALLOWED).
    uint32_t Send(SimConnection& sender, const uint8_t* in, uint32_t inLength);

    // IOCTL_KORVEL_RECEIVE_MESSAGE / RECEIVE_NOTIFICATION into a 544-byte buffer.
    uint32_t Receive(SimConnection& connection, bool notification, uint8_t* out,
                     uint32_t& bytesReturned);

    // A notification raised by the simulated kernel driver itself.
    void Broadcast(uint32_t code, const void* payload, uint32_t length) override;

    // One line of counters: "connections=<n> server=<id|-> pending=<n> ...".
    std::string Stats() const;
    // Stats, then one line per connection.
    std::string Dump() const;

private:
    struct Pending
    {
        uint32_t sender;
        uint32_t server;
        uint32_t sequence; // the request's; its reply must carry it
        bool orphaned; // the sender is gone; its reply is accepted and discarded
    };

    uint32_t SendRequest(SimConnection& sender, KorvelMessage& message);
    uint32_t SendReply(SimConnection& server, const KorvelMessage& message);
    void SendNotification(const KorvelMessage& message);
    void DeliverReply(uint32_t sender, const KorvelMessage& reply);
    void Remember(uint32_t token, const Pending& pending);
    static bool IsView(uint32_t type);

    std::recursive_mutex& m_lock;
    SimFaults& m_faults;
    SimTimerQueue& m_timers;
    std::map<uint32_t, std::unique_ptr<SimConnection>> m_connections;
    std::map<uint32_t, Pending> m_pending; // by routing word 2
    uint32_t m_nextId = 1;
    uint32_t m_nextToken = 1;
    uint32_t m_serverId = 0; // 0: no server registered
    uint64_t m_requestsRouted = 0;
    uint64_t m_repliesRouted = 0;
    uint64_t m_repliesDropped = 0;
    uint64_t m_repliesOrphaned = 0;
    uint64_t m_requestsLost = 0; // queued for a server that went away
    uint64_t m_notificationsSent = 0;
};
