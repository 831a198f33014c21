#pragma once
// Test fixture: a scripted pipe server under a namespace of its own, and the
// process configured to reach it through the simulator link.
#include "ScriptedPipeServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

class ScriptedLinkTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Serves `pipeName` (default: the control panel's control device) under
    // this test's namespace; the fixture's own server serves the default.
    std::unique_ptr<ScriptedPipeServer> StartServer(const std::wstring& pipeName);

    std::wstring m_nameSpace;
    std::unique_ptr<ScriptedPipeServer> m_server;
};
