// The driver as a host built by another compiler sees it: created with
// CoCreateInstance (class id as interface id) and called only through a
// vtable declared here as plain function pointers with explicit calling
// conventions, never through the driver's own headers. On x86 a wrong
// convention (thiscall for the IASIO methods, stdcall for IUnknown) breaks
// the stack at the first call.
#include "AsioDllExports.h"
#include "AsioDriverFixture.h"

#include <objbase.h>
#include <psapi.h>

#include <cstring>
#include <string>

namespace {

#if defined(__i386__)
#define HOST_METHOD __attribute__((thiscall))
#else
#define HOST_METHOD
#endif

#pragma pack(push, 4)
struct HostChannelInfo
{
    long channel;
    long isInput;
    long isActive;
    long channelGroup;
    long type;
    char name[32];
};
struct HostClockSource
{
    long index;
    long associatedChannel;
    long associatedGroup;
    long isCurrentSource;
    char name[32];
};
struct HostSamples
{
    unsigned long hi;
    unsigned long lo;
};
struct HostCallbacks
{
    void(__cdecl* bufferSwitch)(long, long);
    void(__cdecl* sampleRateDidChange)(double);
    long(__cdecl* asioMessage)(long, long, void*, double*);
    void*(__cdecl* bufferSwitchTimeInfo)(void*, long, long);
};
#pragma pack(pop)
static_assert(sizeof(HostChannelInfo) == 52 && sizeof(HostClockSource) == 48);

struct HostAsio;
struct HostAsioVtbl
{
    HRESULT(__stdcall* QueryInterface)(HostAsio*, const GUID*, void**);
    ULONG(__stdcall* AddRef)(HostAsio*);
    ULONG(__stdcall* Release)(HostAsio*);
    long(HOST_METHOD* init)(HostAsio*, void*);
    void(HOST_METHOD* getDriverName)(HostAsio*, char*);
    long(HOST_METHOD* getDriverVersion)(HostAsio*);
    void(HOST_METHOD* getErrorMessage)(HostAsio*, char*);
    long(HOST_METHOD* start)(HostAsio*);
    long(HOST_METHOD* stop)(HostAsio*);
    long(HOST_METHOD* getChannels)(HostAsio*, long*, long*);
    long(HOST_METHOD* getLatencies)(HostAsio*, long*, long*);
    long(HOST_METHOD* getBufferSize)(HostAsio*, long*, long*, long*, long*);
    long(HOST_METHOD* canSampleRate)(HostAsio*, double);
    long(HOST_METHOD* getSampleRate)(HostAsio*, double*);
    long(HOST_METHOD* setSampleRate)(HostAsio*, double);
    long(HOST_METHOD* getClockSources)(HostAsio*, HostClockSource*, long*);
    long(HOST_METHOD* setClockSource)(HostAsio*, long);
    long(HOST_METHOD* getSamplePosition)(HostAsio*, HostSamples*, HostSamples*);
    long(HOST_METHOD* getChannelInfo)(HostAsio*, HostChannelInfo*);
    long(HOST_METHOD* createBuffers)(HostAsio*, void*, long, long, HostCallbacks*);
    long(HOST_METHOD* disposeBuffers)(HostAsio*);
    long(HOST_METHOD* controlPanel)(HostAsio*);
    long(HOST_METHOD* future)(HostAsio*, long, void*);
    long(HOST_METHOD* outputReady)(HostAsio*);
};
struct HostAsio
{
    const HostAsioVtbl* vtbl;
};

const GUID HOST_CLSID = {0x806E0B46, 0xC3D5, 0x4DA4, {0xAC, 0xE9, 0x6A, 0x5C, 0x31, 0xAC, 0xA7, 0x18}};
const double PROBE_RATES[15] = {8000,   11025,  16000,  22050,  32000,  44100,   48000,  64000,
                                88200,  96000,  176400, 192000, 352800, 384000,  2822400};

using asio_test::DllPath;
using asio_test::Export;
using asio_test::PlainFn;

HMODULE LoadedDll()
{
    return GetModuleHandleW(DllPath().c_str());
}

HRESULT CallExport(HMODULE module, const char* name)
{
    auto fn = Export<PlainFn>(module, name);
    return fn != nullptr ? fn() : E_FAIL;
}

class HostViewTest : public AsioDriverFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        HMODULE module = LoadLibraryW(DllPath().c_str());
        ASSERT_NE(module, nullptr);
        ASSERT_EQ(CallExport(module, "DllRegisterServer"), S_OK);
        FreeLibrary(module);
    }
    void TearDown() override
    {
        HMODULE module = LoadLibraryW(DllPath().c_str());
        if (module != nullptr) {
            CallExport(module, "DllUnregisterServer");
            FreeLibrary(module);
        }
        CoUninitialize();
    }

    static HostAsio* Create()
    {
        void* object = nullptr;
        HRESULT result =
            CoCreateInstance(HOST_CLSID, nullptr, CLSCTX_INPROC_SERVER, HOST_CLSID, &object);
        EXPECT_EQ(result, S_OK);
        return static_cast<HostAsio*>(object);
    }

    // What a real host does to list a driver's abilities.
    static void Probe(HostAsio* asio)
    {
        const HostAsioVtbl& v = *asio->vtbl;
        ASSERT_EQ(v.init(asio, nullptr), 1);
        char name[32] = {};
        v.getDriverName(asio, name);
        ASSERT_STREQ(name, "Brindle ASIO Driver");
        ASSERT_EQ(v.getDriverVersion(asio), 0x124);
        long inputs = 0, outputs = 0;
        ASSERT_EQ(v.getChannels(asio, &inputs, &outputs), 0);
        ASSERT_EQ(inputs, 18);
        ASSERT_EQ(outputs, 18);
        int supported = 0;
        for (double rate : PROBE_RATES) {
            supported += v.canSampleRate(asio, rate) == 0 ? 1 : 0;
        }
        ASSERT_EQ(supported, 9) << "44.1 to 384 kHz and DSD64";
        for (long input = 1; input >= 0; --input) {
            for (long channel = 0; channel < (input ? inputs : outputs); ++channel) {
                HostChannelInfo info{};
                info.channel = channel;
                info.isInput = input;
                ASSERT_EQ(v.getChannelInfo(asio, &info), 0);
                ASSERT_EQ(info.type, 18);
                ASSERT_NE(info.name[0], '\0');
            }
        }
    }
};

