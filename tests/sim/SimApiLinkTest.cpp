// The connection class of the device API against the simulator: the link
// seen from the side the deliverables use.
#include "SimCoreFixture.h"

#include "KorvelApiContext.h"
#include "KorvelIoctl.h"
#include "KorvelLinkFrame.h"
#include "KorvelStatus.h"

class SimApiLinkTest : public SimCoreFixture
{
protected:
    void SetUp() override
    {
        SimCoreFixture::SetUp();
        SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, m_ns.c_str());
    }
    void TearDown() override
    {
        SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, nullptr);
        SimCoreFixture::TearDown();
    }
};

TEST_F(SimApiLinkTest, RequestAndReplyThroughApiConnections)
{
    KorvelApiContext server;
    KorvelApiContext panel;
    ASSERT_EQ(server.Open(KORVEL_CONTROL_DEVICE_NAME), 0u);
    ASSERT_EQ(panel.Open(KORVEL_CONTROL_DEVICE_NAME), 0u);
    HANDLE events[2] = {CreateEventW(nullptr, FALSE, FALSE, nullptr),
                        CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    ASSERT_EQ(server.SetNotificationEvents(events[0], nullptr), 0u);
    ASSERT_EQ(server.SetClientType(KORVEL_CLIENT_SERVER), 0u);
    // A connection that asks the server something has a message event for the reply.
    ASSERT_EQ(panel.SetNotificationEvents(events[1], nullptr), 0u);
    ASSERT_EQ(panel.SetClientType(KORVEL_CLIENT_PANEL), 0u);

    KorvelMessage request;
    request.Init(KORVEL_MSG_TYPE_REQUEST, KORVEL_MSG_SET_POLICY);
    request.sequence = 41;
    uint32_t policy = 1;
    ASSERT_EQ(request.SetPayload(&policy, 4), 0u);
    ASSERT_EQ(panel.SendMsg(request), 0u);
    ASSERT_EQ(WaitForSingleObject(events[0], 2000), WAIT_OBJECT_0);

    KorvelMessage received;
    ASSERT_EQ(server.ReceiveMsg(received), 0u);
    EXPECT_EQ(received.code, KORVEL_MSG_SET_POLICY);
    KorvelMessage reply;
    reply.InitReply(received, KORVEL_STATUS_SOUND_DEVICE_IN_USE);
    ASSERT_EQ(server.SendMsg(reply), 0u);
    EXPECT_EQ(server.ReceiveMsg(received), KORVEL_STATUS_NO_MORE_ITEMS);

    ASSERT_EQ(panel.ReceiveMsg(received), 0u);
    EXPECT_EQ(received.type, KORVEL_MSG_TYPE_REPLY);
    EXPECT_EQ(received.sequence, 41u);
    EXPECT_EQ(received.result, KORVEL_STATUS_SOUND_DEVICE_IN_USE);
    CloseHandle(events[0]);
    CloseHandle(events[1]);
}

TEST_F(SimApiLinkTest, OpenFailsWhenTheSimulatorReportsVersion3)
{
    ASSERT_EQ(m_sim.Control("version 3 0").rfind("OK", 0), 0u);
    KorvelApiContext asio;
    EXPECT_EQ(asio.Open(KORVEL_ASIO_CONTROL_DEVICE_NAME), KORVEL_STATUS_VERSION_MISMATCH);
    EXPECT_FALSE(asio.IsOpen());
    // The refused connection is gone from the simulator as well.
    EXPECT_TRUE(WaitForStats("connections=0 "));
}
