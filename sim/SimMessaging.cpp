#include "SimMessaging.h"

#include "KorvelRecords.h"
#include "KorvelStatus.h"
#include "SimFaults.h"
#include "SimTimerQueue.h"

#include <cstdio>
#include <cstring>

SimMessaging::SimMessaging(std::recursive_mutex& lock, SimFaults& faults, SimTimerQueue& timers)
    : m_lock(lock), m_faults(faults), m_timers(timers)
{
}

SimConnection& SimMessaging::Add(uint32_t processId, const std::string& deviceName)
{
    uint32_t id = m_nextId++;
    auto connection = std::make_unique<SimConnection>(id, processId, deviceName);
    SimConnection& added = *connection;
    m_connections.emplace(id, std::move(connection));
    return added;
}

void SimMessaging::Remove(uint32_t id)
{
    auto it = m_connections.find(id);
    if (it == m_connections.end()) {
        return;
    }
    if (m_serverId == id) {
        // The requests waiting in the dead server's queue go with it; their
        // senders see no reply, as with a real server that died.
        m_serverId = 0;
        m_requestsLost += it->second->Messages().Size();
        std::erase_if(m_pending, [id](const auto& entry) { return entry.second.server == id; });
    }
    for (auto& [token, pending] : m_pending) {
        if (pending.sender == id) {
            pending.orphaned = true;
        }
    }
    m_connections.erase(it);
}

bool SimMessaging::IsView(uint32_t type)
{
    return type == KORVEL_CLIENT_PANEL_VIEW || type == KORVEL_CLIENT_MIXER_VIEW;
}

SimConnection* SimMessaging::Find(uint32_t id)
{
    auto it = m_connections.find(id);
    return it == m_connections.end() ? nullptr : it->second.get();
}

uint32_t SimMessaging::SetClientType(SimConnection& connection, uint32_t type)
{
    if (type > KORVEL_CLIENT_MIXER_VIEW) {
        return KORVEL_STATUS_INVALID_TYPE;
    }
    // The ASIO driver alone opens the ASIO control device, and only it.
    if ((type == KORVEL_CLIENT_ASIO) != connection.IsAsioDevice()) {
        return KORVEL_STATUS_INVALID_TYPE;
    }
    // A connection declares what it is once.
    if (connection.HasClientType()) {
        return KORVEL_STATUS_ALREADY_DONE;
    }
    // View connections take no part in messaging.
    if (IsView(type) && (connection.HasMessageEvent() || connection.HasNotificationEvent())) {
        return KORVEL_STATUS_NOT_ALLOWED;
    }
    if (type == KORVEL_CLIENT_SERVER) {
        if (m_serverId != 0) {
            return KORVEL_STATUS_ALREADY_DONE;
        }
        m_serverId = connection.Id();
    }
    connection.SetClientType(type);
    return 0;
}

uint32_t SimMessaging::SetEvents(SimConnection& connection, const uint8_t* record)
{
    KorvelEventRegistration registration;
    std::memcpy(&registration, record, sizeof registration);
    if (registration.messageEvent == 0 && registration.notificationEvent == 0) {
        connection.WithdrawEvents();
        return 0;
    }
    if (connection.HasClientType() && IsView(connection.ClientType())) {
        return KORVEL_STATUS_NOT_ALLOWED;
    }
    return connection.RegisterEvents(registration.messageEvent, registration.notificationEvent);
}

uint32_t SimMessaging::Send(SimConnection& sender, const uint8_t* in, uint32_t inLength)
{
    if (inLength < KORVEL_MSG_HEADER_SIZE) {
        return KORVEL_STATUS_INVALID_INBUFFER_SIZE;
    }
    // Copy into a zeroed record first: a queued message carries zeros past its payload.
    KorvelMessage message;
    std::memset(&message, 0, sizeof message);
    std::memcpy(&message, in, KORVEL_MSG_HEADER_SIZE);
    if (message.headerSize != KORVEL_MSG_HEADER_SIZE) {
        return KORVEL_STATUS_INVALID_HD_SIZE;
    }
    if (message.payloadLength > KORVEL_MSG_MAX_PAYLOAD) {
        return KORVEL_STATUS_INVALID_LENGTH;
    }
    if (inLength != KORVEL_MSG_HEADER_SIZE + message.payloadLength) {
        return KORVEL_STATUS_INVALID_INBUFFER_SIZE;
    }
    std::memcpy(message.payload, in + KORVEL_MSG_HEADER_SIZE, message.payloadLength);

    switch (message.type) {
    case KORVEL_MSG_TYPE_REQUEST:
        return SendRequest(sender, message);
    case KORVEL_MSG_TYPE_REPLY:
        return SendReply(sender, message);
    case KORVEL_MSG_TYPE_NOTIFICATION:
        // Clients only hear notifications; the server and the driver raise them.
        if (sender.Id() != m_serverId) {
            return KORVEL_STATUS_NOT_ALLOWED;
        }
        SendNotification(message);
        return 0;
    default:
        return KORVEL_STATUS_INVALID_MSG_TYPE;
    }
}

