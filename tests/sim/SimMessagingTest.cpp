// Message routing of the simulated kernel driver: requests to the one server,
// replies to their sender, notifications to every registered connection.
#include "SimCoreFixture.h"
#include "SimTestEvent.h"

#include "KorvelIoctl.h"
#include "KorvelMessage.h"
#include "KorvelRecords.h"
#include "KorvelStatus.h"

#include <cstring>

namespace {

using TestEvent = SimTestEvent;

// A connection that takes part in messaging.
struct Party
{
    SimTestLink link;
    TestEvent messages;
    TestEvent notifications;
};

} // namespace

class SimMessagingTest : public SimCoreFixture
{
protected:
    void Join(Party& party, uint32_t type, bool asio = false)
    {
        OpenLink(party.link, asio);
        ASSERT_EQ(party.link.RegisterEvents(party.messages.handle, party.notifications.handle), 0u);
        ASSERT_EQ(party.link.SetClientType(type), 0u);
    }
};

TEST_F(SimMessagingTest, RequestsReachTheServerAndRepliesTheirSender)
{
    Party server;
    Party panel;
    Party asio;
    Join(server, KORVEL_CLIENT_SERVER);
    Join(panel, KORVEL_CLIENT_PANEL);
    Join(asio, KORVEL_CLIENT_ASIO, true);

    uint32_t rate = 96000;
    ASSERT_EQ(panel.link.SendMsg(KORVEL_MSG_TYPE_REQUEST, KORVEL_MSG_SET_SAMPLE_RATE, 11, &rate, 4),
              0u);
    uint8_t dsd = 1;
    ASSERT_EQ(asio.link.SendMsg(KORVEL_MSG_TYPE_REQUEST, KORVEL_MSG_SET_DSD_MODE, 11, &dsd, 1), 0u);
    ASSERT_TRUE(server.messages.Signalled());

    std::vector<uint8_t> first;
    std::vector<uint8_t> second;
    ASSERT_EQ(server.link.Receive(false, first), 0u);
    ASSERT_EQ(server.link.Receive(false, second), 0u);
    std::vector<uint8_t> none;
    EXPECT_EQ(server.link.Receive(false, none), KORVEL_STATUS_NO_MORE_ITEMS);
    ASSERT_EQ(first.size(), KORVEL_MSG_SIZE);
    EXPECT_EQ(Word(first, 8), KORVEL_MSG_TYPE_REQUEST);
    EXPECT_EQ(Word(first, 12), KORVEL_MSG_SET_SAMPLE_RATE);
    EXPECT_EQ(Word(first, 16), 11u);
    EXPECT_EQ(Word(first, 4), 4u);
    EXPECT_EQ(Word(first, 32), 96000u);
    EXPECT_EQ(Word(first, 36), 0u); // zeros past the payload
    EXPECT_EQ(Word(second, 12), KORVEL_MSG_SET_DSD_MODE);
    // Both senders used sequence 11; the routing words keep them apart.
    EXPECT_TRUE(Word(first, 20) != Word(second, 20) || Word(first, 24) != Word(second, 24));

    // Answer the second request first: it goes to the ASIO connection only.
    EXPECT_EQ(server.link.SendMsg(KORVEL_MSG_TYPE_REPLY, KORVEL_MSG_REPLY, 11, nullptr, 0,
                                  Word(second, 20), Word(second, 24), 0),
              0u);
    ASSERT_TRUE(asio.messages.Signalled());
    std::vector<uint8_t> reply;
    ASSERT_EQ(asio.link.Receive(false, reply), 0u);
    EXPECT_EQ(Word(reply, 8), KORVEL_MSG_TYPE_REPLY);
    EXPECT_EQ(Word(reply, 16), 11u);
    EXPECT_EQ(panel.link.Receive(false, none), KORVEL_STATUS_NO_MORE_ITEMS);

    EXPECT_EQ(server.link.SendMsg(KORVEL_MSG_TYPE_REPLY, KORVEL_MSG_REPLY, 11, nullptr, 0,
                                  Word(first, 20), Word(first, 24),
                                  KORVEL_STATUS_SOUND_DEVICE_IN_USE),
              0u);
    ASSERT_EQ(panel.link.Receive(false, reply), 0u);
    EXPECT_EQ(Word(reply, 28), KORVEL_STATUS_SOUND_DEVICE_IN_USE);

    // A reply is routed once; a repeat or invented routing words find nobody.
    EXPECT_EQ(server.link.SendMsg(KORVEL_MSG_TYPE_REPLY, KORVEL_MSG_REPLY, 11, nullptr, 0,
                                  Word(first, 20), Word(first, 24)),
              KORVEL_STATUS_INITIATOR_NOT_FOUND);
    EXPECT_EQ(server.link.SendMsg(KORVEL_MSG_TYPE_REPLY, KORVEL_MSG_REPLY, 11, nullptr, 0, 0, 0),
              KORVEL_STATUS_INITIATOR_NOT_FOUND);
}

