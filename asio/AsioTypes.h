#pragma once
// The ASIO host interface's types, constants and the host's callback table,
// as hosts built by other compilers lay them out. Every structure uses 4-byte
// packing on every architecture: with natural alignment ASIOTime would be 152
// bytes and a copy into the host's 148-byte record would overrun it.
#include <cstddef>

#pragma pack(push, 4)

typedef long ASIOBool;
typedef long ASIOError;
typedef double ASIOSampleRate;
typedef long ASIOSampleType;

enum : ASIOBool { ASIOFalse = 0, ASIOTrue = 1 };

enum : ASIOError {
    ASE_OK = 0,
    ASE_SUCCESS = 0x3F4847A0,
    ASE_NotPresent = -1000,
    ASE_HWMalfunction = -999,
    ASE_InvalidParameter = -998,
    ASE_InvalidMode = -997,
    ASE_SPNotAdvancing = -996,
    ASE_NoClock = -995,
    ASE_NoMemory = -994,
};

enum : ASIOSampleType {
    ASIOSTInt16LSB = 16,
    ASIOSTInt24LSB = 17,
    ASIOSTInt32LSB = 18,
    ASIOSTFloat32LSB = 19,
    ASIOSTFloat64LSB = 20,
    ASIOSTDSDInt8LSB1 = 32,
    ASIOSTDSDInt8MSB1 = 33,
    ASIOSTDSDInt8NER8 = 40,
};

// Selectors of the host's asioMessage callback.
enum : long {
    kAsioSelectorSupported = 1,
    kAsioEngineVersion = 2,
    kAsioResetRequest = 3,
    kAsioBufferSizeChange = 4,
    kAsioResyncRequest = 5,
    kAsioLatenciesChanged = 6,
    kAsioSupportsTimeInfo = 7,
    kAsioSupportsTimeCode = 8,
    kAsioOverload = 15,
};

// Selectors of IASIO::future.
enum : long {
    kAsioEnableTimeCodeRead = 1,
    kAsioDisableTimeCodeRead = 2,
    kAsioSetInputMonitor = 3,
    kAsioCanTimeInfo = 10,
    kAsioCanTimeCode = 11,
    kAsioOptionalOne = 17,
    kAsioSetIoFormat = 0x23111961,
    kAsioGetIoFormat = 0x23111983,
    kAsioCanDoIoFormat = 0x23112004,
};

// ASIOIoFormat::FormatType.
enum : long { kASIOFormatInvalid = -1, kASIOPCMFormat = 0, kASIODSDFormat = 1 };

// AsioTimeInfo::flags.
enum : unsigned long {
    kSystemTimeValid = 1,
    kSamplePositionValid = 2,
    kSampleRateValid = 4,
    kSpeedValid = 8,
    kSampleRateChanged = 16,
    kClockSourceChanged = 32,
};

// A 64-bit count split into halves, high half first.
struct ASIOSamples
{
    unsigned long hi;
    unsigned long lo;
};
typedef ASIOSamples ASIOTimeStamp;

struct ASIOChannelInfo
{
    long channel;
    ASIOBool isInput;
    ASIOBool isActive;
    long channelGroup;
    ASIOSampleType type;
    char name[32];
};

struct ASIOBufferInfo
{
    ASIOBool isInput;
    long channelNum;
    void* buffers[2];
};

struct ASIOClockSource
{
    long index;
    long associatedChannel;
    long associatedGroup;
    ASIOBool isCurrentSource;
    char name[32];
};

struct AsioTimeInfo
{
    double speed;
    ASIOTimeStamp systemTime; // nanoseconds
    ASIOSamples samplePosition;
    ASIOSampleRate sampleRate;
    unsigned long flags;
    char reserved[12];
};

struct ASIOTimeCode
{
    double speed;
    ASIOSamples timeCodeSamples;
    unsigned long flags;
    char future[64];
};

struct ASIOTime
{
    long reserved[4];
    AsioTimeInfo timeInfo;
    ASIOTimeCode timeCode;
};

struct ASIOIoFormat
{
    long FormatType;
    char future[512 - sizeof(long)];
};

