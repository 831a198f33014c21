#include "AsioDriverFixture.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

DWORD RecordingAsioServer::SetDsdMode(uint8_t dsd)
{
    {
        std::lock_guard guard(m_lock);
        m_dsdModes.push_back(dsd);
    }
    return CustomServer::SetDsdMode(dsd);
}

std::vector<int> RecordingAsioServer::DsdModes()
{
    std::lock_guard guard(m_lock);
    return m_dsdModes;
}

AsioDriverFixture::~AsioDriverFixture()
{
    if (serving) {
        harness.StopServe();
    }
    if (!tracePath.empty()) {
        harness.Sim().Stop();
        DeleteFileW(tracePath.c_str());
    }
}

void AsioDriverFixture::Start(const std::string& plugOptions, bool serve, bool trace)
{
    if (trace) {
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        tracePath = std::wstring(folder) + L"asio-trace-" + std::to_wstring(GetCurrentProcessId()) +
                    L"-" + std::to_wstring(GetTickCount64()) + L".txt";
    }
    ASSERT_EQ(harness.StartSim(0, tracePath), 0u);
    ASSERT_EQ(harness.Control("plug " + plugOptions).rfind("OK", 0), 0u) << plugOptions;
    if (serve) {
        harness.StartServe(server);
        serving = true;
        ASSERT_TRUE(harness.SyncWithServer()) << "the device server did not answer";
    }
}

AsioDriverPtr AsioDriverFixture::NewDriver()
{
    return NewAsioDriver();
}

AsioDriverPtr NewAsioDriver()
{
    HRESULT result = S_OK;
    auto* driver = static_cast<AsioDriver*>(AsioDriver::CreateInstance(nullptr, &result));
    driver->NonDelegatingAddRef();
    return AsioDriverPtr(driver);
}

AsioDriverPtr AsioDriverFixture::InitDriver()
{
    AsioDriverPtr driver = NewDriver();
    EXPECT_EQ(driver->init(nullptr), ASIOTrue);
    return driver;
}

size_t AsioDriverFixture::TraceCount(uint32_t code) const
{
    std::ifstream file{std::filesystem::path(tracePath)};
    char field[32];
    std::snprintf(field, sizeof(field), " code=0x%08X ", static_cast<unsigned>(code));
    size_t count = 0;
    std::string line;
    while (std::getline(file, line)) {
        bool asio = line.find(" type=1 ") != std::string::npos;
        count += asio && (code == 0 || line.find(field) != std::string::npos) ? 1 : 0;
    }
    return count;
}
