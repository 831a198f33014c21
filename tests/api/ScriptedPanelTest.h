#pragma once
// Test fixture: the scripted link with a client of type `Client` opened as
// the control panel's connection for every test, and closed after it.
#include "KorvelIoctl.h"
#include "ScriptedLinkTest.h"

template <class Client>
class ScriptedPanelTest : public ScriptedLinkTest
{
protected:
    void SetUp() override
    {
        ScriptedLinkTest::SetUp();
        ASSERT_EQ(m_client.OpenPanel(KORVEL_CONTROL_DEVICE_NAME), 0u);
    }
    void TearDown() override
    {
        m_client.CloseAll();
        ScriptedLinkTest::TearDown();
    }

    Client m_client;
};