// The host's callbacks: plain C function pointers.
struct ASIOCallbacks
{
    void(__cdecl* bufferSwitch)(long doubleBufferIndex, ASIOBool directProcess);
    void(__cdecl* sampleRateDidChange)(ASIOSampleRate sRate);
    long(__cdecl* asioMessage)(long selector, long value, void* message, double* opt);
    ASIOTime*(__cdecl* bufferSwitchTimeInfo)(ASIOTime* params, long doubleBufferIndex,
                                             ASIOBool directProcess);
};

#pragma pack(pop)

// The binary contract. `long` is 32 bits on both Windows architectures.
static_assert(sizeof(long) == 4);
static_assert(sizeof(ASIOBool) == 4 && sizeof(ASIOError) == 4 && sizeof(ASIOSampleType) == 4);
static_assert(sizeof(ASIOSampleRate) == 8);
static_assert(sizeof(ASIOSamples) == 8 && offsetof(ASIOSamples, hi) == 0 &&
              offsetof(ASIOSamples, lo) == 4);

static_assert(sizeof(ASIOChannelInfo) == 52);
static_assert(offsetof(ASIOChannelInfo, channel) == 0);
static_assert(offsetof(ASIOChannelInfo, isInput) == 4);
static_assert(offsetof(ASIOChannelInfo, isActive) == 8);
static_assert(offsetof(ASIOChannelInfo, channelGroup) == 12);
static_assert(offsetof(ASIOChannelInfo, type) == 16);
static_assert(offsetof(ASIOChannelInfo, name) == 20);

static_assert(offsetof(ASIOBufferInfo, isInput) == 0);
static_assert(offsetof(ASIOBufferInfo, channelNum) == 4);
static_assert(offsetof(ASIOBufferInfo, buffers) == 8);
static_assert(sizeof(ASIOBufferInfo) == 8 + 2 * sizeof(void*)); // 16 on x86, 24 on x86_64

static_assert(sizeof(ASIOClockSource) == 48);
static_assert(offsetof(ASIOClockSource, index) == 0);
static_assert(offsetof(ASIOClockSource, associatedChannel) == 4);
static_assert(offsetof(ASIOClockSource, associatedGroup) == 8);
static_assert(offsetof(ASIOClockSource, isCurrentSource) == 12);
static_assert(offsetof(ASIOClockSource, name) == 16);

static_assert(sizeof(AsioTimeInfo) == 48);
static_assert(offsetof(AsioTimeInfo, speed) == 0);
static_assert(offsetof(AsioTimeInfo, systemTime) == 8);
static_assert(offsetof(AsioTimeInfo, samplePosition) == 16);
static_assert(offsetof(AsioTimeInfo, sampleRate) == 24);
static_assert(offsetof(AsioTimeInfo, flags) == 32);
static_assert(offsetof(AsioTimeInfo, reserved) == 36);

static_assert(sizeof(ASIOTimeCode) == 84);
static_assert(offsetof(ASIOTimeCode, speed) == 0);
static_assert(offsetof(ASIOTimeCode, timeCodeSamples) == 8);
static_assert(offsetof(ASIOTimeCode, flags) == 16);
static_assert(offsetof(ASIOTimeCode, future) == 20);

static_assert(sizeof(ASIOTime) == 148);
static_assert(offsetof(ASIOTime, reserved) == 0);
static_assert(offsetof(ASIOTime, timeInfo) == 16);
static_assert(offsetof(ASIOTime, timeCode) == 64);

static_assert(sizeof(ASIOIoFormat) == 512);
static_assert(offsetof(ASIOIoFormat, FormatType) == 0);

static_assert(sizeof(ASIOCallbacks) == 4 * sizeof(void*)); // 16 on x86, 32 on x86_64
static_assert(offsetof(ASIOCallbacks, bufferSwitch) == 0);
static_assert(offsetof(ASIOCallbacks, sampleRateDidChange) == sizeof(void*));
static_assert(offsetof(ASIOCallbacks, asioMessage) == 2 * sizeof(void*));
static_assert(offsetof(ASIOCallbacks, bufferSwitchTimeInfo) == 3 * sizeof(void*));
