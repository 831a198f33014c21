#pragma once
// An in-process simulator under a namespace of its own for each test, and
// helpers to wait for what its threads do.
#include "KorvelRecords.h"
#include "SimServer.h"
#include "SimTestLink.h"

#include <gtest/gtest.h>

#include <string>

class SimCoreFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts m_sim with `options` under a fresh namespace.
    uint32_t StartSim(SimServerOptions options = {});
    // Opens `link` on the panel/service control device (or the ASIO one).
    void OpenLink(SimTestLink& link, bool asio = false);
    // The key of the first listed device, read through the driver handle
    // `driver`; fails the test when the list is empty or refused.
    void FirstDeviceKey(SimTestLink& driver, KorvelDeviceKey& key);
    // Waits until the "stats" answer contains `text`; false after timeoutMs.
    bool WaitForStats(const std::string& text, DWORD timeoutMs = 10000);

    static std::wstring UniqueNamespace();
    static uint32_t Word(const std::vector<uint8_t>& bytes, size_t offset);

    SimServer m_sim;
    std::wstring m_ns;
};
