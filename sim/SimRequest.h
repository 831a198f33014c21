#pragma once
// One control request as the simulator's connection layer hands it to the
// device model: who sent it, on which kind of handle, and its buffers.
#include <cstdint>

constexpr uint32_t SIM_NO_CLIENT_TYPE = 0xFFFFFFFFu;

struct SimRequest
{
    uint32_t connection = 0;                // connection id, unique per pipe instance
    uint32_t processId = 0;                 // the client's process
    uint32_t clientType = SIM_NO_CLIENT_TYPE;
    bool deviceBound = false;               // a device handle (OPEN_DEVICE succeeded)
    bool asioDevice = false;                // opened on the ASIO control device
    uint32_t keyWord0 = 0, keyWord1 = 0;    // the bound device's key
    uint32_t code = 0;                      // control code
    const uint8_t* in = nullptr;
    uint32_t inLength = 0;
    uint8_t* out = nullptr;                 // zero-filled, outCapacity bytes
    uint32_t outCapacity = 0;
    uint32_t bytesReturned = 0;             // set by the handler
};