size_t HandleCount()
{
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

size_t PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    K32GetProcessMemoryInfo(GetCurrentProcess(),
                            reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof(counters));
    return counters.PrivateUsage;
}

} // namespace

TEST_F(HostViewTest, EveryOperationThroughAPlainVtable)
{
    Start("rates=44100,48000,2822400");
    HostAsio* asio = Create();
    ASSERT_NE(asio, nullptr);
    const HostAsioVtbl& v = *asio->vtbl;
    EXPECT_EQ(v.AddRef(asio), 2u);
    EXPECT_EQ(v.Release(asio), 1u);
    void* same = nullptr;
    EXPECT_EQ(v.QueryInterface(asio, &HOST_CLSID, &same), S_OK);
    EXPECT_EQ(same, asio);
    v.Release(asio);

    char text[124] = {};
    ASSERT_EQ(v.init(asio, GetDesktopWindow()), 1);
    v.getErrorMessage(asio, text);
    EXPECT_STREQ(text, "");
    long a = 0, b = 0, c = 0, d = -1;
    EXPECT_EQ(v.getLatencies(asio, &a, &b), 0);
    EXPECT_EQ(a, 32);
    EXPECT_EQ(b, 48);
    EXPECT_EQ(v.getBufferSize(asio, &a, &b, &c, &d), 0);
    EXPECT_EQ(c, 128);
    EXPECT_EQ(d, 0);
    EXPECT_EQ(v.canSampleRate(asio, 2822400.0), 0);
    EXPECT_EQ(v.canSampleRate(asio, 96000.0), ASE_NoClock);
    double rate = 0;
    EXPECT_EQ(v.getSampleRate(asio, &rate), 0);
    EXPECT_EQ(rate, 48000.0);
    EXPECT_EQ(v.setSampleRate(asio, 44100.25), 0);
    EXPECT_EQ(v.getSampleRate(asio, &rate), 0);
    EXPECT_EQ(rate, 44100.0);
    HostClockSource clock{};
    long clocks = 1;
    EXPECT_EQ(v.getClockSources(asio, &clock, &clocks), 0);
    EXPECT_STREQ(clock.name, "Computer");
    EXPECT_EQ(v.setClockSource(asio, 0), 0);
    HostSamples position{9, 9}, stamp{9, 9};
    EXPECT_EQ(v.getSamplePosition(asio, &position, &stamp), 0);
    EXPECT_EQ(position.lo + stamp.lo, 0u);
    HostChannelInfo info{};
    info.channel = 17;
    info.isInput = 1;
    EXPECT_EQ(v.getChannelInfo(asio, &info), 0);
    EXPECT_STREQ(info.name, "SPDIF In 2");
    HostCallbacks callbacks{};
    char buffers[2 * 8 + 2 * sizeof(void*) * 2] = {};
    EXPECT_EQ(v.createBuffers(asio, buffers, -2, 256, &callbacks), ASE_InvalidParameter);
    // Output 0 twice, and a table of null callbacks: the driver streams
    // without calling through any of them.
    EXPECT_EQ(v.createBuffers(asio, buffers, 2, 256, &callbacks), 0);
    void* first = nullptr;
    std::memcpy(&first, buffers + 8, sizeof(first));
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(v.start(asio), 0);
    EXPECT_EQ(v.stop(asio), 0);
    EXPECT_EQ(v.disposeBuffers(asio), 0);
    EXPECT_EQ(v.outputReady(asio), ASE_NotPresent);
    long format[128] = {kASIODSDFormat};
    EXPECT_EQ(v.future(asio, kAsioCanDoIoFormat, format), ASE_SUCCESS);
    EXPECT_EQ(v.future(asio, kAsioSetIoFormat, format), ASE_SUCCESS);
    EXPECT_EQ(v.getSampleRate(asio, &rate), 0);
    EXPECT_EQ(rate, 2822400.0);
    EXPECT_EQ(v.Release(asio), 0u);
    EXPECT_EQ(Model("stream.rate"), "44100") << "released in DSD mode: back to PCM";
    EXPECT_EQ(CallExport(LoadedDll(), "DllCanUnloadNow"), S_OK);
}

