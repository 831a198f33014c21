#include "InProcessSimTest.h"

#include "KorvelLinkFrame.h"
#include "ScriptedPipeServer.h"

void InProcessSimTest::SetUp()
{
    SimServerOptions options;
    options.nameSpace = ScriptedPipeServer::UniqueNamespace();
    ASSERT_EQ(m_sim.Start(options), 0u);
    ASSERT_TRUE(SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, options.nameSpace.c_str()));
}

void InProcessSimTest::TearDown()
{
    m_sim.Stop();
    SetEnvironmentVariableW(KORVEL_LINK_ENV_VAR, nullptr);
}

std::string InProcessSimTest::Control(const std::string& line)
{
    std::string answer = m_sim.Control(line);
    EXPECT_EQ(answer.rfind("OK", 0), 0u) << line << " -> " << answer;
    return answer;
}
