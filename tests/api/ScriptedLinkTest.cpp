#include "ScriptedLinkTest.h"

#include "KorvelIoctl.h"
#include "KorvelLinkFrame.h"

void ScriptedLinkTest::SetUp()
{
    m_nameSpace = ScriptedPipeServer::UniqueNamespace();
    ASSERT_TRUE(SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, m_nameSpace.c_str()));
    m_server = StartServer(KORVEL_CONTROL_DEVICE_NAME);
    ASSERT_NE(m_server, nullptr);
}

void ScriptedLinkTest::TearDown()
{
    m_server.reset();
    SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, nullptr);
}

std::unique_ptr<ScriptedPipeServer> ScriptedLinkTest::StartServer(const std::wstring& pipeName)
{
    auto server = std::make_unique<ScriptedPipeServer>(m_nameSpace, pipeName);
    if (!server->Start()) {
        return nullptr;
    }
    return server;
}
