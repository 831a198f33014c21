#pragma once
// Test bed of the streaming engine against a scripted kernel driver: the
// scripted pipe server answers the ASIO control device, and since the driver
// runs in this process, the test plays the kernel driver's pacing itself: it
// writes the half index into the shared block the driver announced and
// signals the buffer event it announced, one switch at a time.
#include "AsioDriverFixture.h"
#include "AsioTestHost.h"
#include "KorvelAsioRecords.h"
#include "ScriptedPipeServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class AsioScriptedFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // The channel list: `count` channels of one direction and format.
    void SetChannels(uint32_t count, uint32_t direction, uint32_t format);
    void SetStreamConfig(uint32_t currentRate, uint32_t bufferSize);

    // An initialised driver.
    AsioDriverPtr InitDriver();

    // What the driver sent.
    std::vector<ScriptedPipeServer::Call> CallsOf(uint32_t code) const;
    size_t Count(uint32_t code) const { return server->CountCalls(code); }
    KorvelAsioBufferSetup BufferSetup() const;
    std::vector<KorvelAsioChannelBuffer> ChannelBuffers() const;
    // The codes of the ASIO buffer and channel requests, in order.
    std::vector<uint32_t> BufferRequestCodes() const;

    // Plays one period of the kernel driver: index, then the buffer event.
    void Signal(uint32_t index);
    // Queues a notification for the driver's connection and signals it.
    void Notify(uint32_t code);

    std::wstring nameSpace;
    std::unique_ptr<ScriptedPipeServer> server;
};
