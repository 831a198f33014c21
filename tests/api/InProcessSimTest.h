#pragma once
// Test fixture: the device simulator running in this process under a
// namespace of its own, and the process configured to reach it through the
// simulator link, so that every request goes through the real pipe link.
#include "SimServer.h"

#include <gtest/gtest.h>

#include <string>

class InProcessSimTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs a control command; fails the test unless the answer is "OK ...".
    std::string Control(const std::string& line);

    SimServer m_sim;
};