TEST_F(SimMessagingTest, OnlyTheServerThatGotTheRequestCanAnswerIt)
{
    Party server;
    Party panel;
    Join(server, KORVEL_CLIENT_SERVER);
    Join(panel, KORVEL_CLIENT_PANEL);
    ASSERT_EQ(panel.link.SendMsg(KORVEL_MSG_TYPE_REQUEST, KORVEL_MSG_SET_POLICY, 3, "\0\0\0\0", 4),
              0u);
    std::vector<uint8_t> request;
    ASSERT_EQ(server.link.Receive(false, request), 0u);
    EXPECT_EQ(panel.link.SendMsg(KORVEL_MSG_TYPE_REPLY, KORVEL_MSG_REPLY, 3, nullptr, 0,
                                 Word(request, 20), Word(request, 24)),
              KORVEL_STATUS_INITIATOR_NOT_FOUND);
}

TEST_F(SimMessagingTest, MessageRecordsAreChecked)
{
    Party panel;
    Join(panel, KORVEL_CLIENT_PANEL);
    uint8_t payload[513] = {};
    EXPECT_EQ(panel.link.SendMsg(KORVEL_MSG_TYPE_REQUEST, 1001, 1, payload, 4),
              KORVEL_STATUS_NO_SERVER);

    Party server;
    Join(server, KORVEL_CLIENT_SERVER);
    EXPECT_EQ(panel.link.SendMsg(KORVEL_MSG_TYPE_REQUEST, 1001, 1, payload, 512), 0u);
    EXPECT_EQ(panel.link.SendMsg(KORVEL_MSG_TYPE_REQUEST, 1001, 2, payload, 513),
              KORVEL_STATUS_INVALID_LENGTH);
    EXPECT_EQ(panel.link.SendMsg(9, 1001, 3, nullptr, 0), KORVEL_STATUS_INVALID_MSG_TYPE);
    EXPECT_EQ(panel.link.SendMsg(0, 1001, 3, nullptr, 0), KORVEL_STATUS_INVALID_MSG_TYPE);

    // Header size other than 32, and an input length that disagrees with the payload length.
    uint32_t header[8] = {31, 0, KORVEL_MSG_TYPE_REQUEST, 1001, 4, 0, 0, 0};
    EXPECT_EQ(panel.link.Request(IOCTL_KORVEL_SEND_MESSAGE, header, 32, 0).status,
              KORVEL_STATUS_INVALID_HD_SIZE);
    uint32_t lying[9] = {32, 8, KORVEL_MSG_TYPE_REQUEST, 1001, 4, 0, 0, 0, 0};
    EXPECT_EQ(panel.link.Request(IOCTL_KORVEL_SEND_MESSAGE, lying, 36, 0).status,
              KORVEL_STATUS_INVALID_INBUFFER_SIZE);
    EXPECT_EQ(panel.link.Request(IOCTL_KORVEL_SEND_MESSAGE, lying, 36, 4).status,
              KORVEL_STATUS_INVALID_OUTBUFFER_SIZE);

    // Only the 512-byte request arrived.
    std::vector<uint8_t> message;
    ASSERT_EQ(server.link.Receive(false, message), 0u);
    EXPECT_EQ(Word(message, 4), 512u);
    EXPECT_EQ(server.link.Receive(false, message), KORVEL_STATUS_NO_MORE_ITEMS);
}

TEST_F(SimMessagingTest, NotificationsReachEveryRegisteredConnection)
{
    Party server;
    Party panel;
    Join(server, KORVEL_CLIENT_SERVER);
    Join(panel, KORVEL_CLIENT_PANEL);
    SimTestLink view; // a view connection registers no events
    OpenLink(view);
    uint8_t none[16] = {};
    ASSERT_EQ(view.Request(IOCTL_KORVEL_SET_NOTIFICATION_EVENTS, none, 16, 0).status, 0u);
    ASSERT_EQ(view.SetClientType(KORVEL_CLIENT_PANEL_VIEW), 0u);

    KorvelDeviceKey key{7, 9};
    ASSERT_EQ(server.link.SendMsg(KORVEL_MSG_TYPE_NOTIFICATION, KORVEL_NOTIFY_DEVICE_STATUS_CHANGED,
                                  0, &key, sizeof key),
              0u);
    ASSERT_TRUE(panel.notifications.Signalled());
    std::vector<uint8_t> message;
    ASSERT_EQ(panel.link.Receive(true, message), 0u);
    EXPECT_EQ(Word(message, 8), KORVEL_MSG_TYPE_NOTIFICATION);
    EXPECT_EQ(Word(message, 12), KORVEL_NOTIFY_DEVICE_STATUS_CHANGED);
    EXPECT_EQ(Word(message, 32), 7u);
    EXPECT_EQ(Word(message, 36), 9u);
    EXPECT_EQ(panel.link.Receive(true, message), KORVEL_STATUS_NO_MORE_ITEMS);
    EXPECT_EQ(view.Receive(true, message), KORVEL_STATUS_NO_MORE_ITEMS);
    // Notifications never land in the message queue.
    EXPECT_EQ(panel.link.Receive(false, message), KORVEL_STATUS_NO_MORE_ITEMS);

    // Withdrawn registration: no further copies.
    ASSERT_EQ(panel.link.RegisterEvents(nullptr, nullptr), 0u);
    ASSERT_EQ(server.link.SendMsg(KORVEL_MSG_TYPE_NOTIFICATION, KORVEL_NOTIFY_SETTINGS_CHANGED, 0,
                                  nullptr, 0),
              0u);
    EXPECT_EQ(panel.link.Receive(true, message), KORVEL_STATUS_NO_MORE_ITEMS);
}

