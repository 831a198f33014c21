// brindleasio.dll through its exports: the class object, unloading, and the
// registration it leaves in the registry (also through regsvr32).
#include "AsioDllExports.h"
#include "AsioRegistrar.h"
#include "IASIO.h"
#include "QuilloVersion.h"
#include "WnRegistryKey.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <string>
#include <vector>

namespace {

constexpr const wchar_t* CLASS_KEY = L"CLSID\\{806E0B46-C3D5-4DA4-ACE9-6A5C31ACA718}";
constexpr const wchar_t* INPROC_KEY =
    L"CLSID\\{806E0B46-C3D5-4DA4-ACE9-6A5C31ACA718}\\InprocServer32";
constexpr const wchar_t* ASIO_KEY = L"SOFTWARE\\ASIO\\Brindle ASIO";

using GetClassObjectFn = HRESULT(__stdcall*)(REFCLSID, REFIID, void**);
using asio_test::Export;
using asio_test::PlainFn;

std::wstring Lower(std::wstring text)
{
    CharLowerW(text.data());
    return text;
}

// A string value, or "<missing>".
std::wstring Value(HKEY root, const wchar_t* key, const wchar_t* name)
{
    WnRegistryKey k;
    if (k.Open(root, key, KEY_READ) != ERROR_SUCCESS) {
        return L"<missing>";
    }
    wchar_t data[400] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    if (k.ReadValue(name, data, &size, &type) != ERROR_SUCCESS || type != REG_SZ) {
        return L"<missing>";
    }
    return data;
}

bool Exists(HKEY root, const wchar_t* key)
{
    WnRegistryKey k;
    return k.Open(root, key, KEY_READ) == ERROR_SUCCESS;
}

// Numbers of values and subkeys of a key.
std::pair<DWORD, DWORD> Shape(HKEY root, const wchar_t* key)
{
    WnRegistryKey k;
    DWORD subkeys = 99, values = 99;
    if (k.Open(root, key, KEY_READ) == ERROR_SUCCESS) {
        RegQueryInfoKeyW(k.GetKey(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr);
    }
    return {values, subkeys};
}

void Mark(HKEY root, const wchar_t* key)
{
    WnRegistryKey k;
    ASSERT_EQ(k.Open(root, key, KEY_WRITE), 0u);
    ASSERT_EQ(k.WriteString(L"Marker", L"1"), 0u);
}

DWORD RunAndWait(std::wstring commandLine)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return GetLastError();
    }
    DWORD exitCode = 0xFFFFFFFF;
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &exitCode);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

class AsioDllTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path = asio_test::DllPath();
        module = LoadLibraryW(path.c_str());
        ASSERT_NE(module, nullptr) << "brindleasio.dll beside the test";
        getClassObject =
            Export<GetClassObjectFn>(module, "DllGetClassObject");
        canUnloadNow = Export<PlainFn>(module, "DllCanUnloadNow");
        registerServer = Export<PlainFn>(module, "DllRegisterServer");
        unregisterServer =
            Export<PlainFn>(module, "DllUnregisterServer");
        ASSERT_TRUE(getClassObject && canUnloadNow && registerServer && unregisterServer)
            << "the four exports, undecorated";
    }
    void TearDown() override
    {
        if (unregisterServer != nullptr) {
            unregisterServer();
        }
        if (module != nullptr) {
            FreeLibrary(module);
        }
    }

    std::wstring path;
    HMODULE module = nullptr;
    GetClassObjectFn getClassObject = nullptr;
    PlainFn canUnloadNow = nullptr;
    PlainFn registerServer = nullptr;
    PlainFn unregisterServer = nullptr;
};

constexpr GUID OTHER_ID = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

} // namespace

