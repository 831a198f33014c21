#pragma once
// Records of the ASIO streaming requests (IOCTL_KORVEL_ASIO_*), sent on the
// ASIO driver's connection to the ASIO control device.
#include "KorvelRecords.h"

#include <cstddef>
#include <cstdint>

// Output of IOCTL_KORVEL_ASIO_GET_STREAM_CONFIG.
struct KorvelAsioStreamConfig
{
    uint32_t currentRate; // Hz
    uint32_t rateCount;   // 0 to KORVEL_MAX_SAMPLE_RATES; larger counts are not trusted
    uint32_t rates[KORVEL_MAX_SAMPLE_RATES]; // PCM and DSD rates together, device order
    uint32_t bufferSize; // frames per buffer half; in DSD mode blocks of 64 DSD samples
};
static_assert(sizeof(KorvelAsioStreamConfig) == 60);
static_assert(offsetof(KorvelAsioStreamConfig, currentRate) == 0);
static_assert(offsetof(KorvelAsioStreamConfig, rateCount) == 4);
static_assert(offsetof(KorvelAsioStreamConfig, rates) == 8);
static_assert(offsetof(KorvelAsioStreamConfig, bufferSize) == 56);

// Output of IOCTL_KORVEL_ASIO_GET_CHANNEL_LIST: two tables walked in order and
// treated alike; each channel's direction comes from its channel info.
constexpr uint32_t KORVEL_ASIO_CHANNEL_TABLES = 2;

struct KorvelAsioChannelList
{
    KorvelChannelList tables[KORVEL_ASIO_CHANNEL_TABLES];
};
static_assert(sizeof(KorvelAsioChannelList) == 1544);
static_assert(offsetof(KorvelAsioChannelList, tables) == 0);
static_assert(offsetof(KorvelAsioChannelList, tables[1]) == 772);

// Output of IOCTL_KORVEL_ASIO_GET_CHANNEL_INFO (input: a KorvelChannelKey from
// the list). The enable, disable and set-buffer requests take the two
// identifiers from here.
constexpr uint32_t KORVEL_ASIO_DIRECTION_INPUT = 1;
constexpr uint32_t KORVEL_ASIO_DIRECTION_OUTPUT = 2; // any value other than 1 means output
constexpr uint32_t KORVEL_ASIO_FORMAT_PCM32 = 1;     // any value other than 2 means 32-bit PCM
constexpr uint32_t KORVEL_ASIO_FORMAT_DSD = 2;

struct KorvelAsioChannelInfo
{
    KorvelChannelKey id;       // first and second identifier
    KorvelDeviceKey deviceKey; // not read by the ASIO driver
    uint32_t direction;        // KORVEL_ASIO_DIRECTION_*
    uint32_t format;           // KORVEL_ASIO_FORMAT_*
    wchar_t name[KORVEL_CHANNEL_NAME_CHARS];
};
static_assert(sizeof(KorvelAsioChannelInfo) == 108);
static_assert(offsetof(KorvelAsioChannelInfo, id) == 0);
static_assert(offsetof(KorvelAsioChannelInfo, deviceKey) == 8);
static_assert(offsetof(KorvelAsioChannelInfo, direction) == 16);
static_assert(offsetof(KorvelAsioChannelInfo, format) == 20);
static_assert(offsetof(KorvelAsioChannelInfo, name) == 24);
static_assert(sizeof(KorvelAsioChannelInfo::name) == 84);

// Output of IOCTL_KORVEL_ASIO_GET_LATENCIES: what the device and the kernel
// driver add, in frames.
struct KorvelAsioLatencies
{
    uint32_t inputFrames;
    uint32_t outputFrames;
};
static_assert(sizeof(KorvelAsioLatencies) == 8);
static_assert(offsetof(KorvelAsioLatencies, inputFrames) == 0);
static_assert(offsetof(KorvelAsioLatencies, outputFrames) == 4);

// Input of IOCTL_KORVEL_ASIO_CREATE_BUFFERS. 20 bytes: packed to 4 so that no
// tail padding follows the last field on either architecture.
#pragma pack(push, 4)
struct KorvelAsioBufferSetup
{
    uint64_t sharedBlock;   // address of the KorvelAsioSharedBlock, zero-extended
    uint64_t bufferEvent;   // auto-reset event of the calling process, zero-extended
    uint32_t framesPerHalf; // in DSD mode blocks of 64 DSD samples
};
#pragma pack(pop)
static_assert(sizeof(KorvelAsioBufferSetup) == 20);
static_assert(offsetof(KorvelAsioBufferSetup, sharedBlock) == 0);
static_assert(offsetof(KorvelAsioBufferSetup, bufferEvent) == 8);
static_assert(offsetof(KorvelAsioBufferSetup, framesPerHalf) == 16);

// Input of IOCTL_KORVEL_ASIO_SET_CHANNEL_BUFFER: one channel's double buffer,
// half 1 directly after half 0.
constexpr uint32_t KORVEL_ASIO_CHANNEL_BUFFER_FORMAT_WORD = 4;

struct KorvelAsioChannelBuffer
{
    KorvelChannelKey id;
    uint32_t halfBytes;  // length of one buffer half
    uint32_t formatWord; // always KORVEL_ASIO_CHANNEL_BUFFER_FORMAT_WORD
    uint64_t buffer;     // address of half 0, zero-extended
};
static_assert(sizeof(KorvelAsioChannelBuffer) == 24);
static_assert(offsetof(KorvelAsioChannelBuffer, id) == 0);
static_assert(offsetof(KorvelAsioChannelBuffer, halfBytes) == 8);
static_assert(offsetof(KorvelAsioChannelBuffer, formatWord) == 12);
static_assert(offsetof(KorvelAsioChannelBuffer, buffer) == 16);

// Memory of the host process shared with the kernel driver. The kernel driver
// writes the index before it signals the buffer event; the ASIO driver
// increments the counter (interlocked) after each switch that event triggered.
struct KorvelAsioSharedBlock
{
    uint32_t bufferIndex; // bit 0: the half the host processes next
    uint32_t switchCount;
};
static_assert(sizeof(KorvelAsioSharedBlock) == 8);
static_assert(offsetof(KorvelAsioSharedBlock, bufferIndex) == 0);
static_assert(offsetof(KorvelAsioSharedBlock, switchCount) == 4);