TEST_F(SimMessagingTest, BadEventHandlesAreRefusedAndKeepTheOldRegistration)
{
    Party panel;
    Join(panel, KORVEL_CLIENT_PANEL);
    HANDLE bogus = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x7FFFFFF0));
    EXPECT_EQ(panel.link.RegisterEvents(bogus, panel.notifications.handle),
              KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_NE(m_sim.Control("dump").find("notifyEvent=1"), std::string::npos);

    Party server;
    Join(server, KORVEL_CLIENT_SERVER);
    ASSERT_EQ(server.link.SendMsg(KORVEL_MSG_TYPE_NOTIFICATION, 3001, 0, nullptr, 0), 0u);
    EXPECT_TRUE(panel.notifications.Signalled());
}

TEST_F(SimMessagingTest, FullQueuesDropTheOldestEntry)
{
    Party server;
    Party panel;
    Join(server, KORVEL_CLIENT_SERVER);
    Join(panel, KORVEL_CLIENT_PANEL);
    const uint32_t sent = SimMessageQueue::DEFAULT_CAPACITY + 10;
    for (uint32_t i = 0; i < sent; ++i) {
        ASSERT_EQ(server.link.SendMsg(KORVEL_MSG_TYPE_NOTIFICATION, 3001, 0, &i, 4), 0u);
    }
    EXPECT_NE(m_sim.Control("dump").find("notifications=256 notificationsDropped=10"),
              std::string::npos);
    std::vector<uint8_t> message;
    ASSERT_EQ(panel.link.Receive(true, message), 0u);
    EXPECT_EQ(Word(message, 32), 10u); // the ten oldest are gone
}

// The opening, typing and messaging rules a kernel driver enforces: a
// client's fault must come back as a status, never pass.
TEST_F(SimMessagingTest, OpeningTypingAndMessagingRulesAreEnforced)
{
    Party server;
    Party panel;
    Join(server, KORVEL_CLIENT_SERVER);
    Join(panel, KORVEL_CLIENT_PANEL);
    uint32_t policy = 0;
    EXPECT_EQ(panel.link.SendMsg(KORVEL_MSG_TYPE_REQUEST, 1005, 0, &policy, 4),
              KORVEL_STATUS_INVALID_PARAMETER)
        << "sequence number 0";

    SimTestLink untyped;
    OpenLink(untyped);
    TestEvent untypedEvent;
    ASSERT_EQ(untyped.RegisterEvents(untypedEvent.handle, nullptr), 0u);
    EXPECT_EQ(untyped.SendMsg(KORVEL_MSG_TYPE_REQUEST, 1005, 1, &policy, 4),
              KORVEL_STATUS_INVALID_STATE);
    SimTestLink noEvent;
    OpenLink(noEvent);
    ASSERT_EQ(noEvent.SetClientType(KORVEL_CLIENT_PANEL), 0u);
    EXPECT_EQ(noEvent.SendMsg(KORVEL_MSG_TYPE_REQUEST, 1005, 1, &policy, 4),
              KORVEL_STATUS_INVALID_STATE);

    EXPECT_EQ(panel.link.SendMsg(KORVEL_MSG_TYPE_NOTIFICATION, 3010, 0, nullptr, 0),
              KORVEL_STATUS_NOT_ALLOWED);
    std::vector<uint8_t> message;
    EXPECT_EQ(server.link.Receive(true, message), KORVEL_STATUS_NO_MORE_ITEMS);

    // A reply must carry its request's sequence number; the request stays open.
    ASSERT_EQ(panel.link.SendMsg(KORVEL_MSG_TYPE_REQUEST, 1005, 7, &policy, 4), 0u);
    std::vector<uint8_t> request;
    ASSERT_EQ(server.link.Receive(false, request), 0u);
    EXPECT_EQ(server.link.SendMsg(KORVEL_MSG_TYPE_REPLY, KORVEL_MSG_REPLY, 8, nullptr, 0,
                                  Word(request, 20), Word(request, 24)),
              KORVEL_STATUS_INITIATOR_NOT_FOUND);
    EXPECT_EQ(server.link.SendMsg(KORVEL_MSG_TYPE_REPLY, KORVEL_MSG_REPLY, 7, nullptr, 0,
                                  Word(request, 20), Word(request, 24)),
              0u);
    ASSERT_EQ(panel.link.Receive(false, message), 0u);
    EXPECT_EQ(Word(message, 16), 7u);
}