TEST_F(HostViewTest, AHostsProbeRepeatedAHundredTimesLeavesNothingBehind)
{
    Start();
    // The first rounds load the DLL and let every lazily made resource settle.
    for (int i = 0; i < 10; ++i) {
        HostAsio* asio = Create();
        ASSERT_NE(asio, nullptr);
        ASSERT_NO_FATAL_FAILURE(Probe(asio));
        ASSERT_EQ(asio->vtbl->Release(asio), 0u);
    }
    const size_t handles = HandleCount();
    const size_t bytes = PrivateBytes();
    for (int i = 0; i < 100; ++i) {
        HostAsio* asio = Create();
        ASSERT_NE(asio, nullptr);
        ASSERT_NO_FATAL_FAILURE(Probe(asio)) << "round " << i;
        ASSERT_EQ(asio->vtbl->Release(asio), 0u);
    }
    EXPECT_LE(HandleCount(), handles + 4) << "handles before: " << handles;
    EXPECT_LE(PrivateBytes(), bytes + 512 * 1024) << "bytes before: " << bytes;
    HMODULE module = LoadedDll();
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(CallExport(module, "DllCanUnloadNow"), S_OK);
    EXPECT_TRUE(ServerHarness::WaitFor([&] { return Model("stream.asioClients") == "0"; }))
        << "a released driver's connection is still open";
    EXPECT_EQ(Model("asio.enabled"), "0");
}
