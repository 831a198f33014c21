#pragma once
// Test bed of the ASIO driver object: the in-process simulator, optionally
// the device server on a thread (it brings streaming up for the driver and
// answers its sample-rate and stream-format requests), and driver objects
// created as the class factory creates them.
#include "AsioDriver.h"
#include "CustomServer.h"
#include "ServerHarness.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The device server, recording the stream-format requests it receives.
class RecordingAsioServer : public CustomServer
{
public:
    DWORD SetDsdMode(uint8_t dsd) override;
    std::vector<int> DsdModes();

private:
    std::mutex m_lock;
    std::vector<int> m_dsdModes;
};

// Releases a driver object through its COM reference count.
struct AsioDriverRelease
{
    void operator()(AsioDriver* driver) const { driver->Release(); }
};
using AsioDriverPtr = std::unique_ptr<AsioDriver, AsioDriverRelease>;

// A driver object with one reference, as CreateInstance hands it out.
AsioDriverPtr NewAsioDriver();

class AsioDriverFixture : public ::testing::Test
{
protected:
    ~AsioDriverFixture() override;

    // Starts the simulator with no default device, plugs one device with the
    // given plug options, and (when `serve`) runs the device server until it
    // has set the device up. `trace` writes the protocol trace.
    void Start(const std::string& plugOptions = "", bool serve = true, bool trace = false);
    // A driver object with one reference, as CreateInstance hands it out.
    static AsioDriverPtr NewDriver();
    // A driver after a successful init.
    AsioDriverPtr InitDriver();

    std::string Model(const std::string& key) { return harness.ModelValue(key); }
    // Requests of ASIO clients in the trace with code `code`; all of them for 0.
    size_t TraceCount(uint32_t code = 0) const;

    ServerHarness harness;
    RecordingAsioServer server;
    std::wstring tracePath;
    bool serving = false;
};
