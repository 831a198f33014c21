// The COM shell without the DLL: reference counting, aggregation, the class
// factory's checks and the module counts under concurrent use.
#include "AsioModule.h"
#include "AsioText.h"
#include "AsioDriver.h"
#include "CClassFactory.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// Counts the references the inner object forwards to its outer object.
class CountingOuter : public IUnknown
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
    long refs = 1;
};

bool g_failCreation = false;

CUnknown* __stdcall CreateDriver(LPUNKNOWN outer, HRESULT* result)
{
    CUnknown* object = AsioDriver::CreateInstance(outer, result);
    if (g_failCreation) {
        *result = E_ACCESSDENIED;
    }
    return object;
}

const CFactoryTemplate g_table[] = {{L"ASIODRV", &CLSID_BRINDLE_ASIO, &CreateDriver, nullptr}};

IClassFactory* Factory()
{
    void* factory = nullptr;
    EXPECT_EQ(CClassFactory::GetClassObject(g_table, 1, CLSID_BRINDLE_ASIO, IID_IClassFactory,
                                            &factory),
              S_OK);
    return static_cast<IClassFactory*>(factory);
}

constexpr GUID OTHER_ID = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

} // namespace

TEST(AsioClassFactory, ChecksInterfaceBeforeClassAndCreatesAsHostsExpect)
{
    void* ppv = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(CClassFactory::GetClassObject(g_table, 1, CLSID_BRINDLE_ASIO, CLSID_BRINDLE_ASIO,
                                            &ppv),
              E_NOINTERFACE);
    EXPECT_EQ(ppv, reinterpret_cast<void*>(0x1234)) << "not written";
    EXPECT_EQ(CClassFactory::GetClassObject(g_table, 1, OTHER_ID, IID_IUnknown, &ppv),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(CClassFactory::GetClassObject(g_table, 1, CLSID_BRINDLE_ASIO, IID_IUnknown, nullptr),
              E_POINTER);

    IClassFactory* factory = Factory();
    ASSERT_NE(factory, nullptr);
    const LONG objects = AsioModule::ObjectCount();
    CountingOuter outer;
    void* object = nullptr;
    EXPECT_EQ(factory->CreateInstance(&outer, CLSID_BRINDLE_ASIO, &object), E_NOINTERFACE);
    EXPECT_EQ(AsioModule::ObjectCount(), objects) << "nothing created";
    EXPECT_EQ(factory->CreateInstance(nullptr, OTHER_ID, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(AsioModule::ObjectCount(), objects) << "an object nobody holds is destroyed";
    g_failCreation = true;
    EXPECT_EQ(factory->CreateInstance(nullptr, CLSID_BRINDLE_ASIO, &object), E_ACCESSDENIED);
    g_failCreation = false;
    EXPECT_EQ(AsioModule::ObjectCount(), objects);
    EXPECT_EQ(factory->CreateInstance(nullptr, CLSID_BRINDLE_ASIO, nullptr), E_POINTER);

    ASSERT_EQ(factory->CreateInstance(nullptr, CLSID_BRINDLE_ASIO, &object), S_OK);
    auto* asio = static_cast<IASIO*>(object);
    EXPECT_EQ(AsioModule::ObjectCount(), objects + 1);
    EXPECT_EQ(asio->getDriverVersion(), 0x124) << "the pointer is the IASIO interface";
    void* unknown = nullptr;
    EXPECT_EQ(asio->QueryInterface(IID_IUnknown, &unknown), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(unknown)->Release(), 1u);
    EXPECT_EQ(asio->QueryInterface(OTHER_ID, &unknown), E_NOINTERFACE);
    EXPECT_EQ(unknown, nullptr);
    EXPECT_EQ(asio->Release(), 0u);
    EXPECT_EQ(AsioModule::ObjectCount(), objects);
    EXPECT_EQ(factory->Release(), 0u);
}

TEST(AsioClassFactory, AnAggregatedDriverForwardsToItsOuterObject)
{
    IClassFactory* factory = Factory();
    CountingOuter outer;
    void* inner = nullptr;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, &inner), S_OK);
    auto* nonDelegating = static_cast<INonDelegatingUnknown*>(inner);
    void* asio = nullptr;
    ASSERT_EQ(nonDelegating->NonDelegatingQueryInterface(CLSID_BRINDLE_ASIO, &asio), S_OK);
    const long before = outer.refs;
    static_cast<IASIO*>(asio)->AddRef();
    EXPECT_EQ(outer.refs, before + 1) << "IASIO's AddRef reaches the outer object";
    static_cast<IASIO*>(asio)->Release();
    EXPECT_EQ(outer.refs, before);
    EXPECT_EQ(nonDelegating->NonDelegatingRelease(), 1u); // the reference the query added
    EXPECT_EQ(nonDelegating->NonDelegatingRelease(), 0u);
    factory->Release();
}

TEST(AsioModuleCounts, ConcurrentLocksAndReferencesAreNeverLost)
{
    IClassFactory* factory = Factory(); // one reference
    constexpr int THREADS = 4;
    constexpr int ROUNDS = 200000;
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([factory] {
            for (int i = 0; i < ROUNDS; ++i) {
                factory->LockServer(TRUE);
                factory->AddRef();
                factory->LockServer(FALSE);
                factory->Release();
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(AsioModule::LockCount(), 0);
    EXPECT_EQ(AsioModule::CanUnloadNow(), S_OK);
    EXPECT_EQ(factory->AddRef(), 2u) << "the factory's count lost an update";
    factory->Release();
    factory->LockServer(TRUE);
    EXPECT_EQ(AsioModule::CanUnloadNow(), S_FALSE);
    factory->LockServer(FALSE);
    EXPECT_EQ(factory->Release(), 0u);
}

TEST(AsioText, NarrowingKeepsLowBytesAndStaysInBothBuffers)
{
    char target[8];
    AsioText::Narrow(target, sizeof(target), L"Ab\x0141z", 10);
    EXPECT_STREQ(target, "Ab\x41z");
    AsioText::Narrow(target, sizeof(target), L"0123456789", 10);
    EXPECT_STREQ(target, "0123456");
    const wchar_t unterminated[3] = {L'x', L'y', L'z'};
    AsioText::Narrow(target, sizeof(target), unterminated, 3);
    EXPECT_STREQ(target, "xyz");
    wchar_t wide[4];
    AsioText::Copy(wide, 4, L"abcdef", 6);
    EXPECT_STREQ(wide, L"abc");
}

TEST(AsioBufferSizeRule, OffersThePowersOfTwoAroundThePreferredSize)
{
    struct Case
    {
        long preferred, minimum, maximum;
    };
    for (const Case& c : {Case{256, 256, 256}, Case{300, 256, 512}, Case{17, 16, 32},
                          Case{16, 16, 16}, Case{8, 8, 8}, Case{65536, 65536, 65536},
                          Case{65537, 65537, 65537}, Case{40000, 32768, 65536}}) {
        long minimum = 0, maximum = 0;
        AsioDriver::BufferSizeRange(c.preferred, minimum, maximum);
        EXPECT_EQ(minimum, c.minimum) << c.preferred;
        EXPECT_EQ(maximum, c.maximum) << c.preferred;
    }
}