TEST_F(AsioDllTest, ClassObjectAndUnloading)
{
    void* ppv = reinterpret_cast<void*>(0x5678);
    EXPECT_EQ(getClassObject(CLSID_BRINDLE_ASIO, CLSID_BRINDLE_ASIO, &ppv), E_NOINTERFACE);
    EXPECT_EQ(ppv, reinterpret_cast<void*>(0x5678));
    EXPECT_EQ(getClassObject(OTHER_ID, IID_IClassFactory, &ppv), CLASS_E_CLASSNOTAVAILABLE);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(getClassObject(CLSID_BRINDLE_ASIO, IID_IClassFactory,
                             reinterpret_cast<void**>(&factory)),
              S_OK);
    void* asio = nullptr;
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), CLSID_BRINDLE_ASIO,
                                      &asio),
              E_NOINTERFACE)
        << "aggregation only through IUnknown";
    EXPECT_EQ(canUnloadNow(), S_OK) << "nothing was created";
    ASSERT_EQ(factory->CreateInstance(nullptr, CLSID_BRINDLE_ASIO, &asio), S_OK);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    factory->LockServer(TRUE);
    factory->Release();
    static_cast<IASIO*>(asio)->Release();
    EXPECT_EQ(canUnloadNow(), S_FALSE) << "the server is still locked";
    // The factory is gone, but the lock belongs to the module.
    IClassFactory* again = nullptr;
    ASSERT_EQ(getClassObject(CLSID_BRINDLE_ASIO, IID_IUnknown, reinterpret_cast<void**>(&again)),
              S_OK);
    again->LockServer(FALSE);
    again->Release();
    EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST_F(AsioDllTest, RegistrationLeavesExactlyItsKeys)
{
    ASSERT_EQ(registerServer(), S_OK);
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, CLASS_KEY, nullptr), L"Brindle ASIO Driver");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, INPROC_KEY, nullptr), Lower(path));
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, INPROC_KEY, L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, ASIO_KEY, L"CLSID"),
              L"{806E0B46-C3D5-4DA4-ACE9-6A5C31ACA718}");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, ASIO_KEY, L"Description"), L"Brindle ASIO Driver");
    EXPECT_EQ(Shape(HKEY_CLASSES_ROOT, CLASS_KEY), std::make_pair(DWORD{1}, DWORD{1}));
    EXPECT_EQ(Shape(HKEY_CLASSES_ROOT, INPROC_KEY), std::make_pair(DWORD{2}, DWORD{0}));
    EXPECT_EQ(Shape(HKEY_LOCAL_MACHINE, ASIO_KEY), std::make_pair(DWORD{2}, DWORD{0}));

    ASSERT_EQ(unregisterServer(), S_OK);
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, CLASS_KEY));
    EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, ASIO_KEY));
    EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\ASIO"));
    EXPECT_EQ(unregisterServer(), S_OK) << "nothing left to remove is no failure";
}

TEST_F(AsioDllTest, RegisteringAgainRewritesClassKeysOnlyForAnotherPath)
{
    const AsioRegistrar registrar(CLSID_BRINDLE_ASIO, L"Brindle ASIO", L"Brindle ASIO Driver",
                                  L"Apartment");
    ASSERT_EQ(registerServer(), S_OK);
    Mark(HKEY_CLASSES_ROOT, CLASS_KEY);
    Mark(HKEY_LOCAL_MACHINE, ASIO_KEY);
    std::wstring upper = path;
    CharUpperW(upper.data());
    ASSERT_EQ(registrar.Register(upper.c_str()), 0);
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, CLASS_KEY, L"Marker"), L"1") << "same path, other case";
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, ASIO_KEY, L"Marker"), L"<missing>") << "recreated";

    ASSERT_EQ(registrar.Register(L"C:\\Other Place\\BrindleASIO.dll"), 0);
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, CLASS_KEY, L"Marker"), L"<missing>");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, INPROC_KEY, nullptr), L"c:\\other place\\brindleasio.dll");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, INPROC_KEY, L"ThreadingModel"), L"Apartment");

    // A class entry without a path cannot be loaded by anyone: rewritten.
    {
        WnRegistryKey inproc;
        ASSERT_EQ(inproc.Open(HKEY_CLASSES_ROOT, INPROC_KEY, KEY_WRITE), 0u);
        ASSERT_EQ(RegDeleteValueW(inproc.GetKey(), nullptr), ERROR_SUCCESS);
    }
    ASSERT_EQ(registerServer(), S_OK);
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, INPROC_KEY, nullptr), Lower(path));
}

TEST_F(AsioDllTest, Regsvr32RegistersAndUnregisters)
{
    const std::wstring quoted = L"\"" + path + L"\"";
    ASSERT_EQ(RunAndWait(L"regsvr32.exe /s " + quoted), 0u);
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, ASIO_KEY, L"CLSID"),
              L"{806E0B46-C3D5-4DA4-ACE9-6A5C31ACA718}");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, INPROC_KEY, nullptr), Lower(path));
    ASSERT_EQ(RunAndWait(L"regsvr32.exe /u /s " + quoted), 0u);
    EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, ASIO_KEY));
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, CLASS_KEY));
}

// Installers compare versions through the resource: it must be the package's.
TEST_F(AsioDllTest, VersionResourceIsThePackages)
{
    DWORD ignored = 0;
    std::vector<BYTE> info(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, DWORD{(QUILLO_VERSION_MAJOR << 16) | QUILLO_VERSION_MINOR});
    EXPECT_EQ(fixed->dwFileVersionLS, DWORD{QUILLO_VERSION_PATCH << 16});
    EXPECT_EQ(fixed->dwFileType, DWORD{VFT_DLL});
}