TEST_F(SimMessagingTest, ClientTypesFitTheirDeviceAndViewsRegisterNothing)
{
    SimTestLink asioOnPanelDevice;
    OpenLink(asioOnPanelDevice);
    EXPECT_EQ(asioOnPanelDevice.SetClientType(KORVEL_CLIENT_ASIO), KORVEL_STATUS_INVALID_TYPE);
    SimTestLink panelOnAsioDevice;
    OpenLink(panelOnAsioDevice, true);
    EXPECT_EQ(panelOnAsioDevice.SetClientType(KORVEL_CLIENT_PANEL), KORVEL_STATUS_INVALID_TYPE);
    EXPECT_EQ(panelOnAsioDevice.SetClientType(KORVEL_CLIENT_ASIO), 0u)
        << "a refused type leaves the connection undeclared";

    Party viewWithEvents;
    OpenLink(viewWithEvents.link);
    ASSERT_EQ(viewWithEvents.link.RegisterEvents(viewWithEvents.messages.handle,
                                                 viewWithEvents.notifications.handle),
              0u);
    EXPECT_EQ(viewWithEvents.link.SetClientType(KORVEL_CLIENT_PANEL_VIEW),
              KORVEL_STATUS_NOT_ALLOWED);
    Party view;
    OpenLink(view.link);
    ASSERT_EQ(view.link.RegisterEvents(nullptr, nullptr), 0u);
    ASSERT_EQ(view.link.SetClientType(KORVEL_CLIENT_MIXER_VIEW), 0u);
    EXPECT_EQ(view.link.RegisterEvents(nullptr, view.notifications.handle),
              KORVEL_STATUS_NOT_ALLOWED);
    EXPECT_EQ(view.link.RegisterEvents(nullptr, nullptr), 0u) << "withdrawing is always allowed";

    // Binding belongs to a fresh handle, not to a typed one with events.
    ASSERT_EQ(m_sim.Control("plug").rfind("OK", 0), 0u);
    auto list = [&] {
        SimTestLink lister;
        OpenLink(lister);
        return lister.Request(IOCTL_KORVEL_GET_DEVICE_LIST, nullptr, 0, sizeof(KorvelDeviceList));
    }();
    ASSERT_EQ(list.status, 0u);
    KorvelDeviceKey key{Word(list.out, 4), Word(list.out, 8)};
    Party typed;
    Join(typed, KORVEL_CLIENT_PANEL);
    EXPECT_EQ(typed.link.Request(IOCTL_KORVEL_OPEN_DEVICE, &key, 8, 0).status,
              KORVEL_STATUS_INVALID_STATE);
    SimTestLink device;
    OpenLink(device);
    EXPECT_EQ(device.Request(IOCTL_KORVEL_OPEN_DEVICE, &key, 8, 0).status, 0u);
}

// Handles registered as events must be auto-reset events: a mutex, a
// thread or a manual-reset event would only show later as lost wake-ups.
TEST_F(SimMessagingTest, RegisteredHandlesMustBeAutoResetEvents)
{
    Party panel;
    OpenLink(panel.link);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(panel.link.RegisterEvents(mutex, nullptr), KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(panel.link.RegisterEvents(nullptr, GetCurrentThread()),
              KORVEL_STATUS_INVALID_PARAMETER);
    HANDLE thread = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(),
                                &thread, 0, FALSE, DUPLICATE_SAME_ACCESS));
    EXPECT_EQ(panel.link.RegisterEvents(panel.messages.handle, thread),
              KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(panel.link.RegisterEvents(manual, nullptr), KORVEL_STATUS_INVALID_PARAMETER);
    EXPECT_NE(m_sim.Control("dump").find("msgEvent=0 notifyEvent=0"), std::string::npos)
        << "nothing of a refused registration stays";
    EXPECT_EQ(panel.link.RegisterEvents(panel.messages.handle, panel.notifications.handle), 0u);
    CloseHandle(thread);
    CloseHandle(manual);
    CloseHandle(mutex);
}