uint32_t SimMessaging::SendRequest(SimConnection& sender, KorvelMessage& message)
{
    if (message.sequence == 0) {
        return KORVEL_STATUS_INVALID_PARAMETER; // 0 never names a request
    }
    // Only a typed connection whose message event can announce the reply
    // may ask the server anything.
    if (!sender.HasClientType() || !sender.HasMessageEvent()) {
        return KORVEL_STATUS_INVALID_STATE;
    }
    SimConnection* server = Find(m_serverId);
    if (server == nullptr) {
        return KORVEL_STATUS_NO_SERVER;
    }
    // The routing words name the sender and this request; the server copies
    // them into its reply, which is how the reply finds its way back.
    uint32_t token = m_nextToken++;
    if (m_nextToken == 0) {
        m_nextToken = 1;
    }
    message.routing1 = sender.Id();
    message.routing2 = token;
    Remember(token, Pending{sender.Id(), server->Id(), message.sequence, false});
    server->QueueMessage(message);
    ++m_requestsRouted;
    return 0;
}

void SimMessaging::Remember(uint32_t token, const Pending& pending)
{
    m_pending[token] = pending;
    while (m_pending.size() > MAX_PENDING) {
        m_pending.erase(m_pending.begin());
    }
}

uint32_t SimMessaging::SendReply(SimConnection& server, const KorvelMessage& message)
{
    auto it = m_pending.find(message.routing2);
    // A reply names its request by both routing words and its sequence
    // number; one that names none is refused and the request stays open.
    if (it == m_pending.end() || it->second.sender != message.routing1 ||
        it->second.server != server.Id() || it->second.sequence != message.sequence) {
        return KORVEL_STATUS_INITIATOR_NOT_FOUND;
    }
    Pending pending = it->second;
    m_pending.erase(it);
    if (pending.orphaned) {
        ++m_repliesOrphaned;
        return 0;
    }
    if (m_faults.TakeReplyDrop()) {
        ++m_repliesDropped;
        return 0;
    }
    uint32_t delay = m_faults.ReplyDelayMs();
    if (delay == 0) {
        DeliverReply(pending.sender, message);
        return 0;
    }
    m_timers.Schedule(delay, [this, sender = pending.sender, message] {
        std::lock_guard guard(m_lock);
        DeliverReply(sender, message);
    });
    return 0;
}

void SimMessaging::DeliverReply(uint32_t sender, const KorvelMessage& reply)
{
    SimConnection* connection = Find(sender);
    if (connection == nullptr) {
        ++m_repliesOrphaned;
        return;
    }
    connection->QueueMessage(reply);
    ++m_repliesRouted;
}

void SimMessaging::SendNotification(const KorvelMessage& message)
{
    for (auto& [id, connection] : m_connections) {
        if (connection->HasNotificationEvent()) {
            connection->QueueNotification(message);
        }
    }
    ++m_notificationsSent;
}

void SimMessaging::Broadcast(uint32_t code, const void* payload, uint32_t length)
{
    std::lock_guard guard(m_lock);
    KorvelMessage message;
    std::memset(&message, 0, sizeof message);
    message.headerSize = KORVEL_MSG_HEADER_SIZE;
    message.type = KORVEL_MSG_TYPE_NOTIFICATION;
    message.code = code;
    if (payload != nullptr && length <= KORVEL_MSG_MAX_PAYLOAD) {
        message.payloadLength = length;
        std::memcpy(message.payload, payload, length);
    }
    SendNotification(message);
}

uint32_t SimMessaging::Receive(SimConnection& connection, bool notification, uint8_t* out,
                               uint32_t& bytesReturned)
{
    bytesReturned = 0;
    KorvelMessage message;
    bool taken =
        notification ? connection.TakeNotification(message) : connection.TakeMessage(message);
    if (!taken) {
        return KORVEL_STATUS_NO_MORE_ITEMS;
    }
    std::memcpy(out, &message, sizeof message);
    bytesReturned = sizeof message;
    return 0;
}

std::string SimMessaging::Stats() const
{
    char server[16] = "-";
    if (m_serverId != 0) {
        std::snprintf(server, sizeof server, "%u", static_cast<unsigned>(m_serverId));
    }
    char line[320];
    std::snprintf(line, sizeof line,
                  "connections=%u server=%s pending=%u requestsRouted=%llu requestsLost=%llu "
                  "repliesRouted=%llu repliesDropped=%llu repliesOrphaned=%llu "
                  "notificationsSent=%llu",
                  static_cast<unsigned>(m_connections.size()), server,
                  static_cast<unsigned>(m_pending.size()),
                  static_cast<unsigned long long>(m_requestsRouted),
                  static_cast<unsigned long long>(m_requestsLost),
                  static_cast<unsigned long long>(m_repliesRouted),
                  static_cast<unsigned long long>(m_repliesDropped),
                  static_cast<unsigned long long>(m_repliesOrphaned),
                  static_cast<unsigned long long>(m_notificationsSent));
    return line;
}

std::string SimMessaging::Dump() const
{
    std::string text = Stats();
    for (const auto& [id, connection] : m_connections) {
        text += "\n";
        text += connection->Describe();
    }
    return text;
}
